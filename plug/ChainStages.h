#pragma once
// Parts of the fused chain: the loop that overlaps its stages, and the input stage.

#include <tuple>
#include <type_traits>
#include <utility>

#include "bricks/AudioMixerBrick.h"
#include "bricks/FixedFilterBrick.h"
#include "bricks/SVFFilterBrick.h"
#include "bricks/SustainerBrick.h"

// The chain's stages are lambdas that must be inlined into its loops, or their state would leave
// the registers.
#define TW07_INLINE __attribute__((always_inline))

namespace plug::chain {

// Runs stages, given in the order of the data, over samples begin .. end - 1; each stage takes
// a sample index and hands its result on to the next through the caller's variables. Each
// stage waits on the one before, so iteration i runs stage s on sample i - s, latest stage
// first: within an iteration no stage waits on another and the processor overlaps them. A
// range too short for that goes through the stages sample by sample.
template<class... Stage>
[[gnu::always_inline]] inline void runStages(int begin, int end, Stage&&... stage)
{
    constexpr int kLast = int(sizeof...(Stage)) - 1;
    if (end - begin <= kLast) {
        for (int n = begin; n < end; ++n) (stage(n), ...);
        return;
    }
    const auto stages = std::forward_as_tuple(stage...);
    const auto iteration = [&]<int... S>(int i, std::integer_sequence<int, S...>, auto guarded) TW07_INLINE
    {
        const auto run = [&]<int Lag>(std::integral_constant<int, Lag>) TW07_INLINE {
            if (!decltype(guarded)::value || (i - Lag >= begin && i - Lag < end)) std::get<Lag>(stages)(i - Lag);
        };
        (run(std::integral_constant<int, kLast - S>{}), ...);
    };
    const auto all = std::make_integer_sequence<int, kLast + 1>{};
    int i = begin;
    for (; i < begin + kLast; ++i) iteration(i, all, std::true_type{});
    for (; i < end; ++i) iteration(i, all, std::false_type{});
    for (; i < end + kLast; ++i) iteration(i, all, std::true_type{});
}

// The input tone stage and the high-pass before the sustainer, both channels side by side: the
// band splitters in four lanes (low and mid band of both channels), the mixers and filters in two.
// The four state-variable filters' gains ramp in one register, pre in lanes 0 and 1, post in 2 and
// 3: this stage works out the coefficients of both, since it waits on its filter's feedback where
// the stages after the sustainer are short of arithmetic units.
template<bool AtRest>
struct InputStage {
    using Float2 = bricks::lanes::Float2;
    using Float4 = bricks::lanes::Float4;
    using Fixed = bricks::FixedFilterBrick;
    using Mixer = bricks::AudioMixerBrick<3>;
    using Svf = bricks::SVFFilterBrick;
    using CoefficientRow = Float4[bricks::kBlockSize];

    Fixed* const* splitters;
    Mixer* const* mixers;
    Svf* const* filters;  // pre 0, pre 1, post 0, post 1
    const float* __restrict in0;
    const float* __restrict in1;
    CoefficientRow* __restrict coefficients;  // a1, a2, a3 of each sample, for the post filters
    bricks::BiquadKernel<Float4> bandSplit = Fixed::kernel<Float4>(splitters, 4);
    bricks::MixKernel<Float2, 3> mix = Mixer::kernel<Float2>(mixers, 2);
    bricks::SvfRamp<Float4> ramp = Svf::ramp<Float4>(filters, 4);
    bricks::SvfIntegrators<Float2> svf = Svf::integrators<Float2>(filters, 2);
    Float2 damping = bricks::lanes::lowerPair(ramp.k);
    bricks::SvfCoefficients<Float4> still = AtRest ? ramp.advance() : bricks::SvfCoefficients<Float4>{};

    TW07_INLINE Float2 tone(int n)
    {
        const Float2 x{_mm_unpacklo_ps(_mm_load_ss(in0 + n), _mm_load_ss(in1 + n))};
        const Float4 bands = bandSplit.step(bricks::lanes::twice(x));
        return mix.template mix<!AtRest>({bricks::lanes::lowerPair(bands), bricks::lanes::upperPair(bands), x});
    }

    TW07_INLINE Float2 filter(Float2 toned, int n)
    {
        using bricks::lanes::lowerPair;
        bricks::SvfCoefficients<Float4> c = still;
        if constexpr (!AtRest) {
            c = ramp.advance();
            coefficients[0][n] = c.a1;
            coefficients[1][n] = c.a2;
            coefficients[2][n] = c.a3;
        }
        Float2 band, low;
        svf.filter(toned, {lowerPair(c.a1), lowerPair(c.a2), lowerPair(c.a3)}, band, low);
        return bricks::svfHighPass(toned, damping, band, low);
    }

