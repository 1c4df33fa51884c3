// Win32: the window's messages belong to the thread that created it, which is this one,
// but GLFW waits for them only without a deadline this side can share; a plain sleep.

#include "kx/imgui/EventWait.h"

#include <thread>

namespace kx::imgui {

void EventWait::until(std::chrono::steady_clock::time_point deadline) { std::this_thread::sleep_until(deadline); }

}  // namespace kx::imgui
