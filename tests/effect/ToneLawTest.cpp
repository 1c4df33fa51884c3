// The knobs in physical units: the tone stages' gain in dB at named audio
// frequencies, with the knobs at their ends and centre, and the glide's time
// to 90 %. The stages are built from the effect's own bricks and constants,
// fed at four times the host rate as in the effect.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "bricks/AudioMixerBrick.h"
#include "bricks/FixedFilterBrick.h"
#include "bricks/SVFFilterBrick.h"
#include "plug/ControlLaw.h"
#include "plug/Filters.h"

namespace plug {
namespace {

constexpr float kHostRate = 44100.0f;
constexpr double kInternalRate = 4.0 * kHostRate;

// Two band-pass splitters, a mixer that adds them to the dry signal, and a state-variable filter.
struct ToneStage {
    bricks::FixedFilterBrick band, mid;
    bricks::AudioMixerBrick<3> mix;
    bricks::SVFFilterBrick filter;
    alignas(32) float in[bricks::kBlockSize] = {};
    float bandGain, midGain, unity = 1.0f, cutoff, resonance;
    int output;

    ToneStage(bool input, float bandKnob, float midKnob)
    {
        const BandControls b = input ? toneLo(bandKnob) : toneHi(bandKnob);
        bandGain = b.gain;
        cutoff = b.cutoff;
        midGain = toneMid(midKnob);
        resonance = input ? kPreResonance : kPostResonance;
        output = input ? 2 : 0;  // the high-pass before the sustainer, the low-pass after it
        for (bricks::FixedFilterBrick* f : {&band, &mid}) {
            f->setSampleRate(kHostRate);
            f->connectAudioInput(0, in);
        }
        if (input)
            band.setBandPass(kLoBandHz, kLoBandQ, true);
        else
            band.setBandPass(kHiBandHz, kQ, true);
        mid.setBandPass(kMidBandHz, kQ, true);
        mix.connectAudioInput(0, band.audioOutput(0));
        mix.connectAudioInput(1, mid.audioOutput(0));
        mix.connectAudioInput(2, in);
        mix.connectControlInput(0, &bandGain);
        mix.connectControlInput(1, &midGain);
        mix.connectControlInput(2, &unity);
        filter.setSampleRate(kHostRate);
        filter.connectAudioInput(0, mix.audioOutput(0));
        filter.connectControlInput(0, &cutoff);
        filter.connectControlInput(1, &resonance);
    }

    // Gain of a sine at hz of the audio, once settled: its amplitude over whole periods.
    double gainDb(double hz)
    {
        const int settle = 400, measured = 200;
        double re = 0.0, im = 0.0;
        long n = 0, used = 0;
        const long periods = long(measured * bricks::kBlockSize * hz / kInternalRate);
        const long last = settle * bricks::kBlockSize + long(periods * kInternalRate / hz);
        for (int b = 0; b < settle + measured; ++b) {
            for (float& x : in) x = float(std::sin(2.0 * std::numbers::pi * hz * double(n++) / kInternalRate));
            band.process();
            mid.process();
            mix.process();
            filter.process();
            for (int i = 0; i < bricks::kBlockSize; ++i) {
                const long at = long(b) * bricks::kBlockSize + i;
                if (at < settle * bricks::kBlockSize || at >= last) continue;
                const double phase = 2.0 * std::numbers::pi * hz * double(at) / kInternalRate;
                re += filter.audioOutput(output)[i] * std::sin(phase);
                im += filter.audioOutput(output)[i] * std::cos(phase);
                ++used;
            }
        }
        return 20.0 * std::log10(2.0 * std::hypot(re, im) / double(used));
    }
};

// Measured once; a 1 % change of any tone constant moves some point by more.
constexpr double kTolerance = 0.005;

struct Point {
    float knob;
    double hz, db;
};

// Tone Lo: a broad band around 127 Hz added or taken away, with the high-pass before the
// sustainer rising to 2.6 kHz as the knob goes down.
TEST(ToneLaw, ToneLoInDecibels)
{
    const Point points[] = {
        {0.0f, 100.0, -33.683}, {0.0f, 1000.0, -5.955}, {0.5f, 100.0, -3.431},  {0.5f, 1000.0, -0.034},
        {1.0f, 50.0, 10.429},   {1.0f, 127.3, 21.919},  {1.0f, 1000.0, 12.273}, {0.0f, 2546.5, -0.472},
    };
    for (const Point& p : points) {
        ToneStage stage(true, p.knob, 0.5f);
        EXPECT_NEAR(stage.gainDb(p.hz), p.db, kTolerance) << "knob " << p.knob << " at " << p.hz << " Hz";
    }
}

TEST(ToneLaw, ToneHiInDecibels)
{
    const Point points[] = {
        {0.0f, 1000.0, -0.259}, {0.0f, 10000.0, -23.930}, {0.5f, 1000.0, 1.974},   {0.5f, 10185.9, 9.539},
        {1.0f, 1000.0, 6.486},  {1.0f, 10185.9, 16.899},  {1.0f, 18000.0, 16.130}, {0.0f, 2546.5, -3.476},
    };
    for (const Point& p : points) {
        ToneStage stage(false, p.knob, 0.5f);
        EXPECT_NEAR(stage.gainDb(p.hz), p.db, kTolerance) << "knob " << p.knob << " at " << p.hz << " Hz";
    }
}

TEST(ToneLaw, ToneMidInDecibels)
{
    const Point input[] = {
        {0.0f, 600.0, -3.061},  {0.25f, 1909.9, -6.030}, {0.5f, 1909.9, -0.010},
        {0.75f, 1909.9, 7.949}, {1.0f, 1909.9, 12.032},  {1.0f, 600.0, 9.158},
    };
    const Point output[] = {
        {0.0f, 1909.9, -0.373}, {0.0f, 600.0, -4.639},  {0.25f, 1909.9, 2.113}, {0.5f, 1909.9, 4.526},
        {0.75f, 1909.9, 9.760}, {1.0f, 1909.9, 13.136}, {1.0f, 600.0, 9.896},
    };
    for (const Point& p : input) {
        ToneStage stage(true, 0.5f, p.knob);
        EXPECT_NEAR(stage.gainDb(p.hz), p.db, kTolerance) << "input stage, knob " << p.knob << " at " << p.hz << " Hz";
    }
    for (const Point& p : output) {
        ToneStage stage(false, 0.5f, p.knob);
        EXPECT_NEAR(stage.gainDb(p.hz), p.db, kTolerance) << "output stage, knob " << p.knob << " at " << p.hz << " Hz";
    }
    // Fully cut, the input stage's mid band cancels the dry signal at its centre.
    ToneStage notch(true, 0.5f, 0.0f);
    EXPECT_LT(notch.gainDb(1909.9), -60.0);
}

// A knob moved from 0 to 1 reaches 90 % of the way after 84.9 ms at 44.1 kHz (117 blocks of 32
// frames), the same number of blocks at every rate.
TEST(ToneLaw, GlideReachesNinetyPercent)
{
    const std::pair<float, double> rates[] = {{44100.0f, 84.9}, {48000.0f, 78.0}, {96000.0f, 39.0}};
    for (auto [rate, ms] : rates) {
        float current = 0.0f;
        int blocks = 0;
        while (current < 0.9f && blocks < 1000) {
            current = glide(1.0f, current);
            ++blocks;
        }
        const double measured = 1000.0 * blocks * 32 / rate;
        EXPECT_NEAR(measured, ms, 0.1) << rate;
    }
}

}  // namespace
}  // namespace plug
