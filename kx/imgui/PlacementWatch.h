#pragma once
// Changes of the window's place that lose its picture where the windowing system sends
// no expose for them. Win32 (and Wine): a window taken out of its parent, given another
// style or moved on screen gets no paint message on every system, and Wine draws OpenGL
// into top-level windows only. X11 sends an expose for each: nothing to watch there.
// Render thread.

#include <cstdint>

struct GLFWwindow;

namespace kx::imgui {

class PlacementWatch {
public:
    // Whether the window's parent, style or place on screen changed since the last call.
    bool moved(GLFWwindow* window);

private:
    std::uintptr_t parent = 0;
    long style = 0;
    long x = 0;
    long y = 0;
};

}  // namespace kx::imgui
