// The effect's per-block processing: smoothing, tone curves, interpolation,
// decimation, anti-alias tables, reset and the handling of bad input.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "kx/DenormalsFlushed.h"
#include "tests/effect/PlugTestAccess.h"

namespace plug {
namespace {

constexpr int N = Plug::kHostBlock;

struct PlugFixture : ::testing::Test {
    SilentHost host;
    std::unique_ptr<Plug> plug = std::make_unique<Plug>(host);
    PlugTestAccess access{*plug};
    std::vector<float> in0 = std::vector<float>(N, 0.0f), in1 = std::vector<float>(N, 0.0f);
    std::vector<float> out0 = std::vector<float>(N, 0.0f), out1 = std::vector<float>(N, 0.0f);

    void run() { runBlock(*plug, in0.data(), in1.data(), out0.data(), out1.data()); }
};

// The controls glide from 0 towards the defaults from the first block; a change lands in the
// target at once and reaches the control value only by gliding. (The glide's time is in the
// tone law's tests.)
TEST_F(PlugFixture, SmoothedParametersGlideOncePerBlock)
{
    plug->setSampleRate(44100.0f);
    float drive = 0.0f, level = 0.0f;
    for (int n = 1; n <= 200; ++n) {
        run();
        drive = glide(0.35f, drive);
        level = glide(0.4f, level);
        ASSERT_EQ(access.sustainerDrive(), drive) << "after " << n << " blocks";
        ASSERT_EQ(access.outputLevel(), level) << "after " << n << " blocks";
    }

    plug->parameters.setValue(kDrive, 0.8f);
    EXPECT_EQ(access.smoothedTarget(PlugTestAccess::kDrive), 0.8f);
    const float before = access.sustainerDrive();
    run();
    EXPECT_EQ(access.sustainerDrive(), glide(0.8f, before));
}

// The controls the bricks read follow the tone law, each from its own knob; Tone Mid is read
// straight from the stored value, without gliding.
TEST_F(PlugFixture, ToneControlsFollowTheirKnobs)
{
    for (float knob : {0.0f, 0.25f, 0.5f, 1.0f}) {
        access.settle(PlugTestAccess::kToneLo, knob);
        access.settle(PlugTestAccess::kToneHi, 1.0f - knob);
        plug->parameters.setValue(kToneMid, knob * 0.5f);
        access.updateControls();
        EXPECT_EQ(access.loGain(), toneLo(knob).gain) << knob;
        EXPECT_EQ(access.loCutoff(), toneLo(knob).cutoff) << knob;
        EXPECT_EQ(access.hiGain(), toneHi(1.0f - knob).gain) << knob;
        EXPECT_EQ(access.hiCutoff(), toneHi(1.0f - knob).cutoff) << knob;
        EXPECT_EQ(access.preMidGain(), toneMid(knob * 0.5f)) << knob;
        EXPECT_EQ(access.postMidGain(), toneMid(knob * 0.5f)) << knob;
    }
}

TEST_F(PlugFixture, InterpolatesLinearlyAndDecimatesTheFirstOfEachFour)
{
    plug->setSampleRate(48000.0f);
    std::fill(in0.begin(), in0.end(), 1.0f);  // a step from the initial 0
    std::fill(in1.begin(), in1.end(), -0.5f);
    run();
    const float* up0 = access.upsampled(0);
    EXPECT_EQ(up0[0], 0.25f);
    EXPECT_EQ(up0[1], 0.5f);
    EXPECT_EQ(up0[2], 0.75f);
    EXPECT_EQ(up0[3], 1.0f);
    for (int i = 4; i < bricks::kBlockSize; ++i) ASSERT_EQ(up0[i], 1.0f) << i;
    EXPECT_EQ(access.upsampled(1)[1], -0.25f);
    EXPECT_EQ(access.lastInput(0), 1.0f);

    for (int c = 0; c < 2; ++c) {
        const float* band = access.antiAliasOutput(c);
        const float* out = c == 0 ? out0.data() : out1.data();
        for (int i = 0; i < N; ++i) ASSERT_EQ(out[i], band[4 * i]) << "channel " << c << " frame " << i;
    }

    // A ramp interpolates to the intermediate values.
    for (int i = 0; i < N; ++i) in0[i] = 1.0f + float(i + 1);
    run();
    for (int i = 0; i < bricks::kBlockSize; ++i) ASSERT_EQ(up0[i], 1.0f + float(i + 1) * 0.25f) << i;
}

// Three anti-alias tables: from 88 kHz, from 47.5 kHz, and below; every rate gets the
// table of its band, on both channels, and the lowest band's table comes first.
TEST_F(PlugFixture, AntiAliasTableFollowsTheHostRate)
{
    const float atConstruction = access.antiAliasStage(0, 0).a1;
    const auto tableAt = [&](float rate) {
        plug->setSampleRate(rate);
        EXPECT_EQ(access.antiAliasStage(1, 0).a1, access.antiAliasStage(0, 0).a1) << rate;
        return access.antiAliasStage(0, 0).a1;
    };
    const float top = tableAt(192000.0f), middle = tableAt(48000.0f), low = tableAt(44100.0f);
    EXPECT_NE(top, middle);
    EXPECT_NE(middle, low);
    EXPECT_NE(top, low);
    EXPECT_EQ(atConstruction, low);
    const std::pair<float, float> cases[] = {
        {96000.0f, top}, {88000.0f, top}, {87999.0f, middle}, {47500.0f, middle},
        {47499.0f, low}, {22050.0f, low}, {8000.0f, low},
    };
    for (auto [rate, a1] : cases) EXPECT_EQ(tableAt(rate), a1) << rate;
}

TEST_F(PlugFixture, ResetClearsTheFiltersButKeepsDetectorsDcBlockAndGlide)
{
    plug->setSampleRate(44100.0f);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> noise(-0.8f, 0.8f);
    for (int b = 0; b < 50; ++b) {
        for (int i = 0; i < N; ++i) {
            in0[i] = noise(rng);
            in1[i] = noise(rng);
        }
        run();
    }
    const float last = access.lastInput(0);
    const float drive = access.sustainerDrive();
    plug->reset();

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < bricks::kBlockSize; ++i) ASSERT_EQ(access.upsampled(c)[i], 0.0f);
    EXPECT_EQ(access.lastInput(0), last);

