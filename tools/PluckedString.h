#pragma once
// One Karplus-Strong string: a delay line one period long, refilled with a
// filtered noise burst at each pluck and fed back through a two-point average.

#include <cstdint>
#include <vector>

namespace tools {

class PluckedString {
public:
    // Allocates a delay line long enough for `lowestHz` at `sampleRate`.
    PluckedString(int sampleRate, float lowestHz);

    // Starts a note: amplitude is the peak of the excitation (at most 1), brightness
    // in (0, 1] the one-pole smoothing of the noise, decaySeconds the time to fall by 60 dB.
    void pluck(float frequency, float amplitude, float brightness, float decaySeconds, std::uint64_t seed);
    // Shortens the ringing note's decay, as a palm or a lifted finger does.
    void damp(float decaySeconds);

    float next()
    {
        float out = line[position];
        int following = position + 1 == length ? 0 : position + 1;
        line[position] = feedback * 0.5f * (out + line[following]);
        position = following;
        return out;
    }

private:
    float gainFor(float decaySeconds) const;

    float sampleRate;
    std::vector<float> line;
    int length = 2;
    int position = 0;
    float feedback = 0.0f;
};

}  // namespace tools
