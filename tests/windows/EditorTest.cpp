// The Windows module's editor under Wine, driven through the VST 2.4 record like a host:
// embedded in a host window (window tree and style bits; Wine does not draw OpenGL into
// child windows on a virtual X server), as a top-level window (its pixels), closed from
// the host's window thread, two copies of the module side by side, many openings, and a
// drag during which the host takes the keyboard focus.

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/host/HostContext.h"
#include "tools/host/HostModule.h"
#include "tools/host/Vst3Host.h"
#include "kx/vst2/VstInterface.h"
#include "tests/editor/EditorPalette.h"

namespace {

using namespace kx::vst2;
using namespace std::chrono_literals;
using editortest::Rgb;

constexpr int kWidth = 910;
constexpr int kHeight = 237;

// Ends the test program when a step that should take milliseconds has not ended after a
// generous limit: a deadlocked close would otherwise hang the suite until ctest's timeout.
class Watchdog {
public:
    explicit Watchdog(const char* what)
        : thread([this, what] {
              std::unique_lock lock(mutex);
              if (!wake.wait_for(lock, 60s, [this] { return done; })) {
                  std::fprintf(stderr, "watchdog: %s did not return within 60 s\n", what);
                  std::fflush(stderr);
                  std::_Exit(3);
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(mutex);
            done = true;
        }
        wake.notify_one();
        thread.join();
    }

private:
    std::mutex mutex;
    std::condition_variable wake;
    bool done = false;
    std::thread thread;
};

void pumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Waits for `condition`, serving this thread's window messages or not, under a watchdog.
template<class Condition>
void waitFor(const char* what, bool pump, Condition condition)
{
    Watchdog watchdog(what);
    while (!condition()) {
        if (pump) pumpMessages();
        std::this_thread::sleep_for(5ms);
    }
}

std::string classOf(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

bool isGuiClass(const std::string& name)
{
    if (name.size() != 13 || name.rfind("GLFW3_kx_", 0) != 0) return false;
    for (std::size_t i = 9; i < name.size(); ++i) {
        if (name[i] < 'a' || name[i] > 'z') return false;
    }
    return true;
}

// A host's editor frame: a top-level window of the test's thread. Closing it (WM_CLOSE)
// closes the editor first, from inside the window procedure, as hosts do.
class HostWindow {
public:
    explicit HostWindow(int y, tools::Effect* effect = nullptr) : effect(effect)
    {
        static const ATOM windowClass = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = &HostWindow::procedure;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "tw07 test host";
            return RegisterClassA(&wc);
        }();
        handle = CreateWindowExA(0, MAKEINTATOM(windowClass), "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, y,
                                 kWidth + 40, kHeight + 60, nullptr, nullptr, GetModuleHandleA(nullptr), this);
    }
    ~HostWindow() { DestroyWindow(handle); }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    HWND child() const { return GetWindow(handle, GW_CHILD); }

    HWND handle = nullptr;
    tools::Effect* effect;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l)
    {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTA*>(l);
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == WM_CLOSE && self != nullptr && self->effect != nullptr) {
            self->effect->dispatch(effEditClose);
            self->effect = nullptr;
            return 0;
        }
        return DefWindowProcA(window, message, w, l);
    }
};

struct Instance {
    explicit Instance(const char* path = TW07_MODULE_PATH) : module(path), effect(module.instantiate(host)) {}
    tools::HostContext host;
    tools::HostModule module;
    std::unique_ptr<tools::Effect> effect;
};

HWND findTopLevelEditor();

void expectEmbedded(const HostWindow& host, HWND child)
{
    EXPECT_EQ(GetParent(child), host.handle);
    const auto style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
    EXPECT_NE(style & WS_CHILD, 0u);
    EXPECT_EQ(style & WS_POPUP, 0u);
    EXPECT_TRUE(isGuiClass(classOf(child))) << classOf(child);
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, host.handle, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right - rect.left, kWidth);
    EXPECT_EQ(rect.bottom - rect.top, kHeight);
}

TEST(WindowsEditor, EmbeddedAsABorderlessChildAtTheTopLeftAndDetachedOnClose)
{
    for (const bool pumping : {true, false}) {
        SCOPED_TRACE(pumping ? "host pumps its messages" : "host never pumps");
        Instance instance;
        HostWindow host(300);
        pumpMessages();
        ASSERT_EQ(instance.effect->dispatch(effEditOpen, 0, 0, host.handle), 1);
        waitFor("the child window", pumping, [&] { return host.child() != nullptr; });
        const HWND child = host.child();
        expectEmbedded(host, child);
        {
            Watchdog watchdog("effEditClose");
            instance.effect->dispatch(effEditClose);
        }
        EXPECT_EQ(host.child(), nullptr);
        EXPECT_FALSE(IsWindow(child));
    }
}

