#include "bricks/FixedFilterBrick.h"

#include <gtest/gtest.h>

#include <vector>

#include "BrickTestSupport.h"

using bricks::FixedFilterBrick;
using bricks::kBlockSize;
using brickstest::AlignedBlock;

namespace {

// Runs `blocks` blocks of a sine through the filter and returns the last half.
std::vector<float> filterSine(FixedFilterBrick& filter, double frequency, int blocks)
{
    AlignedBlock in;
    filter.connectAudioInput(0, in.data());
    std::vector<float> tail;
    for (int b = 0; b < blocks; ++b) {
        for (int n = 0; n < kBlockSize; ++n) {
            const double t = double(b * kBlockSize + n) / filter.sampleRate;
            in[n] = float(std::sin(2.0 * brickstest::kPi * frequency * t));
        }
        filter.process();
        if (b >= blocks / 2) tail.insert(tail.end(), filter.audioOutput(0), filter.audioOutput(0) + kBlockSize);
    }
    return tail;
}

}  // namespace

TEST(FixedFilterBrick, NewBrickOutputsSilence)
{
    FixedFilterBrick filter;
    AlignedBlock in;
    in.samples.fill(0.75f);
    filter.connectAudioInput(0, in.data());
    filter.process();
    for (int n = 0; n < kBlockSize; ++n) EXPECT_EQ(filter.audioOutput(0)[n], 0.0f);
}

TEST(FixedFilterBrick, CoefficientsAt44100Hz1000HzQ1)
{
    FixedFilterBrick filter;
    filter.setSampleRate(44100.0f);
    constexpr double tol = 0.6e-7;  // half a unit of the last printed digit

    filter.setLowPass(1000.0f, 1.0f, true);
    auto c = filter.coefficients();
    EXPECT_NEAR(c.a1, -1.7335769, tol);
    EXPECT_NEAR(c.a2, 0.7513222, tol);
    EXPECT_NEAR(c.b0, 0.0044363, tol);
    EXPECT_NEAR(c.b1, 0.0088727, tol);
    EXPECT_NEAR(c.b2, 0.0044363, tol);

    filter.setBandPass(1000.0f, 1.0f, true);
    c = filter.coefficients();
    EXPECT_NEAR(c.a1, -1.7335769, tol);
    EXPECT_NEAR(c.a2, 0.7513222, tol);
    EXPECT_NEAR(c.b0, 0.1243389, tol);
    EXPECT_EQ(c.b1, 0.0f);
    EXPECT_NEAR(c.b2, -0.1243389, tol);

    filter.setHighPass(1000.0f, 1.0f, true);
    c = filter.coefficients();
    EXPECT_NEAR(c.a1, -1.7335769, tol);
    EXPECT_NEAR(c.a2, 0.7513222, tol);
    EXPECT_NEAR(c.b0, 0.8712248, tol);
    EXPECT_NEAR(c.b1, -1.7424495, tol);
    EXPECT_NEAR(c.b2, 0.8712248, tol);
}

// Measured through process(): band-pass unity at its centre, low-pass unity at
// DC, high-pass unity at half the rate, and the stop bands, over several rates.
TEST(FixedFilterBrick, ResponsesAtCharacteristicFrequencies)
{
    for (float fs : {22050.0f, 44100.0f, 48000.0f, 96000.0f}) {
        SCOPED_TRACE(fs);
        FixedFilterBrick band;
        band.setSampleRate(fs);
        band.setBandPass(1000.0f, 0.70422536f, true);
        EXPECT_NEAR(brickstest::amplitudeAt(filterSine(band, 1000.0, 400), 1000.0, fs), 1.0, 2e-3);

        FixedFilterBrick lowDc;
        lowDc.setSampleRate(fs);
        lowDc.setLowPass(954.9297f, 0.70422536f, true);
        AlignedBlock ones;
        ones.samples.fill(1.0f);
        lowDc.connectAudioInput(0, ones.data());
        for (int b = 0; b < 200; ++b) lowDc.process();
        EXPECT_NEAR(lowDc.audioOutput(0)[kBlockSize - 1], 1.0f, 1e-4f);

        FixedFilterBrick high;
        high.setSampleRate(fs);
        high.setHighPass(1000.0f, 0.70422536f, true);
        AlignedBlock alternating;
        for (int n = 0; n < kBlockSize; ++n) alternating[n] = n % 2 ? -1.0f : 1.0f;
        high.connectAudioInput(0, alternating.data());
        for (int b = 0; b < 20; ++b) high.process();
        EXPECT_NEAR(std::fabs(high.audioOutput(0)[kBlockSize - 1]), 1.0f, 1e-5f);
    }
}

