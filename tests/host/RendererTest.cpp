// The renderer against an in-process effect record that logs what the host does.

#include "tools/host/Effect.h"
#include "tools/host/HostContext.h"
#include "tools/render/Renderer.h"
#include "tools/audio/Signals.h"

#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

namespace {

using namespace kx::vst2;
using tools::AudioBuffer;
using tools::Effect;
using tools::HostContext;
using tools::Renderer;
using tools::RenderPlan;

// Output channel c = input channel c (or 0 without inputs) + the value of parameter 0.
struct FakeEffect {
    AEffect record{};
    std::vector<std::string> log;
    std::vector<int> calls;
    bool inPlaceSeen = false;
    bool sameArraySeen = false;
    float parameter = 0.0f;
    float sampleRate = 0.0f;
    intptr blockSize = 0;
    intptr levelWhileProcessing = -1;

    FakeEffect(int inputs, int outputs)
    {
        record.magic = kEffectMagic;
        record.numInputs = inputs;
        record.numOutputs = outputs;
        record.numParams = 1;
        record.flags = effFlagsCanReplacing;
        record.object = this;
        record.dispatcher = &dispatch;
        record.setParameter = [](AEffect* e, int32 index, float value) {
            self(e).parameter = value;
            self(e).log.push_back("set " + std::to_string(index) + " " + std::to_string(value));
        };
        record.getParameter = [](AEffect* e, int32) { return self(e).parameter; };
        record.processReplacing = &process;
    }

    static FakeEffect& self(AEffect* e) { return *static_cast<FakeEffect*>(e->object); }

    static intptr dispatch(AEffect* e, int32 opcode, int32, intptr value, void* ptr, float opt)
    {
        FakeEffect& fake = self(e);
        switch (opcode) {
        case effOpen:
            fake.log.push_back("open");
            break;
        case effClose:
            fake.log.push_back("close");
            break;
        case effSetSampleRate:
            fake.sampleRate = opt;
            fake.log.push_back("rate");
            break;
        case effSetBlockSize:
            fake.blockSize = value;
            fake.log.push_back("block");
            break;
        case effMainsChanged:
            fake.log.push_back(value != 0 ? "resume" : "suspend");
            break;
        case effGetParamName:
            std::strcpy(static_cast<char*>(ptr), "Offset");
            break;
        default:
            break;
        }
        return 0;
    }

