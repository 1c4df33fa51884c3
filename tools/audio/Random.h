#pragma once
// Small deterministic generator (splitmix64): the same seed gives the same
// numbers on every platform and standard library.

#include <cstdint>

namespace tools {

class Random {
public:
    explicit Random(std::uint64_t seed) : state(seed) {}

    std::uint64_t nextBits()
    {
        state += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1), 24 significant bits.
    float unit() { return static_cast<float>(nextBits() >> 40) * (1.0f / 16777216.0f); }
    // Uniform in [-1, 1).
    float bipolar() { return 2.0f * unit() - 1.0f; }

private:
    std::uint64_t state;
};

}  // namespace tools
