#include "bricks/SustainerBrick.h"

#include <cmath>

namespace bricks {

using lanes::Double2;
using lanes::Float2;

void SustainerBrick::setSampleRate(float rate)
{
    DspBrick::setSampleRate(rate);
    inputCoefficient = std::exp(-1.0 / (double(rate) * sustain::kInputTrackerSeconds));
    detectorCoefficient = std::exp(-1.0 / (double(rate) * sustain::kDetectorTrackerSeconds));
    reset();
}

void SustainerBrick::reset()
{
    state.inputTracker = Double2::both(0.0);
    state.detectorTracker = Double2::both(0.0);
    state.envelope = Double2::both(0.0);
}

int SustainerBrick::channelMode(float stereoMode)
{
    const float rounded = std::round(stereoMode * 2.0f);
    return rounded == 1.0f ? kSustainLinked : (rounded == 2.0f ? kSustainMono : kSustainStereo);
}

void SustainerBrick::beginBlock()
{
    controls = blockControls<Float2, Double2>(controlValue(0), controlValue(1), controlValue(3), sampleRate,
                                              inputCoefficient, detectorCoefficient);
    mode = channelMode(controlValue(2));
}

void SustainerBrick::processRange(int begin, int end)
{
    if (begin == 0) beginBlock();
    Float2 output[kBlockSize];
    Double2 centred[kBlockSize];
    // The channel mode is fixed for the block: one loop per mode.
    const auto run = [&](auto modeTag) {
        constexpr int kMode = decltype(modeTag)::value;
        using Sample = SustainerSample<kMode, Float2, Double2>;
        for (int n = begin; n < end; ++n) {
            const Float2 input{_mm_unpacklo_ps(_mm_load_ss(audioInputs[0] + n), _mm_load_ss(audioInputs[1] + n))};
            centred[n] = Sample::centre(state.inputTracker, controls, input);
        }
        Sample::template run<kAhead>(state, controls, centred + begin, output + begin, end - begin);
    };
    inMode(run);
    float* __restrict out0 = audioOutputs[0].data();
    float* __restrict out1 = audioOutputs[1].data();
    for (int n = begin; n < end; ++n) {
        _mm_store_ss(out0 + n, output[n].v);
        _mm_store_ss(out1 + n, mode == kSustainMono ? output[n].v : _mm_shuffle_ps(output[n].v, output[n].v, 0x55));
    }
}

void SustainerBrick::processRangePlain(int begin, int end)
{
    if (begin == 0) beginBlock();
    using F = lanes::ScalarPair<float>;
    using D = lanes::ScalarPair<double>;
    using lanes::pairOf;
    SustainerState<F, D> s{pairOf<D>(state.inputTracker), pairOf<D>(state.detectorTracker), pairOf<D>(state.envelope),
                           pairOf<D>(state.envelopeCoefficient), pairOf<F>(state.gain)};
    const SustainerControls<F, D> k{pairOf<F>(controls.inputGain),        pairOf<F>(controls.detectorGain),
                                    pairOf<D>(controls.attack),           pairOf<D>(controls.release),
                                    pairOf<D>(controls.inputCoefficient), pairOf<D>(controls.detectorCoefficient)};
    inMode([&](auto modeTag) {
        constexpr int kMode = decltype(modeTag)::value;
        for (int n = begin; n < end; ++n) {
            F out;
            SustainerSample<kMode, F, D>::step(s, k, F::of(audioInputs[0][n], audioInputs[1][n]), out);
            audioOutputs[0][n] = out.channel(0);
            audioOutputs[1][n] = out.channel(kMode == kSustainMono ? 0 : 1);
        }
    });
    state = {pairOf<Double2>(s.inputTracker), pairOf<Double2>(s.detectorTracker), pairOf<Double2>(s.envelope),
             pairOf<Double2>(s.envelopeCoefficient), pairOf<Float2>(s.gain)};
}

}  // namespace bricks
