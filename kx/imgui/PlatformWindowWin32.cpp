// Win32: the host's parent window is an HWND. The GUI window becomes a WS_CHILD of it
// and is turned back into a WS_POPUP before it is destroyed.

#include "kx/imgui/PlatformWindow.h"

#include "kx/imgui/GlfwWindowClass.h"

#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_WIN32
#include <GLFW/glfw3native.h>
#include <pthread.h>

namespace kx::imgui {

namespace {

constexpr DWORD kStyleTopBits = WS_POPUP | WS_CHILD;

// Styles are 32 bits: read as such, so that WS_POPUP is not sign-extended into the
// upper half of the pointer-sized value written back.
void setStyle(HWND handle, DWORD windowType)
{
    const auto style = static_cast<DWORD>(GetWindowLongA(handle, GWL_STYLE));
    SetWindowLongPtrA(handle, GWL_STYLE, static_cast<LONG_PTR>((style & ~kStyleTopBits) | windowType));
}

}  // namespace

void PlatformWindow::prepareInit()
{
    kxGlfwNewWindowClassName();
}

void PlatformWindow::initialise() {}

void PlatformWindow::terminate() {}

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
