#include "bricks/SVFFilterBrick.h"

#include "bricks/Lanes.h"

#include <xmmintrin.h>

#include <algorithm>
#include <cmath>

namespace bricks {

void SVFFilterBrick::beginBlock()
{
    const float cutoff = controlValue(0);
    const float resonance = controlValue(1);

    float frequency = 20.0f * std::pow(2.0f, 10.0f * cutoff);
    frequency = std::clamp(frequency, 20.0f, 18000.0f);
    // Keep the cutoff below half the sample rate, where tan() would turn
    // negative; has no effect from 40 kHz up.
    frequency = std::min(frequency, sampleRate * 0.45f);
    const float gTarget = std::tan(frequency * 3.1415927f / sampleRate);
    dg = (gTarget - g) * kRampShare;
    damping = 2.0f - 2.0f * resonance;
}

void SVFFilterBrick::processRange(int begin, int end)
{
    if (begin == 0)
        beginBlock();
    const float k = damping;
    const float* __restrict in = audioInputs[0];
    float* __restrict low = audioOutputs[0].data();
    float* __restrict band = audioOutputs[1].data();
    float* __restrict high = audioOutputs[2].data();
    float gain = g;
    const float step = dg;
    float i1 = ic1;
    float i2 = ic2;
    for (int n = begin; n < end; ++n) {
        const float x = in[n];
        gain = gain + step;
        const float a1 = 1.0f / (1.0f + gain * (gain + k));
        const float a2 = gain * a1;
        const float a3 = gain * a2;
        const float v3 = x - i2;
        const float v1 = a1 * i1 + a2 * v3;
        const float v2 = i2 + a2 * i1 + a3 * v3;
        i1 = 2.0f * v1 - i1;
        i2 = 2.0f * v2 - i2;
        low[n] = v2;
        band[n] = v1;
        high[n] = x - k * v1 - v2;
    }
    g = gain;
    ic1 = i1;
    ic2 = i2;
}

void SVFFilterBrick::processLanes(SVFFilterBrick* const* bricks, int count, int begin, int end)
{
    // Unused lanes filter silence with zero gain and damping into scratch blocks.
    alignas(16) static const float silence[kBlockSize] = {};
    alignas(16) float scratch[kBlockSize];
    const float* in[4];
    float* out[3][4];
    alignas(16) float lane[5][4] = {};  // k, g, dg, ic1, ic2 per lane
    for (int j = 0; j < 4; ++j) {
        in[j] = silence;
        for (int o = 0; o < 3; ++o)
            out[o][j] = scratch;
        if (j >= count)
            continue;
        SVFFilterBrick& f = *bricks[j];
        if (begin == 0)
            f.beginBlock();
        lane[0][j] = f.damping;
        lane[1][j] = f.g;
        lane[2][j] = f.dg;
        lane[3][j] = f.ic1;
        lane[4][j] = f.ic2;
        in[j] = f.audioInputs[0];
        for (int o = 0; o < 3; ++o)
            out[o][j] = f.audioOutputs[o].data();
    }
    const __m128 k = _mm_load_ps(lane[0]);
    __m128 gain = _mm_load_ps(lane[1]);
    const __m128 step = _mm_load_ps(lane[2]);
    __m128 i1 = _mm_load_ps(lane[3]);
    __m128 i2 = _mm_load_ps(lane[4]);
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 two = _mm_set1_ps(2.0f);
    struct Outputs {
        __m128 low, band, high;
    };
    // One sample of every lane.
    const auto sample = [&](__m128 x) {
        gain = _mm_add_ps(gain, step);
        const __m128 a1 = _mm_div_ps(one, _mm_add_ps(one, _mm_mul_ps(gain, _mm_add_ps(gain, k))));
        const __m128 a2 = _mm_mul_ps(gain, a1);
        const __m128 a3 = _mm_mul_ps(gain, a2);
        const __m128 v3 = _mm_sub_ps(x, i2);
        const __m128 v1 = _mm_add_ps(_mm_mul_ps(a1, i1), _mm_mul_ps(a2, v3));
        const __m128 v2 = _mm_add_ps(_mm_add_ps(i2, _mm_mul_ps(a2, i1)), _mm_mul_ps(a3, v3));
        i1 = _mm_sub_ps(_mm_mul_ps(two, v1), i1);
        i2 = _mm_sub_ps(_mm_mul_ps(two, v2), i2);
        return Outputs{v2, v1, _mm_sub_ps(_mm_sub_ps(x, _mm_mul_ps(k, v1)), v2)};
    };
    // Four samples of the four lanes at a time, transposed so that one
    // register holds one sample of every lane.
    for (int n = begin; n < end; n += 4) {
        __m128 x[4];
        lanes::loadTransposed(in, n, x);
        const Outputs y0 = sample(x[0]);
        const Outputs y1 = sample(x[1]);
        const Outputs y2 = sample(x[2]);
        const Outputs y3 = sample(x[3]);
        lanes::storeTransposed(out[0], n, y0.low, y1.low, y2.low, y3.low);
        lanes::storeTransposed(out[1], n, y0.band, y1.band, y2.band, y3.band);
        lanes::storeTransposed(out[2], n, y0.high, y1.high, y2.high, y3.high);
    }
    _mm_store_ps(lane[1], gain);
    _mm_store_ps(lane[3], i1);
    _mm_store_ps(lane[4], i2);
    for (int j = 0; j < count; ++j) {
        bricks[j]->g = lane[1][j];
        bricks[j]->ic1 = lane[3][j];
        bricks[j]->ic2 = lane[4][j];
    }
}

void SVFFilterBrick::reset()
{
    ic1 = 0.0f;
    ic2 = 0.0f;
    g = 0.0f;
    dg = 0.0f;
    damping = 2.0f;
}

}  // namespace bricks
