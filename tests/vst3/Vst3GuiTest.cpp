// The VST 3 bundle's editor view in a host window on the virtual X server: attached and
// removed as hosts do, refused where it cannot be embedded, drawn at the host's content scale
// and resized keeping its aspect ratio, and a knob drag reaching the host as beginEdit,
// performEdit and endEdit from the host's run loop.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
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
        EXPECT_EQ(view->canResize(), kResultTrue);
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

editortest::SizeRequest sizeOf(const ViewRect& rect) { return {rect.right - rect.left, rect.bottom - rect.top}; }

// What a host sees of the view's size at the content scales of common displays, of refused
// scales, and of sizes a user drags the window to; and the frame asked to follow a change.
TEST_F(ViewFixture, TakesTheContentScaleAndSnapsSizesToItsAspectRatio)
{
    IPlugView* view = plugin.controller().createView("editor");
    ASSERT_NE(view, nullptr);
    IPlugViewContentScaleSupport* scaling = nullptr;
    ASSERT_EQ(view->queryInterface(kIPlugViewContentScaleSupportIid.bytes, reinterpret_cast<void**>(&scaling)),
              kResultOk);
    const auto size = [&] {
        ViewRect rect{};
        view->getSize(&rect);
        return sizeOf(rect);
    };
    struct ScaleCase {
        float scale;
        editortest::SizeRequest size;
    };
    for (const ScaleCase& c : {ScaleCase{1.0f, {910, 237}}, ScaleCase{1.5f, {1365, 356}}, ScaleCase{2.0f, {1820, 474}},
                               ScaleCase{0.5f, {455, 119}}, ScaleCase{4.0f, {3640, 948}}}) {
        EXPECT_EQ(scaling->setContentScaleFactor(c.scale), kResultOk) << c.scale;
        EXPECT_EQ(size(), c.size) << c.scale;
    }
    ASSERT_EQ(scaling->setContentScaleFactor(1.5f), kResultOk);
    for (const float bad : {0.0f, -2.0f, 0.49f, 4.01f, std::nanf(""), std::numeric_limits<float>::infinity()}) {
        EXPECT_EQ(scaling->setContentScaleFactor(bad), kResultFalse) << bad;
        EXPECT_EQ(size(), (editortest::SizeRequest{1365, 356})) << bad;
    }

    EXPECT_EQ(view->canResize(), kResultTrue);
    struct SizeCase {
        ViewRect asked;
        editortest::SizeRequest adjusted;
    };
    for (const SizeCase& c : {SizeCase{{0, 0, 1365, 1000}, {1365, 356}}, SizeCase{{10, 20, 2010, 320}, {1154, 300}},
                              SizeCase{{0, 0, 100, 100}, {455, 119}}, SizeCase{{0, 0, 9000, 9000}, {3640, 948}},
                              SizeCase{{0, 0, -5, -5}, {455, 119}}}) {
        ViewRect rect = c.asked;
        EXPECT_EQ(view->checkSizeConstraint(&rect), kResultTrue);
        EXPECT_EQ(sizeOf(rect), c.adjusted);
        EXPECT_EQ(rect.left, c.asked.left);
        EXPECT_EQ(rect.top, c.asked.top);
        ViewRect hostSize = c.asked;
        EXPECT_EQ(view->onSize(&hostSize), kResultOk);
        EXPECT_EQ(size(), c.adjusted);
    }

    ASSERT_EQ(scaling->setContentScaleFactor(2.0f), kResultOk);
    ASSERT_EQ(view->setFrame(&hostFrame), kResultOk);
    ASSERT_EQ(view->attached(parent(), kPlatformTypeX11EmbedWindowID), kResultOk);
    EXPECT_TRUE(waitFor([&] { return frame.childSize() == editortest::SizeRequest{1820, 474}; }));
    EXPECT_TRUE(hostFrame.resizeRequests.empty());
    ASSERT_EQ(scaling->setContentScaleFactor(1.5f), kResultOk);
    ASSERT_EQ(hostFrame.resizeRequests.size(), 1u);
    EXPECT_EQ(sizeOf(hostFrame.resizeRequests[0]), (editortest::SizeRequest{1365, 356}));
    EXPECT_TRUE(waitFor([&] { return frame.childSize() == editortest::SizeRequest{1365, 356}; }));
    view->removed();
    scaling->release();
    view->setFrame(nullptr);
    view->release();
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
