#include "bricks/AudioMixerBrick.h"

#include <gtest/gtest.h>

#include "BrickTestSupport.h"

using bricks::AudioMixerBrick;
using bricks::kBlockSize;
using brickstest::AlignedBlock;

namespace {

struct Mixer {
    Mixer()
    {
        brickstest::Noise noise;
        for (int k = 0; k < 3; ++k) {
            brick.connectControlInput(k, &gains[k]);
            brick.connectAudioInput(k, in[k].data());
            for (int n = 0; n < kBlockSize; ++n) in[k][n] = noise.next() * float(k + 1);
        }
    }
    float gains[3] = {1.0f, 0.0f, 0.5f};
    AlignedBlock in[3];
    AudioMixerBrick<3> brick;
};

}  // namespace

TEST(AudioMixerBrick, SteadyGainsSumInputByInput)
{
    Mixer m;
    m.brick.process();
    m.brick.process();
    for (int n = 0; n < kBlockSize; ++n) {
        const float expected = ((0.0f + 1.0f * m.in[0][n]) + 0.0f * m.in[1][n]) + 0.5f * m.in[2][n];
        ASSERT_EQ(m.brick.audioOutput(0)[n], expected);
    }
}

// Changing gains ramp per input; the result equals clearing the output and
// adding one whole ramped input after the other.
TEST(AudioMixerBrick, RampedGainsMatchAPassPerInput)
{
    Mixer m;
    float current[3] = {};
    AlignedBlock expected;
    const float schedule[4][3] = {{1.0f, 0.0f, 0.5f}, {-15.0f, 0.3f, 2.0f}, {15.0f, 1.0f, 0.0f}, {0.0f, -1.0f, 6.0f}};
    for (const auto& gains : schedule) {
        expected.samples.fill(0.0f);
        for (int k = 0; k < 3; ++k) {
            m.gains[k] = gains[k];
            const float step = (gains[k] - current[k]) * 0.0078125f;
            for (int n = 0; n < kBlockSize; ++n) {
                current[k] = current[k] + step;
                expected[n] = expected[n] + current[k] * m.in[k][n];
            }
        }
        m.brick.process();
        for (int n = 0; n < kBlockSize; ++n) ASSERT_EQ(m.brick.audioOutput(0)[n], expected[n]) << n;
    }
}
