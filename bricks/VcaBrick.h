#pragma once

#include <xmmintrin.h>

#include "bricks/DspBrick.h"

namespace bricks {

// Gain stage with a cubic control law (gain^3), ramped linearly across each
// block from the previous gain to the new one. Control input 0 gain, nominally
// 0..1. The template argument selects nothing further.
template<int Variant>
class VcaBrick : public DspBrickImpl<1, 0, 1, 1> {
public:
    void process() override { processRange(0, kBlockSize); }

    void processRange(int begin, int end)
    {
        if (begin == 0)
            beginBlock();
        const float* __restrict in = audioInputs[0];
        float* __restrict out = audioOutputs[0].data();
        float gain = currentGain;
        const float d = step;
        for (int n = begin; n < end; ++n) {
            gain = gain + d;
            out[n] = gain * in[n];
        }
        currentGain = gain;
    }

    // Runs two VCAs in one loop, each exactly as its processRange() would:
    // both gain ramps in SSE lanes, transposed to scale four samples at a
    // time. Neither may read the other's output.
    static void processPair(VcaBrick& first, VcaBrick& second, int begin = 0, int end = kBlockSize)
    {
        VcaBrick* const bricks[2] = {&first, &second};
        alignas(16) float lanes[2][4] = {};  // current gain, step
        for (int b = 0; b < 2; ++b) {
            VcaBrick& v = *bricks[b];
            if (begin == 0)
                v.beginBlock();
            lanes[0][b] = v.currentGain;
            lanes[1][b] = v.step;
        }
        __m128 gain = _mm_load_ps(lanes[0]);
        const __m128 d = _mm_load_ps(lanes[1]);
        const float* __restrict in0 = first.audioInputs[0];
        const float* __restrict in1 = second.audioInputs[0];
        float* __restrict out0 = first.audioOutputs[0].data();
        float* __restrict out1 = second.audioOutputs[0].data();
        for (int n = begin; n < end; n += 4) {
            __m128 g0 = gain = _mm_add_ps(gain, d);
            __m128 g1 = gain = _mm_add_ps(gain, d);
            __m128 g2 = gain = _mm_add_ps(gain, d);
            __m128 g3 = gain = _mm_add_ps(gain, d);
            _MM_TRANSPOSE4_PS(g0, g1, g2, g3);
            _mm_storeu_ps(out0 + n, _mm_mul_ps(g0, _mm_loadu_ps(in0 + n)));
            _mm_storeu_ps(out1 + n, _mm_mul_ps(g1, _mm_loadu_ps(in1 + n)));
        }
        _mm_store_ps(lanes[0], gain);
        first.currentGain = lanes[0][0];
        second.currentGain = lanes[0][1];
    }

    void reset() override {}

private:
    // Reads the control: the ramp from the gain reached so far to the new one.
    void beginBlock()
    {
        const float control = controlValue(0);
        const float target = control * control * control;
        step = (target - currentGain) * kRampShare;
    }

    float currentGain = 0.0f;  // gain applied to the last sample processed
    float step = 0.0f;         // per-sample increment of the current block
};

}  // namespace bricks
