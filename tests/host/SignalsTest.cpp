#include "tools/Levels.h"
#include "tools/Signals.h"

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

}  // namespace
