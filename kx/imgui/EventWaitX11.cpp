// X11: GLFW's display connection becoming readable ends the wait. Events another render
// thread reads first wake nobody here: those are seen at the deadline.

#include "kx/imgui/EventWait.h"

#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>
#include <poll.h>

#include <algorithm>
#include <cstdint>

namespace kx::imgui {

bool EventWait::until(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd connection{ConnectionNumber(glfwGetX11Display()), POLLIN, 0};
    return poll(&connection, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0))) != 0;
}

}  // namespace kx::imgui
