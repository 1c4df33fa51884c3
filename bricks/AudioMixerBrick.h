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
        // The gain ramps are serial sums; form them first (the inputs' ramps
        // interleave), then mix with a loop free of carried state.
        alignas(32) float gain[Inputs][kBlockSize];
        float current[Inputs];
        float step[Inputs];
        for (int k = 0; k < Inputs; ++k) {
            const float target = this->controlValue(k);
            ramps[k].step = (target - ramps[k].current) * 0.0078125f;
            current[k] = ramps[k].current;
            step[k] = ramps[k].step;
        }
        for (int n = 0; n < kBlockSize; ++n)
#pragma GCC unroll 8
            for (int k = 0; k < Inputs; ++k) {
                current[k] = current[k] + step[k];
                gain[k][n] = current[k];
            }
        for (int k = 0; k < Inputs; ++k)
            ramps[k].current = current[k];

        // Per sample the inputs are added in index order onto 0, exactly as
        // a pass per input over a cleared output would.
        const float* in[Inputs];
        for (int k = 0; k < Inputs; ++k)
            in[k] = this->audioInputs[k];
        float* __restrict out = this->audioOutputs[0].data();
        for (int n = 0; n < kBlockSize; ++n) {
            float sum = 0.0f;
#pragma GCC unroll 8
            for (int k = 0; k < Inputs; ++k)
                sum = sum + gain[k][n] * in[k][n];
            out[n] = sum;
        }
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
