#pragma once

namespace bricks {

// One normalised second-order section:
// H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2).
struct BiquadCoefficients {
    float a1 = 0.0f;
    float a2 = 0.0f;
    float b0 = 0.0f;
    float b1 = 0.0f;
    float b2 = 0.0f;
};

// One sample through sections in transposed direct form II, one section per
// lane of V (a float, or floats side by side).
template<class V>
struct BiquadKernel {
    V a1, a2, b0, b1, b2;
    V s1, s2;  // the two state memories

    [[gnu::always_inline]] V step(V x)
    {
        const V y = b0 * x + s1;
        s1 = b1 * x + s2 - a1 * y;
        s2 = b2 * x - a2 * y;
        return y;
    }
};

}  // namespace bricks
