#pragma once
// Showing regions of the window's back buffer without a swap, where the driver offers
// it: the back buffer then stays as it was, and only those pixels go to the screen.
// One implementation per windowing system. Render thread, the window's context current.

#include "kx/imgui/FrameDamage.h"

struct GLFWwindow;

namespace kx::imgui {

class RegionPresent {
public:
    // Whether the driver offers it for this window's context.
    static bool available(GLFWwindow* window);
    // Copies `region` (pixels from the top left) of the back buffer to the screen.
    static void show(GLFWwindow* window, const PixelRect& region, int framebufferHeight);
};

}  // namespace kx::imgui
