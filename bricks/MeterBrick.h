#pragma once

#include <algorithm>
#include <cmath>

#include "bricks/DspBrick.h"

namespace bricks {

// Level meter: every Stride-th sample of a block gives an RMS and a peak
// value; their cube roots are smoothed once per block (5/64 of the gap) into
// control outputs 0 rmsLevel and 1 peakLevel, which the editor reads from its
// own thread.
template<int Stride>
class MeterBrick : public DspBrickImpl<0, 2, 1, 0> {
public:
    static_assert(kBlockSize % Stride == 0);

    void process() override { processRange(0, kBlockSize); }

    // The sums run on across the ranges of a block; the levels are published
    // when the block is complete.
    void processRange(int begin, int end) override
    {
        if (begin == 0) {
            sumSq = 0.0f;
            maxV = 1.1754944e-38f;  // smallest positive normal float
            minV = 3.4028235e38f;   // largest float
        }
        const float* __restrict in = audioInputs[0];
        float sum = sumSq;
        float highest = maxV;
        float lowest = minV;
        for (int n = (begin + Stride - 1) / Stride * Stride; n < end; n += Stride) {
            const float x = in[n];
            sum = sum + x * x;
            if (x > highest) highest = x;
            lowest = x < lowest ? x : lowest;
        }
        sumSq = sum;
        maxV = highest;
        minV = lowest;
        if (end == kBlockSize) publish();
    }

    void reset() override
    {
        rmsMemory = 0.0f;
        peakMemory = 0.0f;
        kx::storeRelaxed(controlOutputs[0], 0.0f);
        kx::storeRelaxed(controlOutputs[1], 0.0f);
    }

private:
    void publish()
    {
        constexpr int count = kBlockSize / Stride;
        const float rms = std::sqrt(sumSq * (1.0f / float(count)));
        const float peak = std::max(-minV, maxV);
        rmsMemory = rmsMemory * 0.921875f + std::cbrt(rms) * 0.078125f;
        peakMemory = peakMemory * 0.921875f + std::cbrt(peak) * 0.078125f;
        kx::storeRelaxed(controlOutputs[0], rmsMemory);
        kx::storeRelaxed(controlOutputs[1], peakMemory);
    }

    float rmsMemory = 0.0f;
    float peakMemory = 0.0f;
    // Of the samples taken so far in the current block.
    float sumSq = 0.0f;
    float maxV = 0.0f;
    float minV = 0.0f;
};

}  // namespace bricks