TEST(WindowsEditor, ParentsThatAreNoWindowsAreRefused)
{
    Instance instance;
    HWND gone = nullptr;
    {
        HostWindow host(300);
        gone = host.handle;
    }
    EXPECT_EQ(instance.effect->dispatch(effEditOpen, 0, 0, nullptr), 0);
    EXPECT_EQ(instance.effect->dispatch(effEditOpen, 0, 0, gone), 0);
    EXPECT_EQ(findTopLevelEditor(), nullptr);
    HostWindow host(300);
    ASSERT_EQ(instance.effect->dispatch(effEditOpen, 0, 0, host.handle), 1);
    waitFor("the child window", true, [&] { return host.child() != nullptr; });
    Watchdog watchdog("effEditClose");
    instance.effect->dispatch(effEditClose);
}

TEST(WindowsEditor, ClosedFromTheHostsWindowProcedure)
{
    Instance instance;
    HostWindow host(300, instance.effect.get());
    ASSERT_EQ(instance.effect->dispatch(effEditOpen, 0, 0, host.handle), 1);
    waitFor("the child window", true, [&] { return host.child() != nullptr; });
    PostMessageA(host.handle, WM_CLOSE, 0, 0);
    waitFor("effEditClose in the window procedure", true, [&] { return host.effect == nullptr; });
    EXPECT_EQ(host.child(), nullptr);
}

TEST(WindowsEditor, OpensAndClosesTwentyTimes)
{
    Instance instance;
    HostWindow host(300);
    for (int opening = 0; opening < 20; ++opening) {
        ASSERT_EQ(instance.effect->dispatch(effEditOpen, 0, 0, host.handle), 1) << opening;
        waitFor("the child window", true, [&] { return host.child() != nullptr; });
        instance.effect->dispatch(effEditIdle);
        {
            Watchdog watchdog("effEditClose");
            instance.effect->dispatch(effEditClose);
        }
        ASSERT_EQ(host.child(), nullptr) << opening;
    }
}

// The GUI library would load DirectInput and XInput for joysticks at every opening and unload
// them at every closing; under Wine XInput's device thread then outlived its library and
// crashed the host at random.
TEST(WindowsEditor, LoadsNoJoystickLibraries)
{
    Instance instance;
    HostWindow host(300);
    ASSERT_EQ(instance.effect->dispatch(effEditOpen, 0, 0, host.handle), 1);
    waitFor("the child window", true, [&] { return host.child() != nullptr; });
    for (const char* library : {"xinput1_4.dll", "xinput1_3.dll", "xinput9_1_0.dll", "dinput8.dll"})
        EXPECT_EQ(GetModuleHandleA(library), nullptr) << library;
    Watchdog watchdog("effEditClose");
    instance.effect->dispatch(effEditClose);
}

TEST(WindowsEditor, TwoCopiesOfTheModuleRegisterWindowClassesOfTheirOwn)
{
    Instance first;
    Instance second(TW07_MODULE_COPY_PATH);
    ASSERT_NE(first.module.path(), second.module.path());
    HostWindow firstHost(0);
    HostWindow secondHost(400);
    ASSERT_EQ(first.effect->dispatch(effEditOpen, 0, 0, firstHost.handle), 1);
    ASSERT_EQ(second.effect->dispatch(effEditOpen, 0, 0, secondHost.handle), 1);
    waitFor("both child windows", true, [&] { return firstHost.child() != nullptr && secondHost.child() != nullptr; });
    const std::string firstClass = classOf(firstHost.child());
    const std::string secondClass = classOf(secondHost.child());
    EXPECT_TRUE(isGuiClass(firstClass)) << firstClass;
    EXPECT_TRUE(isGuiClass(secondClass)) << secondClass;
    EXPECT_NE(firstClass, secondClass);
    Watchdog watchdog("effEditClose of both copies");
    first.effect->dispatch(effEditClose);
    second.effect->dispatch(effEditClose);
}

// The pointer as real input: to a point of `window`'s client area, and its left button.
void pointerTo(HWND window, int x, int y)
{
    POINT point{x, y};
    ClientToScreen(window, &point);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(point.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(point.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

void leftButton(bool down)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof input);
}

// Serves this thread's messages for a while, as a host's window thread does.
void serveFor(std::chrono::milliseconds duration)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        pumpMessages();
        std::this_thread::sleep_for(5ms);
    }
}

