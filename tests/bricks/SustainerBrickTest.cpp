#include "bricks/SustainerBrick.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "BrickTestSupport.h"

using bricks::kBlockSize;
using bricks::SustainerBrick;
using brickstest::AlignedBlock;

namespace {

struct Controls {
    float drive = 0.5f;
    float compression = 0.5f;
    float stereoMode = 0.0f;
    float speed = 0.5f;
};

struct Sustainer {
    explicit Sustainer(float rate = 44100.0f, bool configure = true)
    {
        brick.connectControlInput(0, &controls.drive);
        brick.connectControlInput(1, &controls.compression);
        brick.connectControlInput(2, &controls.stereoMode);
        brick.connectControlInput(3, &controls.speed);
        brick.connectAudioInput(0, left.data());
        brick.connectAudioInput(1, right.data());
        if (configure) brick.setSampleRate(rate);
    }
    const float* out(int c) const { return brick.audioOutput(c); }

    Controls controls;
    AlignedBlock left, right;
    SustainerBrick brick;
};

// The sustainer's step on plain floats and doubles, one channel after the
// other: the readable form that the brick's lanes must match bit for bit.
struct Reference {
    using F = bricks::lanes::ScalarPair<float>;
    using D = bricks::lanes::ScalarPair<double>;

    float fs = 44100;
    double cIn = 0, cDet = 0;
    bricks::SustainerState<F, D> state{};

    void setSampleRate(float rate)
    {
        fs = rate;
        cIn = std::exp(-1.0 / (double(rate) * bricks::sustain::kInputTrackerSeconds));
        cDet = std::exp(-1.0 / (double(rate) * bricks::sustain::kDetectorTrackerSeconds));
        state.inputTracker = state.detectorTracker = state.envelope = D::both(0.0);
    }

    void block(const Controls& c, const float* in0, const float* in1, float* out0, float* out1)
    {
        const auto k = SustainerBrick::blockControls<F, D>(c.drive, c.compression, c.speed, fs, cIn, cDet);
        const int mode = SustainerBrick::channelMode(c.stereoMode);
        for (int n = 0; n < kBlockSize; ++n) {
            const F input = F::of(in0[n], in1[n]);
            F out;
            if (mode == 1)
                bricks::SustainerSample<1, F, D>::step(state, k, input, out);
            else if (mode == 2)
                bricks::SustainerSample<2, F, D>::step(state, k, input, out);
            else
                bricks::SustainerSample<0, F, D>::step(state, k, input, out);
            out0[n] = out.channel(0);
            out1[n] = out.channel(mode == 2 ? 0 : 1);
        }
    }
};

// A decaying, plucked-string-like test signal with different left and right.
void pluck(Sustainer& s, int block, float level)
{
    for (int n = 0; n < kBlockSize; ++n) {
        const double t = double(block * kBlockSize + n) / 176400.0;
        const double decay = level * std::exp(-3.0 * std::fmod(t, 1.5));
        s.left[n] = float(decay * std::sin(2.0 * brickstest::kPi * 110.0 * t));
        s.right[n] = float(decay * std::sin(2.0 * brickstest::kPi * 164.8 * t + 0.3));
    }
}

// Inverts out = 4 (z / sqrt(z^2 + 1) - bias), z = j^3 + j, for j.
double clipperInput(float out, double bias)
{
    const double y = out / 4.0 + bias;
    const double z = y / std::sqrt(1.0 - y * y);
    double j = 0.0;
    for (int i = 0; i < 60; ++i) j -= (j * j * j + j - z) / (3.0 * j * j + 1.0);
    return j;
}

}  // namespace

