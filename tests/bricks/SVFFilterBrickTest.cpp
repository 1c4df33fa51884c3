#include "bricks/SVFFilterBrick.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "BrickTestSupport.h"

using bricks::kBlockSize;
using bricks::SVFFilterBrick;
using brickstest::AlignedBlock;

namespace {

struct Controls {
    float cutoff = 0.0f;
    float resonance = 0.0f;
};

struct Filter {
    explicit Filter(float rate)
    {
        svf.setSampleRate(rate);
        svf.connectControlInput(0, &controls.cutoff);
        svf.connectControlInput(1, &controls.resonance);
        svf.connectAudioInput(0, in.data());
    }
    const float* low() const { return svf.audioOutput(0); }
    const float* band() const { return svf.audioOutput(1); }
    const float* high() const { return svf.audioOutput(2); }

    Controls controls;
    AlignedBlock in;
    SVFFilterBrick svf;
};

// The filter as first formulated, with the cutoff limited to 20..18000 Hz
// only; valid wherever tan() stays positive.
struct Reference {
    float ic1 = 0, ic2 = 0, g = 0, dg = 0;
    void block(const float* x, float cutoff, float resonance, float fs, float* lp, float* bp, float* hp)
    {
        float f = 20.0f * std::pow(2.0f, 10.0f * cutoff);
        if (f > 18000.0f) f = 18000.0f;
        if (f < 20.0f) f = 20.0f;
        const float gt = std::tan(f * 3.1415927f / fs);
        const float k = 2.0f - 2.0f * resonance;
        dg = (gt - g) * 0.0078125f;
        for (int n = 0; n < kBlockSize; ++n) {
            g = g + dg;
            const float a1 = 1.0f / (1.0f + g * (g + k));
            const float a2 = g * a1;
            const float a3 = g * a2;
            const float v3 = x[n] - ic2;
            const float v1 = a1 * ic1 + a2 * v3;
            const float v2 = ic2 + a2 * ic1 + a3 * v3;
            ic1 = 2.0f * v1 - ic1;
            ic2 = 2.0f * v2 - ic2;
            lp[n] = v2;
            bp[n] = v1;
            hp[n] = x[n] - k * v1 - v2;
        }
    }
};

// Low-pass amplitude of a sine after the filter has settled.
double lowPassGain(float rate, float cutoff, float resonance, double frequency)
{
    Filter filter(rate);
    filter.controls = {cutoff, resonance};
    std::vector<float> tail;
    const int blocks = int(rate * 2.0f) / kBlockSize;
    for (int b = 0; b < blocks; ++b) {
        for (int n = 0; n < kBlockSize; ++n)
            filter.in[n] = float(std::sin(2.0 * brickstest::kPi * frequency * double(b * kBlockSize + n) / rate));
        filter.svf.process();
        if (b >= blocks / 2) tail.insert(tail.end(), filter.low(), filter.low() + kBlockSize);
    }
    return brickstest::amplitudeAt(tail, frequency, rate);
}

}  // namespace

TEST(SVFFilterBrick, OutputsAddUpToTheInputAndSettleOnAConstant)
{
    for (float resonance : {0.0f, 0.3f, 0.9f}) {
        Filter filter(44100.0f);
        filter.controls = {0.4f, resonance};
        const float k = 2.0f - 2.0f * resonance;
        filter.in.samples.fill(0.8f);
        brickstest::Noise noise;
        for (int b = 0; b < 400; ++b) {
            if (b < 10)
                for (int n = 0; n < kBlockSize; ++n) filter.in[n] = noise.next();
            else
                filter.in.samples.fill(0.8f);
            filter.svf.process();
            for (int n = 0; n < kBlockSize; ++n) {
                const float sum = filter.low()[n] + k * filter.band()[n] + filter.high()[n];
                ASSERT_NEAR(sum, filter.in[n], 4e-6f) << "block " << b << " sample " << n;
            }
        }
        EXPECT_NEAR(filter.low()[kBlockSize - 1], 0.8f, 1e-5f);
        EXPECT_NEAR(filter.band()[kBlockSize - 1], 0.0f, 1e-5f);
        EXPECT_NEAR(filter.high()[kBlockSize - 1], 0.0f, 1e-5f);
    }
}

// At the cutoff the low-pass gain of this filter is 1/k: 0.5 with resonance
// 0 (k = 2) and 1 with resonance 0.5 (k = 1).
TEST(SVFFilterBrick, CutoffMapsToTwentyHertzTimesTwoToTheTenX)
{
    EXPECT_NEAR(lowPassGain(44100.0f, 0.0f, 0.0f, 20.0), 0.5, 1e-3);
    EXPECT_NEAR(lowPassGain(44100.0f, 0.5f, 0.0f, 640.0), 0.5, 1e-3);
    EXPECT_NEAR(lowPassGain(44100.0f, 0.5f, 0.5f, 640.0), 1.0, 2e-3);
    EXPECT_NEAR(lowPassGain(44100.0f, 1.0f, 0.0f, 18000.0), 0.5, 1e-3);  // 20480 Hz limited to 18000
    EXPECT_NEAR(lowPassGain(48000.0f, -0.5f, 0.0f, 20.0), 0.5, 1e-3);    // below 20 Hz limited to 20
}

