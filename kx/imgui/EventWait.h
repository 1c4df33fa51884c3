#pragma once
// Waiting between frames without holding the set-up lock, woken early where the
// windowing system can say that events came in. One implementation per windowing system.

#include <chrono>

namespace kx::imgui {

class EventWait {
public:
    // Until `deadline`, or (X11) until the window system's connection has something to
    // read. Needs GLFW initialised.
    static void until(std::chrono::steady_clock::time_point deadline);
};

}  // namespace kx::imgui