    static void process(AEffect* e, float** inputs, float** outputs, int32 frames)
    {
        FakeEffect& fake = self(e);
        if (fake.log.empty() || fake.log.back() != "process") fake.log.push_back("process");
        fake.calls.push_back(frames);
        fake.sameArraySeen = fake.sameArraySeen || inputs == outputs;
        fake.levelWhileProcessing = HostContext::callback(e, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f);
        for (int c = 0; c < e->numOutputs; ++c) {
            const float* in = e->numInputs > 0 ? inputs[std::min(c, e->numInputs - 1)] : nullptr;
            fake.inPlaceSeen = fake.inPlaceSeen || (c < e->numInputs && inputs[c] == outputs[c]);
            for (int i = 0; i < frames; ++i) outputs[c][i] = (in != nullptr ? in[i] : 0.0f) + fake.parameter;
        }
    }
};

AudioBuffer ramp(int channels, int frames)
{
    AudioBuffer audio = AudioBuffer::zeros(44100, channels, frames);
    for (int c = 0; c < channels; ++c) {
        for (int i = 0; i < frames; ++i) audio.channels[c][i] = static_cast<float>(c * 100000 + i);
    }
    return audio;
}

TEST(Renderer, LifecycleInHostOrder)
{
    FakeEffect fake(2, 2);
    HostContext context;
    {
        Effect effect(&fake.record, context);
        RenderPlan plan;
        plan.blockSizes = {100};
        plan.initial = {{0, 0.25f}};
        Renderer renderer(plan);
        renderer.run(effect, ramp(2, 250));
        EXPECT_EQ(renderer.stats().frames, 250);
        EXPECT_EQ(renderer.stats().calls, 3);
        EXPECT_EQ(fake.levelWhileProcessing, HostContext::kLevelRealtime);
        EXPECT_EQ(HostContext::callback(&fake.record, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f),
                  HostContext::kLevelUser);
        EXPECT_EQ(HostContext::callback(&fake.record, audioMasterGetSampleRate, 0, 0, nullptr, 0.0f), 44100);
        EXPECT_EQ(HostContext::callback(&fake.record, audioMasterGetBlockSize, 0, 0, nullptr, 0.0f), 100);
    }
    EXPECT_EQ(fake.log, (std::vector<std::string>{"open", "rate", "block", "set 0 0.250000", "resume", "process",
                                                  "suspend", "close"}));
    EXPECT_EQ(fake.sampleRate, 44100.0f);
    EXPECT_EQ(fake.calls, (std::vector<int>{100, 100, 50}));
}

TEST(Renderer, BlockCycleAndChangesToTheFrame)
{
    FakeEffect fake(1, 1);
    HostContext context;
    Effect effect(&fake.record, context);
    RenderPlan plan;
    plan.blockSizes = {37, 128, 1000};
    // Out of order on purpose, one on a block boundary, two on the same frame (the later wins).
    plan.changes = {{500, 0, 0.5f}, {37, 0, 0.125f}, {1200, 0, 0.75f}, {1200, 0, 1.0f}};
    Renderer renderer(plan);
    const AudioBuffer out = renderer.run(effect, ramp(1, 1400));

    EXPECT_EQ(fake.blockSize, 1000);
    // Host blocks 37, 128, 1000, 37, 128, 1000 (cut by the end); changes split blocks at 500 and 1200.
    EXPECT_EQ(fake.calls, (std::vector<int>{37, 128, 335, 665, 35, 2, 128, 70}));
    ASSERT_EQ(out.numFrames(), 1400);
    for (int i = 0; i < 1400; ++i) {
        const float expected = i < 37 ? 0.0f : i < 500 ? 0.125f : i < 1200 ? 0.5f : 1.0f;
        ASSERT_EQ(out.channels[0][i] - static_cast<float>(i), expected) << "frame " << i;
    }

    // A host may send blocks larger than the maximum it announced.
    plan.announcedBlockSize = 256;
    fake.calls.clear();
    Renderer(plan).run(effect, ramp(1, 1400));
    EXPECT_EQ(fake.blockSize, 256);
    EXPECT_EQ(fake.calls, (std::vector<int>{37, 128, 335, 665, 35, 2, 128, 70}));
}

TEST(Renderer, ChannelMapping)
{
    HostContext context;
    {
        // A mono file feeds both inputs of a stereo effect.
        FakeEffect fake(2, 2);
        Effect effect(&fake.record, context);
        const AudioBuffer out = Renderer(RenderPlan{}).run(effect, ramp(1, 300));
        ASSERT_EQ(out.numChannels(), 2);
        EXPECT_EQ(out.channels[0], out.channels[1]);
        EXPECT_EQ(out.channels[0][299], 299.0f);
    }
    {
        // A stereo file into a mono effect: the right channel is left out; two outputs written.
        FakeEffect fake(1, 2);
        Effect effect(&fake.record, context);
        const AudioBuffer out = Renderer(RenderPlan{}).run(effect, ramp(2, 300));
        ASSERT_EQ(out.numChannels(), 2);
        EXPECT_EQ(out.channels[1][10], 10.0f);
    }
    {
        // A generator without inputs still runs for the file's length.
        FakeEffect fake(0, 2);
        fake.parameter = 0.5f;
        Effect effect(&fake.record, context);
        const AudioBuffer out = Renderer(RenderPlan{}).run(effect, ramp(2, 300));
        ASSERT_EQ(out.numFrames(), 300);
        EXPECT_EQ(out.channels[1][299], 0.5f);
    }
    {
        FakeEffect fake(2, 0);
        Effect effect(&fake.record, context);
        EXPECT_THROW(Renderer(RenderPlan{}).run(effect, ramp(2, 10)), std::runtime_error);
    }
    {
        FakeEffect fake(2, 2);
        fake.record.flags = 0;
        Effect effect(&fake.record, context);
        EXPECT_THROW(Renderer(RenderPlan{}).run(effect, ramp(2, 10)), std::runtime_error);
    }
}

TEST(Renderer, InPlaceSharesBuffers)
{
    HostContext context;
    for (bool inPlace : {false, true}) {
        for (int outputs : {1, 2, 3}) {
            SCOPED_TRACE(std::to_string(inPlace) + " " + std::to_string(outputs));
            FakeEffect fake(2, outputs);
            Effect effect(&fake.record, context);
            RenderPlan plan;
            plan.inPlace = inPlace;
            plan.blockSizes = {64, 7};
            const AudioBuffer in = ramp(2, 500);
            const AudioBuffer out = Renderer(plan).run(effect, in);
            EXPECT_EQ(fake.inPlaceSeen, inPlace);
            EXPECT_EQ(fake.sameArraySeen, inPlace && outputs == 2);
            ASSERT_EQ(out.numChannels(), outputs);
            for (int c = 0; c < outputs; ++c) EXPECT_EQ(out.channels[c], in.channels[std::min(c, 1)]);
        }
    }
}

TEST(Renderer, EmptyInputRunsNoBlocks)
{
    FakeEffect fake(2, 2);
    HostContext context;
    Effect effect(&fake.record, context);
    const AudioBuffer out = Renderer(RenderPlan{}).run(effect, AudioBuffer::zeros(48000, 2, 0));
    EXPECT_EQ(out.numFrames(), 0);
    EXPECT_TRUE(fake.calls.empty());
    EXPECT_THROW(Renderer(RenderPlan{{}, {}, {}, false}), std::invalid_argument);
    EXPECT_THROW(Renderer(RenderPlan{{64, 0}, {}, {}, false}), std::invalid_argument);
}

}  // namespace
