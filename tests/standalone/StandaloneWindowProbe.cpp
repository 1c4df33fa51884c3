#include "StandaloneWindowProbe.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>
#include <stdexcept>

namespace standalonetest {

WindowProbe::WindowProbe() : display(XOpenDisplay(nullptr))
{
    if (display == nullptr) throw std::runtime_error("no X display");
}

WindowProbe::~WindowProbe() { XCloseDisplay(display); }

unsigned long WindowProbe::find(const std::string& title)
{
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    unsigned long found = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) return 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) != 0 && name != nullptr) {
            if (title == name) found = children[i];
            XFree(name);
        }
    }
    if (children != nullptr) XFree(children);
    return found;
}

std::pair<int, int> WindowProbe::size(unsigned long window)
{
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    return {attributes.width, attributes.height};
}

bool WindowProbe::hasChild(unsigned long window)
{
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(display, window, &root, &parent, &children, &count);
    if (children != nullptr) XFree(children);
    return count > 0;
}

std::pair<int, int> WindowProbe::childSize(unsigned long window)
{
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(display, window, &root, &parent, &children, &count);
    std::pair<int, int> found{0, 0};
    if (count > 0) found = size(children[0]);
    if (children != nullptr) XFree(children);
    return found;
}

void WindowProbe::resize(unsigned long window, int width, int height)
{
    XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(display, False);
}

void WindowProbe::setResources(const char* resources)
{
    const Atom property = XInternAtom(display, "RESOURCE_MANAGER", False);
    if (resources == nullptr)
        XDeleteProperty(display, DefaultRootWindow(display), property);
    else
        XChangeProperty(display, DefaultRootWindow(display), property, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(resources), static_cast<int>(std::strlen(resources)));
    XSync(display, False);
}

std::vector<uint32_t> WindowProbe::pixels(unsigned long window)
{
    const auto [width, height] = size(window);
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    std::vector<uint32_t> values;
    if (image == nullptr) return values;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) values.push_back(static_cast<uint32_t>(XGetPixel(image, x, y)));
    XDestroyImage(image);
    return values;
}

void WindowProbe::close(unsigned long window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

}  // namespace standalonetest