// A host that gives its own window the keyboard focus during a click (SetFocus): the
// editor's window loses the focus while the button is held, and the drag goes on.
TEST(WindowsEditor, DragGoesOnWhenTheHostTakesTheFocusDuringIt)
{
    constexpr int kDriveX = 54;  // the drive knob's centre
    constexpr int kKnobY = 143;
    Instance instance;
    HostWindow host(300);
    ASSERT_EQ(instance.effect->dispatch(effEditOpen, 0, 0, host.handle), 1);
    HWND child = nullptr;
    waitFor("the child window", true, [&] { return (child = host.child()) != nullptr; });
    SetForegroundWindow(host.handle);
    // The host's thread shares the input state of the editor's, whose window is its child.
    AttachThreadInput(GetCurrentThreadId(), GetWindowThreadProcessId(child, nullptr), TRUE);
    SetFocus(child);
    serveFor(300ms);
    ASSERT_EQ(GetFocus(), child);

    pointerTo(child, kDriveX, kKnobY);
    serveFor(200ms);
    leftButton(true);
    serveFor(200ms);
    SetFocus(host.handle);
    serveFor(200ms);
    for (int step = 1; step <= 6; ++step) {
        pointerTo(child, kDriveX, kKnobY - 10 * step);
        serveFor(100ms);
    }
    leftButton(false);
    const float expected = 0.35f + 60.0f / 200.0f;
    bool reached = false;
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!reached && std::chrono::steady_clock::now() < end) {
        serveFor(50ms);
        const auto events = instance.host.automation();
        reached = !events.empty() && events.back().index == 0 && std::abs(events.back().value - expected) < 1e-5f;
    }
    const auto events = instance.host.automation();
    EXPECT_TRUE(reached) << events.size() << " automation events, the last "
                         << (events.empty() ? -1.0f : events.back().value);
    Watchdog watchdog("effEditClose");
    instance.effect->dispatch(effEditClose);
}

// The VST 3 view in a host's HWND: embedded, refused where it cannot be, and a drag reaching
// the host as beginEdit, performEdit and endEdit from the thread timer the host's message
// loop serves.
TEST(WindowsEditor, Vst3ViewEmbedsAndTellsTheHostOfADragFromItsUiThread)
{
    using namespace tools::vst3;
    constexpr int kDriveX = 54;
    constexpr int kKnobY = 143;
    Vst3Module module(TW07_VST3_PATH);
    Vst3Instance instance(module);
    HostWindow host(300);
    pumpMessages();
    IPlugView* view = instance.controller().createView("editor");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
    EXPECT_EQ(view->attached(reinterpret_cast<void*>(0x12345), kPlatformTypeHWND), kResultFalse);
    EXPECT_EQ(host.child(), nullptr);
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(view->attached(host.handle, kPlatformTypeHWND), kResultOk);
        waitFor("the child window", true, [&] { return host.child() != nullptr; });
        expectEmbedded(host, host.child());
        if (round == 1) break;
        Watchdog watchdog("removed");
        view->removed();
        EXPECT_EQ(host.child(), nullptr);
    }
    const HWND child = host.child();
    SetForegroundWindow(host.handle);
    serveFor(300ms);
    pointerTo(child, kDriveX, kKnobY);
    serveFor(200ms);
    leftButton(true);
    serveFor(200ms);
    for (int step = 1; step <= 6; ++step) {
        pointerTo(child, kDriveX, kKnobY - 10 * step);
        serveFor(100ms);
    }
    leftButton(false);
    bool ended = false;
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!ended && std::chrono::steady_clock::now() < end) {
        serveFor(50ms);
        const std::vector<HostEdit> edits = instance.edits();
        ended = !edits.empty() && edits.back().kind == HostEdit::Kind::kEnd;
    }
    const std::vector<HostEdit> edits = instance.edits();
    ASSERT_TRUE(ended) << edits.size() << " edits";
    EXPECT_EQ(edits.front().kind, HostEdit::Kind::kBegin);
    EXPECT_NEAR(edits[edits.size() - 2].value, 0.35 + 60 / 200.0, 1e-5);
    Watchdog watchdog("removed");
    view->removed();
    view->release();
}

