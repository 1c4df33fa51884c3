#pragma once
// Test and demo signals: a plucked-string guitar riff, silence, a full-scale
// noise burst and a sine sweep, at any sample rate, length and channel count.

#include "AudioBuffer.h"

#include <cstdint>

namespace tools {

class Signals {
public:
    // An E-minor riff at 120 bpm on six Karplus-Strong strings panned across the
    // stereo field (power chords, palm-muted chugs, a short lick). The seed picks
    // the variation, dynamics, timing and string noise; the same seed gives the
    // same samples. Peaks stay below 0.9.
    static AudioBuffer guitarRiff(std::uint64_t seed, int sampleRate, std::int64_t frames, int channels = 2);

    static AudioBuffer silence(int sampleRate, std::int64_t frames, int channels = 2);

    // White noise scaled so that its largest sample is exactly 1.0 in magnitude.
    static AudioBuffer burst(std::uint64_t seed, int sampleRate, std::int64_t frames, int channels = 2);

    // A sine of amplitude 0.5 whose frequency rises exponentially from 20 Hz to
    // 20 kHz (or 0.45 of the rate, if lower) over the length; the same on every channel.
    static AudioBuffer sweep(int sampleRate, std::int64_t frames, int channels = 2);
};

}  // namespace tools
