// tw07-host gui: opens a module's editor in a window of its own, idles it as a host
// does, optionally plays a riff through the module so its meters move, and can save a
// screenshot of the window as PNG.

#include "Arguments.h"
#include "Commands.h"
#include "tools/audio/Signals.h"
#include "tools/host/Effect.h"
#include "tools/host/HostContext.h"
#include "tools/host/HostModule.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tools {

using namespace kx::vst2;

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 256;
constexpr auto kIdlePeriod = std::chrono::milliseconds(20);  // 50 idle calls per second
constexpr double kShotSeconds = 2.0;                         // default run time with --shot

struct GuiOptions {
    std::string module;
    std::string shot;
    double seconds = 0.0;  // 0: until the window is closed
    bool audio = false;
};

GuiOptions parse(const std::vector<std::string>& words)
{
    GuiOptions options;
    Arguments args(words);
    while (args.more()) {
        const std::string& word = args.next();
        if (word == "--audio")
            options.audio = true;
        else if (word == "--shot")
            options.shot = args.value();
        else if (word == "--seconds")
            options.seconds = args.positiveNumber(86400.0);
        else
            args.positional();
    }
    options.module = args.positionals(1, 1, "expected one MODULE")[0];
    if (!options.shot.empty() && options.seconds == 0.0) options.seconds = kShotSeconds;
    return options;
}

// The riff in a loop through processReplacing, paced like a sound card.
class AudioLoop {
public:
    explicit AudioLoop(Effect& effect)
        : effect(effect), riff(Signals::guitarRiff(1, kRate, kRate * 8, 2)), thread([this] { run(); })
    {
    }
    ~AudioLoop()
    {
        stop.store(true);
        thread.join();
    }

private:
    void run()
    {
        std::vector<float> out[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
        std::vector<float> in[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
        float* inputs[2] = {in[0].data(), in[1].data()};
        float* outputs[2] = {out[0].data(), out[1].data()};
        const auto blockTime = std::chrono::microseconds(1000000LL * kBlock / kRate);
        auto next = std::chrono::steady_clock::now();
        const std::int64_t length = riff.numFrames();
        std::int64_t position = 0;
        while (!stop.load()) {
            for (std::size_t c = 0; c < 2; ++c) {
                for (std::size_t n = 0; n < kBlock; ++n)
                    in[c][n] = riff.channels[c][static_cast<std::size_t>((position + std::int64_t(n)) % length)];
            }
            position = (position + kBlock) % length;
            effect.processReplacing(inputs, outputs, kBlock);
            next += blockTime;
            std::this_thread::sleep_until(next);
        }
    }

    Effect& effect;
    AudioBuffer riff;
    std::atomic<bool> stop{false};
    std::thread thread;
};

// The window's contents, its child windows included, as 8-bit RGB rows.
void writeScreenshot(Display* display, Window window, const std::string& path)
{
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr) throw std::runtime_error("could not read the window's pixels");
    const auto destroy = [](XImage* owned) { XDestroyImage(owned); };
    std::unique_ptr<XImage, decltype(destroy)> owned(image, destroy);

    const auto shiftOf = [](unsigned long mask) {
        int shift = 0;
        while (mask != 0 && (mask & 1) == 0) {
            mask >>= 1;
            ++shift;
        }
        return shift;
    };
    const int width = image->width;
    const int height = image->height;
    std::vector<png_byte> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            png_byte* out = &rgb[static_cast<std::size_t>(y * width + x) * 3];
            out[0] = static_cast<png_byte>((pixel & image->red_mask) >> shiftOf(image->red_mask));
            out[1] = static_cast<png_byte>((pixel & image->green_mask) >> shiftOf(image->green_mask));
            out[2] = static_cast<png_byte>((pixel & image->blue_mask) >> shiftOf(image->blue_mask));
        }
    }

    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(width);
    png.height = static_cast<png_uint_32>(height);
    png.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&png, path.c_str(), 0, rgb.data(), width * 3, nullptr) == 0)
        throw std::runtime_error(path + ": " + png.message);
    std::printf("%s: %d x %d\n", path.c_str(), width, height);
}

}  // namespace

int runGui(const std::vector<std::string>& args)
{
    const GuiOptions options = parse(args);

    std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
    if (!display) throw std::runtime_error("no X display (set DISPLAY, or run under xvfb-run -a)");
    Display* x = display.get();

    HostContext context;
    context.setSampleRate(static_cast<float>(kRate));
    context.setBlockSize(kBlock);
    HostModule module(options.module);
    std::unique_ptr<Effect> effect = module.instantiate(context);
    if ((effect->flags() & effFlagsHasEditor) == 0)
        throw std::runtime_error(options.module + ": the module has no editor");
    effect->setSampleRate(static_cast<float>(kRate));
    effect->setBlockSize(kBlock);
    effect->mainsChanged(true);

    ERect* rect = nullptr;
    effect->dispatch(effEditGetRect, 0, 0, &rect);
    const int width = rect != nullptr && rect->right > rect->left ? rect->right - rect->left : 400;
    const int height = rect != nullptr && rect->bottom > rect->top ? rect->bottom - rect->top : 300;

    const Window window = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, static_cast<unsigned>(width),
                                              static_cast<unsigned>(height), 0, 0, 0);
    const std::string title = "tw07-host gui: " + effect->effectName();
    XStoreName(x, window, title.c_str());
    Atom deleteWindow = XInternAtom(x, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(x, window, &deleteWindow, 1);
    XMapWindow(x, window);
    XSync(x, False);

    // Size requests come from effEditIdle, on this thread.
    context.onSizeWindow([x, window](int w, int h) {
        if (w > 0 && h > 0) XResizeWindow(x, window, static_cast<unsigned>(w), static_cast<unsigned>(h));
        XFlush(x);
    });

    if (effect->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(window))) == 0)
        throw std::runtime_error(options.module + ": the editor did not open");
    std::optional<AudioLoop> audio;
    if (options.audio) audio.emplace(*effect);

    const auto start = std::chrono::steady_clock::now();
    auto next = start;
    bool closed = false;
    while (!closed) {
        effect->dispatch(effEditIdle);
        while (XPending(x) > 0) {
            XEvent event{};
            XNextEvent(x, &event);
            if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow)
                closed = true;
        }
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (options.seconds > 0.0 && elapsed >= options.seconds) break;
        next += kIdlePeriod;
        std::this_thread::sleep_until(next);
    }
    if (!options.shot.empty()) {
        XSync(x, False);
        writeScreenshot(x, window, options.shot);
    }

    effect->dispatch(effEditClose);
    audio.reset();
    context.onSizeWindow({});
    effect->mainsChanged(false);
    effect.reset();
    XDestroyWindow(x, window);
    return 0;
}

}  // namespace tools
