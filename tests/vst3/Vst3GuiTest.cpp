// The VST 3 bundle's editor view in a host window on the virtual X server: attached and
// removed as hosts do, refused where it cannot be embedded, and a knob drag reaching the host
// as beginEdit, performEdit and endEdit from the host's run loop.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "tests/editor/EmptyWorkingFolder.h"
#include "ModuleEditorSupport.h"
#include "tools/host/Vst3Host.h"

namespace {

// Every editor here opens in an empty folder it may not write to.
[[maybe_unused]] const auto* const workingFolder =
    ::testing::AddGlobalTestEnvironment(new editortest::EmptyWorkingFolder);

using namespace tools::vst3;
using namespace std::chrono_literals;
using editortest::waitFor;

constexpr int kDriveX = 54;  // the Drive knob's centre
constexpr int kKnobY = 143;

struct ViewFixture : ::testing::Test {
    Vst3Module module{TW07_VST3_PATH};
    Vst3Instance plugin{module};
    Vst3Frame hostFrame;
    editortest::HostFrame frame{0, 0, 910, 237};

    void* parent() const { return frame.parentHandle(); }
};

TEST_F(ViewFixture, IsAttachedAndRemovedAsOftenAsTheHostLikes)
{
    for (int round = 0; round < 3; ++round) {
        IPlugView* view = plugin.controller().createView("editor");
        ASSERT_NE(view, nullptr) << round;
        EXPECT_EQ(plugin.controller().createView("editor"), nullptr);  // one at a time
        EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
        EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);
        EXPECT_EQ(view->canResize(), kResultFalse);
        ViewRect size{};
        ASSERT_EQ(view->getSize(&size), kResultOk);
        EXPECT_EQ(size.right - size.left, 910);
        EXPECT_EQ(size.bottom - size.top, 237);
        ASSERT_EQ(view->setFrame(&hostFrame), kResultOk);
        ASSERT_EQ(view->attached(parent(), kPlatformTypeX11EmbedWindowID), kResultOk);
        EXPECT_EQ(hostFrame.timerCount(), 1u);
        EXPECT_TRUE(waitFor([&] { return frame.childCount() == 1; })) << round;
        EXPECT_EQ(view->removed(), kResultOk);
        EXPECT_EQ(frame.childCount(), 0);
        EXPECT_EQ(hostFrame.timerCount(), 0u);
        view->setFrame(nullptr);
        view->release();
    }
    EXPECT_EQ(plugin.controller().createView("other"), nullptr);
}

TEST_F(ViewFixture, AParentItCannotUseIsRefusedAndLeavesNoWindow)
{
    IPlugView* view = plugin.controller().createView("editor");
    ASSERT_NE(view, nullptr);
    view->setFrame(&hostFrame);
    EXPECT_EQ(view->attached(nullptr, kPlatformTypeX11EmbedWindowID), kResultFalse);
    EXPECT_EQ(view->attached(reinterpret_cast<void*>(0x7ffff0), kPlatformTypeX11EmbedWindowID), kResultFalse);
    EXPECT_EQ(view->attached(parent(), kPlatformTypeHWND), kResultFalse);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(frame.childCount(), 0);
    EXPECT_EQ(view->removed(), kResultFalse);
    ASSERT_EQ(view->attached(parent(), kPlatformTypeX11EmbedWindowID), kResultOk);
    EXPECT_TRUE(waitFor([&] { return frame.childCount() == 1; }));
    view->removed();
    view->release();
}

TEST_F(ViewFixture, AKnobDragReachesTheHostAsOneEditOnItsUiThread)
{
    ASSERT_TRUE(plugin.start(48000.0, 64));
    IPlugView* view = plugin.controller().createView("editor");
    ASSERT_NE(view, nullptr);
    view->setFrame(&hostFrame);
    ASSERT_EQ(view->attached(parent(), kPlatformTypeX11EmbedWindowID), kResultOk);
    ASSERT_TRUE(waitFor([&] { return frame.childCount() == 1; }));
    float left[64] = {};
    float right[64] = {};
    float* channels[2] = {left, right};
    // A host's loops: audio blocks, and the run loop's timers on this, the UI thread.
    const auto round = [&] {
        plugin.process(channels, 2, channels, 2, 64);
        hostFrame.runTimers();
    };
    const auto pumpFor = [&](std::chrono::milliseconds duration) {
        for (auto end = std::chrono::steady_clock::now() + duration; std::chrono::steady_clock::now() < end;) {
            round();
            std::this_thread::sleep_for(5ms);
        }
    };
    pumpFor(500ms);
    frame.moveTo(kDriveX, kKnobY);
    pumpFor(100ms);
    frame.press();
    pumpFor(100ms);
    for (int step = 1; step <= 6; ++step) {
        frame.moveTo(kDriveX, kKnobY - 10 * step);
        pumpFor(50ms);
    }
    frame.release();
    ASSERT_TRUE(waitFor(
        [&] {
            const std::vector<HostEdit> edits = plugin.edits();
            return !edits.empty() && edits.back().kind == HostEdit::Kind::kEnd;
        },
        round));
    const std::vector<HostEdit> edits = plugin.edits();
    EXPECT_EQ(edits.front().kind, HostEdit::Kind::kBegin);
    for (const HostEdit& edit : edits) EXPECT_EQ(edit.id, 0u);
    ASSERT_GE(edits.size(), 3u);
    EXPECT_NEAR(edits[edits.size() - 2].value, 0.35 + 60 / 200.0, 1e-5);
    EXPECT_NEAR(plugin.controller().getParamNormalized(0), 0.35 + 60 / 200.0, 1e-5);
    view->removed();
    view->release();
}

}  // namespace
