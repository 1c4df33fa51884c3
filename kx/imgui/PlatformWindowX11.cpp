// X11: the host's parent window is an X window id carried in the pointer argument.
// GLFW has its own display connection; window ids are server-wide, so re-parenting
// across connections is fine. Every call here runs under the editor's set-up lock.

#include "kx/imgui/PlatformWindow.h"

#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>

#include <atomic>
#include <cstdint>

namespace kx::imgui {

namespace {

// X errors on GLFW's connection (ours alone) are collected instead of reaching Xlib's
// default handler, which would end the host's process: a host may destroy its window,
// and with it our child, before it closes the editor. Errors on the host's own
// connections go on to the handler that was installed before.
std::atomic<Display*> ownDisplay{nullptr};
std::atomic<XErrorHandler> previousHandler{nullptr};
std::atomic<int> firstError{0};

int handleError(Display* display, XErrorEvent* event)
{
    if (display == ownDisplay.load()) {
        int none = 0;
        firstError.compare_exchange_strong(none, event->error_code);
        return 0;
    }
    const XErrorHandler previous = previousHandler.load();
    return previous != nullptr ? previous(display, event) : 0;
}

// First X error of the requests made since the last call, once the server has answered them.
int takeError(Display* display)
{
    XSync(display, False);
    return firstError.exchange(0);
}

}  // namespace

void PlatformWindow::prepareInit() {}

void PlatformWindow::initialise()
{
    ownDisplay.store(glfwGetX11Display());
    previousHandler.store(XSetErrorHandler(&handleError));
}

void PlatformWindow::terminate()
{
    // Put the earlier handler back only if nobody has replaced ours since.
    const XErrorHandler current = XSetErrorHandler(previousHandler.load());
    if (current != &handleError)
        XSetErrorHandler(current);
    ownDisplay.store(nullptr);
}

void PlatformWindow::setCreationHints()
{
    // Created hidden and shown once it is inside the host's window, so it never
    // appears as a top-level window in between; showing it must not take the
    // keyboard focus from the host.
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_FOCUS_ON_SHOW, GLFW_FALSE);
}

int PlatformWindow::attach(GLFWwindow* window, void* parent)
{
    if (parent == nullptr) {
        glfwShowWindow(window);
        return 0;
    }
    Display* display = glfwGetX11Display();
    const Window handle = glfwGetX11Window(window);
    const auto parentId = static_cast<Window>(reinterpret_cast<std::uintptr_t>(parent));

    takeError(display);
    XReparentWindow(display, handle, parentId, 0, 0);
    const int error = takeError(display);
    glfwShowWindow(window);
    return error;
}

void PlatformWindow::detach(GLFWwindow* window)
{
    Display* display = glfwGetX11Display();
    const Window handle = glfwGetX11Window(window);
    XUnmapWindow(display, handle);
    XReparentWindow(display, handle, DefaultRootWindow(display), 0, 0);
    takeError(display);
}

void PlatformWindow::destroy(GLFWwindow* window)
{
    glfwDestroyWindow(window);
    takeError(glfwGetX11Display());
}

void PlatformWindow::join(std::thread& renderThread)
{
    renderThread.join();
}

}  // namespace kx::imgui
