#pragma once

#include "bricks/DspBrick.h"
#include "bricks/Lanes.h"

namespace bricks {

// One sample of trapezoidal state-variable filters, one per lane of V, with
// the integrator gain stepping on by dg every sample.
template<class V>
struct SvfKernel {
    V k;  // damping
    V g, dg;
    V i1, i2;  // band and low integrators

    // The band-pass (v1) and low-pass (v2) outputs of input x.
    [[gnu::always_inline]] void step(V x, V& v1, V& v2)
    {
        const V one = lanes::splat<V>(1.0f);
        const V two = lanes::splat<V>(2.0f);
        g = g + dg;
        const V a1 = one / (one + g * (g + k));
        const V a2 = g * a1;
        const V a3 = g * a2;
        const V v3 = x - i2;
        v1 = a1 * i1 + a2 * v3;
        v2 = i2 + a2 * i1 + a3 * v3;
        i1 = two * v1 - i1;
        i2 = two * v2 - i2;
    }

    V highPass(V x, V v1, V v2) const { return x - k * v1 - v2; }
};

// Trapezoidal state-variable filter. Control inputs: 0 cutoff (normalised,
// 20 * 2^(10 x) Hz), 1 resonance (0 most damped, 1 undamped). Audio outputs:
// 0 low-pass, 1 band-pass, 2 high-pass. The integrator gain glides linearly
// across each block to the new cutoff.
class SVFFilterBrick : public DspBrickImpl<2, 0, 1, 3> {
public:
    void process() override { processRange(0, kBlockSize); }
    void processRange(int begin, int end) override;
    void reset() override;

    // Runs count (1..4) filters side by side in SSE lanes, each exactly as its
    // processRange() would. No lane may read an output written by another lane.
    static void processLanes(SVFFilterBrick* const* bricks, int count, int begin = 0, int end = kBlockSize);

    // Where the block begins (range from 0): reads the controls.
    void beginBlock();

    // The filters of count bricks (at most V's lanes) side by side, lanes
    // beyond count silent; and their state handed back.
    template<class V>
    [[gnu::always_inline]] static SvfKernel<V> kernel(SVFFilterBrick* const* bricks, int count);
    template<class V>
    [[gnu::always_inline]] static void keep(const SvfKernel<V>& k, SVFFilterBrick* const* bricks, int count);

private:
    float ic1 = 0.0f;      // band integrator
    float ic2 = 0.0f;      // low integrator
    float g = 0.0f;        // integrator gain at the last sample processed
    float dg = 0.0f;       // per-sample step of g in the current block
    float damping = 2.0f;  // k of the current block
};

template<class V>
inline SvfKernel<V> SVFFilterBrick::kernel(SVFFilterBrick* const* bricks, int count)
{
    float lane[5][4] = {};  // k, g, dg, ic1, ic2 per lane
    for (int j = 0; j < count; ++j) {
        const SVFFilterBrick& f = *bricks[j];
        lane[0][j] = f.damping;
        lane[1][j] = f.g;
        lane[2][j] = f.dg;
        lane[3][j] = f.ic1;
        lane[4][j] = f.ic2;
    }
    return {lanes::gather<V>(lane[0]), lanes::gather<V>(lane[1]), lanes::gather<V>(lane[2]), lanes::gather<V>(lane[3]),
            lanes::gather<V>(lane[4])};
}

template<class V>
inline void SVFFilterBrick::keep(const SvfKernel<V>& k, SVFFilterBrick* const* bricks, int count)
{
    float g[4], i1[4], i2[4];
    lanes::scatter(k.g, g);
    lanes::scatter(k.i1, i1);
    lanes::scatter(k.i2, i2);
    for (int j = 0; j < count; ++j) {
        bricks[j]->g = g[j];
        bricks[j]->ic1 = i1[j];
        bricks[j]->ic2 = i2[j];
    }
}

}  // namespace bricks
