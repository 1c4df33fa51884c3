#include "bricks/VcaBrick.h"

#include <gtest/gtest.h>

#include "BrickTestSupport.h"

using bricks::kBlockSize;
using bricks::VcaBrick;
using brickstest::AlignedBlock;

namespace {

struct Vca {
    Vca()
    {
        brick.connectControlInput(0, &gain);
        brick.connectAudioInput(0, in.data());
        brickstest::Noise noise;
        for (int n = 0; n < kBlockSize; ++n) in[n] = noise.next();
    }
    float gain = 1.0f;
    AlignedBlock in;
    VcaBrick brick;
};

}  // namespace

TEST(VcaBrick, FadesInOverTheFirstBlockThenPassesUnchanged)
{
    Vca v;
    v.brick.process();
    for (int n = 0; n < kBlockSize; ++n) ASSERT_EQ(v.brick.audioOutput(0)[n], float(n + 1) / 128.0f * v.in[n]);
    for (int b = 0; b < 3; ++b) {
        v.brick.process();
        for (int n = 0; n < kBlockSize; ++n) ASSERT_EQ(v.brick.audioOutput(0)[n], v.in[n]);
    }
}

TEST(VcaBrick, GainFollowsTheCubeWithALinearRamp)
{
    Vca v;
    v.gain = 0.5f;
    v.brick.process();
    v.brick.process();
    for (int n = 0; n < kBlockSize; ++n) ASSERT_EQ(v.brick.audioOutput(0)[n], 0.125f * v.in[n]);

    // From 0.125 to 0.8^3 = 0.512: sample n of the block uses 0.125 + (n + 1) d.
    v.gain = 0.8f;
    v.brick.process();
    const float target = 0.8f * 0.8f * 0.8f;
    const float d = (target - 0.125f) / 128.0f;
    for (int n = 0; n < kBlockSize; ++n)
        ASSERT_NEAR(v.brick.audioOutput(0)[n], (0.125f + float(n + 1) * d) * v.in[n], 1e-6f);
    EXPECT_NEAR(v.brick.audioOutput(0)[kBlockSize - 1], target * v.in[kBlockSize - 1], 1e-6f);
}
