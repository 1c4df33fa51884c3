// The factory presets as a player meets them: each complete and within 3 dB of the default
// setting's level on the riff, and each doing what its purpose says, measured on the riff, a
// held note and a sine (sustain length, saturation, tone balance, stereo width).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "kx/Presets.h"
#include "tests/effect/PlugTestAccess.h"
#include "tools/audio/PluckedString.h"
#include "tools/audio/Signals.h"

namespace plug {
namespace {

constexpr int kRate = 48000;
constexpr int kPreRoll = kRate / 2;  // silence while the controls glide to the preset
constexpr uint64_t kRiffSeed = 7;

using Channels = std::vector<std::vector<float>>;

// The input through a fresh effect set to `values` (by parameter index), after the pre-roll.
Channels render(const Channels& input, const std::vector<float>& values)
{
    SilentHost host;
    auto effect = std::make_unique<Plug>(host);
    effect->setSampleRate(static_cast<float>(kRate));
    effect->reset();
    for (std::size_t i = 0; i < values.size(); ++i) effect->parameters.setValue(static_cast<int>(i), values[i]);
    const std::size_t frames = input[0].size();
    const std::size_t total = (kPreRoll + frames + Plug::kHostBlock - 1) / Plug::kHostBlock * Plug::kHostBlock;
    Channels in(2, std::vector<float>(total, 0.0f));
    Channels out(2, std::vector<float>(total, 0.0f));
    for (int c = 0; c < 2; ++c)
        std::copy(input[c].begin(), input[c].end(), in[c].begin() + kPreRoll);
    for (std::size_t at = 0; at < total; at += Plug::kHostBlock)
        runBlock(*effect, in[0].data() + at, in[1].data() + at, out[0].data() + at, out[1].data() + at);
    for (auto& channel : out) channel.erase(channel.begin(), channel.begin() + kPreRoll), channel.resize(frames);
    return out;
}

double energy(const std::vector<float>& x, std::size_t from = 0)
{
    double sum = 0.0;
    for (std::size_t i = from; i < x.size(); ++i) sum += static_cast<double>(x[i]) * x[i];
    return sum / static_cast<double>(x.size() - from);
}

double db(double powerRatio) { return 10.0 * std::log10(std::max(powerRatio, 1e-30)); }

// A second-order section of the audio EQ cookbook: low-pass, high-pass or band-pass at hz.
enum class Shape { kLow, kHigh, kBand };
std::vector<float> biquad(const std::vector<float>& x, Shape shape, double hz, double q)
{
    const double w = 2.0 * std::numbers::pi * hz / kRate;
    const double alpha = std::sin(w) / (2.0 * q);
    const double c = std::cos(w);
    double b0 = 0.0, b1 = 0.0, b2 = 0.0;
    switch (shape) {
    case Shape::kLow: b0 = b2 = (1.0 - c) / 2.0, b1 = 1.0 - c; break;
    case Shape::kHigh: b0 = b2 = (1.0 + c) / 2.0, b1 = -(1.0 + c); break;
    case Shape::kBand: b0 = alpha, b1 = 0.0, b2 = -alpha; break;
    }
    const double a0 = 1.0 + alpha, a1 = -2.0 * c, a2 = 1.0 - alpha;
    std::vector<float> y(x.size());
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double out = (b0 * x[i] + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2) / a0;
        x2 = x1, x1 = x[i], y2 = y1, y1 = out;
        y[i] = static_cast<float>(out);
    }
    return y;
}

std::vector<float> mid(const Channels& x)
{
    std::vector<float> m(x[0].size());
    for (std::size_t i = 0; i < m.size(); ++i) m[i] = 0.5f * (x[0][i] + x[1][i]);
    return m;
}

struct Measures {
    double levelDb;     // rms of the riff, both channels, dBFS
    double sustainS;    // held note: seconds from its loudest 10 ms until 20 dB below
    double saturationDb;  // sine: what is not the fundamental, relative to the whole, dB
    double softSaturationDb;  // the same for a sine 20 dB quieter
    double brightnessDb;  // riff: energy above 2.5 kHz against energy below 250 Hz, dB
    double midDb;       // riff: energy 400 Hz..1.2 kHz against the whole, dB
    double widthDb;     // riff: side against mid, dB
};

double sustainSeconds(const std::vector<float>& x)
{
    constexpr std::size_t kWindow = kRate / 100;
    std::vector<double> envelope;
    for (std::size_t at = 0; at + kWindow <= x.size(); at += kWindow) {
        double sum = 0.0;
        for (std::size_t i = at; i < at + kWindow; ++i) sum += static_cast<double>(x[i]) * x[i];
        envelope.push_back(sum / kWindow);
    }
    const std::size_t peak = static_cast<std::size_t>(std::max_element(envelope.begin(), envelope.end()) - envelope.begin());
    std::size_t end = peak;
    while (end < envelope.size() && envelope[end] > envelope[peak] * 0.01) ++end;
    return static_cast<double>(end - peak) * kWindow / kRate;
}

// The part of the last half second that is not the sine's own frequency, against the whole.
double distortionDb(const std::vector<float>& x, double hz)
{
    const std::size_t from = x.size() / 2;
    double c = 0.0, s = 0.0, total = 0.0;
    for (std::size_t i = from; i < x.size(); ++i) {
        const double phase = 2.0 * std::numbers::pi * hz * static_cast<double>(i) / kRate;
        c += x[i] * std::cos(phase);
        s += x[i] * std::sin(phase);
        total += static_cast<double>(x[i]) * x[i];
    }
    const double n = static_cast<double>(x.size() - from);
    const double fundamental = 2.0 * (c * c + s * s) / n;
    return db((total - fundamental) / total);
}

Channels riff() { return tools::Signals::guitarRiff(kRiffSeed, kRate, 4 * kRate, 2).channels; }

Channels heldNote()
{
    tools::PluckedString string(kRate, 80.0f);
    string.pluck(110.0f, 0.8f, 0.5f, 3.0f, 11);
    std::vector<float> x(4 * kRate);
    for (float& v : x) v = string.next();
    return {x, x};
}

Channels sine(float amplitude)
{
    std::vector<float> x(kRate);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = amplitude * static_cast<float>(std::sin(2.0 * std::numbers::pi * 220.0 * static_cast<double>(i) / kRate));
    return {x, x};
}

Measures measure(const std::vector<float>& values)
{
    static const Channels riffIn = riff();
    static const Channels noteIn = heldNote();
    static const Channels loud = sine(0.3f);
    static const Channels soft = sine(0.03f);
    Measures m{};
    const Channels r = render(riffIn, values);
    m.levelDb = db(0.5 * (energy(r[0]) + energy(r[1])));
    const std::vector<float> mono = mid(r);
    constexpr double kButterworthQ = 0.70710678;
    m.brightnessDb = db(energy(biquad(mono, Shape::kHigh, 2500.0, kButterworthQ)) /
                        energy(biquad(mono, Shape::kLow, 250.0, kButterworthQ)));
    m.midDb = db(energy(biquad(mono, Shape::kBand, 500.0, 1.4)) / energy(mono));
    std::vector<float> side(mono.size());
    for (std::size_t i = 0; i < side.size(); ++i) side[i] = 0.5f * (r[0][i] - r[1][i]);
    m.widthDb = db(energy(side) / energy(mono));
    m.sustainS = sustainSeconds(render(noteIn, values)[0]);
    m.saturationDb = distortionDb(render(loud, values)[0], 220.0);
    m.softSaturationDb = distortionDb(render(soft, values)[0], 220.0);
    return m;
}

struct PresetsFixture : ::testing::Test {
    SilentHost host;
    Plug effect{host};

