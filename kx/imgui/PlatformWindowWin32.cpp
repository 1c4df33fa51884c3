// Win32: the host's parent window is an HWND. The GUI window becomes a WS_CHILD of it
// and is turned back into a WS_POPUP before it is destroyed.

#include "kx/imgui/PlatformWindow.h"

#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_WIN32
#include <GLFW/glfw3native.h>

namespace kx::imgui {

namespace {

constexpr LONG_PTR kStyleTopBits = 0xC0000000;  // WS_POPUP | WS_CHILD

void setStyle(HWND handle, LONG_PTR windowType)
{
    const LONG_PTR style = GetWindowLongA(handle, GWL_STYLE);
    SetWindowLongPtrA(handle, GWL_STYLE, (style & ~kStyleTopBits) | windowType);
}

}  // namespace

bool PlatformWindow::isWindow(void* parent)
{
    return parent != nullptr && IsWindow(static_cast<HWND>(parent)) != FALSE;
}

void PlatformWindow::setCreationHints() {}

int PlatformWindow::attach(GLFWwindow* window, void* parent)
{
    HWND handle = glfwGetWin32Window(window);
    setStyle(handle, WS_CHILD);
    if (SetParent(handle, static_cast<HWND>(parent)) == nullptr)
        return static_cast<int>(GetLastError());
    return 0;
}

void PlatformWindow::detach(GLFWwindow* window)
{
    HWND handle = glfwGetWin32Window(window);
    SetParent(handle, nullptr);
    setStyle(handle, WS_POPUP);
}

void PlatformWindow::destroy(GLFWwindow* window)
{
    glfwDestroyWindow(window);
}

}  // namespace kx::imgui
