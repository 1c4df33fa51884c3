#include "kx/imgui/PlacementWatch.h"

#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_WIN32
#include <GLFW/glfw3native.h>

namespace kx::imgui {

bool PlacementWatch::moved(GLFWwindow* window)
{
    HWND handle = glfwGetWin32Window(window);
    RECT rect{};
    GetWindowRect(handle, &rect);
    const auto nowParent = reinterpret_cast<std::uintptr_t>(GetAncestor(handle, GA_PARENT));
    const long nowStyle = GetWindowLongA(handle, GWL_STYLE);
    const bool changed = nowParent != parent || nowStyle != style || rect.left != x || rect.top != y;
    parent = nowParent;
    style = nowStyle;
    x = rect.left;
    y = rect.top;
    return changed;
}

}  // namespace kx::imgui