TEST(SustainerBrick, IdleOutputsAreTheClipperBias)
{
    constexpr float idle0 = 0.0534213f;
    constexpr float idle1 = 0.0432196f;
    constexpr float tol = 0.6e-7f;
    {
        // First sample after construction: no gain yet, whatever the input.
        Sustainer s(44100.0f, false);
        s.left.samples.fill(0.9f);
        s.right.samples.fill(-0.9f);
        s.brick.process();
        EXPECT_NEAR(s.out(0)[0], idle0, tol);
        EXPECT_NEAR(s.out(1)[0], idle1, tol);
    }
    {
        // Silence with settled trackers.
        Sustainer s;
        for (int b = 0; b < 10; ++b) s.brick.process();
        EXPECT_NEAR(s.out(0)[kBlockSize - 1], idle0, tol);
        EXPECT_NEAR(s.out(1)[kBlockSize - 1], idle1, tol);
    }
    {
        // Drive 0: no input reaches the clipper.
        Sustainer s;
        s.controls.drive = 0.0f;
        for (int b = 0; b < 50; ++b) {
            pluck(s, b, 1.0f);
            s.brick.process();
            for (int n = 0; n < kBlockSize; ++n) {
                ASSERT_NEAR(s.out(0)[n], idle0, tol);
                ASSERT_NEAR(s.out(1)[n], idle1, tol);
            }
        }
    }
}

// The gain a small step sees, read back through the clipper: with no
// compression the envelopes stay 0 and the gains at their maximum; linked mode
// pulls channel 0 towards the smaller gain.
TEST(SustainerBrick, MaximumGainsStereoAndLinked)
{
    const double cIn = std::exp(-1.0 / (44100.0 * 0.47));
    for (float stereoMode : {0.0f, 0.5f, 0.25f}) {
        Sustainer s;
        s.controls = {1.0f, 0.0f, stereoMode, 0.5f};
        for (int b = 0; b < 4; ++b) s.brick.process();
        const float x = 1e-4f;
        s.left[0] = x;
        s.right[0] = x;
        s.brick.process();
        const float gIn = 0.4f * 10.0f;
        const double r0 = (clipperInput(s.out(0)[0], 0.327) - 0.327) * 2.0 / (double(gIn * x) * cIn);
        const double r1 = (clipperInput(s.out(1)[0], 0.3) - 0.3) * 2.0 / (double(gIn * x) * cIn);
        SCOPED_TRACE(stereoMode);
        EXPECT_NEAR(r0, stereoMode == 0.0f ? 295.3 : 275.86, 0.02);
        EXPECT_NEAR(r1, 271.0, 0.02);
        EXPECT_NEAR(s.brick.gain(0), stereoMode == 0.0f ? 295.3f : 275.86f, 0.005f);
        EXPECT_NEAR(s.brick.gain(1), 271.0f, 0.005f);
        EXPECT_EQ(s.brick.envelope(0), 0.0);
    }
}

// Where no guard engages the brick is bit-identical to the step-by-step
// formulation, in every mode, across speeds, rates and resets.
TEST(SustainerBrick, LanesMatchThePlainStep)
{
    for (float fs : {44100.0f, 48000.0f, 96000.0f}) {
        for (float stereoMode : {0.0f, 0.5f, 1.0f}) {
            SCOPED_TRACE(testing::Message() << fs << " Hz, mode " << stereoMode);
            Sustainer s(fs);
            Reference reference;
            reference.setSampleRate(fs);
            AlignedBlock out0, out1;
            bool compressed = false;
            for (int b = 0; b < 3000; ++b) {
                s.controls = {0.4f + 0.6f * float(b % 5) / 4.0f, float(b % 4) / 3.0f, stereoMode,
                              float((b / 100) % 5) / 4.0f};
                pluck(s, b, b % 700 < 350 ? 1.0f : 0.05f);
                if (b == 1500) {
                    s.brick.reset();
                    reference.setSampleRate(fs);
                }
                s.brick.process();
                reference.block(s.controls, s.left.data(), s.right.data(), out0.data(), out1.data());
                for (int n = 0; n < kBlockSize; ++n) {
                    ASSERT_EQ(s.out(0)[n], out0[n]) << "block " << b << " sample " << n;
                    ASSERT_EQ(s.out(1)[n], out1[n]) << "block " << b << " sample " << n;
                }
                compressed = compressed || s.brick.envelope(0) > 0.5;
            }
            EXPECT_TRUE(compressed);  // the detector was exercised
        }
    }
}

