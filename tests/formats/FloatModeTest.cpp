// The host's floating-point mode, through every built module as hosts load it: whatever the
// host's flush-to-zero and denormals-are-zero flags, the module gives the same bits; no call
// changes the host's SSE control bits, and a process call leaves the whole register, its sticky
// exception flags included, exactly as the host had it. (Other calls design filters, and
// raise the inexact flag as any arithmetic of the host's own does.)

#include <gtest/gtest.h>

#include <xmmintrin.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tools/audio/Signals.h"
#include "tools/host/HostContext.h"
#include "tools/host/Plugin.h"

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 256;

// Modes a host may run its audio thread in: the default, flushing (as some hosts set), and the
// default with every sticky exception flag already raised, which must stay raised.
constexpr unsigned kDefaultMode = 0x1F80u;
constexpr unsigned kFlushingMode = 0x9FC0u;
constexpr unsigned kDefaultWithFlags = 0x1FBFu;

const char* const kModules[] = {
    TW07_MODULE_PATH, TW07_CLAP_PATH, TW07_VST3_PATH,
#ifdef TW07_LV2_PATH
    TW07_LV2_PATH,
#endif
};

// A loud burst, a second of silence, then the riff 700 dB down: the tails decay through the
// subnormal range and the quiet riff works near it.
tools::AudioBuffer input()
{
    const long burst = kRate / 4;
    const long silence = kRate;
    tools::AudioBuffer in = tools::Signals::burst(3, kRate, burst + silence + kRate / 2);
    const tools::AudioBuffer riff = tools::Signals::guitarRiff(1, kRate, kRate / 2);
    for (int c = 0; c < 2; ++c) {
        std::fill(in.channels[c].begin() + burst, in.channels[c].begin() + burst + silence, 0.0f);
        for (long i = 0; i < kRate / 2; ++i) in.channels[c][burst + silence + i] = riff.channels[c][i] * 1e-35f;
    }
    return in;
}

constexpr unsigned kControls = 0xFFC0u;  // all but the six sticky exception flags

struct HostMode {
    unsigned mode;
    std::vector<std::string> changed;  // calls after which the register was not the host's

    // Runs one call into the module in the host's mode and notes whether the mode survived it:
    // the bits in `kept`, or the whole register.
    template <typename Call>
    void call(const char* what, Call&& body, unsigned kept = kControls)
    {
        _mm_setcsr(mode);
        body();
        const unsigned after = _mm_getcsr();
        _mm_setcsr(kDefaultMode);
        if ((after & kept) != (mode & kept) && changed.size() < 8) {
            char text[96];
            std::snprintf(text, sizeof text, "%s: 0x%04X -> 0x%04X", what, mode, after);
            changed.emplace_back(text);
        }
    }
};

std::vector<std::vector<float>> render(const std::string& path, HostMode& host, const tools::AudioBuffer& in)
{
    tools::HostContext context;
    std::unique_ptr<tools::Plugin> plugin;
    host.call("open", [&] { plugin = tools::openPlugin(path, context); });
    host.call("prepare", [&] { plugin->prepare(float(kRate), kBlock); });
    host.call("setParameter", [&] { plugin->setParameter(0, 0.9f); });
    host.call("start", [&] { plugin->start(); });
    std::vector<std::vector<float>> out(2, std::vector<float>(size_t(in.numFrames())));
    for (long frame = 0; frame + kBlock <= in.numFrames(); frame += kBlock) {
        float* ins[2] = {const_cast<float*>(in.channels[0].data()) + frame,
                         const_cast<float*>(in.channels[1].data()) + frame};
        float* outs[2] = {out[0].data() + frame, out[1].data() + frame};
        host.call("process", [&] { plugin->process(ins, outs, kBlock); }, ~0u);
    }
    host.call("stop", [&] { plugin->stop(); });
    host.call("close", [&] { plugin.reset(); });
    return out;
}

TEST(FloatMode, SameBitsAndTheHostsRegisterKeptWhateverTheHostsFlags)
{
    const tools::AudioBuffer in = input();
    for (const char* path : kModules) {
        SCOPED_TRACE(path);
        std::vector<std::vector<float>> reference;
        for (const unsigned mode : {kDefaultMode, kFlushingMode, kDefaultWithFlags}) {
            SCOPED_TRACE(mode);
            HostMode host{mode, {}};
            const auto out = render(path, host, in);
            for (const std::string& change : host.changed) ADD_FAILURE() << change;
            if (reference.empty()) {
                reference = out;
                continue;
            }
            for (int c = 0; c < 2; ++c) {
                long differing = 0;
                for (size_t i = 0; i < out[c].size(); ++i)
                    differing += std::memcmp(&out[c][i], &reference[c][i], sizeof(float)) != 0;
                EXPECT_EQ(differing, 0) << "channel " << c;
            }
        }
    }
}

}  // namespace
