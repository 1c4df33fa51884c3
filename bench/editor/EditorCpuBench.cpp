// CPU cost of an open editor: the whole process's CPU time per second of wall time
// while one or more editors draw (render threads plus the GL driver's threads), and
// the frame rate each reaches. Needs an X display: run under xvfb-run -a.

#include "kx/imgui/ImguiEditor.h"
#include "plug/widgets/Widgets.h"

#include "imgui.h"

#include <X11/Xlib.h>
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

namespace {

double cpuSeconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double threadCpuSeconds() { return cpuSeconds(CLOCK_THREAD_CPUTIME_ID); }

// Draws about what the effect's editor draws per frame: seven knobs and four meters.
class LoadEditor : public kx::imgui::ImguiEditor {
public:
    LoadEditor() : ImguiEditor(910, 237) {}
    ~LoadEditor() override { close(); }
    void idle() override {}
    std::atomic<int> frames{0};
    std::atomic<double> renderThreadCpu{0.0};  // CPU time of the render thread at its last frame

protected:
    void draw() override
    {
        ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
        ImGui::SetNextWindowSize(ImVec2(910.0f, 237.0f));
        ImGui::Begin("__", nullptr, ImGuiWindowFlags_NoDecoration);
        ImDrawList* drawList = ImGui::GetWindowDrawList();
        for (int i = 0; i < 7; ++i) {
            ImGui::SetCursorPos(ImVec2(31.0f + 110.0f * i, 120.0f));
            plug::Knob(labels[i], 23.0f, &values[i], 0.0f, 1.0f, false);
        }
        for (int i = 0; i < 4; ++i) plug::drawMeter(100.0f + 200.0f * i, 0.5f, 0.7f, drawList);
        ImGui::End();
        frames.fetch_add(1);
        renderThreadCpu.store(threadCpuSeconds());
    }

private:
    const char* labels[7] = {"a", "b", "c", "d", "e", "f", "g"};
    float values[7] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f};
};

double processCpuSeconds() { return cpuSeconds(CLOCK_PROCESS_CPUTIME_ID); }

void BM_OpenEditorsCpuShare(benchmark::State& state)
{
    const auto count = static_cast<size_t>(state.range(0));
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        state.SkipWithError("no X display");
        return;
    }
    std::vector<std::unique_ptr<LoadEditor>> editors;
    for (size_t i = 0; i < count; ++i) {
        const Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 910, 237, 0, 0, 0);
        XMapWindow(display, parent);
        XSync(display, False);
        editors.push_back(std::make_unique<LoadEditor>());
        editors.back()->open(reinterpret_cast<void*>(parent));
    }
    // Let every window come up and its first frames (shader compilation) pass.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    double cpu = 0.0;
    double renderCpu = 0.0;
    double wall = 0.0;
    int frames = 0;
    for (auto _ : state) {
        int framesBefore = 0;
        for (const auto& editor : editors) {
            framesBefore += editor->frames.load();
            renderCpu -= editor->renderThreadCpu.load();
        }
        const double cpuBefore = processCpuSeconds();
        const auto wallBefore = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        cpu += processCpuSeconds() - cpuBefore;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        for (const auto& editor : editors) {
            frames += editor->frames.load();
            renderCpu += editor->renderThreadCpu.load();
        }
        frames -= framesBefore;
    }
    state.counters["cpu_share"] = cpu / wall;  // whole process; 1.0 = one core busy all the time
    state.counters["render_thread_cpu_share"] = renderCpu / wall / static_cast<double>(count);
    state.counters["fps_per_editor"] = frames / wall / static_cast<double>(count);
    editors.clear();
    XCloseDisplay(display);
}
BENCHMARK(BM_OpenEditorsCpuShare)->Arg(1)->Arg(4)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
