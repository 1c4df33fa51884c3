#pragma once
// One Karplus-Strong string: a noise burst circulating in a delay line one period
// long, fed back through a two-point average. The period may be fractional: the
// delay is read with linear interpolation, so every new sample is a weighted mean
// of older ones and the string never grows beyond its pluck.

#include <cstdint>
#include <vector>

namespace tools {

class PluckedString {
public:
    // Allocates a delay line long enough for `lowestHz` at `sampleRate`.
    PluckedString(int sampleRate, float lowestHz);

    // Starts a note: amplitude is the peak of the excitation (at most 1), brightness
    // in (0, 1] the one-pole smoothing of the noise, decaySeconds the time to fall by 60 dB.
    // Frequencies below the line's lowest sound at that lowest one.
    void pluck(float frequency, float amplitude, float brightness, float decaySeconds, std::uint64_t seed);
    // Shortens the ringing note's decay, as a palm or a lifted finger does.
    void damp(float decaySeconds);

    float next()
    {
        const float y = feedback * 0.5f * (tap(whole) + tap(whole + 1));
        line[static_cast<std::size_t>(write)] = y;
        write = write + 1 == size ? 0 : write + 1;
        return y;
    }

private:
    // The sample `delay + fraction` frames back, by linear interpolation.
    float tap(int delay) const
    {
        int newer = write - delay;
        if (newer < 0) newer += size;
        const int older = newer == 0 ? size - 1 : newer - 1;
        return (1.0f - fraction) * line[static_cast<std::size_t>(newer)] +
               fraction * line[static_cast<std::size_t>(older)];
    }
    float gainFor(float decaySeconds) const;

    float sampleRate;
    std::vector<float> line;
    int size;
    int write = 0;
    int whole = 1;          // whole frames of the delay before the average
    float fraction = 0.0f;  // and its fractional part
    float period = 2.0f;    // loop delay in frames: whole + fraction + 0.5 for the average
    float feedback = 0.0f;
};

}  // namespace tools
