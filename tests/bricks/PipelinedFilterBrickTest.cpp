#include "bricks/PipelinedFilterBrick.h"

#include <gtest/gtest.h>

#include <vector>

#include "BrickTestSupport.h"
#include "bricks/FixedFilterBrick.h"

using bricks::BiquadCoefficients;
using bricks::FixedFilterBrick;
using bricks::kBlockSize;
using bricks::PipelinedFilterBrick;
using brickstest::AlignedBlock;

namespace {

// The eighth-order anti-alias low-pass used below 47.5 kHz.
const BiquadCoefficients kAntiAlias[4] = {
    {-1.67276812f, 0.725848556f, 0.00122968329f, 0.00107652578f, 0.00122968329f},
    {-1.61048973f, 0.824892998f, 1.0f, -0.905136347f, 1.0f},
    {-1.55698025f, 0.919905305f, 1.0f, -1.30406845f, 1.0f},
    {-1.54300547f, 0.97818017f, 1.0f, -1.40540564f, 1.0f},
};

void load(PipelinedFilterBrick<4, float>& filter, const BiquadCoefficients* stages)
{
    for (int k = 0; k < 4; ++k) filter.stageCoefficients(k) = stages[k];
}

}  // namespace

TEST(PipelinedFilterBrick, ImpulseReachesTheOutputAfterThreeSamples)
{
    PipelinedFilterBrick<4, float> filter;
    const BiquadCoefficients stages[4] = {
        {-0.5f, 0.25f, 0.5f, 0.1f, 0.2f},
        {0.3f, 0.1f, 0.75f, -0.2f, 0.1f},
        {-0.1f, 0.05f, 1.5f, 0.3f, -0.4f},
        {0.2f, -0.1f, 0.625f, 0.5f, 0.5f},
    };
    load(filter, stages);
    AlignedBlock impulse;
    impulse[0] = 1.0f;
    filter.connectAudioInput(0, impulse.data());
    filter.process();
    const float* out = filter.audioOutput(0);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_EQ(out[2], 0.0f);
    EXPECT_EQ(out[3], 0.5f * 0.75f * 1.5f * 0.625f);
}

// Four single sections in series, read three samples later, must give the
// same bits, across block boundaries and after a reset.
TEST(PipelinedFilterBrick, EqualsTheSerialCascadeDelayedByThreeSamples)
{
    PipelinedFilterBrick<4, float> pipelined;
    FixedFilterBrick serial[4];
    for (int k = 0; k < 4; ++k) {
        // The fixed brick takes coefficients only through its set-ups; derive
        // four distinct sections and copy them into the pipeline.
        serial[k].setSampleRate(44100.0f);
        serial[k].setLowPass(3000.0f + 2500.0f * float(k), 0.5f + 0.3f * float(k), true);
        pipelined.stageCoefficients(k) = serial[k].coefficients();
    }
    AlignedBlock in;
    pipelined.connectAudioInput(0, in.data());
    serial[0].connectAudioInput(0, in.data());
    for (int k = 1; k < 4; ++k) serial[k].connectAudioInput(0, serial[k - 1].audioOutput(0));

    brickstest::Noise noise;
    std::vector<float> expected;
    std::vector<float> actual;
    for (int round = 0; round < 2; ++round) {
        for (int b = 0; b < 20; ++b) {
            for (int n = 0; n < kBlockSize; ++n) in[n] = noise.next() * (b % 3 == 2 ? 1e-30f : 1.0f);
            pipelined.process();
            for (auto& section : serial) section.process();
            expected.insert(expected.end(), serial[3].audioOutput(0), serial[3].audioOutput(0) + kBlockSize);
            actual.insert(actual.end(), pipelined.audioOutput(0), pipelined.audioOutput(0) + kBlockSize);
        }
        for (std::size_t n = 0; n + 3 < actual.size(); ++n)
            ASSERT_EQ(actual[n + 3], expected[n]) << "round " << round << " sample " << n;
        pipelined.reset();
        for (auto& section : serial) section.reset();
        expected.clear();
        actual.clear();
    }
}

// The anti-alias cascade at 44100 Hz: about -1 dB at DC, about 70 dB down
// from 22 kHz of the audio (the cascade runs at four times the host rate).
TEST(PipelinedFilterBrick, AntiAliasCascadePassesTheAudioBandAndStopsNyquist)
{
    constexpr double rate = 4 * 44100.0;
    const auto gainAt = [](double frequency) {
        PipelinedFilterBrick<4, float> filter;
        load(filter, kAntiAlias);
        AlignedBlock in;
        filter.connectAudioInput(0, in.data());
        std::vector<float> tail;
        for (int b = 0; b < 600; ++b) {
            for (int n = 0; n < kBlockSize; ++n)
                in[n] = float(std::cos(2.0 * brickstest::kPi * frequency * double(b * kBlockSize + n) / rate));
            filter.process();
            if (b >= 300) tail.insert(tail.end(), filter.audioOutput(0), filter.audioOutput(0) + kBlockSize);
        }
        return 20.0 * std::log10(brickstest::amplitudeAt(tail, frequency, rate));
    };
    PipelinedFilterBrick<4, float> dc;
    load(dc, kAntiAlias);
    AlignedBlock ones;
    ones.samples.fill(1.0f);
    dc.connectAudioInput(0, ones.data());
    for (int b = 0; b < 100; ++b) dc.process();
    EXPECT_NEAR(20.0 * std::log10(dc.audioOutput(0)[kBlockSize - 1]), -1.0, 0.3);
    EXPECT_GT(gainAt(10000.0), -2.0);
    EXPECT_LT(gainAt(22050.0), -65.0);
    EXPECT_LT(gainAt(30000.0), -65.0);
}

TEST(PipelinedFilterBrick, ResetClearsMemoriesButKeepsCoefficients)
{
    PipelinedFilterBrick<4, float> filter;
    load(filter, kAntiAlias);
    AlignedBlock in;
    in.samples.fill(1.0f);
    filter.connectAudioInput(0, in.data());
    filter.process();
    std::vector<float> first(filter.audioOutput(0), filter.audioOutput(0) + kBlockSize);
    filter.process();
    filter.reset();
    filter.process();
    for (int n = 0; n < kBlockSize; ++n) EXPECT_EQ(filter.audioOutput(0)[n], first[n]);
    EXPECT_EQ(filter.stageCoefficients(2).b1, kAntiAlias[2].b1);
}