// The editor's top-level window of this process, once it is visible.
// Run by itself with the desktop at 192 DPI: the editor at twice its layout's size, through
// VST 2 (which gives no scale) and through VST 3 from a host that gives none. The host is
// per-monitor DPI aware, as today's hosts are.
TEST(WindowsEditorAt200Percent, OpensAtTwiceTheLayoutsSize)
{
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    Instance instance;
    ERect* rect = nullptr;
    ASSERT_EQ(instance.effect->dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 2 * kWidth);
    EXPECT_EQ(rect->bottom - rect->top, 2 * kHeight);
    HostWindow host(100);
    pumpMessages();
    ASSERT_EQ(instance.effect->dispatch(effEditOpen, 0, 0, host.handle), 1);
    waitFor("the child window", true, [&] { return host.child() != nullptr; });
    RECT child{};
    waitFor("the child at its size", true, [&] {
        GetClientRect(host.child(), &child);
        return child.right == 2 * kWidth;
    });
    EXPECT_EQ(child.bottom, 2 * kHeight);
    instance.effect->dispatch(effEditClose);

    using namespace tools::vst3;
    Vst3Module module(TW07_VST3_PATH);
    Vst3Instance plugin(module);
    Vst3Frame frame;
    IPlugView* view = plugin.controller().createView("editor");
    ASSERT_NE(view, nullptr);
    view->setFrame(&frame);
    HostWindow vst3Host(100);
    ASSERT_EQ(view->attached(vst3Host.handle, kPlatformTypeHWND), kResultOk);
    waitFor("the view to ask for its size", true, [&] { return !frame.resizeRequests.empty(); });
    EXPECT_EQ(frame.resizeRequests.back().right, 2 * kWidth);
    EXPECT_EQ(frame.resizeRequests.back().bottom, 2 * kHeight);
    view->removed();
    view->setFrame(nullptr);
    view->release();
}

HWND findTopLevelEditor()
{
    HWND found = nullptr;
    EnumWindows(
        [](HWND window, LPARAM out) -> BOOL {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == GetCurrentProcessId() && IsWindowVisible(window) && isGuiClass(classOf(window))) {
                *reinterpret_cast<HWND*>(out) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The window's pixels as the screen shows them.
class ScreenShot {
public:
    explicit ScreenShot(HWND window)
    {
        RECT rect{};
        GetWindowRect(window, &rect);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;  // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, kWidth, kHeight, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();
        const auto* bgra = static_cast<const unsigned char*>(bits);
        pixels.assign(bgra, bgra + kWidth * kHeight * 4);
        SelectObject(memory, previous);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }

    Rgb at(int x, int y) const
    {
        const std::size_t i = (static_cast<std::size_t>(y) * kWidth + x) * 4;
        return {pixels[i + 2], pixels[i + 1], pixels[i]};
    }

    bool matches(int x, int y, Rgb expected) const
    {
        const Rgb p = at(x, y);
        return std::abs(p.r - expected.r) <= 3 && std::abs(p.g - expected.g) <= 3 && std::abs(p.b - expected.b) <= 3;
    }

private:
    std::vector<unsigned char> pixels;
};

TEST(WindowsEditor, TopLevelWindowShowsTheLayoutsColours)
{
    using namespace editortest::palette;
    Instance instance;
    // Wine under a virtual X server draws OpenGL only into top-level windows: the editor is
    // opened in a host window as usual, then lifted out of it for the picture.
    HostWindow host(300);
    ASSERT_EQ(instance.effect->dispatch(effEditOpen, 0, 0, host.handle), 1);
    HWND embedded = nullptr;
    waitFor("the embedded editor", true, [&] { return (embedded = host.child()) != nullptr; });
    const auto style = static_cast<DWORD>(GetWindowLongA(embedded, GWL_STYLE));
    SetWindowLongPtrA(embedded, GWL_STYLE, static_cast<LONG_PTR>((style & ~DWORD(WS_CHILD)) | WS_POPUP));
    SetParent(embedded, nullptr);
    SetWindowPos(embedded, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    HWND window = nullptr;
    waitFor("the top-level editor window", true, [&] { return (window = findTopLevelEditor()) != nullptr; });
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, kWidth);
    EXPECT_EQ(client.bottom, kHeight);

    // Drawn once the first frames have reached the screen.
    waitFor("the first drawn frame", true, [&] { return ScreenShot(window).matches(600, 10, kHeaderStrip); });
    const ScreenShot shot(window);
    struct Probe {
        int x, y;
        Rgb colour;
        const char* what;
    };
    const Probe probes[] = {
        {600, 10, kHeaderStrip, "header strip"}, {8, 225, kBackground, "background"},
        {20, 200, kPanel, "drive panel"},        {370, 200, kPanel, "tone panel"},
        {580, 100, kScopeFrame, "scope frame"},  {64, 151, kGreen, "drive knob"},
        {403, 155, kLightBlue, "tone knob"},
    };
    for (const Probe& p : probes) {
        const Rgb seen = shot.at(p.x, p.y);
        EXPECT_TRUE(shot.matches(p.x, p.y, p.colour))
            << p.what << " at " << p.x << "," << p.y << " is " << seen.r << "," << seen.g << "," << seen.b;
    }
    Watchdog watchdog("effEditClose");
    instance.effect->dispatch(effEditClose);
}

}  // namespace
