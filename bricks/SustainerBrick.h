#pragma once

#include "bricks/DspBrick.h"

namespace bricks {

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
    float gain(int channel) const { return channel == 0 ? r0 : r1; }
    double envelope(int channel) const { return channel == 0 ? envelope0.state : envelope1.state; }

private:
    struct OnePole {
        double state = 0.0;
        double coefficient = 0.0;
    };

    float r0 = 0.0f;  // gain of channel 0, used from the next sample on
    float r1 = 0.0f;
    OnePole inputTracker0;  // t0, cIn
    OnePole inputTracker1;  // t1, cIn
    OnePole detectorTracker0;  // a0, cDet
    OnePole detectorTracker1;  // a1, cDet
    OnePole envelope0;  // e0; coefficient chosen per sample
    OnePole envelope1;  // e1

    // What the controls give for the current block, formed where it begins.
    void beginBlock();
    float inputGain = 0.0f;
    float detectorGain = 0.0f;  // the compression control
    int channelMode = 0;        // 0 stereo, 1 linked, 2 mono
    double attackCoefficient0 = 0.0;  // envelope coefficients while rising, per channel
    double attackCoefficient1 = 0.0;
    double releaseCoefficient = 0.0;  // and while falling, both channels
};

}  // namespace bricks
