#pragma once
// Small helpers shared by the brick tests: aligned blocks, a deterministic
// noise source and sine-amplitude measurement.

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "bricks/DspBrick.h"

namespace brickstest {

using Block = std::array<float, bricks::kBlockSize>;

struct alignas(32) AlignedBlock {
    Block samples{};
    float* data() { return samples.data(); }
    float& operator[](int i) { return samples[i]; }
};

// Uniform values in -1..1 from a fixed 32-bit LCG.
class Noise {
public:
    explicit Noise(std::uint32_t seed = 12345u) : state(seed) {}
    float next()
    {
        state = state * 1664525u + 1013904223u;
        return float(double(state) / 2147483648.0 - 1.0);
    }

private:
    std::uint32_t state;
};

// Index of the first sample whose bits differ between two blocks, or -1.
inline int firstBitDifference(const float* a, const float* b)
{
    for (int n = 0; n < bricks::kBlockSize; ++n)
        if (std::bit_cast<std::uint32_t>(a[n]) != std::bit_cast<std::uint32_t>(b[n])) return n;
    return -1;
}

constexpr double kPi = 3.14159265358979323846;

// Amplitude of the sinusoid at `frequency` that best fits `signal` (least
// squares on a cosine and a sine, so any length works).
inline double amplitudeAt(const std::vector<float>& signal, double frequency, double sampleRate)
{
    double cc = 0.0, ss = 0.0, cs = 0.0, yc = 0.0, ys = 0.0;
    for (std::size_t n = 0; n < signal.size(); ++n) {
        const double phase = 2.0 * kPi * frequency * double(n) / sampleRate;
        const double c = std::cos(phase);
        const double s = std::sin(phase);
        cc += c * c;
        ss += s * s;
        cs += c * s;
        yc += signal[n] * c;
        ys += signal[n] * s;
    }
    const double det = cc * ss - cs * cs;
    const double a = (yc * ss - ys * cs) / det;
    const double b = (ys * cc - yc * cs) / det;
    return std::hypot(a, b);
}

}  // namespace brickstest
