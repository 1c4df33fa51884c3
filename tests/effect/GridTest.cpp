// Output sanity over the parameter space, the sample rates a host may use and
// three kinds of input: every sample finite and within +-4 (the final clipper
// holds about +-1; the anti-alias filter overshoots on hard-clipped waves).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "tools/audio/Signals.h"
#include "tests/effect/PlugTestAccess.h"

namespace plug {
namespace {

using Setting = std::array<float, kNumParameters>;

constexpr float kRates[] = {8000, 22050, 32000, 44100, 48000, 88200, 96000, 192000};

struct Outcome {
    float peak = 0.0f;
    long firstBad = -1;  // frame of the first sample that is not finite or beyond the bound
};

Outcome render(const Setting& setting, float rate, const tools::AudioBuffer& input)
{
    SilentHost host;
    auto plug = std::make_unique<Plug>(host);
    plug->setSampleRate(rate);
    plug->reset();
    for (int p = 0; p < kNumParameters; ++p) plug->parameters.setValue(p, setting[p]);

    Outcome outcome;
    std::vector<float> out0(Plug::kHostBlock), out1(Plug::kHostBlock);
    const long frames = static_cast<long>(input.numFrames()) / Plug::kHostBlock * Plug::kHostBlock;
    for (long f = 0; f < frames; f += Plug::kHostBlock) {
        runBlock(*plug, input.channels[0].data() + f, input.channels[1].data() + f, out0.data(), out1.data());
        for (int i = 0; i < Plug::kHostBlock; ++i) {
            for (float v : {out0[i], out1[i]}) {
                if (!std::isfinite(v) || std::fabs(v) > 4.0f) {
                    if (outcome.firstBad < 0) outcome.firstBad = f + i;
                } else {
                    outcome.peak = std::max(outcome.peak, std::fabs(v));
                }
            }
        }
    }
    return outcome;
}

std::string describe(const Setting& s, float rate, const char* signal)
{
    std::string text = std::string(signal) + " at " + std::to_string(int(rate)) + " Hz, parameters";
    for (float v : s) text += " " + std::to_string(v);
    return text;
}

std::vector<Setting> corners()
{
    const Setting defaults{0.35f, 0.6f, 0.75f, 0.0f, 0.5f, 0.5f, 0.5f, 0.4f};
    std::vector<Setting> out;
    Setting all0{}, all1{};
    all1.fill(1.0f);
    out.push_back(all0);
    out.push_back(all1);
    for (int p = 0; p < kNumParameters; ++p) {
        for (float v : {0.0f, 1.0f}) {
            Setting s = defaults;
            s[p] = v;
            out.push_back(s);
        }
    }
    return out;
}

TEST(EffectGrid, OutputStaysFiniteAndBoundedEverywhere)
{
    std::mt19937 rng(20261207);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const std::vector<Setting> fixed = corners();
    constexpr int kRandomPerRate = 32;
    float worst = 0.0f;

    for (float rate : kRates) {
        const int sr = int(rate);
        const long longFrames = sr, shortFrames = sr * 3 / 10;
        const tools::AudioBuffer signals[] = {tools::Signals::guitarRiff(1, sr, longFrames),
                                              tools::Signals::silence(sr, longFrames),
                                              tools::Signals::burst(2, sr, longFrames)};
        const char* names[] = {"riff", "silence", "burst"};

        std::vector<std::pair<Setting, long>> settings;
        for (const Setting& s : fixed) settings.push_back({s, longFrames});
        for (int k = 0; k < kRandomPerRate; ++k) {
            Setting s;
            for (float& v : s) v = unit(rng);
            settings.push_back({s, shortFrames});
        }

        for (const auto& [setting, frames] : settings) {
            for (int k = 0; k < 3; ++k) {
                tools::AudioBuffer input = signals[k];
                for (auto& channel : input.channels) channel.resize(static_cast<size_t>(frames));
                const Outcome o = render(setting, rate, input);
                ASSERT_EQ(o.firstBad, -1) << describe(setting, rate, names[k]);
                worst = std::max(worst, o.peak);
            }
        }
    }
    RecordProperty("peak", std::to_string(worst));
    EXPECT_GT(worst, 0.5f);  // the grid did reach loud output
}

TEST(EffectGrid, AbsurdlyLoudFiniteInputGivesFiniteOutput)
{
    Setting loud;
    loud.fill(1.0f);
    for (float rate : {8000.0f, 44100.0f, 192000.0f}) {
        const int frames = int(rate) / 2;
        for (float level : {1e3f, 1e12f, FLT_MAX}) {
            tools::AudioBuffer input = tools::AudioBuffer::zeros(int(rate), 2, frames);
            for (int i = 0; i < frames; ++i) {
                input.channels[0][i] = (i % 7 < 3) ? level : -level;
                input.channels[1][i] = (i % 2) ? level : -level;
            }
            EXPECT_EQ(render(loud, rate, input).firstBad, -1) << level << " at " << rate;
        }
    }
}

}  // namespace
}  // namespace plug
