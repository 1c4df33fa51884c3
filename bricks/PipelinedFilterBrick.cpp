#include "bricks/PipelinedFilterBrick.h"

#include <emmintrin.h>

namespace bricks {

// Lane k holds stage k. Each lane performs exactly the scalar section's
// operations in the same order, so the result is bit-identical to it.
template<>
void PipelinedFilterBrick<4, float>::process()
{
    const float* __restrict in = audioInputs[0];
    float* __restrict out = audioOutputs[0].data();
    const auto lanes = [this](float BiquadCoefficients::*field) {
        return _mm_setr_ps(stages[0].*field, stages[1].*field, stages[2].*field, stages[3].*field);
    };
    const __m128 a1 = lanes(&BiquadCoefficients::a1);
    const __m128 a2 = lanes(&BiquadCoefficients::a2);
    const __m128 b0 = lanes(&BiquadCoefficients::b0);
    const __m128 b1 = lanes(&BiquadCoefficients::b1);
    const __m128 b2 = lanes(&BiquadCoefficients::b2);
    __m128 s1 = _mm_setr_ps(memories[0].s1, memories[1].s1, memories[2].s1, memories[3].s1);
    __m128 s2 = _mm_setr_ps(memories[0].s2, memories[1].s2, memories[2].s2, memories[3].s2);
    // Stage inputs of the next sample without its lane 0: (-, y0, y1, y2).
    __m128 shifted = _mm_setr_ps(0.0f, registers[0], registers[1], registers[2]);
    __m128 y = _mm_setzero_ps();
    for (int n = 0; n < kBlockSize; ++n) {
        const __m128 u = _mm_move_ss(shifted, _mm_set_ss(in[n]));
        y = _mm_add_ps(_mm_mul_ps(b0, u), s1);
        s1 = _mm_sub_ps(_mm_add_ps(_mm_mul_ps(b1, u), s2), _mm_mul_ps(a1, y));
        s2 = _mm_sub_ps(_mm_mul_ps(b2, u), _mm_mul_ps(a2, y));
        out[n] = _mm_cvtss_f32(_mm_shuffle_ps(y, y, _MM_SHUFFLE(3, 3, 3, 3)));
        shifted = _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(y), 4));
    }
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

}  // namespace bricks
