// X11: the host's parent window is an X window id carried in the pointer argument.
// GLFW has its own display connection; window ids are server-wide, so re-parenting
// across connections is fine. Every call here runs under the editor's set-up lock.
//
// X errors on GLFW's connection (ours alone) never reach the process-wide Xlib error
// handler, which is the host's: a host may destroy its window, and with it our child,
// before it closes the editor, and the default handler would end its process. They are
// caught on the connection itself, by its wire-to-error hooks, so the host's handler is
// neither replaced nor called for them, errors of the host's connections go to it
// untouched, and nothing of this module stays in Xlib's process-wide state: the hooks
// go with the connection at glfwTerminate. GLFW's sources are built to open their
// connection and set their error handler through the two functions below.

#include "kx/imgui/PlatformWindow.h"

#include "kx/EditorScale.h"

#include <atomic>
#include <charconv>
#include <cstdint>
#include <cstring>

#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>
#include <X11/Xatom.h>
#include <X11/Xlibint.h>
#include <X11/Xresource.h>

namespace {

std::atomic<int> firstError{0};
// The handler GLFW sets around requests whose failure it looks at; it gets the errors
// of GLFW's connection only.
std::atomic<XErrorHandler> glfwHandler{nullptr};

Bool catchError(Display* display, XErrorEvent* error, xError*)
{
    int none = 0;
    firstError.compare_exchange_strong(none, error->error_code);
    if (const XErrorHandler handler = glfwHandler.load()) handler(display, error);
    return False;  // handled: Xlib's handler is not called
}

// First X error of the requests made since the last call, once the server has answered them.
int takeError(Display* display)
{
    XSync(display, False);
    return firstError.exchange(0);
}

Window windowId(void* handle) { return static_cast<Window>(reinterpret_cast<std::uintptr_t>(handle)); }

constexpr long kResourcesMaxLongs = 1L << 20;  // the resource string read, in 32-bit units

// The Xft.dpi resource as the root window has it now (Xlib's copy is the one of the
// connection's opening); 0 when it is not set.
double xftDpi(Display* display)
{
    const Atom property = XInternAtom(display, "RESOURCE_MANAGER", True);
    if (property == None) return 0.0;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, DefaultRootWindow(display), property, 0, kResourcesMaxLongs, False, XA_STRING,
                           &type, &format, &count, &after, &data) != Success ||
        data == nullptr)
        return 0.0;
    XrmInitialize();
    XrmDatabase database = XrmGetStringDatabase(reinterpret_cast<const char*>(data));
    XFree(data);
    double dpi = 0.0;
    char* kind = nullptr;
    XrmValue value{};
    if (database != nullptr && XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &kind, &value) == True &&
        value.addr != nullptr) {
        // Not strtod: the host's locale may write decimals with a comma.
        const char* text = value.addr;
        std::from_chars(text, text + std::strlen(text), dpi);
    }
    if (database != nullptr) XrmDestroyDatabase(database);
    return dpi;
}

}  // namespace

extern "C" Display* kxGlfwOpenDisplay(const char* name)
{
    Display* display = XOpenDisplay(name);
    if (display != nullptr) {
        for (int code = 1; code < 256; ++code) XESetWireToError(display, code, &catchError);
    }
    return display;
}

extern "C" XErrorHandler kxGlfwSetErrorHandler(XErrorHandler handler) { return glfwHandler.exchange(handler); }

namespace kx::imgui {

void PlatformWindow::prepareInit() {}

bool PlatformWindow::isWindow(void* parent)
{
    if (parent == nullptr) return false;
    XWindowAttributes attributes{};
    return XGetWindowAttributes(glfwGetX11Display(), windowId(parent), &attributes) != 0 &&
           attributes.c_class == InputOutput;
}

// Before GLFW is up (a host asking for the size before the first opening) on a short
// connection of its own, so that asking opens nothing that stays.
double PlatformWindow::systemScale(void*, bool glfwReady)
{
    if (glfwReady) {
        Display* display = glfwGetX11Display();
        const double dpi = xftDpi(display);
        takeError(display);
        return kx::EditorScale::fromDpi(dpi);
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 1.0;
    const double dpi = xftDpi(display);
    XCloseDisplay(display);
    return kx::EditorScale::fromDpi(dpi);
}

// The desktop's scale is one for all screens, and asking costs a round trip: not every frame.
double PlatformWindow::windowScale(GLFWwindow*) { return 0.0; }

void PlatformWindow::setCreationHints()
{
    // Created hidden and shown once it is inside the host's window, so it never
    // appears as a top-level window; showing it must not take the keyboard focus
    // from the host.
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_FOCUS_ON_SHOW, GLFW_FALSE);
}

int PlatformWindow::attach(GLFWwindow* window, void* parent)
{
    Display* display = glfwGetX11Display();
    takeError(display);
    XReparentWindow(display, glfwGetX11Window(window), windowId(parent), 0, 0);
    const int error = takeError(display);
    if (error == 0) glfwShowWindow(window);
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

uintptr_t PlatformWindow::nativeHandle(GLFWwindow* window) { return static_cast<uintptr_t>(glfwGetX11Window(window)); }

void PlatformWindow::destroy(GLFWwindow* window)
{
    glfwDestroyWindow(window);
    takeError(glfwGetX11Display());
}

void PlatformWindow::join(std::thread& renderThread) { renderThread.join(); }

}  // namespace kx::imgui
