// Editor edits reach the effect through the real adapter's parameter queue.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "kx/vst2/Vst2PlugAdapter.h"

namespace {

using namespace kx::vst2;

std::atomic<int> automations{0};

intptr fakeHost(AEffect*, int32 opcode, int32, intptr, void*, float)
{
    if (opcode == audioMasterVersion) return kVstVersion;
    if (opcode == audioMasterAutomate) ++automations;
    return 0;
}

struct AdapterFixture : ::testing::Test {
    std::unique_ptr<Vst2PlugAdapter> adapter = std::make_unique<Vst2PlugAdapter>(fakeHost);
    AEffect* effect = adapter->getAeffect();
    float in[2][32] = {}, out[2][32] = {};
    float* ins[2] = {in[0], in[1]};
    float* outs[2] = {out[0], out[1]};

    void SetUp() override
    {
        automations = 0;
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
        effect->dispatcher(effect, effSetBlockSize, 0, 32, nullptr, 0.0f);
        effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    }
    void block() { effect->processReplacing(effect, ins, outs, 32); }
};

TEST_F(AdapterFixture, AFullQueueLosesNoEditAndElevenAreAppliedInOrder)
{
    for (int i = 0; i < 12; ++i) adapter->automate(0, 0.05f * float(i + 1));
    EXPECT_EQ(automations, 12);                         // the host hears of every edit
    EXPECT_EQ(effect->getParameter(effect, 0), 0.35f);  // none stored yet
    block();
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), 0.6f);  // the last one, as the host was told

    for (int i = 0; i < 11; ++i) adapter->automate(i % 8, 0.05f * float(i + 1));
    EXPECT_EQ(effect->getParameter(effect, 1), 0.6f);
    block();
    for (int p = 0; p < 8; ++p) {
        const int last = p + (p < 3 ? 8 : 0);  // indices 0..2 were edited twice
        EXPECT_FLOAT_EQ(effect->getParameter(effect, p), 0.05f * float(last + 1)) << p;
    }
}

// An edit that finds the queue full waits for the next block like the others: stored on
// the editor's thread, it would be overwritten by the older ones still queued.
TEST_F(AdapterFixture, EditsBeyondAFullQueueReachTheNextBlockLast)
{
    for (int i = 0; i < 12; ++i) adapter->automate(1, 0.01f * float(i));
    adapter->automate(2, 0.2f);
    adapter->automate(1, 0.9f);
    EXPECT_EQ(effect->getParameter(effect, 2), 0.75f);
    block();
    EXPECT_EQ(effect->getParameter(effect, 2), 0.2f);
    EXPECT_EQ(effect->getParameter(effect, 1), 0.9f);
    EXPECT_EQ(automations, 14);
}

TEST_F(AdapterFixture, EditsWhileSuspendedAreStoredAtOnceAndClamped)
{
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    adapter->automate(6, 1.5f);
    EXPECT_EQ(effect->getParameter(effect, 6), 1.0f);
}

}  // namespace
