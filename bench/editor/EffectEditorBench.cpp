// CPU cost of the effect's editor opened through the real module, as a host opens it:
// the render thread's own share of a core, the GL driver's threads, and the whole
// process, while a riff plays through the module in real time and the host idles the
// editor at 50 Hz; with the editor shown, and hidden (the host's window unmapped, as
// some hosts do instead of closing the editor). Needs an X display: run under xvfb-run -a;
// with the display's Xft.dpi resource at 192 the editor is measured at 2x.

#include "tools/host/Effect.h"
#include "tools/host/HostContext.h"
#include "tools/host/HostModule.h"
#include "tools/audio/Signals.h"

#include <X11/Xlib.h>
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace kx::vst2;
using Clock = std::chrono::steady_clock;

struct Task {
    std::string name;
    double cpuSeconds;
};

// Every thread of this process with its name and CPU time (user + system).
std::map<int, Task> tasks()
{
    std::map<int, Task> result;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    DIR* dir = opendir("/proc/self/task");
    if (dir == nullptr) return result;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream stat(std::string("/proc/self/task/") + entry->d_name + "/stat");
        std::string line;
        std::getline(stat, line);
        const auto open = line.find('(');
        const auto close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::istringstream fields(line.substr(close + 2));
        std::string field;
        double utime = 0.0;
        double stime = 0.0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14) utime = std::stod(field);
            if (i == 15) stime = std::stod(field);
        }
        result[std::stoi(entry->d_name)] = {line.substr(open + 1, close - open - 1), (utime + stime) / tick};
    }
    closedir(dir);
    return result;
}

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void BM_EffectEditorOpenCpuShare(benchmark::State& state)
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        state.SkipWithError("no X display");
        return;
    }
    constexpr int kRate = 48000;
    constexpr int kBlock = 256;
    tools::HostContext context;
    auto effect = tools::HostModule(TW07_MODULE_PATH).instantiate(context);
    effect->setSampleRate(kRate);
    effect->setBlockSize(kBlock);
    effect->mainsChanged(true);
    // The host's window at the editor's size, which follows the desktop's Xft.dpi.
    ERect* rect = nullptr;
    effect->dispatch(effEditGetRect, 0, 0, &rect);
    const auto width = static_cast<unsigned>(rect != nullptr ? rect->right - rect->left : 910);
    const auto height = static_cast<unsigned>(rect != nullptr ? rect->bottom - rect->top : 237);
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, width, height, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);

    std::atomic<bool> stop{false};
    std::thread audio([&] {
        tools::AudioBuffer riff = tools::Signals::guitarRiff(3, kRate, kRate * 4, 2);
        std::vector<float> out[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
        float* outputs[2] = {out[0].data(), out[1].data()};
        const auto period = std::chrono::microseconds(1000000LL * kBlock / kRate);
        auto next = Clock::now();
        std::size_t position = 0;
        while (!stop.load()) {
            if (position + kBlock > riff.channels[0].size()) position = 0;
            float* inputs[2] = {riff.channels[0].data() + position, riff.channels[1].data() + position};
            effect->processReplacing(inputs, outputs, kBlock);
            position += kBlock;
            next += period;
            std::this_thread::sleep_until(next);
        }
    });

    const auto before = tasks();
    effect->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)));
    const auto idleFor = [&](std::chrono::milliseconds duration) {
        const auto end = Clock::now() + duration;
        while (Clock::now() < end) {
            effect->dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    };
    idleFor(std::chrono::milliseconds(700));  // window up, shaders compiled
    const bool hidden = state.range(0) != 0;
    if (hidden) {
        XUnmapWindow(display, window);
        XSync(display, False);
        idleFor(std::chrono::milliseconds(200));
    }

    double render = 0.0;
    double driver = 0.0;
    double process = 0.0;
    double wall = 0.0;
    for (auto _ : state) {
        const auto start = tasks();
        const double processStart = processCpuSeconds();
        const auto wallStart = Clock::now();
        idleFor(std::chrono::seconds(2));
        const auto end = tasks();
        process += processCpuSeconds() - processStart;
        wall += std::chrono::duration<double>(Clock::now() - wallStart).count();
        // Threads that came with the opening: the render thread and the GL driver's.
        for (const auto& [id, task] : end) {
            if (before.count(id) != 0 || start.count(id) == 0) continue;
            const double used = task.cpuSeconds - start.at(id).cpuSeconds;
            (task.name.rfind("llvmpipe", 0) == 0 ? driver : render) += used;
        }
    }
    state.counters["render_thread_cpu_share"] = render / wall;
    state.counters["gl_driver_threads_cpu_share"] = driver / wall;
    state.counters["process_cpu_share"] = process / wall;

    effect->dispatch(effEditClose);
    stop.store(true);
    audio.join();
    effect->mainsChanged(false);
    effect.reset();
    XDestroyWindow(display, window);
    XCloseDisplay(display);
}
BENCHMARK(BM_EffectEditorOpenCpuShare)
    ->ArgName("hidden")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
