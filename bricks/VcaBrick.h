#pragma once

#include "bricks/DspBrick.h"

namespace bricks {

// Gain stage with a cubic control law (gain^3), ramped linearly across each
// block from the previous gain to the new one. Control input 0 gain, nominally
// 0..1. The template argument selects nothing further.
template<int Variant>
class VcaBrick : public DspBrickImpl<1, 0, 1, 1> {
public:
    void process() override
    {
        const float control = controlValue(0);
        const float target = control * control * control;
        step = (target - currentGain) * 0.0078125f;
        const float* __restrict in = audioInputs[0];
        float* __restrict out = audioOutputs[0].data();
        float gain = currentGain;
        const float d = step;
        for (int n = 0; n < kBlockSize; ++n) {
            gain = gain + d;
            out[n] = gain * in[n];
        }
        currentGain = gain;
    }

    void reset() override {}

private:
    float currentGain = 0.0f;  // gain applied to the last sample of the previous block
    float step = 0.0f;         // per-sample increment of the previous block
};

}  // namespace bricks