// The DC-blocking high-pass at 4.77 Hz removes a constant, up to the
// rounding noise of a section whose poles lie this close to z = 1.
TEST(FixedFilterBrick, DcBlockingHighPassRemovesAConstant)
{
    for (float fs : {44100.0f, 48000.0f}) {
        SCOPED_TRACE(fs);
        FixedFilterBrick high;
        high.setSampleRate(fs);
        high.setHighPass(4.774648f, 0.70422536f, true);
        AlignedBlock ones;
        ones.samples.fill(1.0f);
        high.connectAudioInput(0, ones.data());
        for (int b = 0; b < int(fs / 16); ++b) high.process();
        EXPECT_NEAR(high.audioOutput(0)[kBlockSize - 1], 0.0f, 1e-3f);
    }
}

TEST(FixedFilterBrick, ClearStateChoosesWhetherMemoriesSurviveASetUp)
{
    AlignedBlock pulse;
    pulse[0] = 1.0f;
    AlignedBlock silence;
    for (bool clear : {false, true}) {
        FixedFilterBrick filter;
        filter.setSampleRate(44100.0f);
        filter.setBandPass(1000.0f, 1.0f, true);
        filter.connectAudioInput(0, pulse.data());
        filter.process();
        filter.setBandPass(2000.0f, 1.0f, clear);
        filter.connectAudioInput(0, silence.data());
        filter.process();
        const float first = filter.audioOutput(0)[0];
        if (clear)
            EXPECT_EQ(first, 0.0f);
        else
            EXPECT_NE(first, 0.0f);
    }
}

// Side by side in SSE lanes, every lane gives exactly the bits of its own
// process(): one to four lanes, each with its own rate, response and input
// (two lanes sharing one, as in the effect), over blocks whose level runs from
// loud down into subnormal numbers.
TEST(FixedFilterBrick, LanesMatchSingleBrickProcessingBitForBit)
{
    const float rates[4] = {44100.0f, 48000.0f, 96000.0f, 22050.0f};
    for (int count = 1; count <= 4; ++count) {
        SCOPED_TRACE(count);
        FixedFilterBrick single[4];
        FixedFilterBrick lanes[4];
        AlignedBlock in[3];
        for (int k = 0; k < count; ++k) {
            for (FixedFilterBrick* f : {&single[k], &lanes[k]}) {
                f->setSampleRate(rates[k]);
                if (k == 0) f->setBandPass(31.830988f, 1.0f, true);
                if (k == 1) f->setHighPass(4.774648f, 0.70422536f, true);
                if (k == 2) f->setLowPass(954.9297f, 0.70422536f, true);
                if (k == 3) f->setBandPass(2546.479f, 0.70422536f, true);
                f->connectAudioInput(0, in[k == 3 ? 0 : k].data());
            }
        }
        FixedFilterBrick* group[4] = {&lanes[0], &lanes[1], &lanes[2], &lanes[3]};
        brickstest::Noise noise(7u + unsigned(count));
        for (int b = 0; b < 60; ++b) {
            const float level = b < 40 ? 2.0f / float(b + 1) : (b < 50 ? 1e-38f : 0.0f);
            for (AlignedBlock& block : in)
                for (int n = 0; n < kBlockSize; ++n) block[n] = level * noise.next();
            for (int k = 0; k < count; ++k) single[k].process();
            FixedFilterBrick::processLanes(group, count);
            for (int k = 0; k < count; ++k)
                ASSERT_EQ(brickstest::firstBitDifference(single[k].audioOutput(0), lanes[k].audioOutput(0)), -1)
                    << "lane " << k << " block " << b;
        }
    }
}
