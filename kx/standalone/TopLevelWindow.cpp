#include "kx/standalone/TopLevelWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace kx::standalone {

TopLevelWindow createTopLevelWindow(Display* display, int width, int height, unsigned long background,
                                    const std::string& title, const std::string& instanceName,
                                    const std::string& className)
{
    TopLevelWindow created;
    created.window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                                         static_cast<unsigned>(height), 0, 0, background);
    const Window window = created.window;

    // One size: the window manager should not offer others.
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PMinSize | PMaxSize;
    hints->min_width = hints->max_width = width;
    hints->min_height = hints->max_height = height;
    XSetWMNormalHints(display, window, hints);
    XFree(hints);
    XClassHint* classHint = XAllocClassHint();
    std::string instance = instanceName;
    std::string windowClass = className;
    classHint->res_name = instance.data();
    classHint->res_class = windowClass.data();
    XSetClassHint(display, window, classHint);
    XFree(classHint);
    XStoreName(display, window, title.c_str());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
    Atom protocol = XInternAtom(display, "WM_DELETE_WINDOW", False);
    created.deleteWindow = protocol;
    XSetWMProtocols(display, window, &protocol, 1);
    return created;
}

}  // namespace kx::standalone
