#pragma once

#include "bricks/DspBrick.h"
#include "bricks/Lanes.h"

#include <limits>

namespace bricks {

// The per-sample coefficients of trapezoidal state-variable filters, one per
// lane of V.
template<class V>
struct SvfCoefficients {
    V a1, a2, a3;
};

// The integrator gain of state-variable filters stepping on by dg every
// sample, and the coefficients that follow from it. It does not depend on
// the signal, so owners may run it apart from the integrators.
template<class V>
struct SvfRamp {
    V k;  // damping
    V g, dg;

    [[gnu::always_inline]] SvfCoefficients<V> advance()
    {
        const V one = lanes::splat<V>(1.0f);
        g = g + dg;
        const V a1 = one / (one + g * (g + k));
        const V a2 = g * a1;
        return {a1, a2, g * a2};
    }
};

// The integrators of state-variable filters, one per lane of V.
template<class V>
struct SvfIntegrators {
    V i1, i2;  // band and low

    // The band-pass (v1) and low-pass (v2) outputs of input x.
    [[gnu::always_inline]] void filter(V x, const SvfCoefficients<V>& c, V& v1, V& v2)
    {
        const V two = lanes::splat<V>(2.0f);
        const V v3 = x - i2;
        v1 = c.a1 * i1 + c.a2 * v3;
        v2 = i2 + c.a2 * i1 + c.a3 * v3;
        i1 = two * v1 - i1;
        i2 = two * v2 - i2;
    }
};

template<class V>
V svfHighPass(V x, V k, V v1, V v2)
{
    return x - k * v1 - v2;
}

// One sample of trapezoidal state-variable filters, one per lane of V.
template<class V>
struct SvfKernel {
    SvfRamp<V> ramp;
    SvfIntegrators<V> integrators;

    [[gnu::always_inline]] void step(V x, V& v1, V& v2) { integrators.filter(x, ramp.advance(), v1, v2); }
    V highPass(V x, V v1, V v2) const { return svfHighPass(x, ramp.k, v1, v2); }
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
    // Whether the integrator gain, and so every coefficient, stands still for
    // the rest of the block.
    bool atRest() const { return rampAtRest(g, dg); }

    // The filters of count bricks (at most V's lanes) side by side, lanes
    // beyond count silent; and their state handed back. Ramps and integrators
    // may also be taken and handed back apart.
    template<class V>
    [[gnu::always_inline]] static SvfKernel<V> kernel(SVFFilterBrick* const* bricks, int count)
    {
        return {ramp<V>(bricks, count), integrators<V>(bricks, count)};
    }
    template<class V>
    [[gnu::always_inline]] static void keep(const SvfKernel<V>& k, SVFFilterBrick* const* bricks, int count)
    {
        keep(k.ramp, bricks, count);
        keep(k.integrators, bricks, count);
    }
    template<class V>
    [[gnu::always_inline]] static SvfRamp<V> ramp(SVFFilterBrick* const* bricks, int count);
    template<class V>
    [[gnu::always_inline]] static void keep(const SvfRamp<V>& r, SVFFilterBrick* const* bricks, int count);
    template<class V>
    [[gnu::always_inline]] static SvfIntegrators<V> integrators(SVFFilterBrick* const* bricks, int count);
    template<class V>
    [[gnu::always_inline]] static void keep(const SvfIntegrators<V>& f, SVFFilterBrick* const* bricks, int count);

private:
    float ic1 = 0.0f;      // band integrator
    float ic2 = 0.0f;      // low integrator
    float g = 0.0f;        // integrator gain at the last sample processed
    float dg = 0.0f;       // per-sample step of g in the current block
    float damping = 2.0f;  // k of the current block
    // The integrator gain the last block's cutoff and rate gave: controls
    // mostly stand still, and the tangent is the block set-up's dearest part.
    float targetCutoff = std::numeric_limits<float>::quiet_NaN();  // none yet
    float targetRate = 0.0f;
    float gTarget = 0.0f;
};

template<class V>
inline SvfRamp<V> SVFFilterBrick::ramp(SVFFilterBrick* const* bricks, int count)
{
    float lane[3][4] = {};  // k, g, dg per lane
    for (int j = 0; j < count; ++j) {
        lane[0][j] = bricks[j]->damping;
        lane[1][j] = bricks[j]->g;
        lane[2][j] = bricks[j]->dg;
    }
    return {lanes::gather<V>(lane[0]), lanes::gather<V>(lane[1]), lanes::gather<V>(lane[2])};
}

template<class V>
inline void SVFFilterBrick::keep(const SvfRamp<V>& r, SVFFilterBrick* const* bricks, int count)
{
    float g[4];
    lanes::scatter(r.g, g);
    for (int j = 0; j < count; ++j) bricks[j]->g = g[j];
}

template<class V>
inline SvfIntegrators<V> SVFFilterBrick::integrators(SVFFilterBrick* const* bricks, int count)
{
    float lane[2][4] = {};  // ic1, ic2 per lane
    for (int j = 0; j < count; ++j) {
        lane[0][j] = bricks[j]->ic1;
        lane[1][j] = bricks[j]->ic2;
    }
    return {lanes::gather<V>(lane[0]), lanes::gather<V>(lane[1])};
}

template<class V>
inline void SVFFilterBrick::keep(const SvfIntegrators<V>& f, SVFFilterBrick* const* bricks, int count)
{
    float i1[4], i2[4];
    lanes::scatter(f.i1, i1);
    lanes::scatter(f.i2, i2);
    for (int j = 0; j < count; ++j) {
        bricks[j]->ic1 = i1[j];
        bricks[j]->ic2 = i2[j];
    }
}

}  // namespace bricks