    // With silent inputs a cleared filter stays silent and the DC filter still rings.
    access.loBand(0).process();
    access.dcBlock(0).connectAudioInput(0, access.upsampled(0));
    access.dcBlock(0).process();
    float loEnergy = 0.0f, dcEnergy = 0.0f;
    for (int i = 0; i < bricks::kBlockSize; ++i) {
        loEnergy += std::fabs(access.loBand(0).audioOutput(0)[i]);
        dcEnergy += std::fabs(access.dcBlock(0).audioOutput(0)[i]);
    }
    EXPECT_EQ(loEnergy, 0.0f);
    EXPECT_GT(dcEnergy, 0.0f);

    // The glide continues from where it was.
    std::fill(in0.begin(), in0.end(), 0.0f);
    run();
    EXPECT_NEAR(access.sustainerDrive(), 0.35f * 0.01953125f + drive * 0.98046875f, 1e-7);
}

TEST_F(PlugFixture, NonFiniteInputIsSilenceAndFiniteInputIsUnchanged)
{
    SilentHost otherHost;
    auto reference = std::make_unique<Plug>(otherHost);
    plug->setSampleRate(48000.0f);
    reference->setSampleRate(48000.0f);

    const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity()};
    std::vector<float> clean0(N), clean1(N), ref0(N), ref1(N);
    for (int b = 0; b < 400; ++b) {
        for (int i = 0; i < N; ++i) {
            const float t = float(b * N + i) / 48000.0f;
            in0[i] = clean0[i] = 0.5f * std::sin(2.0f * 3.14159265f * 196.0f * t);
            in1[i] = clean1[i] = 0.5f * std::sin(2.0f * 3.14159265f * 247.0f * t);
        }
        if (b == 20) {
            for (int i = 0; i < 3; ++i) {
                in0[5 + i] = bad[i];
                clean0[5 + i] = 0.0f;
                in1[N - 1 - i] = bad[i];
                clean1[N - 1 - i] = 0.0f;
            }
        }
        run();
        runBlock(*reference, clean0.data(), clean1.data(), ref0.data(), ref1.data());
        for (int i = 0; i < N; ++i) {
            ASSERT_TRUE(std::isfinite(out0[i]) && std::isfinite(out1[i])) << "block " << b;
            ASSERT_EQ(out0[i], ref0[i]) << "block " << b;
            ASSERT_EQ(out1[i], ref1[i]) << "block " << b;
        }
    }
}

TEST_F(PlugFixture, MonoAndMissingChannelsAreNeverTouched)
{
    plug->setSampleRate(44100.0f);
    plug->setNumInputs(1);
    plug->setNumOutputs(1);
    std::fill(in0.begin(), in0.end(), 0.3f);
    std::fill(in1.begin(), in1.end(), 0.9f);
    std::fill(out1.begin(), out1.end(), 123.0f);
    for (int b = 0; b < 10; ++b) run();
    for (int i = 0; i < bricks::kBlockSize; ++i) ASSERT_EQ(access.upsampled(1)[i], 0.0f);
    for (int i = 0; i < N; ++i) ASSERT_EQ(out1[i], 123.0f);

    // A mono input processes like a stereo one whose right channel is silent (stereo mode).
    SilentHost otherHost;
    auto stereo = std::make_unique<Plug>(otherHost);
    stereo->setSampleRate(44100.0f);
    plug->setNumOutputs(2);
    std::vector<float> silent(N, 0.0f), ref0(N), ref1(N);
    for (int b = 0; b < 10; ++b) runBlock(*stereo, in0.data(), silent.data(), ref0.data(), ref1.data());
    for (int b = 0; b < 20; ++b) {
        run();
        runBlock(*stereo, in0.data(), silent.data(), ref0.data(), ref1.data());
        for (int i = 0; i < N; ++i) {
            ASSERT_EQ(out0[i], ref0[i]);
            ASSERT_EQ(out1[i], ref1[i]);
        }
    }

    // Null channel pointers for channels the effect counts as active are skipped.
    plug->setNumInputs(2);
    runBlock(*plug, nullptr, nullptr, nullptr, nullptr);
    runBlock(*plug, in0.data(), nullptr, out0.data(), nullptr);
    for (float v : out0) EXPECT_TRUE(std::isfinite(v));
}

}  // namespace
}  // namespace plug

