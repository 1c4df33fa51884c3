#include "tools/audio/Levels.h"
#include "tools/audio/Signals.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using tools::AudioBuffer;
using tools::Levels;
using tools::Signals;

TEST(Signals, RiffIsDeterministicPerSeedAndPrefixStable)
{
    const AudioBuffer a = Signals::guitarRiff(5, 48000, 48000 * 3);
    const AudioBuffer b = Signals::guitarRiff(5, 48000, 48000 * 3);
    const AudioBuffer other = Signals::guitarRiff(6, 48000, 48000 * 3);
    EXPECT_EQ(a.channels, b.channels);
    EXPECT_NE(a.channels, other.channels);

    // A shorter render is the start of a longer one: no normalisation over the whole length.
    const AudioBuffer shorter = Signals::guitarRiff(5, 48000, 1000);
    for (int c = 0; c < 2; ++c) {
        EXPECT_TRUE(std::equal(shorter.channels[c].begin(), shorter.channels[c].end(), a.channels[c].begin()));
    }
}

TEST(Signals, RiffIsBoundedAudibleAndStereoAtAnyRate)
{
    for (int rate : {8000, 22050, 44100, 48000, 96000, 192000}) {
        SCOPED_TRACE(rate);
        for (std::uint64_t seed : {0ull, 1ull, 2ull, 3ull, 99ull}) {
            const AudioBuffer riff = Signals::guitarRiff(seed, rate, rate * 8);
            ASSERT_EQ(riff.numChannels(), 2);
            ASSERT_EQ(riff.numFrames(), rate * 8);
            EXPECT_EQ(riff.sampleRate, rate);
            EXPECT_NE(riff.channels[0], riff.channels[1]);
            for (const auto& level : Levels::measure(riff)) {
                EXPECT_TRUE(level.finite);
                EXPECT_LT(level.peak, 0.9);
                EXPECT_GT(level.peak, 0.05);
                EXPECT_GT(level.rms, 0.005);
            }
            // Every half second has something in it: the riff does not die out.
            for (int start = 0; start + rate / 2 <= rate * 8; start += rate / 2) {
                double energy = 0.0;
                for (int i = start; i < start + rate / 2; ++i) energy += riff.channels[0][i] * riff.channels[0][i];
                EXPECT_GT(std::sqrt(energy / (rate / 2)), 1e-3) << "silent from frame " << start;
            }
        }
    }
}

TEST(Signals, RiffShapes)
{
    EXPECT_EQ(Signals::guitarRiff(1, 48000, 0).numFrames(), 0);
    const AudioBuffer mono = Signals::guitarRiff(1, 44100, 4410, 1);
    ASSERT_EQ(mono.numChannels(), 1);
    EXPECT_GT(Levels::measure(mono)[0].peak, 0.01);
    EXPECT_LT(Levels::measure(mono)[0].peak, 0.9);
    EXPECT_EQ(Signals::guitarRiff(1, 44100, 4410, 3).numChannels(), 3);
    EXPECT_THROW(Signals::guitarRiff(1, 0, 100), std::invalid_argument);
    EXPECT_THROW(Signals::guitarRiff(1, 48000, 100, 0), std::invalid_argument);
}

TEST(Signals, SilenceAndBurst)
{
    const AudioBuffer silence = Signals::silence(48000, 1234, 2);
    EXPECT_EQ(silence.numFrames(), 1234);
    for (const auto& level : Levels::measure(silence)) EXPECT_EQ(level.peak, 0.0);

    const AudioBuffer burst = Signals::burst(3, 48000, 4800, 2);
    EXPECT_EQ(burst.channels, Signals::burst(3, 48000, 4800, 2).channels);
    double peak = 0.0;
    for (const auto& level : Levels::measure(burst)) {
        peak = std::max(peak, level.peak);
        EXPECT_LE(level.peak, 1.0);
        EXPECT_GT(level.rms, 0.5);  // uniform noise: 1/sqrt(3)
    }
    EXPECT_EQ(peak, 1.0);
}

// Upward zero crossings of channel 0 in [from, to).
int upwardCrossings(const AudioBuffer& audio, int from, int to)
{
    int count = 0;
    for (int i = std::max(from, 1); i < to; ++i) {
        count += audio.channels[0][i - 1] < 0.0f && audio.channels[0][i] >= 0.0f;
    }
    return count;
}

// Cycles between t1 and t2 of a one-second sweep up from 20 Hz by `ratio`: 20 (e^(k t2) - e^(k t1)) / k, k = ln ratio.
double sweepCycles(double ratio, double t1, double t2)
{
    const double k = std::log(ratio);
    return 20.0 * (std::exp(k * t2) - std::exp(k * t1)) / k;
}

TEST(Signals, SweepRisesExponentiallyFrom20HzTo20kHz)
{
    for (int rate : {48000, 96000}) {
        SCOPED_TRACE(rate);
        const AudioBuffer sweep = Signals::sweep(rate, rate, 2);
        EXPECT_EQ(sweep.channels[0], sweep.channels[1]);
        EXPECT_NEAR(Levels::measure(sweep)[0].peak, 0.5, 1e-3);
        EXPECT_NEAR(upwardCrossings(sweep, 0, rate / 4), sweepCycles(1000.0, 0.0, 0.25), 1.0);
        EXPECT_NEAR(upwardCrossings(sweep, rate - rate / 100, rate), sweepCycles(1000.0, 0.99, 1.0), 2.0);
    }
    // Below 44.4 kHz the top stays under the Nyquist frequency: 3600 Hz at 8 kHz.
    const AudioBuffer low = Signals::sweep(8000, 8000, 1);
    EXPECT_NEAR(upwardCrossings(low, 7920, 8000), sweepCycles(180.0, 0.99, 1.0), 2.0);
}

}  // namespace
