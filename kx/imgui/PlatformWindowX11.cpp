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

// Collects the X errors of a few requests on our connection instead of letting Xlib's
// default handler end the host's process; errors of other connections go on to the
// handler that was installed before.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display) : display(display)
    {
        XSync(display, False);  // errors of earlier requests are not this trap's to collect
        firstError.store(0);
        trapDisplay.store(display);
        previous.store(XSetErrorHandler(&ErrorTrap::handle));
    }

    // Waits until the server has answered everything sent so far; returns the first
    // error code it reported, or 0.
    int finish()
    {
        XSync(display, False);
        XSetErrorHandler(previous.load());
        trapDisplay.store(nullptr);
        return firstError.load();
    }

private:
    static int handle(Display* from, XErrorEvent* event)
    {
        if (from == trapDisplay.load()) {
            int none = 0;
            firstError.compare_exchange_strong(none, event->error_code);
            return 0;
        }
        const XErrorHandler chained = previous.load();
        return chained != nullptr ? chained(from, event) : 0;
    }

    Display* display;

    static inline std::atomic<Display*> trapDisplay{nullptr};
    static inline std::atomic<XErrorHandler> previous{nullptr};
    static inline std::atomic<int> firstError{0};
};

}  // namespace

void PlatformWindow::setCreationHints()
{
    // Created hidden and shown once it is inside the host's window, so it never
    // appears as a top-level window in between.
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
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

    ErrorTrap trap(display);
    XReparentWindow(display, handle, parentId, 0, 0);
    const int error = trap.finish();
    glfwShowWindow(window);
    return error;
}

void PlatformWindow::detach(GLFWwindow* window)
{
    Display* display = glfwGetX11Display();
    const Window handle = glfwGetX11Window(window);
    ErrorTrap trap(display);
    XUnmapWindow(display, handle);
    XReparentWindow(display, handle, DefaultRootWindow(display), 0, 0);
    trap.finish();
}

void PlatformWindow::destroy(GLFWwindow* window)
{
    ErrorTrap trap(glfwGetX11Display());
    glfwDestroyWindow(window);
    trap.finish();
}

}  // namespace kx::imgui