TEST(SustainerBrick, OutputsStayWithinTheClipperRange)
{
    for (float level : {0.01f, 0.3f, 1.0f, 4.0f}) {
        Sustainer s;
        s.controls = {1.0f, 1.0f, 0.0f, 0.8f};
        brickstest::Noise noise;
        for (int b = 0; b < 2000; ++b) {
            for (int n = 0; n < kBlockSize; ++n) {
                s.left[n] = level * noise.next();
                s.right[n] = level * noise.next();
            }
            s.brick.process();
            for (int n = 0; n < kBlockSize; ++n) {
                ASSERT_GE(s.out(0)[n], -5.308f);
                ASSERT_LE(s.out(0)[n], 2.692f);
                ASSERT_GE(s.out(1)[n], -5.2f);
                ASSERT_LE(s.out(1)[n], 2.8f);
            }
        }
    }
}

TEST(SustainerBrick, ModeSelection)
{
    const auto run = [](float stereoMode, std::vector<float>& left, std::vector<float>& right) {
        Sustainer s;
        s.controls = {0.8f, 0.7f, stereoMode, 0.6f};
        for (int b = 0; b < 200; ++b) {
            pluck(s, b, 0.8f);
            s.brick.process();
            left.insert(left.end(), s.out(0), s.out(0) + kBlockSize);
            right.insert(right.end(), s.out(1), s.out(1) + kBlockSize);
        }
    };
    std::vector<float> monoL, monoR, mono75L, mono75R, linkedL, linkedR, linked25L, linked25R, stereoL, stereoR;
    run(1.0f, monoL, monoR);
    run(0.75f, mono75L, mono75R);
    run(0.5f, linkedL, linkedR);
    run(0.25f, linked25L, linked25R);
    run(0.0f, stereoL, stereoR);
    EXPECT_EQ(monoL, monoR);        // mono: both outputs carry channel 0
    EXPECT_EQ(mono75L, monoL);      // 0.75 rounds to mono
    EXPECT_EQ(linked25L, linkedL);  // 0.25 rounds to linked
    EXPECT_EQ(linked25R, linkedR);
    EXPECT_NE(linkedL, stereoL);
}

// At low rates a fast speed would make the attack coefficient 1 - 1/x
// negative; held at 0 the envelope stays between 0 and its cap of 6.
TEST(SustainerBrick, FastestSpeedAtLowRatesKeepsTheEnvelopeInRange)
{
    for (float fs : {8000.0f, 11025.0f, 4000.0f}) {
        SCOPED_TRACE(fs);
        Sustainer s(fs);
        s.controls = {1.0f, 1.0f, 0.0f, 1.0f};
        brickstest::Noise noise;
        double largest = 0.0;
        for (int b = 0; b < 2000; ++b) {
            const float level = b % 200 < 100 ? 1.0f : 0.02f;
            for (int n = 0; n < kBlockSize; ++n) {
                s.left[n] = level * noise.next();
                s.right[n] = level * noise.next();
            }
            s.brick.process();
            for (int c = 0; c < 2; ++c) {
                ASSERT_GE(s.brick.envelope(c), 0.0) << "block " << b;
                ASSERT_LE(s.brick.envelope(c), 6.0) << "block " << b;
                largest = std::max(largest, s.brick.envelope(c));
            }
        }
        EXPECT_GT(largest, 1.0);  // the detector did act
    }
}

// Inputs far beyond audio levels drive the clipper to its limit instead of 0
// or NaN, and nothing sticks in the detector afterwards.
TEST(SustainerBrick, HugeInputsClipToTheLimit)
{
    for (float huge : {1e4f, 1e9f, 1e20f, 1e30f}) {
        SCOPED_TRACE(huge);
        Sustainer s;
        s.controls = {1.0f, 1.0f, 0.0f, 0.5f};
        s.brick.process();
        s.left.samples.fill(huge);
        s.right.samples.fill(-huge);
        s.brick.process();
        EXPECT_FLOAT_EQ(s.out(0)[1], 4.0f * (1.0f - 0.327f));
        EXPECT_FLOAT_EQ(s.out(1)[1], 4.0f * (-1.0f - 0.3f));
        s.left.samples.fill(0.0f);
        s.right.samples.fill(0.0f);
        for (int b = 0; b < 2000; ++b) {
            s.brick.process();
            for (int n = 0; n < kBlockSize; ++n) {
                ASSERT_TRUE(std::isfinite(s.out(0)[n]));
                ASSERT_TRUE(std::isfinite(s.out(1)[n]));
            }
        }
        EXPECT_TRUE(std::isfinite(s.brick.envelope(0)));
    }
}

