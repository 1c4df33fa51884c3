#include "bricks/SustainerBrick.h"

#include <cmath>

namespace bricks {

using lanes::Double2;
using lanes::Float2;

void SustainerBrick::setSampleRate(float rate)
{
    DspBrick::setSampleRate(rate);
    // Input trackers: time constant 0.47 s; detector trackers: 16.592 ms.
    inputCoefficient = std::exp(-1.0 / (double(rate) * 0.47));
    detectorCoefficient = std::exp(-1.0 / (double(rate) * 0.016592));
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

void SustainerBrick::processRange(int begin, int end)
{
    if (begin == 0) {
        controls = blockControls<Float2, Double2>(controlValue(0), controlValue(1), controlValue(3), sampleRate,
                                                  inputCoefficient, detectorCoefficient);
        mode = channelMode(controlValue(2));
    }
    const float* __restrict in0 = audioInputs[0];
    const float* __restrict in1 = audioInputs[1];
    float* __restrict out0 = audioOutputs[0].data();
    float* __restrict out1 = audioOutputs[1].data();
    State s = state;
    const Controls k = controls;
    // The channel mode is fixed for the block: one loop per mode.
    const auto run = [&](auto modeTag) {
        constexpr int kMode = decltype(modeTag)::value;
        for (int n = begin; n < end; ++n) {
            const Float2 input{_mm_unpacklo_ps(_mm_load_ss(in0 + n), _mm_load_ss(in1 + n))};
            const Float2 out = sustainerStep<kMode>(s, k, input);
            _mm_store_ss(out0 + n, out.v);
            _mm_store_ss(out1 + n, kMode == kSustainMono ? out.v : _mm_shuffle_ps(out.v, out.v, 0x55));
        }
    };
    if (mode == kSustainLinked)
        run(std::integral_constant<int, kSustainLinked>{});
    else if (mode == kSustainMono)
        run(std::integral_constant<int, kSustainMono>{});
    else
        run(std::integral_constant<int, kSustainStereo>{});
    state = s;
}

}  // namespace bricks
