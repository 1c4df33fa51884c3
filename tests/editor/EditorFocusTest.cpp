// Knob drags while the host moves the keyboard focus about, as hosts on click-to-focus
// desktops do on every click: the window manager focuses the host's top-level window and
// the host passes the focus on to a proxy window of its own. The editor's window, under
// the pointer, sees the focus come and go while the button is held; the drag must go on
// until the button is really released.

#include "tests/editor/EmptyWorkingFolder.h"
#include "ModuleEditorSupport.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <csignal>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Every editor here opens in an empty folder it may not write to.
[[maybe_unused]] const auto* const workingFolder =
    ::testing::AddGlobalTestEnvironment(new editortest::EmptyWorkingFolder);

using editortest::ModuleEditor;
using namespace std::chrono_literals;

constexpr int kDriveX = 54;  // knob centres
constexpr int kToneLoX = 403;
constexpr int kKnobY = 143;
constexpr float kDriveDefault = 0.35f;
constexpr float kToneLoDefault = 0.5f;
constexpr float kPerPixel = 1.0f / 200.0f;

// Press on a knob, let the host move the focus (or the window manager, on the press),
// then go `dy` pixels up in six steps a few frames apart, and release.
void slowDrag(ModuleEditor& m, int x, int y, int dy, bool hostTakesFocus)
{
    m.frame().moveTo(x, y);
    m.pumpFor(100ms);
    m.frame().press();
    m.pumpFor(100ms);
    if (hostTakesFocus) {
        m.frame().passFocusToProxy();
        m.pumpFor(100ms);
    }
    for (int step = 1; step <= 6; ++step) {
        m.frame().moveTo(x, y - dy * step / 6);
        m.pumpFor(50ms);
    }
    m.frame().release();
}

float afterDrag(float from, int dy) { return from + static_cast<float>(dy) * kPerPixel; }

TEST(EditorFocus, DragGoesOnWhileTheHostPassesTheFocusToItsProxy)
{
    ModuleEditor m;
    ASSERT_TRUE(m.open());
    ASSERT_TRUE(m.waitUntilShown());
    slowDrag(m, kDriveX, kKnobY, 60, true);
    EXPECT_TRUE(m.waitForAutomation(0, afterDrag(kDriveDefault, 60)));
    m.process();
    EXPECT_NEAR(m.effect().getParameter(0), afterDrag(kDriveDefault, 60), 1e-5f);

    // Focus changes with no button held change nothing, and the next drag works as usual.
    m.frame().passFocusToProxy();
    slowDrag(m, kDriveX, kKnobY, -40, false);
    EXPECT_TRUE(m.waitForAutomation(0, afterDrag(kDriveDefault, 20)));
}

TEST(EditorFocus, EachOfTwoEditorsKeepsItsDragThroughFocusChanges)
{
    ModuleEditor first("tw07-host", 0, 0);
    ModuleEditor second("tw07-host", 0, 300);
    ASSERT_TRUE(first.open());
    ASSERT_TRUE(second.open());
    ASSERT_TRUE(first.waitUntilShown());
    ASSERT_TRUE(second.waitUntilShown());

    slowDrag(first, kDriveX, kKnobY, 60, true);
    EXPECT_TRUE(first.waitForAutomation(0, afterDrag(kDriveDefault, 60)));
    slowDrag(second, kToneLoX, kKnobY, -60, true);
    EXPECT_TRUE(second.waitForAutomation(4, afterDrag(kToneLoDefault, -60)));
    for (ModuleEditor* m : {&first, &second}) m->process();
    EXPECT_NEAR(first.effect().getParameter(0), afterDrag(kDriveDefault, 60), 1e-5f);
    EXPECT_EQ(first.effect().getParameter(4), kToneLoDefault);
    EXPECT_EQ(second.effect().getParameter(0), kDriveDefault);
    EXPECT_NEAR(second.effect().getParameter(4), afterDrag(kToneLoDefault, -60), 1e-5f);
}

// A host that hides its window in the middle of a drag takes the pointer away from the
// editor: the drag ends there, and the pointer over the knob afterwards moves nothing.
TEST(EditorFocus, HidingTheHostsWindowEndsTheDrag)
{
    ModuleEditor m;
    ASSERT_TRUE(m.open());
    ASSERT_TRUE(m.waitUntilShown());
    m.frame().moveTo(kDriveX, kKnobY);
    m.pumpFor(100ms);
    m.frame().press();
    m.frame().moveTo(kDriveX, kKnobY - 20);
    ASSERT_TRUE(m.waitForAutomation(0, afterDrag(kDriveDefault, 20)));
    m.frame().setMapped(false);
    m.pumpFor(200ms);
    m.frame().release();
    m.pumpFor(100ms);
    m.frame().setMapped(true);
    m.pumpFor(200ms);
    const std::size_t shown = m.automation().size();
    for (int step = 1; step <= 4; ++step) {
        m.frame().moveTo(kDriveX, kKnobY - 20 - 10 * step);
        m.pumpFor(50ms);
    }
    m.pumpFor(200ms);
    const auto events = m.automation();
    for (std::size_t i = shown; i < events.size(); ++i)
        EXPECT_FALSE(events[i].index == 0 && events[i].value > afterDrag(kDriveDefault, 20) + 1e-5f);
    m.process();
    EXPECT_NEAR(m.effect().getParameter(0), afterDrag(kDriveDefault, 20), 1e-5f);
}

// openbox, Debian's click-to-focus window manager, on this test's display: it focuses the
// host's window on every click and sends it WM_TAKE_FOCUS, which the host answers by
// focusing its proxy.
class WindowManager {
public:
    WindowManager()
    {
        char program[] = "openbox";
        char option[] = "--sm-disable";
        char* argv[] = {program, option, nullptr};
        if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0) pid = 0;
        display = XOpenDisplay(nullptr);
    }
    ~WindowManager()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        if (display != nullptr) XCloseDisplay(display);
    }
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    // Whether it has started and taken the screen.
    bool ready() const
    {
        if (pid <= 0 || display == nullptr) return false;
        const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
        return editortest::waitFor([&] {
            Atom type = 0;
            int format = 0;
            unsigned long count = 0;
            unsigned long left = 0;
            unsigned char* data = nullptr;
            XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type, &format,
                               &count, &left, &data);
            if (data != nullptr) XFree(data);
            return count == 1;
        });
    }

private:
    pid_t pid = 0;
    Display* display = nullptr;
};

TEST(EditorFocus, DragsWorkUnderAClickToFocusWindowManager)
{
    WindowManager manager;
    if (!manager.ready()) GTEST_SKIP() << "openbox did not start (Debian package openbox)";
    ModuleEditor m;
    ASSERT_TRUE(m.frame().waitUntilViewable());
    ASSERT_TRUE(m.open());
    ASSERT_TRUE(m.waitUntilShown());
    float expected = kDriveDefault;
    for (const int dy : {60, -40, 30, -20}) {
        slowDrag(m, kDriveX, kKnobY, dy, false);
        expected = afterDrag(expected, dy);
        EXPECT_TRUE(m.waitForAutomation(0, expected)) << "drag of " << dy << " px";
        expected = m.effect().getParameter(0);
    }
}

}  // namespace
