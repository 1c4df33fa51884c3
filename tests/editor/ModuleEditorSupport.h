#pragma once
// The effect's editor driven through the real module, as a host drives it: a host window
// on the test's own X connection, the module's editor opened in it, idle calls and audio
// blocks from the test, and the mouse moved and pressed through the X test extension.

#include "EditorPalette.h"
#include "EditorTestSupport.h"
#include "tools/host/Effect.h"
#include "tools/host/HostContext.h"
#include "tools/host/HostModule.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace editortest {

// A window's pixels as read back from the server.
class Screenshot {
public:
    Screenshot(int width, int height, std::vector<Rgb> pixels);
    int width() const { return w; }
    int height() const { return h; }
    Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y * w + x)]; }
    // Pixels in [x0, x1) x [y0, y1) that differ from `colour` by more than `tolerance` in any channel.
    int countDifferent(int x0, int y0, int x1, int y1, Rgb colour, int tolerance = 8) const;

private:
    int w;
    int h;
    std::vector<Rgb> pixels;
};

// A mapped top-level window of a given size and place, with the pointer under control.
// It takes the keyboard focus as GTK hosts do: a window manager's WM_TAKE_FOCUS (or the
// test) moves the focus to a 1x1 input-only child of its own.
struct SizeRequest {
    int width;
    int height;
    bool operator==(const SizeRequest&) const = default;
};

class HostFrame {
public:
    HostFrame(int x, int y, int width, int height);
    ~HostFrame();
    HostFrame(const HostFrame&) = delete;
    HostFrame& operator=(const HostFrame&) = delete;

    void* parentHandle() const;
    int childCount() const;
    // The size of the first child window (the editor's); 0 x 0 without one.
    SizeRequest childSize() const;
    Screenshot capture() const;
    // Pointer position and buttons in this window's coordinates, as real input.
    void moveTo(int x, int y) const;
    void press() const;
    void release() const;
    void resize(int width, int height) const;
    // Hides or shows this window, and the editor's inside it.
    void setMapped(bool mapped) const;
    // Waits until the window is on screen, mapping it again each second: a window manager
    // that is still starting can drop the first request. False after 10 s.
    bool waitUntilViewable() const;
    // The focus to this window, then on to its focus proxy, as a host does on a click.
    void passFocusToProxy();
    // Answers WM_TAKE_FOCUS by passing the focus to the proxy; drops any other event.
    void serveEvents();

private:
    unsigned long focusProxy();
    void focusOnProxy(unsigned long time);

    struct Connection;
    std::unique_ptr<Connection> connection;
    unsigned long window;
    unsigned long proxy = 0;  // created at the first use: the editor's window is the only child till then
    Pointer pointer;
};

// One instance of the module with its host side and its editor's host window.
class ModuleEditor {
public:
    static constexpr int kRate = 48000;
    static constexpr int kBlock = 64;

    explicit ModuleEditor(const std::string& product = tools::HostContext::kProduct, int windowX = 0, int windowY = 0,
                          const std::string& modulePath = TW07_MODULE_PATH);
    ~ModuleEditor();

    tools::Effect& effect() { return *plugin; }
    HostFrame& frame() { return *hostFrame; }
    std::vector<tools::AutomationEvent> automation() const { return context.automation(); }
    std::vector<SizeRequest> sizeRequests() const;

    bool open();
    void close();
    void idle();
    // One block through processReplacing: the riff while `playing`, else silence.
    void process();
    bool playing = false;
    // Rounds of a host's loops: one idle call and four audio blocks (256 frames) each,
    // with a pause of 5 ms after each so that the audio runs at about real time.
    void pump(int rounds);
    void pumpFor(std::chrono::milliseconds duration);
    // Pumps `rounds` at a time until `condition` holds; false after 10 s, which only a
    // hang takes.
    bool pumpUntil(const std::function<bool()>& condition, int rounds = 1);
    // Pumps until the editor's window has asked for its size (it then draws).
    bool waitUntilShown();
    // Moves to (x, y), presses, goes `dy` pixels up in six moves and releases, all sent
    // at once: faster than a frame.
    void fastDrag(int x, int y, int dy);
    // Pumps until the last automation of parameter `index` is `value` (to 1e-5); whether it came.
    bool waitForAutomation(int index, float value);

private:
    tools::HostContext context;
    std::unique_ptr<tools::Effect> plugin;
    std::unique_ptr<HostFrame> hostFrame;
    mutable std::mutex requestsMutex;
    std::vector<SizeRequest> requests;
    std::vector<float> riff[2];
    std::vector<float> out[2];
    std::vector<float> silence;
    std::size_t position = 0;
};

}  // namespace editortest
