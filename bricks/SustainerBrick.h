#pragma once

#include <algorithm>
#include <type_traits>

#include "bricks/DspBrick.h"
#include "bricks/Lanes.h"
#include "bricks/SustainerSample.h"

namespace bricks {

// Two-channel programme-dependent gain stage with a biased soft clipper and a
// feedback detector that lowers the gain while the clipped output swings far
// negative. Control inputs: 0 drive, 1 compression, 2 stereoMode (rounds to
// 0 stereo, 1 linked, 2 mono), 3 speed. Audio inputs/outputs 0 left, 1 right.
class SustainerBrick : public DspBrickImpl<4, 0, 2, 2> {
public:
    void process() override { processRange(0, kBlockSize); }
    void processRange(int begin, int end) override;
    void processRangePlain(int begin, int end) override;
    void setSampleRate(float rate) override;
    void reset() override;

    // Current gain (r0, r1) and detector envelope of channel 0 or 1, for
    // gain-reduction displays and checks.
    float gain(int channel) const { return state.gain.channel(channel); }
    double envelope(int channel) const { return state.envelope.channel(channel); }

    using State = SustainerState<lanes::Float2, lanes::Double2>;
    using Controls = SustainerControls<lanes::Float2, lanes::Double2>;

    // Where the block begins (range from 0): reads the controls.
    void beginBlock();
    // The state, the controls and the channel mode of the current block, for
    // owners that run the step in loops of their own.
    State& laneState() { return state; }
    const Controls& laneControls() const { return controls; }
    int blockMode() const { return mode; }
    // Samples the envelope is run ahead along its decay.
    static constexpr int kAhead = 8;

    // The controls of a block as the step takes them, and its channel mode.
    template<class F, class D>
    static SustainerControls<F, D> blockControls(float drive, float compression, float speed, float sampleRate,
                                                 double inputCoefficient, double detectorCoefficient);
    static int channelMode(float stereoMode);

private:
    // Calls run with the block's channel mode as a compile-time constant.
    template<class Run>
    void inMode(Run&& run) const
    {
        if (mode == kSustainLinked)
            run(std::integral_constant<int, kSustainLinked>{});
        else if (mode == kSustainMono)
            run(std::integral_constant<int, kSustainMono>{});
        else
            run(std::integral_constant<int, kSustainStereo>{});
    }

    double inputCoefficient = 0.0;     // of the input trackers, from the rate
    double detectorCoefficient = 0.0;  // of the detector trackers
    State state{lanes::Double2::both(0.0), lanes::Double2::both(0.0), lanes::Double2::both(0.0),
                lanes::Double2::both(0.0), lanes::Float2::both(0.0f)};
    Controls controls{};  // of the current block, formed where it begins
    int mode = kSustainStereo;
};

// One-pole coefficient 1 - 1/x for a time constant of x samples, held at 0
// where x < 1 would make it negative and the envelope alternate in sign.
inline float sustainerEnvelopeCoefficient(float v, double factor, float sampleRate)
{
    const float c = 1.0f - 1.0f / (float(v * factor) * sampleRate);
    return std::max(c, 0.0f);
}

template<class F, class D>
SustainerControls<F, D> SustainerBrick::blockControls(float drive, float compression, float speed, float sampleRate,
                                                      double inputCoefficient, double detectorCoefficient)
{
    using namespace sustain;
    const float inputGain = (1.0f - (1.0f - compression) * kUncompressedDrop) * (drive * drive * drive * kDriveScale);
    const float slowness = 1.0f - speed + kSpeedFloor;
    const float v = slowness * slowness * kSpeedTimeScale;  // scales every envelope time
    return {F::both(inputGain),
            F::both(compression),
            D::of(sustainerEnvelopeCoefficient(v, kAttackFactor0, sampleRate),
                  sustainerEnvelopeCoefficient(v, kAttackFactor1, sampleRate)),
            D::both(sustainerEnvelopeCoefficient(v, kReleaseFactor, sampleRate)),
            D::both(inputCoefficient),
            D::both(detectorCoefficient)};
}

}  // namespace bricks
