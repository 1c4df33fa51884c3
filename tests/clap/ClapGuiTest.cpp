// The CLAP module's editor in a host window on the virtual X server: created, embedded and
// destroyed as hosts do, refused where it cannot be embedded, and a knob drag reaching the
// host as a gesture.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "tests/editor/EmptyWorkingFolder.h"
#include "tools/host/ClapHost.h"
#include "ModuleEditorSupport.h"

namespace {

// Every editor here opens in an empty folder it may not write to.
[[maybe_unused]] const auto* const workingFolder =
    ::testing::AddGlobalTestEnvironment(new editortest::EmptyWorkingFolder);

using namespace tools::clap;
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
    EXPECT_FALSE(gui.can_resize(p));

    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(gui.create(p, "x11", false)) << round;
        EXPECT_FALSE(gui.create(p, "x11", false));
        uint32_t width = 0;
        uint32_t height = 0;
        ASSERT_TRUE(gui.get_size(p, &width, &height));
        EXPECT_EQ(width, 910u);
        EXPECT_EQ(height, 237u);
        EXPECT_TRUE(gui.set_size(p, 910, 237));
        EXPECT_FALSE(gui.set_size(p, 600, 200));
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
