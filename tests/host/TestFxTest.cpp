// The renderer's lifecycle and in-place mode against the framework's test effect
// (tests/framework/TestFx.cpp): Gain scales the output and audio runs in 32-frame
// blocks, so a host block of 40 frames has 8 that the effect does not process.

#include "tools/host/HostModule.h"
#include "tools/host/SharedLibrary.h"
#include "tools/render/Renderer.h"
#include "tools/audio/Signals.h"
#include "tests/framework/TestFxProbe.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

testfx::Probe watched{};

}  // namespace

extern "C" __attribute__((visibility("default"))) testfx::Probe* tw07TestFxProbe() { return &watched; }

namespace {

using tools::AudioBuffer;
using tools::HostContext;
using tools::HostModule;
using tools::Renderer;
using tools::RenderPlan;

class TestFx : public ::testing::Test {
protected:
    void SetUp() override { watched = {}; }

    HostModule module{TESTFX_PATH};
    HostContext context;
    AudioBuffer input = tools::Signals::guitarRiff(9, 44100, 4096, 2);
};

TEST_F(TestFx, LifecycleAndChangesOnTheirFrame)
{
    AudioBuffer output;
    {
        auto effect = module.instantiate(context);
        EXPECT_EQ(watched.created, 1);
        const auto arrangement = effect->speakerArrangement();
        ASSERT_TRUE(arrangement.has_value());
        EXPECT_EQ(arrangement->inputType, kx::vst2::kSpeakerArrStereo);
        EXPECT_EQ(arrangement->outputChannels, 2);
        EXPECT_EQ(watched.resets, 1);  // effOpen
        RenderPlan plan;
        plan.blockSizes = {128, 64};
        plan.initial = {{0, 0.25f}};       // factor 0.5
        plan.changes = {{1056, 0, 1.0f}};  // factor 2 from frame 1056 = 33 x 32
        Renderer renderer(plan);
        output = renderer.run(*effect, input);
        EXPECT_EQ(watched.sampleRate, 44100.0f);
        EXPECT_EQ(watched.resets, 2);  // and resume
        EXPECT_EQ(watched.suspends, 1);
        EXPECT_EQ(watched.blockCount, 4096 / 32);
        EXPECT_EQ(watched.destroyed, 0);
    }
    EXPECT_EQ(watched.destroyed, 1);  // effClose
    ASSERT_EQ(output.numChannels(), 2);
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < 4096; ++i) {
            const float factor = i < 1056 ? 0.5f : 2.0f;
            ASSERT_EQ(output.channels[c][i], input.channels[c][i] * factor) << "channel " << c << " frame " << i;
        }
    }
}

TEST_F(TestFx, InPlaceSharesTheBuffers)
{
    for (bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace);
        watched = {};
        auto effect = module.instantiate(context);
        RenderPlan plan;
        plan.blockSizes = {40};  // host blocks that cross the 32-frame grid
        plan.initial = {{0, 0.25f}};
        plan.inPlace = inPlace;
        const AudioBuffer output = Renderer(plan).run(*effect, input);
        for (int b = 0; b < 4; ++b) {
            for (int c = 0; c < 2; ++c) {
                EXPECT_EQ(watched.blocks[b].inputs[c] == watched.blocks[b].outputs[c], inPlace) << b << " " << c;
            }
        }
        for (int c = 0; c < 2; ++c) {
            for (int i = 0; i < 4096; ++i) {
                ASSERT_EQ(output.channels[c][i], input.channels[c][i] * 0.5f) << "channel " << c << " frame " << i;
            }
        }
    }
}

}  // namespace

namespace {

TEST(SharedLibrary, CopiesShareOneHoldOnTheModule)
{
    tools::SharedLibrary first(TESTFX_PATH);
    tools::SharedLibrary second = first;
    first.release();
    EXPECT_FALSE(first.loaded());
    EXPECT_EQ(first.symbol("VSTPluginMain"), nullptr);
    EXPECT_TRUE(tools::SharedLibrary::isLoaded(TESTFX_PATH));
    EXPECT_NE(second.symbol("VSTPluginMain"), nullptr);
    EXPECT_EQ(second.symbol("noSuchSymbol"), nullptr);
    try {
        tools::SharedLibrary missing("/nonexistent/module.so");
        ADD_FAILURE() << "loaded a file that does not exist";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()).rfind("cannot load /nonexistent/module.so: ", 0), 0u) << error.what();
    }
}

}  // namespace
