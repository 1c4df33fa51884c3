#include "bricks/PipelinedFilterBrick.h"

#include "bricks/Lanes.h"

#include <emmintrin.h>

namespace bricks {

template<>
PipelinedFilterBrick<4, float>::FourStageLanes PipelinedFilterBrick<4, float>::kernel() const
{
    const auto lane = [this](float BiquadCoefficients::*field) {
        return lanes::Float4{_mm_setr_ps(stages[0].*field, stages[1].*field, stages[2].*field, stages[3].*field)};
    };
    return {{lane(&BiquadCoefficients::a1),
             lane(&BiquadCoefficients::a2),
             lane(&BiquadCoefficients::b0),
             lane(&BiquadCoefficients::b1),
             lane(&BiquadCoefficients::b2),
             {_mm_setr_ps(memories[0].s1, memories[1].s1, memories[2].s1, memories[3].s1)},
             {_mm_setr_ps(memories[0].s2, memories[1].s2, memories[2].s2, memories[3].s2)}},
            _mm_setr_ps(0.0f, registers[0], registers[1], registers[2])};
}

template<>
void PipelinedFilterBrick<4, float>::keep(const FourStageLanes& lanes)
{
    alignas(16) float m1[4];
    alignas(16) float m2[4];
    alignas(16) float last[4];  // (0, y0, y1, y2) of the last sample
    _mm_store_ps(m1, lanes.sections.s1.v);
    _mm_store_ps(m2, lanes.sections.s2.v);
    _mm_store_ps(last, lanes.shifted);
    for (int k = 0; k < 4; ++k) {
        memories[k].s1 = m1[k];
        memories[k].s2 = m2[k];
    }
    for (int k = 0; k < 3; ++k) registers[k] = last[k + 1];
}

template<>
void PipelinedFilterBrick<4, float>::processRange(int begin, int end)
{
    const float* __restrict in = audioInputs[0];
    float* __restrict out = audioOutputs[0].data();
    FourStageLanes f = kernel();
    for (int n = begin; n < end; ++n) out[n] = f.step(in[n]);
    keep(f);
}

template<>
void PipelinedFilterBrick<4, float>::processPair(PipelinedFilterBrick& first, PipelinedFilterBrick& second, int begin,
                                                 int end)
{
    const float* __restrict in0 = first.audioInputs[0];
    const float* __restrict in1 = second.audioInputs[0];
    float* __restrict out0 = first.audioOutputs[0].data();
    float* __restrict out1 = second.audioOutputs[0].data();
    FourStageLanes f0 = first.kernel();
    FourStageLanes f1 = second.kernel();
    for (int n = begin; n < end; ++n) {
        out0[n] = f0.step(in0[n]);
        out1[n] = f1.step(in1[n]);
    }
    first.keep(f0);
    second.keep(f1);
}

}  // namespace bricks
