#include "EditorTestSupport.h"

#include "tools/host/SharedLibrary.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

namespace editortest {

namespace {

// The software GL driver is loaded and unloaded with every display connection; the
// blocks it keeps for the process's life would show up as leaks once it is unmapped.
// Kept loaded, they stay reachable.
const bool driverPinned = tools::SharedLibrary::keepLoaded("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so");

}  // namespace

struct HostWindow::Connection {
    Display* display;
};

HostWindow::HostWindow(int x, int y) : connection(new Connection{XOpenDisplay(nullptr)})
{
    Display* display = connection->display;
    if (display == nullptr) {
        delete connection;
        throw std::runtime_error(std::string("no X display: ") + std::strerror(errno));
    }
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, 400, 300, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
}

HostWindow::~HostWindow()
{
    XDestroyWindow(connection->display, window);
    XCloseDisplay(connection->display);
    delete connection;
}

void* HostWindow::parentHandle() const { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)); }

std::vector<XWindowId> childrenOf(Display* display, XWindowId window)
{
    XSync(display, False);
    Window root = 0;
    Window parent = 0;
    Window* list = nullptr;
    unsigned count = 0;
    XQueryTree(display, window, &root, &parent, &list, &count);
    std::vector<XWindowId> result(list, list + count);
    if (list != nullptr) XFree(list);
    return result;
}

std::vector<XWindowId> HostWindow::children() const { return childrenOf(connection->display, window); }

std::size_t HostWindow::topLevelWindows() const
{
    std::size_t count = 0;
    for (const XWindowId child : childrenOf(connection->display, DefaultRootWindow(connection->display))) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(connection->display, child, &attributes);
        count += attributes.map_state == IsViewable ? 1 : 0;
    }
    return count;
}

void* HostWindow::staleHandle() const
{
    Display* display = connection->display;
    const Window gone = XCreateSimpleWindow(display, window, 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(display, gone);
    XSync(display, False);
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(gone));
}

ChildGeometry HostWindow::geometryOf(XWindowId child) const
{
    XWindowAttributes attributes{};
    XGetWindowAttributes(connection->display, child, &attributes);
    return {attributes.x, attributes.y, attributes.width, attributes.height, attributes.map_state == IsViewable};
}

void HostWindow::causeError() const
{
    XMapWindow(connection->display, static_cast<Window>(reinterpret_cast<std::uintptr_t>(staleHandle())));
    XSync(connection->display, False);
}

void HostWindow::setMapped(bool mapped) const
{
    if (mapped)
        XMapWindow(connection->display, window);
    else
        XUnmapWindow(connection->display, window);
    XSync(connection->display, False);
}

void HostWindow::clickInside(XWindowId child, int x, int y) const
{
    Display* display = connection->display;
    XWarpPointer(display, None, child, 0, 0, 0, 0, x, y);
    XEvent event{};
    event.xbutton.display = display;
    event.xbutton.window = child;
    event.xbutton.root = DefaultRootWindow(display);
    event.xbutton.x = x;
    event.xbutton.y = y;
    event.xbutton.button = Button1;
    event.xbutton.same_screen = True;
    event.type = ButtonPress;
    XSendEvent(display, child, True, ButtonPressMask, &event);
    event.type = ButtonRelease;
    event.xbutton.state = Button1Mask;
    XSendEvent(display, child, True, ButtonReleaseMask, &event);
    XSync(display, False);
}

struct Pointer::Connection {
    Display* display;
};

Pointer::Pointer() : connection(new Connection{XOpenDisplay(nullptr)})
{
    if (connection->display == nullptr) {
        delete connection;
        throw std::runtime_error("no X display");
    }
}

Pointer::~Pointer()
{
    XCloseDisplay(connection->display);
    delete connection;
}

void Pointer::moveTo(void* window, int x, int y) const
{
    Display* display = connection->display;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    XTranslateCoordinates(display, static_cast<Window>(reinterpret_cast<std::uintptr_t>(window)),
                          DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(display, -1, rootX, rootY, CurrentTime);
    XSync(display, False);
}

void Pointer::press() const
{
    XTestFakeButtonEvent(connection->display, 1, True, CurrentTime);
    XSync(connection->display, False);
}

void Pointer::release() const
{
    XTestFakeButtonEvent(connection->display, 1, False, CurrentTime);
    XSync(connection->display, False);
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    return waitFor(
        condition, [] {}, timeout);
}

bool waitFor(const std::function<bool()>& condition, const std::function<void()>& meanwhile,
             std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        meanwhile();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

FrameClock::FrameClock() : host(0, 600)
{
    if (!editor.open(host.parentHandle())) throw std::runtime_error("the frame clock's editor did not open");
}

bool FrameClock::waitFrames(int count)
{
    const int until = editor.frames.load() + count;
    return waitFor([&] { return editor.frames.load() >= until; });
}

namespace {

int countEntries(const char* directory, const std::function<bool(const dirent&)>& accept)
{
    DIR* dir = opendir(directory);
    if (dir == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.' && accept(*entry)) ++count;
    }
    closedir(dir);
    return count;
}

}  // namespace

int threadCount()
{
    // A sanitizer runtime starts a helper thread of its own at the first thread
    // creation; make sure it exists before anything is counted.
    static const bool helperStarted = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)helperStarted;
    return countEntries("/proc/self/task", [](const dirent&) { return true; });
}

int socketCount()
{
    return countEntries("/proc/self/fd", [](const dirent& entry) {
        char target[64] = {};
        const std::string path = std::string("/proc/self/fd/") + entry.d_name;
        const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
        return length > 0 && std::strncmp(target, "socket:", 7) == 0;
    });
}

}  // namespace editortest