// From 40 kHz up the added limit below half the rate never engages: the output
// equals the original formulation bit for bit, with the cutoff gliding, held for
// a few blocks at a time, and held across a change of rate.
TEST(SVFFilterBrick, MatchesTheUnlimitedFormulaFrom44100Hz)
{
    for (float fs : {44100.0f, 48000.0f, 88200.0f, 96000.0f, 192000.0f}) {
        SCOPED_TRACE(fs);
        Filter filter(fs);
        Reference reference;
        AlignedBlock lp, bp, hp;
        brickstest::Noise noise;
        float rate = fs;
        for (int b = 0; b < 300; ++b) {
            if (b == 151) {
                rate = fs * 2.0f;
                filter.svf.setSampleRate(rate);
            }
            filter.controls = {float(b / 3 % 11) / 10.0f, float(b % 7) / 6.0f};
            for (int n = 0; n < kBlockSize; ++n) filter.in[n] = noise.next();
            filter.svf.process();
            reference.block(filter.in.data(), filter.controls.cutoff, filter.controls.resonance, rate, lp.data(),
                            bp.data(), hp.data());
            for (int n = 0; n < kBlockSize; ++n) {
                ASSERT_EQ(filter.low()[n], lp[n]) << b << ' ' << n;
                ASSERT_EQ(filter.band()[n], bp[n]) << b << ' ' << n;
                ASSERT_EQ(filter.high()[n], hp[n]) << b << ' ' << n;
            }
        }
    }
}

// Below 36 kHz an 18 kHz cutoff lies above half the rate; the filter must
// still stay bounded at full scale for any resonance.
TEST(SVFFilterBrick, StaysBoundedAtLowSampleRatesWithTheHighestCutoff)
{
    for (float fs : {8000.0f, 11025.0f, 16000.0f, 22050.0f, 32000.0f}) {
        for (float resonance : {0.0f, 0.5f, 0.9f, 1.0f}) {
            SCOPED_TRACE(testing::Message() << fs << " Hz, resonance " << resonance);
            Filter filter(fs);
            filter.controls = {1.0f, resonance};
            float largest = 0.0f;
            for (int b = 0; b < 4000; ++b) {
                for (int n = 0; n < kBlockSize; ++n) {
                    const int i = b * kBlockSize + n;
                    // full-scale square wave at 1/64 of the rate, then a Nyquist-rate alternation
                    filter.in[n] = b < 2000 ? ((i / 32) % 2 ? -1.0f : 1.0f) : (i % 2 ? -1.0f : 1.0f);
                }
                filter.svf.process();
                for (int o = 0; o < 3; ++o)
                    for (int n = 0; n < kBlockSize; ++n)
                        largest = std::max(largest, std::fabs(filter.svf.audioOutput(o)[n]));
                ASSERT_TRUE(std::isfinite(largest)) << "block " << b;
            }
            EXPECT_LT(largest, 20.0f);
        }
    }
}

TEST(SVFFilterBrick, GlideStartsFromAClosedFilterAfterReset)
{
    Filter filter(44100.0f);
    filter.controls = {1.0f, 0.0f};
    filter.in.samples.fill(1.0f);
    filter.svf.process();
    const float firstOfGlide = filter.low()[0];
    filter.svf.reset();
    filter.svf.process();
    EXPECT_EQ(filter.low()[0], firstOfGlide);
    // g starts at one step, tan(pi 18000 / 44100) / 128: for a unit input the
    // first low-pass sample is g^2 / (1 + g (g + k)).
    const double g = std::tan(brickstest::kPi * 18000.0 / 44100.0) / 128.0;
    EXPECT_NEAR(filter.low()[0], g * g / (1.0 + g * (g + 2.0)), 1e-8);
    EXPECT_NEAR(filter.low()[kBlockSize - 1], 1.0f, 0.05f);
}

// Side by side in SSE lanes, every lane gives exactly the bits of its own
// process() on all three outputs: one to four lanes with their own rates,
// inputs, resonances and cutoffs that change every block, through resets.
TEST(SVFFilterBrick, LanesMatchSingleBrickProcessingBitForBit)
{
    const float rates[4] = {44100.0f, 48000.0f, 96000.0f, 22050.0f};
    for (int count = 1; count <= 4; ++count) {
        SCOPED_TRACE(count);
        Controls controls[4];
        AlignedBlock in[4];
        SVFFilterBrick single[4];
        SVFFilterBrick lanes[4];
        for (int k = 0; k < count; ++k)
            for (SVFFilterBrick* f : {&single[k], &lanes[k]}) {
                f->setSampleRate(rates[k]);
                f->connectControlInput(0, &controls[k].cutoff);
                f->connectControlInput(1, &controls[k].resonance);
                f->connectAudioInput(0, in[k].data());
            }
        SVFFilterBrick* group[4] = {&lanes[0], &lanes[1], &lanes[2], &lanes[3]};
        brickstest::Noise noise(31u + unsigned(count));
        for (int b = 0; b < 80; ++b) {
            for (int k = 0; k < count; ++k) {
                controls[k].cutoff = 0.5f + 0.5f * noise.next();
                controls[k].resonance = 0.5f + 0.5f * noise.next();
                for (int n = 0; n < kBlockSize; ++n) in[k][n] = (b % 7 == 6 ? 0.0f : 3.0f) * noise.next();
            }
            if (b == 50)
                for (int k = 0; k < count; ++k) {
                    single[k].reset();
                    lanes[k].reset();
                }
            for (int k = 0; k < count; ++k) single[k].process();
            SVFFilterBrick::processLanes(group, count);
            for (int k = 0; k < count; ++k)
                for (int o = 0; o < 3; ++o)
                    ASSERT_EQ(brickstest::firstBitDifference(single[k].audioOutput(o), lanes[k].audioOutput(o)), -1)
                        << "lane " << k << " output " << o << " block " << b;
        }
    }
}
