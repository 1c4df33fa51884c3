#include "bricks/AASaturationBrick.h"

#include <gtest/gtest.h>

#include <cmath>

#include "BrickTestSupport.h"

using bricks::AASaturationBrick;
using bricks::kBlockSize;
using brickstest::AlignedBlock;

namespace {

struct Saturation {
    Saturation()
    {
        brick.connectControlInput(0, &drive);
        brick.connectAudioInput(0, in.data());
    }
    float drive = 1.0f;
    AlignedBlock in;
    AASaturationBrick brick;
};

}  // namespace

TEST(AASaturationBrick, StepAndConstantInputs)
{
    Saturation s;
    s.in.samples.fill(1.0f);
    s.brick.process();
    const float* out = s.brick.audioOutput(0);
    // The mean of x / sqrt(1 + x^2) over 0..1, then the curve at 1.
    EXPECT_NEAR(out[0], 0.4142136f, 0.6e-7f);
    EXPECT_NEAR(out[1], 0.7071068f, 0.6e-7f);
    EXPECT_NEAR(out[kBlockSize - 1], 0.7071068f, 0.6e-7f);

    for (float c : {0.0f, 0.3f, -2.0f, 25.0f}) {
        Saturation t;
        t.drive = 2.0f;  // the curve sees drive x input
        t.in.samples.fill(c / 2.0f);
        t.brick.process();
        const float expected = c / std::sqrt(1.0f + c * c);
        for (int n = 1; n < kBlockSize; ++n) ASSERT_EQ(t.brick.audioOutput(0)[n], expected) << c;
    }
}

TEST(AASaturationBrick, CloseInputsFallBackToTheCurveAtTheCurrentInput)
{
    Saturation s;
    s.in[0] = 0.10000f;
    s.in[1] = 0.10015f;
    s.brick.process();
    EXPECT_EQ(s.brick.audioOutput(0)[1], 0.10015f / std::sqrt(1.0f + 0.10015f * 0.10015f));
}

// Elsewhere the output is the mean of the curve between consecutive inputs,
// which stays within -1..1 and carries over between blocks.
TEST(AASaturationBrick, OutputIsTheMeanOfTheCurveBetweenInputs)
{
    Saturation s;
    s.drive = 3.0f;
    brickstest::Noise noise;
    double previous = 0.0;
    for (int b = 0; b < 50; ++b) {
        for (int n = 0; n < kBlockSize; ++n) s.in[n] = noise.next();
        s.brick.process();
        for (int n = 0; n < kBlockSize; ++n) {
            const double x = double(s.drive * s.in[n]);
            const double out = s.brick.audioOutput(0)[n];
            ASSERT_LE(std::fabs(out), 1.0);
            if (std::fabs(x - previous) > 0.01) {
                const double mean = (std::sqrt(1 + x * x) - std::sqrt(1 + previous * previous)) / (x - previous);
                ASSERT_NEAR(out, mean, 3e-5) << b << ' ' << n;
            }
            previous = x;
        }
    }
}

// Every output sample carries exactly the bits of the formula evaluated one
// sample at a time: noise with runs of nearly equal inputs, silence, steps,
// inputs whose square overflows, and a drive that changes every block.
TEST(AASaturationBrick, MatchesTheOneSampleAtATimeFormulaBitForBit)
{
    Saturation s;
    brickstest::Noise noise(5u);
    float prevF = 1.0f;
    float prevX = 0.0f;
    for (int b = 0; b < 64; ++b) {
        s.drive = 0.5f + 4.0f * std::fabs(noise.next());
        for (int n = 0; n < kBlockSize; ++n) {
            const float v = noise.next();
            switch ((b + n / 16) % 5) {
            case 0:
                s.in[n] = v;
                break;
            case 1:
                s.in[n] = n > 0 ? s.in[n - 1] + (0.0002f + 0.00005f * v) / s.drive : v;
                break;
            case 2:
                s.in[n] = 0.0f;
                break;
            case 3:
                s.in[n] = v < 0.0f ? -1.0f : 1.0f;
                break;
            default:
                s.in[n] = v * 3e19f;
                break;
            }
        }
        s.brick.process();
        brickstest::AlignedBlock expected;
        for (int n = 0; n < kBlockSize; ++n) {
            const float x = s.drive * s.in[n];
            const float f = std::sqrt(x * x + 1.0f);
            const float dx = x - prevX;
            expected[n] = std::fabs(dx) > 0.0002f ? (f - prevF) / dx : x / f;
            prevF = f;
            prevX = x;
        }
        ASSERT_EQ(brickstest::firstBitDifference(expected.data(), s.brick.audioOutput(0)), -1) << "block " << b;
    }
}
