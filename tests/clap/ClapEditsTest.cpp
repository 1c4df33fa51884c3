// The editor's edits through the CLAP binding: what the host is told, and when the effect
// takes them. The binding is driven as the editor drives it, through HostCallback.

#include <gtest/gtest.h>

#include <vector>

#include "tools/host/ClapHost.h"
#include "kx/clap/ClapPlugAdapter.h"

namespace {

using namespace tools::clap;

struct EditsFixture : ::testing::Test {
    clap_plugin_descriptor descriptor{kClapVersion, "test", "test", "", "", "", "", "", "", nullptr};
    kx::clap::ClapPlugAdapter* adapter = nullptr;
    ClapInstance plugin{[this](const clap_host* host) {
        adapter = new kx::clap::ClapPlugAdapter(host, &descriptor);
        return adapter->record();
    }};
    float left[64] = {};
    float right[64] = {};
    float* channels[2] = {left, right};

    void block() { ASSERT_EQ(plugin.process(channels, 2, channels, 2, 64), CLAP_PROCESS_CONTINUE); }
};

std::vector<uint16_t> typesOf(const std::vector<OutputEvent>& events)
{
    std::vector<uint16_t> types;
    for (const OutputEvent& e : events) types.push_back(e.type);
    return types;
}

TEST_F(EditsFixture, AGestureReachesTheHostInOrderWithTheNextBlock)
{
    ASSERT_TRUE(plugin.activate(48000.0, 64));
    adapter->beginEdit(3);
    adapter->automate(3, 0.5f);  // "Stereo": the middle of its three options
    adapter->automate(3, 1.0f);
    adapter->endEdit(3);
    EXPECT_EQ(plugin.value(3), 0.0);            // the audio thread takes them
    EXPECT_EQ(plugin.flushRequests.load(), 0);  // the host is processing anyway
    block();
    EXPECT_EQ(typesOf(plugin.out.events),
              (std::vector<uint16_t>{CLAP_EVENT_PARAM_GESTURE_BEGIN, CLAP_EVENT_PARAM_VALUE, CLAP_EVENT_PARAM_VALUE,
                                     CLAP_EVENT_PARAM_GESTURE_END}));
    EXPECT_EQ(plugin.out.events[1].value, 1.0);
    EXPECT_EQ(plugin.out.events[2].value, 2.0);
    for (const OutputEvent& e : plugin.out.events) EXPECT_EQ(e.id, 3u);
    EXPECT_EQ(plugin.value(3), 2.0);
}

TEST_F(EditsFixture, WhileInactiveAnEditIsStoredAtOnceAndReportedOnFlush)
{
    adapter->beginEdit(7);
    adapter->automate(7, 0.25f);
    adapter->endEdit(7);
    EXPECT_EQ(plugin.value(7), 0.25);
    EXPECT_EQ(plugin.flushRequests.load(), 3);
    plugin.flush();
    ASSERT_EQ(plugin.out.events.size(), 3u);
    EXPECT_EQ(plugin.out.events[1].value, 0.25);

    // Edits the audio thread had not taken when the host deactivated wait for the flush.
    ASSERT_TRUE(plugin.activate(48000.0, 64));
    adapter->automate(7, 0.75f);
    plugin.deactivate();
    plugin.out.events.clear();
    plugin.flush();
    ASSERT_EQ(plugin.out.events.size(), 1u);
    EXPECT_EQ(plugin.value(7), 0.75);
}

TEST_F(EditsFixture, AFullQueueLosesNoEditAndEndsWithTheLastValue)
{
    ASSERT_TRUE(plugin.activate(48000.0, 64));
    for (int p = 0; p < 8; ++p) adapter->beginEdit(p);
    for (int step = 1; step <= 40; ++step) {
        for (int p = 0; p < 8; ++p) adapter->automate(p, 0.02f * float(step));
    }
    for (int p = 0; p < 8; ++p) adapter->endEdit(p);
    block();
    for (clap_id id = 0; id < 8; ++id) {
        const double last = id == 3 ? 2.0 : double(0.02f * 40.0f);  // "Stereo" 0.8 is its third option
        EXPECT_EQ(plugin.value(id), last) << id;
        // Each parameter's gesture opens before its values and closes after the last one.
        std::vector<uint16_t> types;
        double lastReported = -1.0;
        for (const OutputEvent& e : plugin.out.events) {
            if (e.id != id) continue;
            types.push_back(e.type);
            if (e.type == CLAP_EVENT_PARAM_VALUE) lastReported = e.value;
        }
        ASSERT_GE(types.size(), 3u) << id;
        EXPECT_EQ(types.front(), CLAP_EVENT_PARAM_GESTURE_BEGIN) << id;
        EXPECT_EQ(types.back(), CLAP_EVENT_PARAM_GESTURE_END) << id;
        EXPECT_EQ(lastReported, last) << id;
    }
}

}  // namespace