namespace plug {
namespace {

// The fused chain against the graph evaluated one brick at a time, through each brick's own
// process and through its plain form: output, meters and scope frames agree bit for bit, in parts
// of blocks too, through changes of every parameter (all three channel modes), a loud stretch
// that makes the sustainer attack and a stretch 720 dB down whose arithmetic runs into the
// subnormal range; in the chain's build for each instruction set this processor has; in the
// floating-point mode every binding runs the effect in.
TEST(PlugChain, FusedChainGivesTheBitsOfTheGraphBrickByBrick)
{
    const kx::DenormalsFlushed flushed;
    using Set = Plug::InstructionSet;
    using How = Plug::Evaluation;
    for (auto [rate, set, how] :
         {std::tuple{44100.0f, Set::kSse2, How::kBrickByBrick}, std::tuple{96000.0f, Set::kSse2, How::kPlain},
          std::tuple{44100.0f, Set::kAvx2, How::kPlain}, std::tuple{96000.0f, Set::kAvx2, How::kBrickByBrick},
          std::tuple{44100.0f, Set::kAvx512, How::kBrickByBrick}, std::tuple{96000.0f, Set::kAvx512, How::kPlain}}) {
        if (set > Plug::widestInstructionSet()) continue;
        SCOPED_TRACE(rate);
        SCOPED_TRACE(int(set));
        SCOPED_TRACE(int(how));
        SilentHost host;
        auto fused = std::make_unique<Plug>(host);
        auto reference = std::make_unique<Plug>(host);
        fused->setInstructionSet(set);
        reference->setEvaluation(how);
        for (Plug* p : {fused.get(), reference.get()}) p->setSampleRate(rate);
        std::mt19937 random(5);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        std::vector<float> in0(N), in1(N), fusedOut0(N), fusedOut1(N), referenceOut0(N), referenceOut1(N);
        std::vector<float> fusedScope(256), referenceScope(256);
        static const kx::MidiEventList noEvents;
        double phase = 0.0;
        for (int b = 0; b < 3000; ++b) {
            if (b % 200 == 0) {
                for (int index = 0; index < kNumParameters; ++index) {
                    const float value = unit(random);
                    fused->parameters.setValue(index, value);
                    reference->parameters.setValue(index, value);
                }
            }
            const float level = b % 500 < 250 ? 0.9f : b % 500 < 350 ? 1e-36f : 0.01f;
            for (int i = 0; i < N; ++i, phase += 0.031) {
                in0[i] = level * float(std::sin(phase) + 0.3 * std::sin(phase * 2.7));
                in1[i] = level * float(std::sin(phase * 1.3));
            }
            // Parts of the block as a host block that ends inside it would hand them.
            const int cut = b % 3 == 0 ? 0 : 1 + int(random() % (N - 1));
            for (auto [first, frames] : {std::pair{0, cut == 0 ? N : cut}, std::pair{cut, cut == 0 ? 0 : N - cut}}) {
                if (frames == 0) continue;
                kx::ProcessBlock part{frames,
                                      &noEvents,
                                      {in0.data() + first, in1.data() + first},
                                      {fusedOut0.data() + first, fusedOut1.data() + first},
                                      first};
                fused->process(part);
                part.outputs[0] = referenceOut0.data() + first;
                part.outputs[1] = referenceOut1.data() + first;
                reference->process(part);
            }
            ASSERT_EQ(fusedOut0, referenceOut0) << "block " << b;
            ASSERT_EQ(fusedOut1, referenceOut1) << "block " << b;
            const MeterReadings f = fused->sustainerLevels(), r = reference->sustainerLevels();
            const MeterReadings fo = fused->outputLevels(), ro = reference->outputLevels();
            ASSERT_EQ(std::tie(f.rms0, f.rms1, f.peak0, f.peak1), std::tie(r.rms0, r.rms1, r.peak0, r.peak1)) << b;
            ASSERT_EQ(std::tie(fo.rms0, fo.rms1, fo.peak0, fo.peak1), std::tie(ro.rms0, ro.rms1, ro.peak0, ro.peak1))
                << b;
            fused->scopeBrick().frameStore().read(fusedScope.data());
            reference->scopeBrick().frameStore().read(referenceScope.data());
            ASSERT_EQ(fusedScope, referenceScope) << "block " << b;
        }
        EXPECT_GT(fused->outputLevels().peak0, 0.1f);
    }
}

}  // namespace
}  // namespace plug
