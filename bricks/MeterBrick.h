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

    void process() override
    {
        constexpr int count = kBlockSize / Stride;
        const float* __restrict in = audioInputs[0];
        float sumSq = 0.0f;
        float maxV = 1.1754944e-38f;  // smallest positive normal float
        float minV = 3.4028235e38f;   // largest float
        for (int i = 0; i < count; ++i) {
            const float x = in[i * Stride];
            sumSq = sumSq + x * x;
            if (x > maxV)
                maxV = x;
            minV = x < minV ? x : minV;
        }
        const float rms = std::sqrt(sumSq * (1.0f / float(count)));
        const float peak = std::max(-minV, maxV);
        rmsMemory = rmsMemory * 0.921875f + std::cbrt(rms) * 0.078125f;
        peakMemory = peakMemory * 0.921875f + std::cbrt(peak) * 0.078125f;
        kx::storeRelaxed(controlOutputs[0], rmsMemory);
        kx::storeRelaxed(controlOutputs[1], peakMemory);
    }

    void reset() override
    {
        rmsMemory = 0.0f;
        peakMemory = 0.0f;
        kx::storeRelaxed(controlOutputs[0], 0.0f);
        kx::storeRelaxed(controlOutputs[1], 0.0f);
    }

private:
    float rmsMemory = 0.0f;
    float peakMemory = 0.0f;
};

}  // namespace bricks
