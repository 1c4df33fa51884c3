#include "ModuleEditorSupport.h"

#include "tools/audio/Signals.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace editortest {

using namespace kx::vst2;

Screenshot::Screenshot(int width, int height, std::vector<Rgb> pixels) : w(width), h(height), pixels(std::move(pixels))
{
}

int Screenshot::countDifferent(int x0, int y0, int x1, int y1, Rgb colour, int tolerance) const
{
    int count = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const Rgb p = at(x, y);
            if (std::abs(p.r - colour.r) > tolerance || std::abs(p.g - colour.g) > tolerance ||
                std::abs(p.b - colour.b) > tolerance)
                ++count;
        }
    }
    return count;
}

struct HostFrame::Connection {
    Display* display;
    Atom protocols;
    Atom takeFocus;
};

HostFrame::HostFrame(int x, int y, int width, int height) : connection(new Connection{XOpenDisplay(nullptr), 0, 0})
{
    Display* display = connection->display;
    if (display == nullptr) throw std::runtime_error("no X display");
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 0, 0, 0);
    // The locally active focus model of GTK windows: input wanted, focus taken on request.
    connection->protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    connection->takeFocus = XInternAtom(display, "WM_TAKE_FOCUS", False);
    XSetWMProtocols(display, window, &connection->takeFocus, 1);
    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = True;
    XSetWMHints(display, window, &hints);
    XMapWindow(display, window);
    XSync(display, False);
}

HostFrame::~HostFrame()
{
    XDestroyWindow(connection->display, window);
    XCloseDisplay(connection->display);
}

void* HostFrame::parentHandle() const { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)); }

int HostFrame::childCount() const { return static_cast<int>(childrenOf(connection->display, window).size()); }

SizeRequest HostFrame::childSize() const
{
    const std::vector<XWindowId> children = childrenOf(connection->display, window);
    XWindowAttributes attributes{};
    if (children.empty() || XGetWindowAttributes(connection->display, children[0], &attributes) == 0) return {0, 0};
    return {attributes.width, attributes.height};
}

Screenshot HostFrame::capture() const
{
    Display* display = connection->display;
    XSync(display, False);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr) throw std::runtime_error("XGetImage failed");
    std::vector<Rgb> pixels;
    pixels.reserve(static_cast<std::size_t>(image->width * image->height));
    // 24-bit TrueColor: 0xRRGGBB.
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            pixels.push_back(
                {static_cast<int>((p >> 16) & 0xff), static_cast<int>((p >> 8) & 0xff), static_cast<int>(p & 0xff)});
        }
    }
    Screenshot shot(image->width, image->height, std::move(pixels));
    XDestroyImage(image);
    return shot;
}

void HostFrame::moveTo(int x, int y) const { pointer.moveTo(parentHandle(), x, y); }

void HostFrame::press() const { pointer.press(); }

void HostFrame::release() const { pointer.release(); }

