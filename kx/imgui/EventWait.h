#pragma once
// Waiting between frames without holding the set-up lock, woken early where the
// windowing system can say that events came in. One implementation per windowing system.

#include <chrono>

namespace kx::imgui {

class EventWait {
public:
    // Until `deadline`, or until the window system has something for the window (X11:
    // its connection is readable; Win32: the thread has messages). Needs GLFW initialised.
    static void until(std::chrono::steady_clock::time_point deadline);
};

}  // namespace kx::imgui