    void keep() const
    {
        Fixed::keep(bandSplit, splitters, 4);
        Mixer::keep(mix, mixers, 2);
        Svf::keep(ramp, filters, 4);
        Svf::keep(svf, filters, 2);
    }
};

// The sustainer in the loop before it, as if its envelope decayed throughout: attacks are rare,
// and that loop waits on its filters' feedback while the sustainer's clipper is short of nothing
// but arithmetic units. Each sample's input, envelope, gain, swing and detector tracker are kept,
// so that settle finds the first attack, if any, and runs the rest again from there.
template<int Mode>
struct SustainerStage {
    using Float2 = bricks::lanes::Float2;
    using Float4 = bricks::lanes::Float4;
    using Double2 = bricks::lanes::Double2;
    using Sustain = bricks::SustainerSample<Mode, Float2, Double2>;

    bricks::SustainerBrick::State state;
    const bricks::SustainerBrick::Controls controls;
    Double2* __restrict centred;  // the input less its tracker
    Float2* __restrict out;
    Float2* __restrict swings;
    Double2* __restrict envelopes;
    Float2* __restrict gains;
    Double2* __restrict trackers;
    typename Sustain::Decaying path{state.envelope, state.gain};
    Double2 tracker = state.detectorTracker;
    decltype(Sustain::rising(Float2{}, Double2{})) attacks{};
    const Float4 pairBias = Sustain::pairBias();
    const Float4 pairDetectorGain = Sustain::pairDetectorGain(controls);

    // The envelopes and gains of samples n and n + 1 along the decay.
    TW07_INLINE void decayPair(int n)
    {
        const Double2 e1 = Sustain::decay(path.envelope, controls);
        const Double2 e2 = Sustain::decay(e1, controls);
        envelopes[n] = path.envelope;
        envelopes[n + 1] = e1;
        gains[n] = path.gain;
        path.envelope = e2;
        Sustain::gainPair(e1, e2, gains[n + 1], path.gain);
    }

    // The clipper's input of sample n.
    TW07_INLINE Float2 centre(Float2 filtered, int n)
    {
        const Double2 c = Sustain::centre(state.inputTracker, controls, filtered);
        centred[n] = c;
        return Sustain::scaled(c, gains[n]);
    }

    TW07_INLINE void detect(Double2 detector, int n)
    {
        const Float2 h = Sustain::detect(tracker, controls, detector);
        swings[n] = h;
        trackers[n] = tracker;
        attacks = attacks | Sustain::rising(h, envelopes[n]);
    }

    TW07_INLINE void settle(int begin, int end)
    {
        Sustain::template settle<bricks::SustainerBrick::kAhead>(state, controls, centred + begin, out + begin,
                                                                 end - begin, path, tracker, attacks, swings + begin,
                                                                 envelopes + begin, trackers + begin);
    }
};

// The scope filter takes the anti-alias filter's output of the sample this many before, long
// enough ago not to hold up this one.
constexpr int kScopeLag = 8;

// Sample n through the DC blockers (lanes 0 and 1, both outputs stored) and the scope filter (lane
// 2, its output stored kScopeLag samples late); until the range has such a sample the scope filter
// stands still. Returns the DC blockers' outputs.
[[gnu::always_inline]] inline bricks::lanes::Float2 blockDcAndScope(bricks::BiquadKernel<bricks::lanes::Float4>& dc,
                                                                    bricks::lanes::Float2 sustained, int n, int begin,
                                                                    const float* __restrict out1,
                                                                    float* __restrict scoped, float* __restrict dc0,
                                                                    float* __restrict dc1)
{
    using bricks::lanes::lowerPair;
    bricks::lanes::Float2 level;
    if (n - kScopeLag >= begin) {
        const bricks::lanes::Float4 levels = dc.step({_mm_movelh_ps(sustained.v, _mm_load_ss(out1 + n - kScopeLag))});
        _mm_store_ss(scoped + n - kScopeLag, _mm_movehl_ps(levels.v, levels.v));
        level = lowerPair(levels);
    } else {
        const __m128 s1 = dc.s1.v, s2 = dc.s2.v;
        level = lowerPair(dc.step({_mm_movelh_ps(sustained.v, _mm_setzero_ps())}));
        dc.s1.v = _mm_shuffle_ps(dc.s1.v, s1, _MM_SHUFFLE(3, 2, 1, 0));
        dc.s2.v = _mm_shuffle_ps(dc.s2.v, s2, _MM_SHUFFLE(3, 2, 1, 0));
    }
    _mm_store_ss(dc0 + n, level.v);
    _mm_store_ss(dc1 + n, _mm_shuffle_ps(level.v, level.v, 0x55));
    return level;
}

}  // namespace plug::chain
