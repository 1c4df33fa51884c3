#pragma once
// Shared pieces of the editor window tests: a minimal editor, a host-side parent
// window on the test's own X connection, and process-wide counts of threads and sockets.

#include "kx/imgui/ImguiEditor.h"

#include "imgui.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

typedef struct _XDisplay Display;

namespace editortest {

class TestEditor : public kx::imgui::ImguiEditor {
public:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 200;

    TestEditor() : ImguiEditor(kWidth, kHeight) {}
    ~TestEditor() override { close(); }

    void idle() override {}

    std::atomic<int> frames{0};
    std::atomic<int> fontSetups{0};
    std::atomic<int> clicks{0};

protected:
    // One window filling the editor, with a button over most of it that counts clicks.
    void draw() override
    {
        ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
        ImGui::SetNextWindowSize(ImVec2(kWidth, kHeight));
        ImGui::Begin("test", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove);
        ImGui::InvisibleButton("area", ImVec2(kWidth - 20, kHeight - 20));
        if (ImGui::IsItemClicked(0)) clicks.fetch_add(1);
        ImGui::End();
        frames.fetch_add(1);
    }
    void setupFonts(ImGuiIO&, float) override { fontSetups.fetch_add(1); }

};

using XWindowId = unsigned long;

// The children of `window`, once the server has answered every request made before.
std::vector<XWindowId> childrenOf(Display* display, XWindowId window);

struct ChildGeometry {
    int x;
    int y;
    int width;
    int height;
    bool viewable;
};

// A mapped top-level window on a connection of its own, as a host would give.
class HostWindow {
public:
    explicit HostWindow(int x = 0, int y = 0);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    void* parentHandle() const;
    std::vector<XWindowId> children() const;
    // Windows directly below the root that are on screen.
    std::size_t topLevelWindows() const;
    // The id of a window this connection created and destroyed again.
    void* staleHandle() const;
    // A request that fails on this connection, answered before this returns.
    void causeError() const;
    // Hides or shows this window, and with it the editor's inside it, as some hosts do
    // instead of closing the editor.
    void setMapped(bool mapped) const;
    // Position and size of a child window relative to this one, and whether it is viewable.
    ChildGeometry geometryOf(XWindowId child) const;
    // Moves the pointer into `child` and clicks the left button there, without giving
    // the child the keyboard focus.
    void clickInside(XWindowId child, int x, int y) const;

private:
    struct Connection;
    Connection* connection;
    XWindowId window;
};

// The pointer moved and its left button pressed as real input, through the X test
// extension, on a connection of its own.
class Pointer {
public:
    Pointer();
    ~Pointer();
    Pointer(const Pointer&) = delete;
    Pointer& operator=(const Pointer&) = delete;

    // To (x, y) in `window`'s coordinates.
    void moveTo(void* window, int x, int y) const;
    void press() const;
    void release() const;

private:
    struct Connection;
    Connection* connection;
};

// Checks `condition` every 5 ms; false once `timeout` has passed, which only a hang takes.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(10));
// The same, calling `meanwhile` (a host's work: audio blocks, timers) between the checks.
bool waitFor(const std::function<bool()>& condition, const std::function<void()>& meanwhile,
             std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Frames of an editor of its own, open in a host window of its own, as the measure of
// time where a test has no event to wait for: that something does not happen while
// other editors draw, or that a render thread has run its loop a while. It keeps pace
// with the editors under test however busy the machine is.
class FrameClock {
public:
    FrameClock();
    // Waits until this clock's editor has drawn `count` more frames; false on a hang.
    bool waitFrames(int count);

private:
    HostWindow host;
    TestEditor editor;
};
int threadCount();
int socketCount();

}  // namespace editortest
