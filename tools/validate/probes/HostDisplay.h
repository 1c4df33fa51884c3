#pragma once
// What a host does with X around a plug-in's editor: parent windows, hiding them,
// real pointer input (the XTest extension), errors on its own connection. Xlib and
// XTest are looked up at run time, so the validator runs, and skips the editor
// checks, where there is no X.

#include "tools/host/SharedLibrary.h"

#include <X11/Xlib.h>

#include <map>
#include <string>

namespace tools::validate {

class HostDisplay {
public:
    HostDisplay();
    ~HostDisplay();
    HostDisplay(const HostDisplay&) = delete;
    HostDisplay& operator=(const HostDisplay&) = delete;

    bool available() const { return display != nullptr; }
    // Why not, when not available.
    const std::string& problem() const { return why; }
    bool canFakeInput() const { return fakeMotion != nullptr && fakeButton != nullptr; }

    // A mapped top-level window at (x, y).
    Window create(int width, int height, int x = 0, int y = 0);
    void destroy(Window window);
    void setMapped(Window window, bool mapped);
    // The id of a window created and destroyed again on this connection.
    Window staleWindow();
    // Top-level windows on screen, whoever made them.
    int viewableTopLevels();

    // The pointer to (x, y) in `window`, and the left button, as real input.
    void pointerTo(Window window, int x, int y);
    void button(bool down);
    // What a GTK host does on a click: the keyboard focus to its top-level `window`, then
    // on to a 1x1 input-only child of it (made at the first call).
    void passFocusToProxy(Window window);

    // Xlib's process-wide error handler, as a host installs its own.
    XErrorHandler setErrorHandler(XErrorHandler handler);
    // A request that fails on this connection, answered before this returns.
    void causeError();

private:
    SharedLibrary x11;
    SharedLibrary xtst;
    Display* display = nullptr;
    std::string why;
    decltype(&XCloseDisplay) closeDisplay = nullptr;
    decltype(&XDefaultRootWindow) rootWindow = nullptr;
    decltype(&XCreateSimpleWindow) createWindow = nullptr;
    decltype(&XMapWindow) mapWindow = nullptr;
    decltype(&XUnmapWindow) unmapWindow = nullptr;
    decltype(&XDestroyWindow) destroyWindow = nullptr;
    decltype(&XSync) sync = nullptr;
    decltype(&XQueryTree) queryTree = nullptr;
    decltype(&XGetWindowAttributes) getAttributes = nullptr;
    decltype(&XTranslateCoordinates) translate = nullptr;
    decltype(&XSetErrorHandler) setHandler = nullptr;
    decltype(&XFree) freeMemory = nullptr;
    decltype(&XCreateWindow) createChild = nullptr;
    decltype(&XSetInputFocus) setFocus = nullptr;
    std::map<Window, Window> focusProxies;
    int (*fakeMotion)(Display*, int, int, int, unsigned long) = nullptr;
    int (*fakeButton)(Display*, unsigned, int, unsigned long) = nullptr;
};

}  // namespace tools::validate
