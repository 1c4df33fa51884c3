#include "bricks/FixedFilterBrick.h"

#include "bricks/Lanes.h"

#include <xmmintrin.h>

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

void FixedFilterBrick::processRange(int begin, int end)
{
    const float* __restrict in = audioInputs[0];
    float* __restrict out = audioOutputs[0].data();
    const BiquadCoefficients c = coefficients_;
    float m1 = s1;
    float m2 = s2;
    for (int n = begin; n < end; ++n) {
        const float x = in[n];
        const float y = c.b0 * x + m1;
        m1 = c.b1 * x + m2 - c.a1 * y;
        m2 = c.b2 * x - c.a2 * y;
        out[n] = y;
    }
    s1 = m1;
    s2 = m2;
}

void FixedFilterBrick::processLanes(FixedFilterBrick* const* bricks, int count, int begin, int end)
{
    // Unused lanes filter silence with zero coefficients into a scratch block.
    alignas(16) static const float silence[kBlockSize] = {};
    alignas(16) float scratch[kBlockSize];
    const float* in[4];
    float* out[4];
    alignas(16) float lane[7][4] = {};  // a1, a2, b0, b1, b2, s1, s2 per lane
    for (int k = 0; k < 4; ++k) {
        in[k] = silence;
        out[k] = scratch;
        if (k >= count)
            continue;
        const FixedFilterBrick& f = *bricks[k];
        in[k] = f.audioInputs[0];
        out[k] = bricks[k]->audioOutputs[0].data();
        lane[0][k] = f.coefficients_.a1;
        lane[1][k] = f.coefficients_.a2;
        lane[2][k] = f.coefficients_.b0;
        lane[3][k] = f.coefficients_.b1;
        lane[4][k] = f.coefficients_.b2;
        lane[5][k] = f.s1;
        lane[6][k] = f.s2;
    }
    const __m128 a1 = _mm_load_ps(lane[0]);
    const __m128 a2 = _mm_load_ps(lane[1]);
    const __m128 b0 = _mm_load_ps(lane[2]);
    const __m128 b1 = _mm_load_ps(lane[3]);
    const __m128 b2 = _mm_load_ps(lane[4]);
    __m128 m1 = _mm_load_ps(lane[5]);
    __m128 m2 = _mm_load_ps(lane[6]);
    const auto section = [&](__m128 x) {
        const __m128 y = _mm_add_ps(_mm_mul_ps(b0, x), m1);
        m1 = _mm_sub_ps(_mm_add_ps(_mm_mul_ps(b1, x), m2), _mm_mul_ps(a1, y));
        m2 = _mm_sub_ps(_mm_mul_ps(b2, x), _mm_mul_ps(a2, y));
        return y;
    };
    // Four samples of the four lanes at a time, transposed so that one
    // register holds one sample of every lane.
    for (int n = begin; n < end; n += 4) {
        __m128 x[4];
        lanes::loadTransposed(in, n, x);
        const __m128 y0 = section(x[0]);
        const __m128 y1 = section(x[1]);
        const __m128 y2 = section(x[2]);
        const __m128 y3 = section(x[3]);
        lanes::storeTransposed(out, n, y0, y1, y2, y3);
    }
    _mm_store_ps(lane[5], m1);
    _mm_store_ps(lane[6], m2);
    for (int k = 0; k < count; ++k) {
        bricks[k]->s1 = lane[5][k];
        bricks[k]->s2 = lane[6][k];
    }
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
