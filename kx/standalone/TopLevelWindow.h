#pragma once
// The program's top-level X11 windows: one fixed size, a title, the instance and class names the
// window manager groups windows by, and a close button that asks rather than destroys.

#include <string>

typedef struct _XDisplay Display;

namespace kx::standalone {

struct TopLevelWindow {
    unsigned long window = 0;
    unsigned long deleteWindow = 0;  // the atom the window manager's close requests carry
};

// Creates the window, not yet mapped.
TopLevelWindow createTopLevelWindow(Display* display, int width, int height, unsigned long background,
                                    const std::string& title, const std::string& instanceName,
                                    const std::string& className);

}  // namespace kx::standalone
