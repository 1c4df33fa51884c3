// Win32: the host's parent window is an HWND. The GUI window becomes a WS_CHILD of it
// and is turned back into a WS_POPUP before it is destroyed.

#include "kx/imgui/PlatformWindow.h"

#include "kx/EditorScale.h"
#include "kx/imgui/WindowClassName.h"

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

void PlatformWindow::prepareInit() { kxGlfwNewWindowClassName(); }

bool PlatformWindow::isWindow(void* parent)
{
    return parent != nullptr && IsWindow(static_cast<HWND>(parent)) != FALSE;
}

// Asked as a per-monitor aware thread would: the DPI of the monitor the window is on,
// whatever the awareness of the thread asking.
double PlatformWindow::systemScale(void* parent, bool)
{
    const DPI_AWARENESS_CONTEXT previous = SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    const UINT dpi = parent != nullptr ? GetDpiForWindow(static_cast<HWND>(parent)) : GetDpiForSystem();
    if (previous != nullptr) SetThreadDpiAwarenessContext(previous);
    return kx::EditorScale::fromDpi(static_cast<double>(dpi));
}

// Moved to another monitor, a per-monitor aware window has that monitor's DPI at once
// (WM_DPICHANGED and WM_DPICHANGED_AFTERPARENT announce it).
double PlatformWindow::windowScale(GLFWwindow* window)
{
    const UINT dpi = GetDpiForWindow(glfwGetWin32Window(window));
    return dpi != 0 ? kx::EditorScale::fromDpi(static_cast<double>(dpi)) : 0.0;
}

void PlatformWindow::setCreationHints()
{
    // Created hidden and shown once it is a child of the host's window: it never appears
    // as a top-level window in between (Wine waits for the X server to withdraw one that
    // was shown), and showing it must not take the keyboard focus from the host.
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_FOCUS_ON_SHOW, GLFW_FALSE);
}

int PlatformWindow::attach(GLFWwindow* window, void* parent)
{
    HWND handle = glfwGetWin32Window(window);
    setStyle(handle, WS_CHILD);
    if (SetParent(handle, static_cast<HWND>(parent)) == nullptr)
        return static_cast<int>(GetLastError());  // stays hidden
    glfwShowWindow(window);
    return 0;
}

void PlatformWindow::detach(GLFWwindow* window)
{
    HWND handle = glfwGetWin32Window(window);
    SetParent(handle, nullptr);
    setStyle(handle, WS_POPUP);
}

uintptr_t PlatformWindow::nativeHandle(GLFWwindow* window) { return reinterpret_cast<uintptr_t>(glfwGetWin32Window(window)); }

void PlatformWindow::destroy(GLFWwindow* window) { glfwDestroyWindow(window); }

// Re-parenting and destroying the GUI window send messages to the host's window, which
// this thread owns, and wait for their answers: serve those while waiting, or the render
// thread and this one wait for each other. Only sent messages are served; the host's
// posted messages stay queued for its own loop.
void PlatformWindow::join(std::thread& renderThread)
{
    HANDLE thread = pthread_gethandle(renderThread.native_handle());
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    renderThread.join();
}

}  // namespace kx::imgui
