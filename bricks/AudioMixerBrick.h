#pragma once

#include <array>

#include "bricks/DspBrick.h"

namespace bricks {

// Sums Inputs audio inputs, each with its own linear gain (control input k
// for audio input k) ramped across the block. The sum is formed input by
// input, in index order, which fixes its rounding. The second template
// argument selects nothing further.
template<int Inputs, int Variant>
class AudioMixerBrick : public DspBrickImpl<Inputs, 0, Inputs, 1> {
    using Base = DspBrickImpl<Inputs, 0, Inputs, 1>;

public:
    void process() override
    {
        float gain[Inputs];
        float step[Inputs];
        const float* __restrict in[Inputs];
        for (int k = 0; k < Inputs; ++k) {
            const float target = this->controlValue(k);
            ramps[k].step = (target - ramps[k].current) * 0.0078125f;
            gain[k] = ramps[k].current;
            step[k] = ramps[k].step;
            in[k] = this->audioInputs[k];
        }
        float* __restrict out = this->audioOutputs[0].data();
        // One pass over the samples; per sample the inputs are still added
        // in index order onto 0, as a pass per input would.
        for (int n = 0; n < kBlockSize; ++n) {
            float sum = 0.0f;
            for (int k = 0; k < Inputs; ++k) {
                gain[k] = gain[k] + step[k];
                sum = sum + gain[k] * in[k][n];
            }
            out[n] = sum;
        }
        for (int k = 0; k < Inputs; ++k)
            ramps[k].current = gain[k];
    }

    void reset() override {}

private:
    struct Ramp {
        float current = 0.0f;
        float step = 0.0f;
    };

    std::array<Ramp, Inputs> ramps{};
};

}  // namespace bricks
