#pragma once

#include <array>

#include "bricks/DspBrick.h"
#include "bricks/Lanes.h"

namespace bricks {

// One sample of mixers, one per lane of V: every gain steps on, then the
// inputs are added in index order onto 0, which fixes the rounding. Owners
// that know the ramps are at rest leave the steps out.
template<class V, int Inputs>
struct MixKernel {
    V gain[Inputs];
    V step[Inputs];

    template<bool Ramping = true>
    [[gnu::always_inline]] V mix(const V (&in)[Inputs])
    {
        if constexpr (Ramping) {
            for (int k = 0; k < Inputs; ++k) gain[k] = gain[k] + step[k];
        }
        V sum = lanes::splat<V>(0.0f);
        for (int k = 0; k < Inputs; ++k) sum = sum + gain[k] * in[k];
        return sum;
    }
};

// Sums Inputs audio inputs, each with its own linear gain (control input k
// for audio input k) ramped across the block.
template<int Inputs>
class AudioMixerBrick : public DspBrickImpl<Inputs, 0, Inputs, 1> {
    using Base = DspBrickImpl<Inputs, 0, Inputs, 1>;

public:
    static_assert(Inputs >= 1 && Inputs <= 4);

    void process() override { processRange(0, kBlockSize); }

    void processRange(int begin, int end) override
    {
        AudioMixerBrick* const self[1] = {this};
        run<float>(self, begin, end);
    }

    void reset() override {}

    // Where the block begins (range from 0): each gain's ramp from where it
    // stands to its control's new value.
    void beginBlock()
    {
        for (int k = 0; k < Inputs; ++k) ramps[k].step = (this->controlValue(k) - ramps[k].current) * kRampShare;
    }

    // Whether every gain stands still for the rest of the block.
    bool atRest() const
    {
        for (const Ramp& r : ramps) {
            if (!rampAtRest(r.current, r.step)) return false;
        }
        return true;
    }

    // The gains of count mixers (at most V's lanes) side by side, and back.
    template<class V>
    [[gnu::always_inline]] static MixKernel<V, Inputs> kernel(AudioMixerBrick* const* bricks, int count)
    {
        MixKernel<V, Inputs> m;
        for (int k = 0; k < Inputs; ++k) {
            float current[4] = {}, step[4] = {};
            for (int b = 0; b < count; ++b) {
                current[b] = bricks[b]->ramps[k].current;
                step[b] = bricks[b]->ramps[k].step;
            }
            m.gain[k] = lanes::gather<V>(current);
            m.step[k] = lanes::gather<V>(step);
        }
        return m;
    }

    template<class V>
    [[gnu::always_inline]] static void keep(const MixKernel<V, Inputs>& m, AudioMixerBrick* const* bricks, int count)
    {
        for (int k = 0; k < Inputs; ++k) {
            float current[4];
            lanes::scatter(m.gain[k], current);
            for (int b = 0; b < count; ++b) bricks[b]->ramps[k].current = current[b];
        }
    }

private:
    struct Ramp {
        float current = 0.0f;  // gain applied to the last sample processed
        float step = 0.0f;     // per-sample increment in the current block
    };

    // Count (1 or 2) mixers, one per lane of V.
    template<class V, int Count>
    static void run(AudioMixerBrick* const (&bricks)[Count], int begin, int end)
    {
        if (begin == 0) {
            for (AudioMixerBrick* b : bricks) b->beginBlock();
        }
        MixKernel<V, Inputs> m = kernel<V>(bricks, Count);
        for (int n = begin; n < end; ++n) {
            V in[Inputs];
            for (int k = 0; k < Inputs; ++k) {
                float samples[4] = {};
                for (int b = 0; b < Count; ++b) samples[b] = bricks[b]->audioInputs[k][n];
                in[k] = lanes::gather<V>(samples);
            }
            float out[4];
            lanes::scatter(m.mix(in), out);
            for (int b = 0; b < Count; ++b) bricks[b]->audioOutputs[0][n] = out[b];
        }
        keep(m, bricks, Count);
    }

    std::array<Ramp, Inputs> ramps{};
};

}  // namespace bricks
