#include "bricks/FixedFilterBrick.h"

#include "bricks/Lanes.h"

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
    FixedFilterBrick* const self[1] = {this};
    BiquadKernel<float> k = kernel<float>(self, 1);
    for (int n = begin; n < end; ++n) out[n] = k.step(in[n]);
    keep(k, self, 1);
}

void FixedFilterBrick::processLanes(FixedFilterBrick* const* bricks, int count, int begin, int end)
{
    // Unused lanes filter silence with zero coefficients into a scratch block.
    alignas(16) static const float silence[kBlockSize] = {};
    alignas(16) float scratch[kBlockSize];
    const float* in[4];
    float* out[4];
    for (int k = 0; k < 4; ++k) {
        in[k] = k < count ? bricks[k]->audioInputs[0] : silence;
        out[k] = k < count ? bricks[k]->audioOutputs[0].data() : scratch;
    }
    BiquadKernel<lanes::Float4> k = kernel<lanes::Float4>(bricks, count);
    // Four samples of the four lanes at a time, transposed so that one
    // register holds one sample of every lane.
    for (int n = begin; n < end; n += 4) {
        __m128 x[4];
        lanes::loadTransposed(in, n, x);
        const __m128 y0 = k.step({x[0]}).v;
        const __m128 y1 = k.step({x[1]}).v;
        const __m128 y2 = k.step({x[2]}).v;
        const __m128 y3 = k.step({x[3]}).v;
        lanes::storeTransposed(out, n, y0, y1, y2, y3);
    }
    keep(k, bricks, count);
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
    if (clearState) reset();
}

void FixedFilterBrick::setHighPass(float frequency, float q, bool clearState)
{
    const Prewarp p = prewarp(frequency, q, sampleRate);
    coefficients_.a1 = float(-2.0f * p.cosW * p.d);
    coefficients_.a2 = float((1.0f - p.alpha) * p.d);
    coefficients_.b0 = float((1.0f + p.cosW) * 0.5f * p.d);
    coefficients_.b1 = float(-(1.0f + p.cosW) * p.d);
    coefficients_.b2 = float((1.0f + p.cosW) * 0.5f * p.d);
    if (clearState) reset();
}

void FixedFilterBrick::setLowPass(float frequency, float q, bool clearState)
{
    const Prewarp p = prewarp(frequency, q, sampleRate);
    coefficients_.a1 = float(-2.0f * p.cosW * p.d);
    coefficients_.a2 = float((1.0f - p.alpha) * p.d);
    coefficients_.b0 = float((1.0f - p.cosW) * 0.5f * p.d);
    coefficients_.b1 = float((1.0f - p.cosW) * p.d);
    coefficients_.b2 = float((1.0f - p.cosW) * 0.5f * p.d);
    if (clearState) reset();
}

}  // namespace bricks
