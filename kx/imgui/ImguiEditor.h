#pragma once
// An editor that draws with Dear ImGui into a borderless OpenGL window of its own,
// embedded in the host's window and redrawn on a render thread of its own.
//
// A derived class draws the interface in draw() and loads fonts and style in
// setupFonts(). Its destructor must call close() first: the render thread calls
// those hooks, and must not run once the derived part of the object is gone.
//
// The interface is laid out in the layout's own units at every scale: the frame is drawn
// into a framebuffer `scale` times larger, with fonts rasterised at the scaled size, and
// the mouse comes in the same units.

#include "kx/AudioPluginEditor.h"
#include "kx/EditorScale.h"
#include "kx/imgui/FrameCanvas.h"
#include "kx/imgui/FrameDamage.h"
#include "kx/imgui/MouseEvents.h"
#include "kx/imgui/PlacementWatch.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

struct GLFWwindow;
struct ImGuiIO;

namespace kx::imgui {

class ImguiEditor : public AudioPluginEditor {
public:
    // Opens no window, connects to no display and starts no thread: hosts construct
    // effects (and so editors) just to scan them. width x height is the layout's size.
    ImguiEditor(int width, int height);
    ~ImguiEditor() override;

    ImguiEditor(const ImguiEditor&) = delete;
    ImguiEditor& operator=(const ImguiEditor&) = delete;

    // Starts the render thread, which creates the window as a child of `parent`
    // (X11: a Window id; Win32: an HWND). Returns false, and opens nothing, when the
    // render thread is still running or cannot be started, or `parent` is no window.
    bool open(void* parent) override;
    // Stops the render thread and waits until it has torn the window down.
    void close() override;
    const EditorSize* getSize() const override;
    void setSize(int width, int height) override;
    bool windowIsOpen() const override;
    uintptr_t nativeWindow() const override { return nativeHandle.load(); }
    bool setScale(double scale) override;
    double scale() const override { return wantedScale.load(); }
    EditorSize layoutSize() const override { return layout; }
    bool canResize() const override { return true; }
    EditorSize adjustSize(int width, int height) const override;
    void useDesktopScale(void* parent) override;

    // Test support: how frames are drawn from the next one on (FrameCanvas::Mode).
    // kWholeIntoBackBuffer also builds and draws a frame on every tick, as the editor
    // did before it drew only what changed: the reference its pictures are held to.
    void setDrawingMode(FrameCanvas::Mode mode) { drawingMode.store(mode); }
    int framesCompared() const { return canvas.framesCompared(); }
    // Frames drawn and shown since construction: a frame that shows nothing new is not.
    int framesPresented() const { return presentedFrames.load(std::memory_order_relaxed); }
    long long pixelsDiffering() const { return canvas.pixelsDiffering(); }

protected:
    // Render thread, once per frame between the start and the end of a Dear ImGui frame.
    virtual void draw();
    // Render thread, on every tick between frames: whether what draw() shows may have
    // changed without input since it last ran (levels from the audio thread, values
    // from the host). Only how soon a change shows depends on it: without news a frame
    // is still built every second and drawn where it differs. The default says always.
    virtual bool newsSinceLastFrame();
    // Render thread, at each opening after the context and both back-ends are set up, and
    // after each change of scale: adds the fonts, rasterised at `scale` times their size
    // in the layout (the frame shows them at that size), and sets the style.
    virtual void setupFonts(ImGuiIO& io, float scale);
    // Render thread: the display's pixels per unit of the layout in this frame.
    float drawScale() const { return static_cast<float>(drawnScale); }
    // Shortest time from one frame's start to the next (16 ms). Where swapping waits
    // for a 60 Hz display the frames take longer anyway; where it does not (no vertical
    // sync, e.g. a virtual X server) this keeps an editor from spinning a whole core.
    // Tests lengthen it to see what slow frames do to the input.
    void setFramePeriod(std::chrono::milliseconds period);

private:
    bool acceptsParent(void* parent);
    void run(void* parent);
    bool setUp(void* parent);
    void frameLoop();
    void tearDown();
    bool followScale();
    void followDesktopScale();
    void scaleDisplay(ImGuiIO& io) const;
    void buildFonts();
    static void onMouseButton(GLFWwindow* window, int button, int action, int mods);
    static void onCursorPos(GLFWwindow* window, double x, double y);
    static void onFocus(GLFWwindow* window, int focused);
    static void onPictureLost(GLFWwindow* window);
    static void onIconify(GLFWwindow* window, int iconified);
    static void onFramebufferSize(GLFWwindow* window, int width, int height);

    std::atomic<bool> windowOpen{false};
    std::atomic<uintptr_t> nativeHandle{0};
    std::atomic<bool> running{false};
    std::thread renderThread;
    const EditorSize layout;  // at scale 1
    mutable EditorSize size;  // at the wanted scale, as getSize last gave it; host's thread
    // Set on the host's thread, and on the render thread where the desktop's scale changes;
    // the render thread follows at its next frame.
    std::atomic<double> wantedScale{1.0};
    std::atomic<bool> followDesktop{false};
    double drawnScale = 1.0;  // render thread: the scale of the window and the fonts
    GLFWwindow* window = nullptr;
    std::atomic<std::chrono::milliseconds::rep> framePeriodMs{16};
    MouseEvents mouse;
    FrameDamage damage;        // invalidated by the callbacks, on whichever render thread polls
    FrameCanvas canvas;        // render thread only
    PlacementWatch placement;  // render thread only
    std::atomic<int> presentedFrames{0};
    std::atomic<FrameCanvas::Mode> drawingMode{FrameCanvas::Mode::kRegions};
    // Buttons whose release GLFW is about to report only because the window lost the
    // keyboard focus (bit per button); guarded by the set-up lock, as the callbacks are.
    unsigned focusReleases = 0;
};

}  // namespace kx::imgui
