#include "bricks/PipelinedFilterBrick.h"

#include <emmintrin.h>

namespace bricks {

namespace {

// The state of one four-stage filter in SSE lanes, lane k holding stage k.
// Each lane performs exactly the scalar section's operations in the same
// order, so the result is bit-identical to it.
struct FourStageLanes {
    __m128 a1, a2, b0, b1, b2;
    __m128 s1, s2;
    __m128 shifted;  // stage inputs of the next sample without its lane 0: (-, y0, y1, y2)
    __m128 y;

    template<class Memories>
    FourStageLanes(const std::array<BiquadCoefficients, 4>& stages, const Memories& memories,
                   const std::array<float, 3>& registers)
    {
        const auto lanes = [&stages](float BiquadCoefficients::*field) {
            return _mm_setr_ps(stages[0].*field, stages[1].*field, stages[2].*field, stages[3].*field);
        };
        a1 = lanes(&BiquadCoefficients::a1);
        a2 = lanes(&BiquadCoefficients::a2);
        b0 = lanes(&BiquadCoefficients::b0);
        b1 = lanes(&BiquadCoefficients::b1);
        b2 = lanes(&BiquadCoefficients::b2);
        s1 = _mm_setr_ps(memories[0].s1, memories[1].s1, memories[2].s1, memories[3].s1);
        s2 = _mm_setr_ps(memories[0].s2, memories[1].s2, memories[2].s2, memories[3].s2);
        shifted = _mm_setr_ps(0.0f, registers[0], registers[1], registers[2]);
        y = _mm_setzero_ps();
    }

    // One input sample; returns the last stage's output.
    float step(float x)
    {
        const __m128 u = _mm_move_ss(shifted, _mm_set_ss(x));
        y = _mm_add_ps(_mm_mul_ps(b0, u), s1);
        s1 = _mm_sub_ps(_mm_add_ps(_mm_mul_ps(b1, u), s2), _mm_mul_ps(a1, y));
        s2 = _mm_sub_ps(_mm_mul_ps(b2, u), _mm_mul_ps(a2, y));
        shifted = _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(y), 4));
        return _mm_cvtss_f32(_mm_shuffle_ps(y, y, _MM_SHUFFLE(3, 3, 3, 3)));
    }

    template<class Memories>
    void store(Memories& memories, std::array<float, 3>& registers) const
    {
        alignas(16) float m1[4];
        alignas(16) float m2[4];
        alignas(16) float last[4];
        _mm_store_ps(m1, s1);
        _mm_store_ps(m2, s2);
        _mm_store_ps(last, y);
        for (int k = 0; k < 4; ++k) {
            memories[k].s1 = m1[k];
            memories[k].s2 = m2[k];
        }
        for (int k = 0; k < 3; ++k)
            registers[k] = last[k];
    }
};

}  // namespace

template<>
void PipelinedFilterBrick<4, float>::processRange(int begin, int end)
{
    const float* __restrict in = audioInputs[0];
    float* __restrict out = audioOutputs[0].data();
    FourStageLanes f(stages, memories, registers);
    for (int n = begin; n < end; ++n)
        out[n] = f.step(in[n]);
    f.store(memories, registers);
}

template<>
void PipelinedFilterBrick<4, float>::processPair(PipelinedFilterBrick& first, PipelinedFilterBrick& second, int begin,
                                                 int end)
{
    const float* __restrict in0 = first.audioInputs[0];
    const float* __restrict in1 = second.audioInputs[0];
    float* __restrict out0 = first.audioOutputs[0].data();
    float* __restrict out1 = second.audioOutputs[0].data();
    FourStageLanes f0(first.stages, first.memories, first.registers);
    FourStageLanes f1(second.stages, second.memories, second.registers);
    for (int n = begin; n < end; ++n) {
        out0[n] = f0.step(in0[n]);
        out1[n] = f1.step(in1[n]);
    }
    f0.store(first.memories, first.registers);
    f1.store(second.memories, second.registers);
}

}  // namespace bricks
