#include "bricks/MeterBrick.h"

#include <gtest/gtest.h>

#include <cmath>

#include "BrickTestSupport.h"

using bricks::kBlockSize;
using bricks::MeterBrick;
using brickstest::AlignedBlock;

namespace {

struct Meter {
    Meter() { brick.connectAudioInput(0, in.data()); }
    float rms() const { return kx::loadRelaxed(*brick.controlOutput(0)); }
    float peak() const { return kx::loadRelaxed(*brick.controlOutput(1)); }
    AlignedBlock in;
    MeterBrick<8> brick;
};

}  // namespace

TEST(MeterBrick, ConstantLevelsAfterOneBlock)
{
    for (float level : {0.5f, -0.5f}) {
        Meter m;
        m.in.samples.fill(level);
        m.brick.process();
        EXPECT_NEAR(m.rms(), 0.0620079f, 0.6e-7f);
        EXPECT_NEAR(m.peak(), 0.0620079f, 0.6e-7f);  // peak of -0.5 is 0.5
    }
    Meter silent;
    silent.brick.process();
    EXPECT_EQ(silent.rms(), 0.0f);
    // The peak search starts at the smallest normal float, so silence reads
    // as its cube root, about 2.27e-13, not 0.
    EXPECT_NEAR(silent.peak(), 0.078125f * 2.2737368e-13f, 1e-19f);
    EXPECT_GT(silent.peak(), 0.0f);
}

// Only every 8th sample counts; the readings then close 5/64 of the gap to
// the cube roots of RMS and peak per block.
TEST(MeterBrick, SamplesEveryEighthValueAndSmooths)
{
    Meter m;
    for (int n = 0; n < kBlockSize; ++n) m.in[n] = n % 8 == 0 ? ((n / 8) % 2 ? -0.6f : 0.2f) : 50.0f;
    const double rms = std::sqrt((0.2 * 0.2 + 0.6 * 0.6) / 2.0);
    for (int b = 1; b <= 60; ++b) {
        m.brick.process();
        const double settled = 1.0 - std::pow(0.921875, b);
        ASSERT_NEAR(m.rms(), std::cbrt(rms) * settled, 2e-6) << b;
        ASSERT_NEAR(m.peak(), std::cbrt(0.6) * settled, 2e-6) << b;
    }
}

TEST(MeterBrick, ResetZeroesTheReadings)
{
    Meter m;
    m.in.samples.fill(0.9f);
    m.brick.process();
    m.brick.reset();
    EXPECT_EQ(m.rms(), 0.0f);
    EXPECT_EQ(m.peak(), 0.0f);
    m.in.samples.fill(0.5f);
    m.brick.process();
    EXPECT_NEAR(m.rms(), 0.0620079f, 0.6e-7f);
}
