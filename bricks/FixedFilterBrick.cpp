#include "bricks/FixedFilterBrick.h"

#include <cmath>

namespace bricks {

namespace {

// Angle, sine and cosine in single precision; the normalisation by the
// leading denominator coefficient is kept in double and every coefficient is
// rounded to single once, at the end.
struct Prewarp {
    float cosW;
    float alpha;
    double d;  // 1 / (1 + alpha)
};

Prewarp prewarp(float frequency, float q, float sampleRate)
{
    const float w = frequency * 6.2831855f / sampleRate;
    const float alpha = std::sin(w) / q;
    return {std::cos(w), alpha, 1.0 / (1.0 + double(alpha))};
}

}  // namespace

void FixedFilterBrick::process()
{
    const float* __restrict in = audioInputs[0];
    float* __restrict out = audioOutputs[0].data();
    const BiquadCoefficients c = coefficients_;
    float m1 = s1;
    float m2 = s2;
    for (int n = 0; n < kBlockSize; ++n) {
        const float x = in[n];
        const float y = c.b0 * x + m1;
        m1 = c.b1 * x + m2 - c.a1 * y;
        m2 = c.b2 * x - c.a2 * y;
        out[n] = y;
    }
    s1 = m1;
    s2 = m2;
}

void FixedFilterBrick::reset()
{
    s1 = 0.0f;
    s2 = 0.0f;
}

void FixedFilterBrick::setBandPass(float frequency, float q, bool clearState)
{
    const Prewarp p = prewarp(frequency, q, sampleRate);
    coefficients_.a1 = float(-2.0f * p.cosW * p.d);
    coefficients_.a2 = float((1.0f - p.alpha) * p.d);
    coefficients_.b0 = float(p.alpha * p.d);
    coefficients_.b1 = 0.0f;
    coefficients_.b2 = float(-p.alpha * p.d);
    if (clearState)
        reset();
}

void FixedFilterBrick::setHighPass(float frequency, float q, bool clearState)
{
    const Prewarp p = prewarp(frequency, q, sampleRate);
    coefficients_.a1 = float(-2.0f * p.cosW * p.d);
    coefficients_.a2 = float((1.0f - p.alpha) * p.d);
    coefficients_.b0 = float((1.0f + p.cosW) * 0.5f * p.d);
    coefficients_.b1 = float(-(1.0f + p.cosW) * p.d);
    coefficients_.b2 = float((1.0f + p.cosW) * 0.5f * p.d);
    if (clearState)
        reset();
}

void FixedFilterBrick::setLowPass(float frequency, float q, bool clearState)
{
    const Prewarp p = prewarp(frequency, q, sampleRate);
    coefficients_.a1 = float(-2.0f * p.cosW * p.d);
    coefficients_.a2 = float((1.0f - p.alpha) * p.d);
    coefficients_.b0 = float((1.0f - p.cosW) * 0.5f * p.d);
    coefficients_.b1 = float((1.0f - p.cosW) * p.d);
    coefficients_.b2 = float((1.0f - p.cosW) * 0.5f * p.d);
    if (clearState)
        reset();
}

}  // namespace bricks