    std::vector<float> valuesOf(const kx::Preset& preset)
    {
        std::vector<float> values;
        EXPECT_TRUE(kx::presetValues(preset, effect.parameters, values)) << preset.key;
        return values;
    }
};

// What each preset is for, as a measurement against the default setting's (d).
struct Purpose {
    std::string_view key;
    const char* says;
    bool (*holds)(const Measures& m, const Measures& d);
};

constexpr double kMonoWidthDb = -100.0;  // the two outputs the same to the last bits or nearly

const Purpose kPurposes[] = {
    {"default", "is the default setting", [](const Measures&, const Measures&) { return true; }},
    {"clean_sustain", "saturates at least 8 dB less",
     [](const Measures& m, const Measures& d) { return m.saturationDb <= d.saturationDb - 8.0; }},
    {"country_compressor", "is 3 dB brighter and 6 dB cleaner when played softly",
     [](const Measures& m, const Measures& d) {
         return m.brightnessDb >= d.brightnessDb + 3.0 && m.softSaturationDb <= d.softSaturationDb - 6.0;
     }},
    {"warm_jazz", "is 10 dB darker",
     [](const Measures& m, const Measures& d) { return m.brightnessDb <= d.brightnessDb - 10.0; }},
    {"edge_of_breakup", "saturates 12 dB more when played hard than softly",
     [](const Measures& m, const Measures&) { return m.saturationDb >= m.softSaturationDb + 12.0; }},
    {"crunch", "saturates 5 dB more",
     [](const Measures& m, const Measures& d) { return m.saturationDb >= d.saturationDb + 5.0; }},
    {"wide_linked", "is 3 dB wider",
     [](const Measures& m, const Measures& d) { return m.widthDb >= d.widthDb + 3.0; }},
    {"blues_lead", "sustains 1.3 times as long, with more mids",
     [](const Measures& m, const Measures& d) { return m.sustainS >= 1.3 * d.sustainS && m.midDb >= d.midDb + 0.5; }},
    {"singing_lead", "sustains 1.5 times as long, in mono",
     [](const Measures& m, const Measures& d) { return m.sustainS >= 1.5 * d.sustainS && m.widthDb < kMonoWidthDb; }},
    {"scooped_rhythm", "has 3 dB less mids and saturates 5 dB more",
     [](const Measures& m, const Measures& d) {
         return m.midDb <= d.midDb - 3.0 && m.saturationDb >= d.saturationDb + 5.0;
     }},
    {"doom", "sustains twice as long, 10 dB darker, in mono",
     [](const Measures& m, const Measures& d) {
         return m.sustainS >= 2.0 * d.sustainS && m.brightnessDb <= d.brightnessDb - 10.0 && m.widthDb < kMonoWidthDb;
     }},
    {"full_saturation", "saturates 10 dB more when played hard, and most of all when played softly",
     [](const Measures& m, const Measures& d) { return m.saturationDb >= d.saturationDb + 10.0; }},
};

// Every preset sets every parameter once, within 0..1 (Stereo on one of its three options),
// has a unique key of the allowed characters, a name and a purpose; "default" is the defaults.
TEST_F(PresetsFixture, EachIsCompleteAndNamedOnce)
{
    const auto presets = kx::pluginPresets();
    EXPECT_GE(presets.size(), 10u);
    EXPECT_LE(presets.size(), 16u);
    std::map<std::string_view, int> keys, names;
    for (const kx::Preset& p : presets) {
        EXPECT_EQ(++keys[p.key], 1) << p.key;
        EXPECT_EQ(++names[p.name], 1) << p.name;
        EXPECT_FALSE(p.name.empty() || p.purpose.empty()) << p.key;
        EXPECT_EQ(p.key.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_"), std::string_view::npos) << p.key;
        EXPECT_EQ(p.values.size(), static_cast<std::size_t>(kNumParameters)) << p.key;
        const std::vector<float> values = valuesOf(p);
        for (std::size_t i = 0; i < values.size(); ++i) EXPECT_TRUE(values[i] >= 0.0f && values[i] <= 1.0f) << p.key;
        EXPECT_TRUE(values[kStereo] == 0.0f || values[kStereo] == 0.5f || values[kStereo] == 1.0f) << p.key;
        EXPECT_EQ(kx::findPreset(presets, p.key), kx::findPreset(presets, p.name));
    }
    const std::vector<float> first = valuesOf(presets[0]);
    for (int i = 0; i < kNumParameters; ++i)
        EXPECT_EQ(first[static_cast<std::size_t>(i)], effect.parameters.descriptors[static_cast<std::size_t>(i)].defaultValue);
}

// Level within 3 dB of the default setting's on the riff, and the preset's purpose measured.
// Prints the figures the presets were designed from.
TEST_F(PresetsFixture, EachKeepsTheLevelAndDoesWhatItSays)
{
    const auto presets = kx::pluginPresets();
    const Measures d = measure(valuesOf(presets[0]));
    double softest = -1e9;
    std::string_view mostSaturatedSoftly;
    for (const kx::Preset& p : presets) {
        const Measures m = measure(valuesOf(p));
        std::printf("%-20s level %6.2f dBFS  sustain %4.2f s  saturation %6.1f dB (soft %6.1f)  brightness %6.1f dB  "
                    "mids %6.1f dB  width %6.1f dB\n",
                    std::string(p.key).c_str(), m.levelDb, m.sustainS, m.saturationDb, m.softSaturationDb,
                    m.brightnessDb, m.midDb, std::max(m.widthDb, -999.0));
        EXPECT_NEAR(m.levelDb, d.levelDb, 3.0) << p.key;
        const auto purpose = std::find_if(std::begin(kPurposes), std::end(kPurposes),
                                          [&](const Purpose& q) { return q.key == p.key; });
        ASSERT_NE(purpose, std::end(kPurposes)) << p.key << " has no measured purpose";
        EXPECT_TRUE(purpose->holds(m, d)) << p.key << " " << purpose->says;
        if (m.softSaturationDb > softest) softest = m.softSaturationDb, mostSaturatedSoftly = p.key;
    }
    EXPECT_EQ(mostSaturatedSoftly, "full_saturation");
}

TEST(PresetLookup, RefusesWhatNoPresetIsAndIncompleteLists)
{
    const auto presets = kx::pluginPresets();
    EXPECT_EQ(kx::findPreset(presets, "crunch"), kx::findPreset(presets, "CRUNCH"));
    for (const char* text : {"", "crunc", "crunch ", "Crunch\n", "no such preset"})
        EXPECT_EQ(kx::findPreset(presets, text), -1) << text;

    SilentHost host;
    Plug effect{host};
    const kx::PresetValue partial[] = {{kDrive, 1.0f}};
    const kx::PresetValue foreign[] = {{kDrive, 1.0f}, {99, 0.5f}};
    std::vector<float> values = {0.25f};
    EXPECT_FALSE(kx::presetValues({"partial", "Partial", "", partial}, effect.parameters, values));
    EXPECT_FALSE(kx::presetValues({"foreign", "Foreign", "", foreign}, effect.parameters, values));
    EXPECT_EQ(values, std::vector<float>{0.25f});
    kx::applyPreset({"foreign", "Foreign", "", foreign}, effect.parameters);  // the unknown id is passed over
    EXPECT_EQ(effect.parameters.value(kDrive), 1.0f);
}

}  // namespace
}  // namespace plug
