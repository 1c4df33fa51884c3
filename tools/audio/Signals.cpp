#include "Signals.h"

#include "PluckedString.h"
#include "Random.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace tools {

namespace {

constexpr int kStrings = 6;
constexpr std::array<int, kStrings> kOpenStrings = {40, 45, 50, 55, 59, 64};  // E2 A2 D3 G3 B3 E4 as MIDI notes
constexpr float kStepSeconds = 0.25f;                                         // eighth notes at 120 bpm
constexpr int kStepsPerBar = 8;
constexpr float kMixGain = 0.15f;  // six strings at full amplitude stay below 0.9

// One eighth note: up to three fretted strings (-1 = not played) and whether the palm mutes it.
struct Step {
    std::array<int, kStrings> frets;
    bool palmMute;
};

constexpr int x = -1;
constexpr Step kRest = {{x, x, x, x, x, x}, false};

// Bar 1 is the same every time; bar 2 is one of four answers picked by the seed.
constexpr std::array<Step, kStepsPerBar> kBarOne = {{
    {{0, 2, 2, x, x, x}, false},  // E5
    {{0, x, x, x, x, x}, true},
    {{0, x, x, x, x, x}, true},
    {{3, 5, x, x, x, x}, false},  // G5
    {{0, x, x, x, x, x}, true},
    {{5, 7, x, x, x, x}, false},  // A5
    {{0, x, x, x, x, x}, true},
    {{x, 2, 4, x, x, x}, false},  // B5
}};

constexpr std::array<std::array<Step, kStepsPerBar>, 4> kBarTwo = {{
    {{
        {{0, 2, 2, x, x, x}, false},
        {{0, x, x, x, x, x}, true},
        {{x, 3, 5, x, x, x}, false},  // C5
        {{x, 3, 5, x, x, x}, true},
        {{x, 5, 7, x, x, x}, false},  // D5
        {{x, 5, 7, x, x, x}, true},
        {{0, x, x, x, x, x}, true},
        kRest,
    }},
    {{
        {{0, 2, 2, x, x, x}, false},
        kRest,
        {{x, x, x, 2, x, x}, false},  // lick on the high strings
        {{x, x, x, x, 3, x}, false},
        {{x, x, x, x, x, 0}, false},
        {{x, x, x, x, 3, x}, false},
        {{x, x, x, 2, x, x}, false},
        {{0, x, x, x, x, x}, true},
    }},
    {{
        {{0, 2, 2, 1, 0, 0}, false},  // full E minor chord, left ringing
        kRest,
        kRest,
        {{0, x, x, x, x, x}, true},
        {{3, 2, 0, 0, 0, 3}, false},  // G major
        kRest,
        {{0, x, x, x, x, x}, true},
        {{0, x, x, x, x, x}, true},
    }},
    {{
        {{0, x, x, x, x, x}, true},
        {{0, x, x, x, x, x}, true},
        {{0, x, x, x, x, x}, true},
        {{0, x, x, x, x, x}, true},
        {{x, 3, 5, x, x, x}, false},
        {{x, 2, 4, x, x, x}, false},
        {{x, 0, 2, x, x, x}, false},  // A5 open
        {{x, 2, 4, x, x, x}, false},
    }},
}};

float noteHz(int midiNote) { return 440.0f * std::pow(2.0f, static_cast<float>(midiNote - 69) / 12.0f); }

void checkShape(int sampleRate, std::int64_t frames, int channels)
{
    if (sampleRate < 1000) throw std::invalid_argument("sample rate below 1000 Hz");
    if (frames < 0) throw std::invalid_argument("negative length");
    if (channels < 1) throw std::invalid_argument("no channels");
}

}  // namespace

