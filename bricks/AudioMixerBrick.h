#pragma once

#include <xmmintrin.h>

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
    static_assert(Inputs >= 1 && Inputs <= 4, "the gains of all inputs share one SSE register");

    void process() override { processRange(0, kBlockSize); }

    void processRange(int begin, int end)
    {
        AudioMixerBrick* const bricks[1] = {this};
        mix(bricks, begin, end);
    }

    // Runs two mixers in one loop, each exactly as its processRange() would.
    // Neither may read the other's output.
    static void processPair(AudioMixerBrick& first, AudioMixerBrick& second, int begin = 0, int end = kBlockSize)
    {
        AudioMixerBrick* const bricks[2] = {&first, &second};
        mix(bricks, begin, end);
    }

    void reset() override {}

private:
    struct Ramp {
        float current = 0.0f;
        float step = 0.0f;
    };

    // The gain ramps are serial sums, one SSE lane per input; four samples of
    // them are transposed so that the mix runs four samples at a time. Per
    // sample the inputs are added in index order onto 0, exactly as a pass
    // per input over a cleared output would.
    template<int Count>
    static void mix(AudioMixerBrick* const (&bricks)[Count], int begin, int end)
    {
        __m128 current[Count];
        __m128 step[Count];
        for (int b = 0; b < Count; ++b) {
            alignas(16) float c[4] = {};
            alignas(16) float d[4] = {};
            for (int k = 0; k < Inputs; ++k) {
                Ramp& ramp = bricks[b]->ramps[k];
                if (begin == 0)
                    ramp.step = (bricks[b]->controlValue(k) - ramp.current) * kRampShare;
                c[k] = ramp.current;
                d[k] = ramp.step;
            }
            current[b] = _mm_load_ps(c);
            step[b] = _mm_load_ps(d);
        }
        for (int n = begin; n < end; n += 4) {
#pragma GCC unroll 2
            for (int b = 0; b < Count; ++b) {
                __m128 gain[4];
#pragma GCC unroll 4
                for (int i = 0; i < 4; ++i)
                    gain[i] = current[b] = _mm_add_ps(current[b], step[b]);
                _MM_TRANSPOSE4_PS(gain[0], gain[1], gain[2], gain[3]);
                __m128 sum = _mm_setzero_ps();
#pragma GCC unroll 4
                for (int k = 0; k < Inputs; ++k)
                    sum = _mm_add_ps(sum, _mm_mul_ps(gain[k], _mm_loadu_ps(bricks[b]->audioInputs[k] + n)));
                _mm_storeu_ps(bricks[b]->audioOutputs[0].data() + n, sum);
            }
        }
        for (int b = 0; b < Count; ++b) {
            alignas(16) float c[4];
            _mm_store_ps(c, current[b]);
            for (int k = 0; k < Inputs; ++k)
                bricks[b]->ramps[k].current = c[k];
        }
    }

    std::array<Ramp, Inputs> ramps{};
};

}  // namespace bricks
