#include <gtest/gtest.h>

#include <cstdint>

#include "BrickTestSupport.h"
#include "bricks/AASaturationBrick.h"
#include "bricks/AudioMixerBrick.h"
#include "bricks/FixedFilterBrick.h"
#include "bricks/MeterBrick.h"
#include "bricks/OscilloscopeBrick.h"
#include "bricks/PipelinedFilterBrick.h"
#include "bricks/SVFFilterBrick.h"
#include "bricks/SustainerBrick.h"
#include "bricks/VcaBrick.h"

using namespace bricks;

namespace {

void expectAligned(const DspBrick& brick) { EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&brick) % 32, 0u); }

template<class Brick>
void expectAlignedOutputs(Brick& brick)
{
    for (int o = 0; o < brick.numAudioOutputs(); ++o)
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(brick.audioOutput(o)) % 32, 0u);
}

}  // namespace

// Bricks are aligned for their vector loads on the heap through the base, as an owner
// may allocate them, and as members of an owner; so are their output buffers.
TEST(BrickModel, BricksAndTheirOutputsAreAligned)
{
    const auto check = [](DspBrick* brick) {
        expectAligned(*brick);
        delete brick;  // through the virtual destructor
    };
    check(new FixedFilterBrick);
    check(new PipelinedFilterBrick<4, float>);
    check(new SVFFilterBrick);
    check(new SustainerBrick);
    check(new AASaturationBrick);
    check(new VcaBrick);
    check(new AudioMixerBrick<3>);
    check(new MeterBrick<8>);
    check(new OscilloscopeBrick<256, 1>);

    struct Owner {
        char pad;
        SVFFilterBrick svf;
        SustainerBrick sustainer;
        AudioMixerBrick<3> mixer;
    };
    auto owner = std::make_unique<Owner>();
    expectAlignedOutputs(owner->svf);
    expectAlignedOutputs(owner->sustainer);
    expectAlignedOutputs(owner->mixer);
}

TEST(BrickModel, ControlConnectionsOnBricksWithoutControlsChangeNothing)
{
    brickstest::AlignedBlock in;
    in.samples.fill(0.5f);
    const float control = 123.0f;
    FixedFilterBrick filter;
    filter.setLowPass(1000.0f, 1.0f, true);
    filter.connectAudioInput(0, in.data());
    filter.connectControlInput(0, &control);
    filter.process();
    FixedFilterBrick plain;
    plain.setLowPass(1000.0f, 1.0f, true);
    plain.connectAudioInput(0, in.data());
    plain.process();
    for (int n = 0; n < kBlockSize; ++n) ASSERT_EQ(filter.audioOutput(0)[n], plain.audioOutput(0)[n]);

    MeterBrick<8> meter;
    meter.connectAudioInput(0, in.data());
    meter.connectControlInput(0, &control);
    meter.process();
    EXPECT_NEAR(kx::loadRelaxed(*meter.controlOutput(0)), 0.0620079f, 0.6e-7f);
}