AudioBuffer Signals::guitarRiff(std::uint64_t seed, int sampleRate, std::int64_t frames, int channels)
{
    checkShape(sampleRate, frames, channels);
    AudioBuffer audio = AudioBuffer::zeros(sampleRate, channels, frames);

    Random random(seed);
    const auto& answer = kBarTwo[random.nextBits() % kBarTwo.size()];

    std::array<PluckedString, kStrings> strings = {
        PluckedString(sampleRate, noteHz(kOpenStrings[0])), PluckedString(sampleRate, noteHz(kOpenStrings[1])),
        PluckedString(sampleRate, noteHz(kOpenStrings[2])), PluckedString(sampleRate, noteHz(kOpenStrings[3])),
        PluckedString(sampleRate, noteHz(kOpenStrings[4])), PluckedString(sampleRate, noteHz(kOpenStrings[5])),
    };
    // Low strings a little left, high strings a little right, constant power.
    std::array<std::array<float, 2>, kStrings> pan{};
    for (int s = 0; s < kStrings; ++s) {
        const float position = 0.6f * (static_cast<float>(s) / static_cast<float>(kStrings - 1) - 0.5f);
        const float angle = (position + 1.0f) * 0.25f * 3.14159265f;
        pan[static_cast<std::size_t>(s)] = {std::cos(angle) * kMixGain, std::sin(angle) * kMixGain};
    }
    const float monoGain = channels == 1 ? 0.7071f : 1.0f;

    const auto stepFrames = static_cast<std::int64_t>(std::llround(kStepSeconds * static_cast<float>(sampleRate)));
    const auto jitterFrames = static_cast<float>(sampleRate) * 0.004f;  // players are a few ms off the grid
    std::int64_t step = 0;
    std::int64_t nextStepFrame = 0;

    for (std::int64_t frame = 0; frame < frames; ++frame) {
        while (frame >= nextStepFrame) {
            const auto barStep = static_cast<std::size_t>(step % (2 * kStepsPerBar));
            const Step& current = barStep < kStepsPerBar ? kBarOne[barStep] : answer[barStep - kStepsPerBar];
            const float velocity = 0.75f + 0.25f * random.unit();
            for (int s = 0; s < kStrings; ++s) {
                auto& string = strings[static_cast<std::size_t>(s)];
                const int fret = current.frets[static_cast<std::size_t>(s)];
                if (fret < 0) {
                    if (current.palmMute) string.damp(0.08f);
                    continue;
                }
                const float hz = noteHz(kOpenStrings[static_cast<std::size_t>(s)] + fret);
                if (current.palmMute) {
                    string.pluck(hz, velocity, 0.35f, 0.15f, random.nextBits());
                } else {
                    string.pluck(hz, velocity, 0.75f, 2.5f, random.nextBits());
                }
            }
            ++step;
            const auto jitter = static_cast<std::int64_t>(std::lround(random.bipolar() * jitterFrames));
            nextStepFrame = std::max(frame + 1, step * stepFrames + jitter);
        }
        float left = 0.0f;
        float right = 0.0f;
        for (int s = 0; s < kStrings; ++s) {
            const float sample = strings[static_cast<std::size_t>(s)].next();
            left += sample * pan[static_cast<std::size_t>(s)][0];
            right += sample * pan[static_cast<std::size_t>(s)][1];
        }
        const auto index = static_cast<std::size_t>(frame);
        if (channels == 1) {
            audio.channels[0][index] = (left + right) * monoGain;
            continue;
        }
        for (int c = 0; c < channels; ++c) {
            audio.channels[static_cast<std::size_t>(c)][index] = c % 2 == 0 ? left : right;
        }
    }
    return audio;
}

AudioBuffer Signals::silence(int sampleRate, std::int64_t frames, int channels)
{
    checkShape(sampleRate, frames, channels);
    return AudioBuffer::zeros(sampleRate, channels, frames);
}

AudioBuffer Signals::burst(std::uint64_t seed, int sampleRate, std::int64_t frames, int channels)
{
    checkShape(sampleRate, frames, channels);
    AudioBuffer audio = AudioBuffer::zeros(sampleRate, channels, frames);
    Random random(seed);
    float peak = 0.0f;
    for (auto& channel : audio.channels) {
        for (float& sample : channel) {
            sample = random.bipolar();
            peak = std::max(peak, std::fabs(sample));
        }
    }
    if (peak > 0.0f) {
        for (auto& channel : audio.channels) {
            for (float& sample : channel) sample /= peak;
        }
    }
    return audio;
}

AudioBuffer Signals::sweep(int sampleRate, std::int64_t frames, int channels)
{
    checkShape(sampleRate, frames, channels);
    AudioBuffer audio = AudioBuffer::zeros(sampleRate, channels, frames);
    constexpr double kFromHz = 20.0;
    const double toHz = std::min(20000.0, 0.45 * sampleRate);
    // Phase of f(t) = f0 * (f1 / f0)^(t / T): 2 pi f0 T (e^(k t / T) - 1) / k, k = ln(f1 / f0).
    const double seconds = std::max(1.0, static_cast<double>(frames)) / sampleRate;
    const double k = std::log(toHz / kFromHz);
    for (std::int64_t frame = 0; frame < frames; ++frame) {
        const double t = static_cast<double>(frame) / sampleRate;
        const double phase = 2.0 * std::numbers::pi * kFromHz * seconds * std::expm1(k * t / seconds) / k;
        const auto sample = static_cast<float>(0.5 * std::sin(phase));
        for (auto& channel : audio.channels) channel[static_cast<std::size_t>(frame)] = sample;
    }
    return audio;
}

}  // namespace tools