void HostFrame::resize(int width, int height) const
{
    XResizeWindow(connection->display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(connection->display, False);
}

void HostFrame::setMapped(bool mapped) const
{
    if (mapped)
        XMapWindow(connection->display, window);
    else
        XUnmapWindow(connection->display, window);
    XSync(connection->display, False);
}

bool HostFrame::waitUntilViewable() const
{
    Display* display = connection->display;
    for (int second = 0; second < 10; ++second) {
        const bool viewable = waitFor(
            [&] {
                XWindowAttributes attributes{};
                XGetWindowAttributes(display, window, &attributes);
                return attributes.map_state == IsViewable;
            },
            std::chrono::seconds(1));
        if (viewable) return true;
        setMapped(true);
    }
    return false;
}

unsigned long HostFrame::focusProxy()
{
    if (proxy == 0) {
        Display* display = connection->display;
        proxy = XCreateWindow(display, window, -1, -1, 1, 1, 0, CopyFromParent, InputOnly, CopyFromParent, 0, nullptr);
        XMapWindow(display, proxy);
    }
    return proxy;
}

void HostFrame::focusOnProxy(unsigned long time)
{
    XSetInputFocus(connection->display, focusProxy(), RevertToParent, time);
    XSync(connection->display, False);
}

void HostFrame::passFocusToProxy()
{
    XSetInputFocus(connection->display, window, RevertToParent, CurrentTime);
    XSync(connection->display, False);
    focusOnProxy(CurrentTime);
}

void HostFrame::serveEvents()
{
    Display* display = connection->display;
    while (XPending(display) > 0) {
        XEvent event{};
        XNextEvent(display, &event);
        if (event.type == ClientMessage && event.xclient.message_type == connection->protocols &&
            static_cast<Atom>(event.xclient.data.l[0]) == connection->takeFocus)
            focusOnProxy(static_cast<unsigned long>(event.xclient.data.l[1]));
    }
}

ModuleEditor::ModuleEditor(const std::string& product, int windowX, int windowY, const std::string& modulePath)
{
    context.setProduct(product);
    context.setSampleRate(static_cast<float>(kRate));
    context.setBlockSize(kBlock);
    context.onSizeWindow([this](int width, int height) {
        std::lock_guard lock(requestsMutex);
        requests.push_back({width, height});
    });
    plugin = tools::HostModule(modulePath).instantiate(context);
    plugin->setSampleRate(static_cast<float>(kRate));
    plugin->setBlockSize(kBlock);
    plugin->mainsChanged(true);
    hostFrame = std::make_unique<HostFrame>(windowX, windowY, 910, 237);

    const tools::AudioBuffer signal = tools::Signals::guitarRiff(7, kRate, kRate * 2, 2);
    for (std::size_t c = 0; c < 2; ++c) {
        riff[c] = signal.channels[c];
        out[c].assign(kBlock, 0.0f);
    }
    silence.assign(kBlock, 0.0f);
}

ModuleEditor::~ModuleEditor()
{
    plugin->dispatch(effEditClose);
    plugin->mainsChanged(false);
    plugin.reset();
    context.onSizeWindow({});
}

std::vector<SizeRequest> ModuleEditor::sizeRequests() const
{
    std::lock_guard lock(requestsMutex);
    return requests;
}

bool ModuleEditor::open() { return plugin->dispatch(effEditOpen, 0, 0, hostFrame->parentHandle()) == 1; }

void ModuleEditor::close() { plugin->dispatch(effEditClose); }

void ModuleEditor::idle() { plugin->dispatch(effEditIdle); }

void ModuleEditor::process()
{
    if (position + kBlock > riff[0].size()) position = 0;
    float* inputs[2] = {silence.data(), silence.data()};
    if (playing) {
        inputs[0] = riff[0].data() + position;
        inputs[1] = riff[1].data() + position;
        position += kBlock;
    }
    float* outputs[2] = {out[0].data(), out[1].data()};
    plugin->processReplacing(inputs, outputs, kBlock);
}

void ModuleEditor::pump(int rounds)
{
    for (int round = 0; round < rounds; ++round) {
        hostFrame->serveEvents();
        idle();
        for (int block = 0; block < 4; ++block) process();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ModuleEditor::pumpFor(std::chrono::milliseconds duration)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) pump(1);
}

bool ModuleEditor::pumpUntil(const std::function<bool()>& condition, int rounds)
{
    return waitFor([&] {
        if (condition()) return true;
        pump(rounds);
        return false;
    });
}

bool ModuleEditor::waitUntilShown()
{
    const std::size_t before = sizeRequests().size();
    return pumpUntil([&] { return sizeRequests().size() > before; });
}

void ModuleEditor::fastDrag(int x, int y, int dy)
{
    hostFrame->moveTo(x, y);
    hostFrame->press();
    for (int step = 1; step <= 6; ++step) hostFrame->moveTo(x, y - dy * step / 6);
    hostFrame->release();
}

bool ModuleEditor::waitForAutomation(int index, float value)
{
    return pumpUntil([&] {
        const auto events = automation();
        for (auto e = events.rbegin(); e != events.rend(); ++e) {
            if (e->index == index) return std::fabs(e->value - value) < 1e-5f;
        }
        return false;
    });
}

}  // namespace editortest
