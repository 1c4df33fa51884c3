#pragma once

#include "bricks/BiquadCoefficients.h"
#include "bricks/DspBrick.h"
#include "bricks/Lanes.h"

namespace bricks {

// One second-order section in transposed direct form II; the owner sets the
// response after setSampleRate. Outputs silence until a set-up has run.
class FixedFilterBrick : public DspBrickImpl<0, 0, 1, 1> {
public:
    void process() override { processRange(0, kBlockSize); }
    void processRange(int begin, int end) override;
    void reset() override;

    // Runs count (1..4) filters side by side in SSE lanes, each exactly as its
    // processRange() would. No lane may read an output written by another lane.
    static void processLanes(FixedFilterBrick* const* bricks, int count, int begin = 0, int end = kBlockSize);

    // q acts as twice the usual quality factor (alpha = sin(w) / q).
    void setBandPass(float frequency, float q, bool clearState);
    void setHighPass(float frequency, float q, bool clearState);
    void setLowPass(float frequency, float q, bool clearState);

    const BiquadCoefficients& coefficients() const { return coefficients_; }

    // The sections and memories of count filters (at most V's lanes) side by
    // side, lanes beyond count silent; and the memories handed back.
    template<class V>
    [[gnu::always_inline]] static BiquadKernel<V> kernel(FixedFilterBrick* const* bricks, int count);
    template<class V>
    [[gnu::always_inline]] static void keep(const BiquadKernel<V>& k, FixedFilterBrick* const* bricks, int count);

private:
    BiquadCoefficients coefficients_;
    float s1 = 0.0f;
    float s2 = 0.0f;
};

template<class V>
inline BiquadKernel<V> FixedFilterBrick::kernel(FixedFilterBrick* const* bricks, int count)
{
    float lane[7][4] = {};  // a1, a2, b0, b1, b2, s1, s2 per lane
    for (int k = 0; k < count; ++k) {
        const FixedFilterBrick& f = *bricks[k];
        lane[0][k] = f.coefficients_.a1;
        lane[1][k] = f.coefficients_.a2;
        lane[2][k] = f.coefficients_.b0;
        lane[3][k] = f.coefficients_.b1;
        lane[4][k] = f.coefficients_.b2;
        lane[5][k] = f.s1;
        lane[6][k] = f.s2;
    }
    return {lanes::gather<V>(lane[0]), lanes::gather<V>(lane[1]), lanes::gather<V>(lane[2]), lanes::gather<V>(lane[3]),
            lanes::gather<V>(lane[4]), lanes::gather<V>(lane[5]), lanes::gather<V>(lane[6])};
}

template<class V>
inline void FixedFilterBrick::keep(const BiquadKernel<V>& k, FixedFilterBrick* const* bricks, int count)
{
    float m1[4], m2[4];
    lanes::scatter(k.s1, m1);
    lanes::scatter(k.s2, m2);
    for (int b = 0; b < count; ++b) {
        bricks[b]->s1 = m1[b];
        bricks[b]->s2 = m2[b];
    }
}

}  // namespace bricks
