#include "tools/audio/AudioDifference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

using tools::AudioBuffer;
using tools::AudioDifference;

TEST(AudioDifference, CountsDifferingSamplesAndTheLargestGap)
{
    AudioBuffer a = AudioBuffer::zeros(48000, 2, 100);
    AudioBuffer b = a;
    EXPECT_EQ(AudioDifference::between(a, b).differing, 0);
    EXPECT_EQ(AudioDifference::between(a, b).samples, 200);
    EXPECT_EQ(AudioDifference::between(a, b).firstFrame, -1);

    b.channels[1][40] = 0.25f;
    b.channels[0][70] = -0.5f;
    b.channels[1][70] = -0.0f;  // equal to +0
    const AudioDifference d = AudioDifference::between(a, b);
    EXPECT_EQ(d.differing, 2);
    EXPECT_EQ(d.largest, 0.5);
    EXPECT_EQ(d.firstFrame, 40);
    EXPECT_EQ(d.firstChannel, 1);

    // NaN on both sides is the same output; on one side it is an infinite difference.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    a.channels[0][10] = nan;
    b.channels[0][10] = nan;
    EXPECT_EQ(AudioDifference::between(a, b).differing, 2);
    b.channels[0][10] = 1.0f;
    EXPECT_TRUE(std::isinf(AudioDifference::between(a, b).largest));

    AudioDifference total;
    total.add(d);
    total.add(AudioDifference::between(a, a));
    EXPECT_EQ(total.samples, 400);
    EXPECT_EQ(total.differing, 2);
    EXPECT_EQ(total.largest, 0.5);

    EXPECT_THROW(AudioDifference::between(a, AudioBuffer::zeros(48000, 2, 99)), std::invalid_argument);
    EXPECT_THROW(AudioDifference::between(a, AudioBuffer::zeros(48000, 1, 100)), std::invalid_argument);
}

}  // namespace