TEST(SustainerBrick, SampleRateAndResetRestartTheDetectors)
{
    Sustainer s;
    s.controls = {1.0f, 1.0f, 0.0f, 0.5f};
    for (int b = 0; b < 300; ++b) {
        pluck(s, b, 1.0f);
        s.brick.process();
    }
    ASSERT_GT(s.brick.envelope(0), 0.0);
    const float gain = s.brick.gain(0);
    s.brick.reset();
    EXPECT_EQ(s.brick.envelope(0), 0.0);
    EXPECT_EQ(s.brick.gain(0), gain);  // the gains follow at the next sample
    for (int b = 0; b < 10; ++b) s.brick.process();
    s.brick.setSampleRate(48000.0f);
    EXPECT_EQ(s.brick.envelope(0), 0.0);
    EXPECT_EQ(s.brick.envelope(1), 0.0);
}

// The detector's times in seconds at the brick's own rate (the effect runs the brick at four times
// the rate it gives it, so there they last a quarter as long). Speed 0.75: release 0.678 s on
// both channels, measured as the envelope falls in silence; attack 13.0 ms on channel 0 and
// 14.9 ms on channel 1. Speed 0: 185 ms and 213 ms, and a release of 9.75 s rather than the
// nominal 9.68 s, as its coefficient, within 2.4e-6 of 1, is rounded to a float. Speed 1:
// release 3.71 ms, attack 71 and 82 us.
TEST(SustainerBrick, AttackAndReleaseTimes)
{
    struct Case {
        float speed;
        double release, attack0, attack1;
    };
    for (const Case& c : {Case{0.75f, 0.6781, 0.012991, 0.014940}, Case{0.0f, 9.755, 0.18540, 0.21325},
                          Case{1.0f, 0.0037110, 0.000071280, 0.000081972}}) {
        SCOPED_TRACE(c.speed);
        Sustainer s;
        s.controls = {0.5f, 0.5f, 0.0f, c.speed};
        s.brick.laneState().envelope = bricks::lanes::Double2::both(1.0);
        constexpr int kBlocks = 100;
        for (int b = 0; b < kBlocks; ++b) s.brick.process();
        const double seconds = double(kBlocks * kBlockSize) / 44100.0;
        for (int ch = 0; ch < 2; ++ch)
            EXPECT_NEAR(-seconds / std::log(s.brick.envelope(ch)), c.release, 0.002 * c.release);
        const auto& attack = s.brick.laneControls().attack;
        EXPECT_NEAR(1.0 / ((1.0 - attack.channel(0)) * 44100.0), c.attack0, 0.002 * c.attack0);
        EXPECT_NEAR(1.0 / ((1.0 - attack.channel(1)) * 44100.0), c.attack1, 0.002 * c.attack1);
    }
}

// The input tracker takes the input's average over 0.47 s (a DC step is followed with that time
// constant), the detector tracker the detector's over 16.6 ms (silence gives the detector the
// clipper's constant offset).
TEST(SustainerBrick, TrackerTimeConstants)
{
    Sustainer s;
    s.controls = {0.5f, 0.5f, 0.0f, 0.75f};
    s.left.samples.fill(0.01f);
    s.right.samples.fill(0.01f);
    const auto measure = [&](auto tracker, double seconds) {
        const int blocks = int(seconds * 44100.0 / kBlockSize);
        for (int b = 0; b < blocks; ++b) s.brick.process();
        const double early = tracker();
        for (int b = 0; b < 40 * blocks; ++b) s.brick.process();
        return -double(blocks * kBlockSize) / 44100.0 / std::log(1.0 - early / tracker());
    };
    const auto input = [&] { return s.brick.laneState().inputTracker.channel(0); };
    EXPECT_NEAR(measure(input, 0.47), 0.47, 0.002);
    s.brick.reset();
    s.left.samples.fill(0.0f);
    s.right.samples.fill(0.0f);
    const auto detector = [&] { return s.brick.laneState().detectorTracker.channel(1); };
    EXPECT_NEAR(measure(detector, 0.0166), 0.016592, 0.00005);
}

