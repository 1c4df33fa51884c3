// The CLAP module's editor in a host window on the virtual X server: created, embedded and
// destroyed as hosts do, refused where it cannot be embedded, drawn at the host's scale and
// resized keeping its aspect ratio, and a knob drag reaching the host as a gesture.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <thread>

#include "tests/editor/EmptyWorkingFolder.h"
#include "tools/host/ClapHost.h"
#include "ModuleEditorSupport.h"

namespace {

// Every editor here opens in an empty folder it may not write to.
[[maybe_unused]] const auto* const workingFolder =
    ::testing::AddGlobalTestEnvironment(new editortest::EmptyWorkingFolder);

using namespace tools::clap;
using clap_instance_size = ClapInstance::Size;
using namespace std::chrono_literals;
using editortest::waitFor;

constexpr int kDriveX = 54;  // the Drive knob's centre
constexpr int kKnobY = 143;

struct GuiFixture : ::testing::Test {
    ClapModule module{TW07_CLAP_PATH};
    ClapInstance plugin{module};
    const clap_plugin_gui& gui = *plugin.extension<clap_plugin_gui>(kExtGui);
    editortest::HostFrame frame{0, 0, 910, 237};

    clap_window window(unsigned long id) const
    {
        clap_window w{};
        w.api = kWindowApiX11;
        w.x11 = id;
        return w;
    }
    clap_window hostWindow() const { return window(reinterpret_cast<unsigned long>(frame.parentHandle())); }
};

TEST_F(GuiFixture, IsCreatedEmbeddedAndDestroyedAsOftenAsTheHostLikes)
{
    const clap_plugin* p = plugin.plugin();
    EXPECT_TRUE(gui.is_api_supported(p, "x11", false));
    EXPECT_FALSE(gui.is_api_supported(p, "x11", true));
    EXPECT_FALSE(gui.is_api_supported(p, "wayland", false));
    const char* api = nullptr;
    bool floating = true;
    ASSERT_TRUE(gui.get_preferred_api(p, &api, &floating));
    EXPECT_STREQ(api, "x11");
    EXPECT_FALSE(floating);

    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(gui.create(p, "x11", false)) << round;
        EXPECT_FALSE(gui.create(p, "x11", false));
        uint32_t width = 0;
        uint32_t height = 0;
        ASSERT_TRUE(gui.get_size(p, &width, &height));
        EXPECT_EQ(width, 910u);
        EXPECT_EQ(height, 237u);
        EXPECT_TRUE(gui.set_size(p, 910, 237));
        const clap_window parent = hostWindow();
        ASSERT_TRUE(gui.set_parent(p, &parent));
        EXPECT_TRUE(gui.show(p));
        EXPECT_TRUE(waitFor([&] { return frame.childCount() == 1; })) << round;
        EXPECT_TRUE(gui.hide(p));
        gui.destroy(p);
        EXPECT_EQ(frame.childCount(), 0) << round;
    }
    // Destroyed while the instance is processing, and with the instance itself.
    ASSERT_TRUE(plugin.activate(48000.0, 64));
    ASSERT_TRUE(gui.create(p, "x11", false));
    const clap_window parent = hostWindow();
    ASSERT_TRUE(gui.set_parent(p, &parent));
    EXPECT_TRUE(waitFor([&] { return frame.childCount() == 1; }));
}

