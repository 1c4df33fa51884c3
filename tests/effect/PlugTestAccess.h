#pragma once
// White-box access to the effect for its tests.

#include "kx/HostCallback.h"
#include "plug/Plug.h"

namespace plug {

class PlugTestAccess {
public:
    explicit PlugTestAccess(Plug& plug) : p(plug) {}

    float sustainerDrive() const { return p.sustainerDrive; }
    float outputLevel() const { return p.outputLevel; }
    float loGain() const { return p.loGain; }
    float loCutoff() const { return p.loCutoff; }
    float hiGain() const { return p.hiGain; }
    float hiCutoff() const { return p.hiCutoff; }
    float preMidGain() const { return p.preMidGain; }
    float postMidGain() const { return p.postMidGain; }
    float smoothedTarget(int which) const { return smoother(which).target; }
    const float* upsampled(int c) const { return p.upsampled[c]; }
    float lastInput(int c) const { return p.lastInput[c]; }
    const float* antiAliasOutput(int c) const { return p.antiAlias[c].audioOutput(0); }
    const bricks::BiquadCoefficients& antiAliasStage(int c, int s) const { return p.antiAlias[c].stageCoefficients(s); }
    bricks::FixedFilterBrick& loBand(int c) { return p.loBand[c]; }
    bricks::FixedFilterBrick& dcBlock(int c) { return p.dcBlock[c]; }

    // Holds a smoothed parameter at v, as if it had settled there.
    void settle(int which, float v)
    {
        smoother(which).target = v;
        smoother(which).current = v;
    }
    void updateControls() { p.updateControls(); }

    enum Smoother { kDrive, kPostGain, kToneLo, kToneHi };

private:
    SmoothedParameter& smoother(int which) const
    {
        switch (which) {
        case kDrive:
            return p.smoothDrive;
        case kPostGain:
            return p.smoothPostGain;
        case kToneLo:
            return p.smoothToneLo;
        default:
            return p.smoothToneHi;
        }
    }

    Plug& p;
};

// A host callback that ignores everything: enough for driving the effect directly.
struct SilentHost final : kx::HostCallback {
    void automate(int, float) override {}
    void automateNow(int, float) override {}
    kx::HostInfo hostInfo() override { return {}; }
};

// Runs one 32-frame block with the given channel buffers (any may be null).
inline void runBlock(Plug& plug, const float* in0, const float* in1, float* out0, float* out1)
{
    static const kx::MidiEventList noEvents;
    kx::ProcessBlock block{Plug::kHostBlock, &noEvents, {in0, in1}, {out0, out1}};
    plug.process(block);
}

}  // namespace plug