// How far below its maximum (295.3 and 271, +49.4 and +48.7 dB) the gain settles for a steady
// 220 Hz sine at the default compression and speed: from 6 dB at -40 dBFS to 35 dB at -6 dBFS.
TEST(SustainerBrick, SteadyGainReduction)
{
    struct Level {
        double dbfs, reduction0, reduction1;
    };
    for (const Level& level : {Level{-40.0, 6.758, 5.870}, Level{-20.0, 22.941, 21.608}, Level{-6.0, 35.684, 34.399}}) {
        const double dbfs = level.dbfs;
        Sustainer s;
        s.controls = {0.5f, 0.6f, 0.0f, 0.75f};
        const double amplitude = std::pow(10.0, dbfs / 20.0);
        double sum[2] = {0.0, 0.0};
        int counted = 0;
        for (int b = 0; b < 2000; ++b) {
            for (int n = 0; n < kBlockSize; ++n) {
                const double t = double(b * kBlockSize + n) / 44100.0;
                s.left[n] = float(amplitude * std::sin(2.0 * brickstest::kPi * 220.0 * t));
                s.right[n] = s.left[n];
            }
            s.brick.process();
            if (b < 1500) continue;
            for (int ch = 0; ch < 2; ++ch) sum[ch] += s.brick.gain(ch);
            ++counted;
        }
        const double reduction0 = 20.0 * std::log10(295.3 * counted / sum[0]);
        const double reduction1 = 20.0 * std::log10(271.0 * counted / sum[1]);
        EXPECT_NEAR(reduction0, level.reduction0, 0.05) << dbfs << " dBFS";
        EXPECT_NEAR(reduction1, level.reduction1, 0.05) << dbfs << " dBFS";
    }
}

// The level of a steady 220 Hz sine from which the detector starts attacks, at drive 0.5,
// compression 0.6 and speed 0.75 (below it the gain stays at its maximum): -56.66 dBFS on
// channel 0 and, its threshold being higher, -54.14 dBFS on channel 1. In mono, channel 0 takes
// the mean of both inputs, so a sine on the left alone must be 6.02 dB louder.
TEST(SustainerBrick, AttackOnsetLevels)
{
    // Whether the sine attacks once the trackers have settled (the envelope cleared after 2 s).
    const auto attacks = [](float stereoMode, bool leftOnly, int channel, double dbfs) {
        Sustainer s;
        s.controls = {0.5f, 0.6f, stereoMode, 0.75f};
        const double amplitude = std::pow(10.0, dbfs / 20.0);
        for (int b = 0; b < 1000; ++b) {
            if (b == 700) s.brick.laneState().envelope = bricks::lanes::Double2::both(0.0);
            for (int n = 0; n < kBlockSize; ++n) {
                const double t = double(b * kBlockSize + n) / 44100.0;
                s.left[n] = float(amplitude * std::sin(2.0 * brickstest::kPi * 220.0 * t));
                s.right[n] = leftOnly ? 0.0f : s.left[n];
            }
            s.brick.process();
        }
        return s.brick.envelope(channel) > 0.0;
    };
    const auto onset = [&](float stereoMode, bool leftOnly, int channel) {
        double quiet = -100.0, loud = 0.0;
        for (int i = 0; i < 24; ++i) {
            const double middle = 0.5 * (quiet + loud);
            (attacks(stereoMode, leftOnly, channel, middle) ? loud : quiet) = middle;
        }
        return 0.5 * (quiet + loud);
    };
    // A 1 % change of a threshold moves its onset by 0.09 dB.
    constexpr double kTolerance = 0.01;
    const double onset0 = onset(0.0f, false, 0);
    EXPECT_NEAR(onset0, -56.657, kTolerance);
    EXPECT_NEAR(onset(0.0f, false, 1), -54.144, kTolerance);
    EXPECT_NEAR(onset(1.0f, true, 0) - onset0, 6.021, kTolerance);
}
