#include "bricks/SVFFilterBrick.h"

#include "bricks/Lanes.h"

#include <algorithm>
#include <cmath>

namespace bricks {

void SVFFilterBrick::beginBlock()
{
    const float cutoff = controlValue(0);
    const float resonance = controlValue(1);

    if (cutoff != targetCutoff || sampleRate != targetRate) {
        float frequency = 20.0f * std::pow(2.0f, 10.0f * cutoff);
        frequency = std::clamp(frequency, 20.0f, 18000.0f);
        // Keep the cutoff below half the sample rate, where tan() would turn
        // negative; has no effect from 40 kHz up.
        frequency = std::min(frequency, sampleRate * 0.45f);
        gTarget = std::tan(frequency * 3.1415927f / sampleRate);
        targetCutoff = cutoff;
        targetRate = sampleRate;
    }
    dg = (gTarget - g) * kRampShare;
    damping = 2.0f - 2.0f * resonance;
}

void SVFFilterBrick::processRange(int begin, int end)
{
    if (begin == 0) beginBlock();
    const float* __restrict in = audioInputs[0];
    float* __restrict low = audioOutputs[0].data();
    float* __restrict band = audioOutputs[1].data();
    float* __restrict high = audioOutputs[2].data();
    SVFFilterBrick* const self[1] = {this};
    SvfKernel<float> f = kernel<float>(self, 1);
    for (int n = begin; n < end; ++n) {
        float v1, v2;
        f.step(in[n], v1, v2);
        low[n] = v2;
        band[n] = v1;
        high[n] = f.highPass(in[n], v1, v2);
    }
    keep(f, self, 1);
}

void SVFFilterBrick::processLanes(SVFFilterBrick* const* bricks, int count, int begin, int end)
{
    // Unused lanes filter silence with zero gain and damping into scratch blocks.
    alignas(16) static const float silence[kBlockSize] = {};
    alignas(16) float scratch[kBlockSize];
    const float* in[4];
    float* out[3][4];
    for (int j = 0; j < 4; ++j) {
        if (j < count && begin == 0) bricks[j]->beginBlock();
        in[j] = j < count ? bricks[j]->audioInputs[0] : silence;
        for (int o = 0; o < 3; ++o) out[o][j] = j < count ? bricks[j]->audioOutputs[o].data() : scratch;
    }
    using lanes::Float4;
    SvfKernel<Float4> f = kernel<Float4>(bricks, count);
    struct Outputs {
        __m128 low, band, high;
    };
    const auto sample = [&f](__m128 input) {
        const Float4 x{input};
        Float4 v1, v2;
        f.step(x, v1, v2);
        return Outputs{v2.v, v1.v, f.highPass(x, v1, v2).v};
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
    keep(f, bricks, count);
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
