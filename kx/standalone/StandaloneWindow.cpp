#include "kx/standalone/StandaloneWindow.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <stdexcept>

#include "kx/standalone/TopLevelWindow.h"

namespace kx::standalone {

namespace {

constexpr int kFallbackWidth = 640;  // for an editor that names no size
constexpr int kFallbackHeight = 480;

}  // namespace

StandaloneWindow::StandaloneWindow(AudioPluginEditor& editor, const std::string& title, const std::string& instanceName,
                                   const std::string& className)
    : editor(editor)
{
    display = XOpenDisplay(nullptr);
    if (display == nullptr) throw std::runtime_error("cannot open the display (is DISPLAY set?); use --no-editor");
    const EditorSize* size = editor.getSize();
    const int width = size != nullptr && size->width > 0 ? size->width : kFallbackWidth;
    const int height = size != nullptr && size->height > 0 ? size->height : kFallbackHeight;
    const TopLevelWindow created = createTopLevelWindow(display, width, height, 0, title, instanceName, className);
    frame = created.window;
    deleteWindow = created.deleteWindow;
    XSelectInput(display, frame, StructureNotifyMask);
    XMapWindow(display, frame);
    XSync(display, False);

    editorOpen = editor.open(reinterpret_cast<void*>(static_cast<uintptr_t>(frame)));
    if (!editorOpen) {
        XDestroyWindow(display, frame);
        XCloseDisplay(display);
        throw std::runtime_error("the editor could not open its window");
    }
}

StandaloneWindow::~StandaloneWindow()
{
    if (editorOpen) editor.close();
    if (frameAlive) XDestroyWindow(display, frame);
    XCloseDisplay(display);
}

bool StandaloneWindow::poll()
{
    bool open = true;
    while (XPending(display) > 0) {
        XEvent event{};
        XNextEvent(display, &event);
        if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow) open = false;
        if (event.type == DestroyNotify && event.xdestroywindow.window == frame) {
            frameAlive = false;
            open = false;
        }
    }
    editor.idle();
    return open;
}

}  // namespace kx::standalone
