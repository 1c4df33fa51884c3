#pragma once

#include <array>

#include "bricks/BiquadCoefficients.h"
#include "bricks/DspBrick.h"
#include "bricks/Lanes.h"

namespace bricks {

// Stages second-order sections in series, evaluated as a pipeline: stage k
// works on what stage k-1 produced one sample earlier, so all stages of one
// sample are independent. Response of the cascade, delayed by Stages-1 samples.
template<int Stages, class Sample>
class PipelinedFilterBrick : public DspBrickImpl<0, 0, 1, 1> {
public:
    static_assert(Stages >= 1);

    void process() override { processRange(0, kBlockSize); }
    void processRange(int begin, int end) override;
    void processRangePlain(int begin, int end) override;

    void reset() override
    {
        memories = {};
        registers = {};
    }

    // The owner writes all stages; there is no coefficient computation here.
    BiquadCoefficients& stageCoefficients(int stage) { return stages[stage]; }

    // Four single-precision stages in the lanes of one SSE register, lane k
    // holding stage k: every stage is the plain section, one sample behind
    // the stage before. For owners that run the filter in loops of their own.
    struct FourStageLanes {
        BiquadKernel<lanes::Float4> sections;
        __m128 shifted;  // stage inputs of the next sample without its lane 0: (-, y0, y1, y2)

        // One input sample; returns the last stage's output.
        [[gnu::always_inline]] float step(float x)
        {
            const __m128 y = sections.step({_mm_move_ss(shifted, _mm_set_ss(x))}).v;
            shifted = _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(y), 4));
            return _mm_cvtss_f32(_mm_shuffle_ps(y, y, _MM_SHUFFLE(3, 3, 3, 3)));
        }
    };
    FourStageLanes kernel() const;
    void keep(const FourStageLanes& lanes);

    // Two such filters in two SSE registers, stage by stage: the first holds
    // stages 0 and 1 of both, the second stages 2 and 3 (first filter in the
    // even lanes, second in the odd), so that handing each stage's output on
    // to the next takes one shuffle a register.
    struct TwoFilterLanes {
        BiquadKernel<lanes::Float4> early;  // stages 0 and 1
        BiquadKernel<lanes::Float4> late;   // stages 2 and 3
        __m128 earlyOut;                    // the last sample's outputs of stages 0 and 1
        __m128 lateOut;                     // and of stages 2 and 3

        // One input sample of both filters (lanes 0 and 1); returns their last
        // stages' outputs likewise.
        [[gnu::always_inline]] lanes::Float2 step(lanes::Float2 x)
        {
            const __m128 lateIn = _mm_shuffle_ps(earlyOut, lateOut, _MM_SHUFFLE(1, 0, 3, 2));
            earlyOut = early.step({_mm_movelh_ps(x.v, earlyOut)}).v;
            lateOut = late.step({lateIn}).v;
            return {_mm_movehl_ps(lateOut, lateOut)};
        }
    };
    static TwoFilterLanes kernel(const PipelinedFilterBrick& first, const PipelinedFilterBrick& second);
    static void keep(const TwoFilterLanes& lanes, PipelinedFilterBrick& first, PipelinedFilterBrick& second);

private:
    struct Memory {
        Sample s1 = 0;
        Sample s2 = 0;
    };

    std::array<BiquadCoefficients, Stages> stages{};
    std::array<Memory, Stages> memories{};
    // registers[k] is the previous sample's output of stage k, input of stage k+1.
    std::array<Sample, Stages - 1> registers{};
};

template<int Stages, class Sample>
void PipelinedFilterBrick<Stages, Sample>::processRange(int begin, int end)
{
    processRangePlain(begin, end);
}

template<int Stages, class Sample>
void PipelinedFilterBrick<Stages, Sample>::processRangePlain(int begin, int end)
{
    const float* __restrict in = audioInputs[0];
    float* __restrict out = audioOutputs[0].data();
    for (int n = begin; n < end; ++n) {
        Sample y[Stages];
        for (int k = 0; k < Stages; ++k) {
            const BiquadCoefficients& c = stages[k];
            Memory& m = memories[k];
            BiquadKernel<Sample> section{Sample(c.a1), Sample(c.a2), Sample(c.b0), Sample(c.b1),
                                         Sample(c.b2), m.s1,         m.s2};
            y[k] = section.step(k == 0 ? Sample(in[n]) : registers[k - 1]);
            m.s1 = section.s1;
            m.s2 = section.s2;
        }
        for (int k = 0; k + 1 < Stages; ++k) registers[k] = y[k];
        out[n] = float(y[Stages - 1]);
    }
}

// Four single-precision stages run side by side in one SSE register; a pair
// of such filters in two registers of one loop.
template<>
PipelinedFilterBrick<4, float>::FourStageLanes PipelinedFilterBrick<4, float>::kernel() const;
template<>
void PipelinedFilterBrick<4, float>::keep(const FourStageLanes& lanes);
template<>
PipelinedFilterBrick<4, float>::TwoFilterLanes PipelinedFilterBrick<4, float>::kernel(
    const PipelinedFilterBrick& first, const PipelinedFilterBrick& second);
template<>
void PipelinedFilterBrick<4, float>::keep(const TwoFilterLanes& lanes, PipelinedFilterBrick& first,
                                          PipelinedFilterBrick& second);
template<>
void PipelinedFilterBrick<4, float>::processRange(int begin, int end);

}  // namespace bricks
