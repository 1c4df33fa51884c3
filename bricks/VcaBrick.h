#pragma once

#include "bricks/DspBrick.h"
#include "bricks/Lanes.h"

namespace bricks {

// One sample of gain stages, one per lane of V: the gain steps on, then
// scales. Owners that know the ramp is at rest leave the step out.
template<class V>
struct VcaKernel {
    V gain;
    V step;

    template<bool Ramping = true>
    [[gnu::always_inline]] V apply(V x)
    {
        if constexpr (Ramping) gain = gain + step;
        return gain * x;
    }
};

// Gain stage with a cubic control law (gain^3), ramped linearly across each
// block from the previous gain to the new one. Control input 0 gain, nominally
// 0..1.
class VcaBrick : public DspBrickImpl<1, 0, 1, 1> {
public:
    void process() override { processRange(0, kBlockSize); }

    void processRange(int begin, int end) override
    {
        VcaBrick* const self[1] = {this};
        run<float>(self, begin, end);
    }

    void reset() override {}

    // Where the block begins (range from 0): the ramp from the gain reached so
    // far to the new one.
    void beginBlock()
    {
        const float control = controlValue(0);
        const float target = control * control * control;
        step = (target - currentGain) * kRampShare;
    }

    // Whether the gain stands still for the rest of the block.
    bool atRest() const { return rampAtRest(currentGain, step); }

    // The gains of count stages (at most V's lanes) side by side, and back.
    template<class V>
    [[gnu::always_inline]] static VcaKernel<V> kernel(VcaBrick* const* bricks, int count)
    {
        float gain[4] = {}, step[4] = {};
        for (int b = 0; b < count; ++b) {
            gain[b] = bricks[b]->currentGain;
            step[b] = bricks[b]->step;
        }
        return {lanes::gather<V>(gain), lanes::gather<V>(step)};
    }

    template<class V>
    [[gnu::always_inline]] static void keep(const VcaKernel<V>& v, VcaBrick* const* bricks, int count)
    {
        float gain[4];
        lanes::scatter(v.gain, gain);
        for (int b = 0; b < count; ++b) bricks[b]->currentGain = gain[b];
    }

private:
    template<class V, int Count>
    static void run(VcaBrick* const (&bricks)[Count], int begin, int end)
    {
        if (begin == 0) {
            for (VcaBrick* b : bricks) b->beginBlock();
        }
        VcaKernel<V> v = kernel<V>(bricks, Count);
        for (int n = begin; n < end; ++n) {
            float samples[4] = {};
            for (int b = 0; b < Count; ++b) samples[b] = bricks[b]->audioInputs[0][n];
            float out[4];
            lanes::scatter(v.apply(lanes::gather<V>(samples)), out);
            for (int b = 0; b < Count; ++b) bricks[b]->audioOutputs[0][n] = out[b];
        }
        keep(v, bricks, Count);
    }

    float currentGain = 0.0f;  // gain applied to the last sample processed
    float step = 0.0f;         // per-sample increment of the current block
};

}  // namespace bricks
