#pragma once

#include <algorithm>
#include <limits>

#include "bricks/DspBrick.h"
#include "bricks/Lanes.h"

namespace bricks {

// Channel modes of the sustainer, from its stereoMode control.
enum SustainerMode : int { kSustainStereo = 0, kSustainLinked = 1, kSustainMono = 2 };

// The sustainer's state for both channels, with F a pair of floats and D a
// pair of doubles (lanes::Float2/Double2, or lanes::ScalarPair for the plain
// form).
template<class F, class D>
struct SustainerState {
    D inputTracker;     // follows the input with a 0.47 s time constant
    D detectorTracker;  // follows the detector signal, 16.592 ms
    D envelope;
    D envelopeCoefficient;  // the one the envelope took last
    F gain;                 // applied from the next sample on
};

// What the controls give for one block.
template<class F, class D>
struct SustainerControls {
    F inputGain;
    F detectorGain;  // the compression control
    D attack;        // envelope coefficients while rising, per channel
    D release;       // and while falling
    D inputCoefficient;
    D detectorCoefficient;
};

// One sample of both channels through the sustainer; returns its output pair
// (channel 1 a copy of channel 0 in mono mode). `input` is the pair of input
// samples. Channel 0 and 1 differ only in their constants.
template<int Mode, class F, class D>
inline F sustainerStep(SustainerState<F, D>& s, const SustainerControls<F, D>& k, F input)
{
    const F bias = F::of(0.327f, 0.3f);         // of the soft clipper, removed after it
    const F threshold = F::of(0.66f, 0.7986f);  // how far below the envelope a swing must go
    const F maxScale = F::of(0.981f, 0.9f);     // share of the full 300x gain at envelope 0

    F x = k.inputGain * input;
    if constexpr (Mode == kSustainMono)
        x = withChannel0(x, (x + swapChannels(x)) * F::both(0.5f));  // channel 0 takes the mean
    const D xd = widen(x);

    // Subtracting the slow tracker removes DC and very low frequencies.
    s.inputTracker = (s.inputTracker - xd) * k.inputCoefficient + xd;
    const F product = narrow((xd - s.inputTracker) * widen(s.gain));

    // Biased soft clipper: with z = j^3 + j, z / sqrt(z^2 + 1). Where z^2
    // overflows the quotient would give 0 or NaN; its limit there is sign(z).
    const F j = F::both(0.5f) * product + bias;
    const F z = j * j * j + j;
    const F zz = z * z;
    const F clipped = select(zz < F::both(std::numeric_limits<float>::infinity()),
                             z / squareRoot(zz + F::both(1.0f)), unitWithSign(z));
    const F y = clipped - bias;
    const F out = F::both(4.0f) * y;

    const F detector = y * F::both(5.0f) * k.detectorGain;
    const D sd = widen(detector);
    s.detectorTracker = (s.detectorTracker - sd) * k.detectorCoefficient + sd;
    const F h = narrow(sd - s.detectorTracker);

    // Negative swings beyond envelope + threshold drive the envelope up
    // towards the excess (at most 6); otherwise it decays to 0. Rarely taken,
    // so the branch lets the decay run ahead of the detector.
    const auto rising = h < -(narrow(s.envelope) + threshold);
    if (!rising.any()) {
        s.envelopeCoefficient = k.release;
        s.envelope = (s.envelope - D::both(0.0)) * s.envelopeCoefficient + D::both(0.0);
    } else {
        const F target = select(rising, -(h + threshold), F::both(0.0f));
        s.envelopeCoefficient = select(rising, k.attack, k.release);
        const D m = widen(minimum(target, F::both(6.0f)));
        s.envelope = (s.envelope - m) * s.envelopeCoefficient + m;
    }

    // Gain from the envelope: maxScale * 300 + 1 at envelope 0, down to 1 at 2
    // and above. The clamp to 0..5 keeps a NaN, as a clamp by comparisons does.
    const F e = maximum(F::both(0.0f), minimum(F::both(5.0f), F::both(2.5f) * narrow(s.envelope)));
    s.gain = (F::both(5.0f) - e) * maxScale / F::both(5.0f) * F::both(300.0f) + F::both(1.0f);
    if constexpr (Mode == kSustainLinked) {
        // Each gain is pulled towards the smaller one (channel 0's when equal).
        const F smaller = broadcast(minimum(broadcast(s.gain, 1), s.gain), 0);
        s.gain = s.gain * F::both(0.19999999f) + smaller * F::both(0.8f);
    }
    return out;
}

// Two-channel programme-dependent gain stage with a biased soft clipper and a
// feedback detector that lowers the gain while the clipped output swings far
// negative. Control inputs: 0 drive, 1 compression, 2 stereoMode (rounds to
// 0 stereo, 1 linked, 2 mono), 3 speed. Audio inputs/outputs 0 left, 1 right.
class SustainerBrick : public DspBrickImpl<4, 0, 2, 2> {
public:
    void process() override { processRange(0, kBlockSize); }
    void processRange(int begin, int end);
    void setSampleRate(float rate) override;
    void reset() override;

    // Current gain (r0, r1) and detector envelope of channel 0 or 1, for
    // gain-reduction displays and checks.
    float gain(int channel) const { return state.gain.channel(channel); }
    double envelope(int channel) const { return state.envelope.channel(channel); }

    // The controls of a block as the step takes them, and its channel mode.
    template<class F, class D>
    static SustainerControls<F, D> blockControls(float drive, float compression, float speed, float sampleRate,
                                                 double inputCoefficient, double detectorCoefficient);
    static int channelMode(float stereoMode);

private:
    using State = SustainerState<lanes::Float2, lanes::Double2>;
    using Controls = SustainerControls<lanes::Float2, lanes::Double2>;

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
    const float inputGain = (1.0f - (1.0f - compression) * 0.6f) * (drive * drive * drive * 10.0f);
    const float slowness = 1.0f - speed + 0.02f;
    const float v = slowness * slowness * 90.0f;  // scales every envelope time
    return {F::both(inputGain),
            F::both(compression),
            D::of(sustainerEnvelopeCoefficient(v, 0.00198, sampleRate),
                  sustainerEnvelopeCoefficient(v, 0.002277, sampleRate)),
            D::both(sustainerEnvelopeCoefficient(v, 0.1034, sampleRate)),
            D::both(inputCoefficient),
            D::both(detectorCoefficient)};
}

}  // namespace bricks
