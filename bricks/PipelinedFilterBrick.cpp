#include "bricks/PipelinedFilterBrick.h"

#include "bricks/Lanes.h"

#include <emmintrin.h>

namespace bricks {

namespace {

// The state of one four-stage filter in SSE lanes, lane k holding stage k:
// every stage is the plain section, one sample behind the stage before.
struct FourStageLanes {
    BiquadKernel<lanes::Float4> stages;
    __m128 shifted;  // stage inputs of the next sample without its lane 0: (-, y0, y1, y2)

    template<class Memories>
    FourStageLanes(const std::array<BiquadCoefficients, 4>& sections, const Memories& memories,
                   const std::array<float, 3>& registers)
    {
        const auto lanes = [&sections](float BiquadCoefficients::*field) {
            return lanes::Float4{_mm_setr_ps(sections[0].*field, sections[1].*field, sections[2].*field,
                                             sections[3].*field)};
        };
        stages = {lanes(&BiquadCoefficients::a1), lanes(&BiquadCoefficients::a2), lanes(&BiquadCoefficients::b0),
                  lanes(&BiquadCoefficients::b1), lanes(&BiquadCoefficients::b2),
                  {_mm_setr_ps(memories[0].s1, memories[1].s1, memories[2].s1, memories[3].s1)},
                  {_mm_setr_ps(memories[0].s2, memories[1].s2, memories[2].s2, memories[3].s2)}};
        shifted = _mm_setr_ps(0.0f, registers[0], registers[1], registers[2]);
    }

    // One input sample; returns the last stage's output.
    float step(float x)
    {
        const __m128 y = stages.step({_mm_move_ss(shifted, _mm_set_ss(x))}).v;
        shifted = _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(y), 4));
        return _mm_cvtss_f32(_mm_shuffle_ps(y, y, _MM_SHUFFLE(3, 3, 3, 3)));
    }

    template<class Memories>
    void store(Memories& memories, std::array<float, 3>& registers) const
    {
        alignas(16) float m1[4];
        alignas(16) float m2[4];
        alignas(16) float last[4];
        _mm_store_ps(m1, stages.s1.v);
        _mm_store_ps(m2, stages.s2.v);
        // shifted holds (0, y0, y1, y2) of the last sample
        _mm_store_ps(last, shifted);
        for (int k = 0; k < 4; ++k) {
            memories[k].s1 = m1[k];
            memories[k].s2 = m2[k];
        }
        for (int k = 0; k < 3; ++k)
            registers[k] = last[k + 1];
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