// What a host sees of the editor's size at the scales of common displays, of refused
// scales, and of sizes a user drags the window to.
TEST_F(GuiFixture, TakesTheHostsScaleAndSnapsSizesToItsAspectRatio)
{
    const clap_plugin* p = plugin.plugin();
    ASSERT_TRUE(gui.create(p, "x11", false));
    const auto size = [&] {
        clap_instance_size answer{0, 0};
        gui.get_size(p, &answer.width, &answer.height);
        return answer;
    };
    struct ScaleCase {
        double scale;
        clap_instance_size size;
    };
    for (const ScaleCase& c : {ScaleCase{1.0, {910, 237}}, ScaleCase{1.5, {1365, 356}}, ScaleCase{2.0, {1820, 474}},
                               ScaleCase{0.5, {455, 119}}, ScaleCase{4.0, {3640, 948}}}) {
        EXPECT_TRUE(gui.set_scale(p, c.scale)) << c.scale;
        EXPECT_EQ(size(), c.size) << c.scale;
    }
    ASSERT_TRUE(gui.set_scale(p, 1.5));
    for (const double bad : {0.0, -1.0, 0.49, 4.01, std::nan(""), std::numeric_limits<double>::infinity()}) {
        EXPECT_FALSE(gui.set_scale(p, bad)) << bad;
        EXPECT_EQ(size(), (clap_instance_size{1365, 356})) << bad;
    }

    ASSERT_TRUE(gui.can_resize(p));
    clap_gui_resize_hints hints{};
    ASSERT_TRUE(gui.get_resize_hints(p, &hints));
    EXPECT_TRUE(hints.can_resize_horizontally && hints.can_resize_vertically && hints.preserve_aspect_ratio);
    EXPECT_EQ(hints.aspect_ratio_width, 910u);
    EXPECT_EQ(hints.aspect_ratio_height, 237u);
    struct SizeCase {
        clap_instance_size asked;
        clap_instance_size adjusted;
    };
    for (const SizeCase& c : {
             SizeCase{{910, 237}, {910, 237}},
             SizeCase{{1365, 356}, {1365, 356}},
             SizeCase{{1365, 1000}, {1365, 356}},  // the width decides
             SizeCase{{2000, 300}, {1154, 300}},   // the height decides
             SizeCase{{100, 100}, {455, 119}},     // no smaller than half
             SizeCase{{9000, 9000}, {3640, 948}},  // no larger than four times
             SizeCase{{0, 0}, {455, 119}},
             SizeCase{{UINT32_MAX, UINT32_MAX}, {3640, 948}},
         }) {
        clap_instance_size adjusted = c.asked;
        ASSERT_TRUE(gui.adjust_size(p, &adjusted.width, &adjusted.height));
        EXPECT_EQ(adjusted, c.adjusted) << c.asked.width << " x " << c.asked.height;
        clap_instance_size again = adjusted;
        gui.adjust_size(p, &again.width, &again.height);
        EXPECT_EQ(again, adjusted) << "an adjusted size stays";
        EXPECT_EQ(gui.set_size(p, c.asked.width, c.asked.height), c.asked == c.adjusted);
        EXPECT_EQ(size(), c.adjusted);
    }

    // Opened at 2x, then the display's scale changes while open: the host is asked for the
    // new size and the editor's window takes it.
    ASSERT_TRUE(gui.set_scale(p, 2.0));
    const clap_window parent = hostWindow();
    ASSERT_TRUE(gui.set_parent(p, &parent));
    EXPECT_TRUE(waitFor([&] { return frame.childSize() == editortest::SizeRequest{1820, 474}; }));
    EXPECT_TRUE(plugin.resizeRequests.empty());
    ASSERT_TRUE(gui.set_scale(p, 1.5));
    EXPECT_EQ(plugin.resizeRequests, (std::vector<ClapInstance::Size>{{1365, 356}}));
    EXPECT_TRUE(waitFor([&] { return frame.childSize() == editortest::SizeRequest{1365, 356}; }));
    ASSERT_TRUE(gui.set_size(p, 1820, 474));
    EXPECT_TRUE(waitFor([&] { return frame.childSize() == editortest::SizeRequest{1820, 474}; }));
    gui.destroy(p);
}

// Each instance's editor has its own scale, window and fonts.
TEST_F(GuiFixture, TwoInstancesAtDifferentScalesKeepTheirOwn)
{
    ClapInstance other{module};
    const clap_plugin_gui& otherGui = *other.extension<clap_plugin_gui>(kExtGui);
    editortest::HostFrame otherFrame{0, 500, 910, 237};
    const clap_plugin* p = plugin.plugin();
    const clap_plugin* q = other.plugin();
    ASSERT_TRUE(gui.create(p, "x11", false));
    ASSERT_TRUE(otherGui.create(q, "x11", false));
    ASSERT_TRUE(gui.set_scale(p, 2.0));
    ASSERT_TRUE(otherGui.set_scale(q, 1.5));
    const clap_window parent = hostWindow();
    const clap_window otherParent = window(reinterpret_cast<unsigned long>(otherFrame.parentHandle()));
    ASSERT_TRUE(gui.set_parent(p, &parent));
    ASSERT_TRUE(otherGui.set_parent(q, &otherParent));
    EXPECT_TRUE(waitFor([&] { return frame.childSize() == editortest::SizeRequest{1820, 474}; }));
    EXPECT_TRUE(waitFor([&] { return otherFrame.childSize() == editortest::SizeRequest{1365, 356}; }));
    ASSERT_TRUE(otherGui.set_scale(q, 1.0));
    EXPECT_TRUE(waitFor([&] { return otherFrame.childSize() == editortest::SizeRequest{910, 237}; }));
    EXPECT_EQ(frame.childSize(), (editortest::SizeRequest{1820, 474}));
    otherGui.destroy(q);
    gui.destroy(p);
}

