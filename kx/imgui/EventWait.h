#pragma once
// Waiting between frames without holding the set-up lock, woken early where the
// windowing system can say that events came in. One implementation per windowing system.

#include <chrono>

namespace kx::imgui {

class EventWait {
public:
    // Until `deadline`, or until the window system has something for the window (X11:
    // its connection is readable; Win32: the thread has messages). False when it surely
    // has nothing: its events need not be polled. Needs GLFW initialised.
    static bool until(std::chrono::steady_clock::time_point deadline);
};

}  // namespace kx::imgui
