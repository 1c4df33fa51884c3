// The fused chain: every brick's kernel in two loops over the range, in three instruction-set
// builds chosen at run time, and the graph brick by brick for reference.
#include <algorithm>

#include "plug/ChainStages.h"
#include "plug/Plug.h"

namespace plug {

Plug::InstructionSet Plug::widestInstructionSet()
{
    // Counts a feature only where the system also saves its registers.
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2")) return InstructionSet::kSse2;
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq"))
        return InstructionSet::kAvx512;
    return InstructionSet::kAvx2;
}

void Plug::setInstructionSet(InstructionSet set) { instructionSet = std::min(set, widestInstructionSet()); }

// The graph as drawn: every brick's own process, or its plain form, over the range, one after
// the other in the order of the data.
void Plug::runBricksInTurn(int begin, int end)
{
    for (bricks::DspBrick* brick : order) {
        if (evaluation == Evaluation::kPlain)
            brick->processRangePlain(begin, end);
        else
            brick->processRange(begin, end);
    }
}

void Plug::runBricks(int begin, int end)
{
    if (begin == 0) {
        for (int c = 0; c < 2; ++c) {
            preEq[c].beginBlock();
            preFilter[c].beginBlock();
            outputGain[c].beginBlock();
            postEq[c].beginBlock();
            postFilter[c].beginBlock();
            saturation[c].beginBlock();
        }
        sustainer.beginBlock();
    }
    // Controls mostly stand still, and then so do the ramps of the gains and
    // the filters' coefficients: the chain has a form that leaves them out.
    bool atRest = true;
    for (int c = 0; c < 2; ++c) {
        atRest = atRest && preEq[c].atRest() && preFilter[c].atRest() && outputGain[c].atRest() && postEq[c].atRest() &&
                 postFilter[c].atRest();
    }
    using Chain = void (Plug::*)(int, int);
    static constexpr Chain kChains[3][2][3] = {
        {
            {&Plug::runChain<bricks::kSustainStereo, false>, &Plug::runChain<bricks::kSustainLinked, false>,
             &Plug::runChain<bricks::kSustainMono, false>},
            {&Plug::runChain<bricks::kSustainStereo, true>, &Plug::runChain<bricks::kSustainLinked, true>,
             &Plug::runChain<bricks::kSustainMono, true>},
        },
        {
            {&Plug::runChainAvx2<bricks::kSustainStereo, false>, &Plug::runChainAvx2<bricks::kSustainLinked, false>,
             &Plug::runChainAvx2<bricks::kSustainMono, false>},
            {&Plug::runChainAvx2<bricks::kSustainStereo, true>, &Plug::runChainAvx2<bricks::kSustainLinked, true>,
             &Plug::runChainAvx2<bricks::kSustainMono, true>},
        },
        {
            {&Plug::runChainAvx512<bricks::kSustainStereo, false>, &Plug::runChainAvx512<bricks::kSustainLinked, false>,
             &Plug::runChainAvx512<bricks::kSustainMono, false>},
            {&Plug::runChainAvx512<bricks::kSustainStereo, true>, &Plug::runChainAvx512<bricks::kSustainLinked, true>,
             &Plug::runChainAvx512<bricks::kSustainMono, true>},
        },
    };
    (this->*kChains[int(instructionSet)][atRest][sustainer.blockMode()])(begin, end);
    // Off the audio chain: they read what the chain left in the buffers.
    sustainMeter[0].processRange(begin, end);
    sustainMeter[1].processRange(begin, end);
    outputMeter[0].processRange(begin, end);
    outputMeter[1].processRange(begin, end);
    scope.processRange(begin, end);
}

template<int Mode, bool AtRest>
bricks::SvfCoefficients<bricks::lanes::Float4> Plug::frontLoop(int begin, int end)
{
    using bricks::lanes::Float2;
    using bricks::lanes::Float4;
    namespace lanes = bricks::lanes;

    Fixed* const bandSplitters[4] = {&loBand[0], &loBand[1], &midBand[0], &midBand[1]};
    Mixer* const preMixers[2] = {&preEq[0], &preEq[1]};
    Svf* const filters[4] = {&preFilter[0], &preFilter[1], &postFilter[0], &postFilter[1]};
    chain::InputStage<AtRest> input{bandSplitters, preMixers,    filters,
                                    upsampled[0],  upsampled[1], chainBuffers.filterCoefficients};
    chain::SustainerStage<Mode> sustain{
        sustainer.laneState(), sustainer.laneControls(), chainBuffers.toSustainer, chainBuffers.fromSustainer,
        chainBuffers.swings,   chainBuffers.envelopes,   chainBuffers.gains,       chainBuffers.detectorTrackers};
    using Sustain = typename chain::SustainerStage<Mode>::Sustain;
    using lanes::Double2;
    // Ranges are whole host frames, four samples each, so they come in pairs.
    static_assert(kOversampling % 2 == 0);
    Float2 toned[2], filtered[2];
    Float4 product, root;
    typename Sustain::template Shaped<Float4> cubed, rooted;
    Double2 detector[2];
    chain::runStages(
        0, (end - begin) / 2,
        [&](int p) TW07_INLINE {
            const int n = begin + 2 * p;
            sustain.decayPair(n);
            toned[0] = input.tone(n);
            toned[1] = input.tone(n + 1);
        },
        [&](int p) TW07_INLINE {
            const int n = begin + 2 * p;
            filtered[0] = input.filter(toned[0], n);
            filtered[1] = input.filter(toned[1], n + 1);
        },
        [&](int p) TW07_INLINE {
            const int n = begin + 2 * p;
            const Float2 a = sustain.centre(filtered[0], n);
            product = lanes::pairs(a, sustain.centre(filtered[1], n + 1));
        },
        [&](int) TW07_INLINE { cubed = Sustain::shape(product, sustain.pairBias); },
        [&](int) TW07_INLINE {
            rooted = cubed;
            root = Sustain::root(cubed);
        },
        [&](int p) TW07_INLINE {
            const int n = begin + 2 * p;
            Float4 toDetector;
            const Float4 out = Sustain::limit(rooted, root, sustain.pairBias, sustain.pairDetectorGain, toDetector);
            sustain.out[n] = lanes::lowerPair(out);
            sustain.out[n + 1] = lanes::upperPair(out);
            detector[0] = widen(lanes::lowerPair(toDetector));
            detector[1] = widen(lanes::upperPair(toDetector));
        },
        [&](int p) TW07_INLINE {
            const int n = begin + 2 * p;
            sustain.detect(detector[0], n);
            sustain.detect(detector[1], n + 1);
        });
    sustain.settle(begin, end);
    input.keep();
    sustainer.laneState() = sustain.state;
    return input.still;
}

template<int Mode, bool AtRest>
void Plug::backLoop(int begin, int end, const bricks::SvfCoefficients<bricks::lanes::Float4>& still)
{
    using bricks::lanes::Float2;
    using bricks::lanes::Float4;
    namespace lanes = bricks::lanes;

    // The DC blockers in lanes 0 and 1, the scope filter in lane 2.
    Fixed* const dcBlockersAndScope[3] = {&dcBlock[0], &dcBlock[1], &scopeFilter};
    Fixed* const postBandSplitters[4] = {&hiBand[0], &hiBand[1], &postMidBand[0], &postMidBand[1]};
    Mixer* const postMixers[2] = {&postEq[0], &postEq[1]};
    Svf* const postFilters[2] = {&postFilter[0], &postFilter[1]};
    Vca* const gains[2] = {&outputGain[0], &outputGain[1]};
    Saturation* const saturators[2] = {&saturation[0], &saturation[1]};
    bricks::BiquadKernel<Float4> dc = Fixed::kernel<Float4>(dcBlockersAndScope, 3);
    bricks::VcaKernel<Float2> gain = Vca::kernel<Float2>(gains, 2);
    bricks::BiquadKernel<Float4> postBandSplit = Fixed::kernel<Float4>(postBandSplitters, 4);
    bricks::MixKernel<Float2, 3> postMix = Mixer::kernel<Float2>(postMixers, 2);
    bricks::SvfIntegrators<Float2> postSvf = Svf::integrators<Float2>(postFilters, 2);
    bricks::SaturationKernel<Float2> saturate = Saturation::kernel<Float2>(saturators, 2);
    AntiAlias::TwoFilterLanes antiAliasing = AntiAlias::kernel(antiAlias[0], antiAlias[1]);

    float* __restrict dc0 = dcBlock[0].audioOutput(0);
    float* __restrict dc1 = dcBlock[1].audioOutput(0);
    float* __restrict out0 = antiAlias[0].audioOutput(0);
    float* __restrict out1 = antiAlias[1].audioOutput(0);
    float* __restrict scoped = scopeFilter.audioOutput(0);
    const Float2* __restrict fromSustainer = chainBuffers.fromSustainer;
    using CoefficientRow = Float4[bricks::kBlockSize];
    const CoefficientRow* __restrict svfCoefficients = chainBuffers.filterCoefficients;

    Float2 shaped, low, clipped;
    bricks::SaturationKernel<Float2>::Scaled saturating;
    chain::runStages(
        begin, end,
        [&](int n) TW07_INLINE {
            Float2 sustained = fromSustainer[n];
            if constexpr (Mode == bricks::kSustainMono) sustained = lanes::broadcast(sustained, 0);
            const Float2 level = chain::blockDcAndScope(dc, sustained, n, begin, out1, scoped, dc0, dc1);
            const Float2 scaled = gain.template apply<!AtRest>(level);
            const Float4 bands = postBandSplit.step(lanes::twice(scaled));
            shaped = postMix.template mix<!AtRest>({lanes::lowerPair(bands), lanes::upperPair(bands), scaled});
        },
        [&](int n) TW07_INLINE {
            bricks::SvfCoefficients<Float2> c{lanes::upperPair(still.a1), lanes::upperPair(still.a2),
                                              lanes::upperPair(still.a3)};
            if constexpr (!AtRest) {
                c = {lanes::upperPair(svfCoefficients[0] + n), lanes::upperPair(svfCoefficients[1] + n),
                     lanes::upperPair(svfCoefficients[2] + n)};
            }
            Float2 band;
            postSvf.filter(shaped, c, band, low);
        },
        // The saturator's square root and its division in stages of their own.
        [&](int) TW07_INLINE { saturating = saturate.scale(low); },
        [&](int) TW07_INLINE { clipped = bricks::SaturationKernel<Float2>::mean(saturating); },
        [&](int n) TW07_INLINE {
            const __m128 y = antiAliasing.step(clipped).v;
            const float y1 = _mm_cvtss_f32(_mm_shuffle_ps(y, y, _MM_SHUFFLE(1, 1, 1, 1)));
            _mm_store_ss(out0 + n, y);
            out1[n] = y1;
        });

    Fixed::keep(dc, dcBlockersAndScope, 3);
    Vca::keep(gain, gains, 2);
    Fixed::keep(postBandSplit, postBandSplitters, 4);
    Mixer::keep(postMix, postMixers, 2);
    Svf::keep(postSvf, postFilters, 2);
    Saturation::keep(saturate, saturators, 2);
    AntiAlias::keep(antiAliasing, antiAlias[0], antiAlias[1]);
    // The scope filter's last samples, which no later sample of the range took along.
    Fixed* const scopeFilters[1] = {&scopeFilter};
    bricks::BiquadKernel<float> scopeLowPass = Fixed::kernel<float>(scopeFilters, 1);
    for (int n = std::max(begin, end - chain::kScopeLag); n < end; ++n) scoped[n] = scopeLowPass.step(out1[n]);
    Fixed::keep(scopeLowPass, scopeFilters, 1);
}

// The audio chain sample by sample, both channels side by side in SSE lanes
// (the band splitters in four: low and mid band of both channels), each brick
// through its own kernel, so every operation is the one the brick's own
// process() would do: the stages up to the sustainer's detector, the rest of
// the sustainer from where an attack starts, then the stages after it. Only
// the outputs that others read are stored: the DC blockers' and the anti-alias
// filters' for the meters and the decimation, the scope filter's for the
// scope. With the ramps at rest the filters' coefficients are worked out once
// and the gains stay as they are.
template<int Mode, bool AtRest>
void Plug::chainLoops(int begin, int end)
{
    backLoop<Mode, AtRest>(begin, end, frontLoop<Mode, AtRest>(begin, end));
}

template<int Mode, bool AtRest>
void Plug::runChain(int begin, int end)
{
    chainLoops<Mode, AtRest>(begin, end);
}

template<int Mode, bool AtRest>
[[TW07_AVX2_TARGET]] void Plug::runChainAvx2(int begin, int end)
{
    chainLoops<Mode, AtRest>(begin, end);
}

template<int Mode, bool AtRest>
[[TW07_AVX512_TARGET]] void Plug::runChainAvx512(int begin, int end)
{
    chainLoops<Mode, AtRest>(begin, end);
}

}  // namespace plug
