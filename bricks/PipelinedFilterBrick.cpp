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
PipelinedFilterBrick<4, float>::TwoFilterLanes PipelinedFilterBrick<4, float>::kernel(
    const PipelinedFilterBrick& first, const PipelinedFilterBrick& second)
{
    // Stages k and k + 1 of both filters: (first k, second k, first k + 1, second k + 1).
    const auto lanesOf = [&](int k, auto value) {
        return lanes::Float4{_mm_setr_ps(value(first, k), value(second, k), value(first, k + 1), value(second, k + 1))};
    };
    const auto section = [&](int k) {
        const auto coefficient = [&](float BiquadCoefficients::*field) {
            return lanesOf(k, [field](const PipelinedFilterBrick& f, int j) { return f.stages[j].*field; });
        };
        return BiquadKernel<lanes::Float4>{
            coefficient(&BiquadCoefficients::a1),
            coefficient(&BiquadCoefficients::a2),
            coefficient(&BiquadCoefficients::b0),
            coefficient(&BiquadCoefficients::b1),
            coefficient(&BiquadCoefficients::b2),
            lanesOf(k, [](const PipelinedFilterBrick& f, int j) { return f.memories[j].s1; }),
            lanesOf(k, [](const PipelinedFilterBrick& f, int j) { return f.memories[j].s2; })};
    };
    return {section(0), section(2),
            _mm_setr_ps(first.registers[0], second.registers[0], first.registers[1], second.registers[1]),
            _mm_setr_ps(first.registers[2], second.registers[2], 0.0f, 0.0f)};
}

template<>
void PipelinedFilterBrick<4, float>::keep(const TwoFilterLanes& lanes, PipelinedFilterBrick& first,
                                          PipelinedFilterBrick& second)
{
    alignas(16) float m1[2][4];
    alignas(16) float m2[2][4];
    alignas(16) float last[2][4];
    _mm_store_ps(m1[0], lanes.early.s1.v);
    _mm_store_ps(m1[1], lanes.late.s1.v);
    _mm_store_ps(m2[0], lanes.early.s2.v);
    _mm_store_ps(m2[1], lanes.late.s2.v);
    _mm_store_ps(last[0], lanes.earlyOut);
    _mm_store_ps(last[1], lanes.lateOut);
    PipelinedFilterBrick* const filters[2] = {&first, &second};
    for (int f = 0; f < 2; ++f) {
        for (int k = 0; k < 4; ++k) {
            filters[f]->memories[k].s1 = m1[k / 2][2 * (k % 2) + f];
            filters[f]->memories[k].s2 = m2[k / 2][2 * (k % 2) + f];
        }
        for (int k = 0; k < 3; ++k) filters[f]->registers[k] = last[k / 2][2 * (k % 2) + f];
    }
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

}  // namespace bricks