// The process's resident memory in bytes. The virtual display's OpenGL is Mesa's software
// renderer: textures and buffers the editor forgets are process memory too.
long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

// Each change rebuilds the fonts at the new size: the old atlas and its texture are
// released, so a hundred changes leave the memory where twenty did.
TEST_F(GuiFixture, AHundredScaleChangesWhileOpenLeaveNothingBehind)
{
    const clap_plugin* p = plugin.plugin();
    ASSERT_TRUE(gui.create(p, "x11", false));
    const clap_window parent = hostWindow();
    ASSERT_TRUE(gui.set_parent(p, &parent));
    const auto change = [&](int round) {
        const bool large = round % 2 == 0;
        ASSERT_TRUE(gui.set_scale(p, large ? 2.0 : 1.0));
        const editortest::SizeRequest size = large ? editortest::SizeRequest{1820, 474} : editortest::SizeRequest{910, 237};
        ASSERT_TRUE(waitFor([&] { return frame.childSize() == size; })) << round;
        std::this_thread::sleep_for(40ms);  // a frame or two drawn at it
    };
    // The allocator keeps some of the freed atlases' memory for reuse: the first changes set
    // the level. A font texture left behind at 2x is megabytes: 40 of them would be hundreds.
    for (int round = 0; round < 20; ++round) change(round);
    const long settled = residentBytes();
    for (int round = 20; round < 100; ++round) change(round);
    EXPECT_LT(residentBytes() - settled, 32L << 20) << "bytes more after 80 more changes";
    gui.destroy(p);
}

TEST_F(GuiFixture, AParentItCannotUseIsRefusedAndLeavesNoWindow)
{
    const clap_plugin* p = plugin.plugin();
    const clap_window parent = hostWindow();
    EXPECT_FALSE(gui.set_parent(p, &parent));  // not created
    EXPECT_FALSE(gui.create(p, "win32", false));
    ASSERT_TRUE(gui.create(p, "x11", false));
    const clap_window bogus = window(0x7ffff0);
    EXPECT_FALSE(gui.set_parent(p, &bogus));
    clap_window otherApi = parent;
    otherApi.api = kWindowApiWin32;
    EXPECT_FALSE(gui.set_parent(p, &otherApi));
    EXPECT_FALSE(gui.set_parent(p, nullptr));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(frame.childCount(), 0);

    // The same gui then takes a real parent.
    ASSERT_TRUE(gui.set_parent(p, &parent));
    EXPECT_TRUE(waitFor([&] { return frame.childCount() == 1; }));
    gui.destroy(p);
}

TEST_F(GuiFixture, AKnobDragReachesTheHostAsOneGesture)
{
    const clap_plugin* p = plugin.plugin();
    ASSERT_TRUE(plugin.activate(48000.0, 64));
    ASSERT_TRUE(gui.create(p, "x11", false));
    const clap_window parent = hostWindow();
    ASSERT_TRUE(gui.set_parent(p, &parent));
    ASSERT_TRUE(waitFor([&] { return frame.childCount() == 1; }));
    float left[64] = {};
    float right[64] = {};
    float* channels[2] = {left, right};
    const auto block = [&] { plugin.process(channels, 2, channels, 2, 64); };
    const auto pumpFor = [&](std::chrono::milliseconds duration) {
        for (auto end = std::chrono::steady_clock::now() + duration; std::chrono::steady_clock::now() < end;) {
            block();
            std::this_thread::sleep_for(5ms);
        }
    };
    pumpFor(500ms);  // the first frames

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
        [&] { return !plugin.out.events.empty() && plugin.out.events.back().type == CLAP_EVENT_PARAM_GESTURE_END; },
        block));

    const std::vector<OutputEvent>& events = plugin.out.events;
    EXPECT_EQ(events.front().type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
    int values = 0;
    for (const OutputEvent& e : events) {
        EXPECT_EQ(e.id, 0u);
        values += e.type == CLAP_EVENT_PARAM_VALUE;
    }
    EXPECT_GE(values, 2);
    EXPECT_NEAR(events[events.size() - 2].value, 0.35 + 60 / 200.0, 1e-5);
    EXPECT_NEAR(plugin.value(0), 0.35 + 60 / 200.0, 1e-5);
    gui.destroy(p);
}

}  // namespace
