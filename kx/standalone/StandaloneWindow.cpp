#include "kx/standalone/StandaloneWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <stdexcept>

#include "kx/EditorScale.h"
#include "kx/standalone/TopLevelWindow.h"

namespace kx::standalone {

namespace {

constexpr int kFallbackWidth = 640;  // for an editor that names no size
constexpr int kFallbackHeight = 480;

}  // namespace

StandaloneWindow::StandaloneWindow(AudioPluginEditor& editor, const std::string& title, const std::string& instanceName,
                                   const std::string& className, double userScale)
    : editor(editor)
{
    display = XOpenDisplay(nullptr);
    if (display == nullptr) throw std::runtime_error("cannot open the display (is DISPLAY set?); use --no-editor");
    if (!editor.setScale(userScale)) editor.useDesktopScale(nullptr);
    const EditorSize* size = editor.getSize();
    const int width = size != nullptr && size->width > 0 ? size->width : kFallbackWidth;
    const int height = size != nullptr && size->height > 0 ? size->height : kFallbackHeight;
    frameWidth = width;
    frameHeight = height;
    const TopLevelWindow created = createTopLevelWindow(display, width, height, 0, title, instanceName, className);
    frame = created.window;
    deleteWindow = created.deleteWindow;
    // The sizes the editor can take: its aspect ratio, between its smallest and largest scale.
    if (editor.canResize()) {
        const EditorSize layout = editor.layoutSize();
        const EditorSize smallest = EditorScale::sizeAt(layout, EditorScale::kMinimum);
        const EditorSize largest = EditorScale::sizeAt(layout, EditorScale::kMaximum);
        XSizeHints* hints = XAllocSizeHints();
        hints->flags = PMinSize | PMaxSize | PAspect;
        hints->min_width = smallest.width;
        hints->min_height = smallest.height;
        hints->max_width = largest.width;
        hints->max_height = largest.height;
        hints->min_aspect.x = hints->max_aspect.x = layout.width;
        hints->min_aspect.y = hints->max_aspect.y = layout.height;
        XSetWMNormalHints(display, frame, hints);
        XFree(hints);
    }
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
        if (event.type == ConfigureNotify && event.xconfigure.window == frame) resized(event.xconfigure.width, event.xconfigure.height);
    }
    editor.idle();
    return open;
}

// The user (through the window manager) gave the frame a new size: the editor takes the
// nearest it can have.
void StandaloneWindow::resized(int width, int height)
{
    if (width == frameWidth && height == frameHeight) return;
    frameWidth = width;
    frameHeight = height;
    if (!editor.canResize()) return;
    editor.setSize(frameWidth, frameHeight);
    resizedScale = editor.scale();
}

}  // namespace kx::standalone
