#include "HostDisplay.h"

#include <cstdlib>
#include <stdexcept>

namespace tools::validate {

namespace {

template<class Function>
bool lookUp(const SharedLibrary& library, const char* name, Function& function)
{
    function = library.function<Function>(name);
    return function != nullptr;
}

// The library, or none when it cannot be loaded.
SharedLibrary loadIfPresent(const char* name)
{
    try {
        return SharedLibrary(name);
    } catch (const std::runtime_error&) {
        return {};
    }
}

}  // namespace

HostDisplay::HostDisplay()
{
    if (std::getenv("DISPLAY") == nullptr) {
        why = "no X server reachable (run under xvfb-run -a)";
        return;
    }
    x11 = loadIfPresent("libX11.so.6");
    decltype(&XOpenDisplay) openDisplay = nullptr;
    if (!lookUp(x11, "XOpenDisplay", openDisplay) || !lookUp(x11, "XCloseDisplay", closeDisplay) ||
        !lookUp(x11, "XDefaultRootWindow", rootWindow) || !lookUp(x11, "XCreateSimpleWindow", createWindow) ||
        !lookUp(x11, "XMapWindow", mapWindow) || !lookUp(x11, "XUnmapWindow", unmapWindow) ||
        !lookUp(x11, "XDestroyWindow", destroyWindow) || !lookUp(x11, "XSync", sync) ||
        !lookUp(x11, "XQueryTree", queryTree) || !lookUp(x11, "XGetWindowAttributes", getAttributes) ||
        !lookUp(x11, "XTranslateCoordinates", translate) || !lookUp(x11, "XSetErrorHandler", setHandler) ||
        !lookUp(x11, "XFree", freeMemory) || !lookUp(x11, "XCreateWindow", createChild) ||
        !lookUp(x11, "XSetInputFocus", setFocus)) {
        why = "libX11.so.6 not found or incomplete";
        return;
    }
    display = openDisplay(nullptr);
    if (display == nullptr) {
        why = "no X server reachable (run under xvfb-run -a)";
        return;
    }
    xtst = loadIfPresent("libXtst.so.6");
    if (!lookUp(xtst, "XTestFakeMotionEvent", fakeMotion) || !lookUp(xtst, "XTestFakeButtonEvent", fakeButton)) {
        fakeMotion = nullptr;
        fakeButton = nullptr;
    }
}

HostDisplay::~HostDisplay()
{
    if (display != nullptr) closeDisplay(display);
}

Window HostDisplay::create(int width, int height, int x, int y)
{
    const Window window = createWindow(display, rootWindow(display), x, y, static_cast<unsigned>(width),
                                       static_cast<unsigned>(height), 0, 0, 0);
    mapWindow(display, window);
    sync(display, False);
    return window;
}

void HostDisplay::destroy(Window window)
{
    focusProxies.erase(window);  // destroyed with it
    destroyWindow(display, window);
    sync(display, False);
}

void HostDisplay::setMapped(Window window, bool mapped)
{
    (mapped ? mapWindow : unmapWindow)(display, window);
    sync(display, False);
}

Window HostDisplay::staleWindow()
{
    const Window window = createWindow(display, rootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    destroy(window);
    return window;
}

int HostDisplay::viewableTopLevels()
{
    sync(display, False);
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (queryTree(display, rootWindow(display), &root, &parent, &children, &count) == 0) return 0;
    int viewable = 0;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        if (getAttributes(display, children[i], &attributes) != 0 && attributes.map_state == IsViewable) ++viewable;
    }
    if (children != nullptr) freeMemory(children);
    return viewable;
}

void HostDisplay::pointerTo(Window window, int x, int y)
{
    int rootX = 0;
    int rootY = 0;
    Window child = 0;
    translate(display, window, rootWindow(display), x, y, &rootX, &rootY, &child);
    fakeMotion(display, -1, rootX, rootY, CurrentTime);
    sync(display, False);
}

void HostDisplay::button(bool down)
{
    fakeButton(display, 1, down ? True : False, CurrentTime);
    sync(display, False);
}

void HostDisplay::passFocusToProxy(Window window)
{
    Window& proxy = focusProxies[window];
    if (proxy == 0) {
        proxy = createChild(display, window, -1, -1, 1, 1, 0, CopyFromParent, InputOnly, nullptr, 0, nullptr);
        mapWindow(display, proxy);
    }
    setFocus(display, window, RevertToParent, CurrentTime);
    sync(display, False);
    setFocus(display, proxy, RevertToParent, CurrentTime);
    sync(display, False);
}

XErrorHandler HostDisplay::setErrorHandler(XErrorHandler handler) { return setHandler(handler); }

void HostDisplay::causeError()
{
    mapWindow(display, staleWindow());
    sync(display, False);
}

}  // namespace tools::validate
