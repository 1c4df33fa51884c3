// The editor, when the module has one and an X server is reachable: rectangle
// before open, open/idle/close cycles while audio runs, two editors at once,
// and no thread left behind.

#include "tools/validate/CheckRegistry.h"
#include "CheckSupport.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "EditorSupport.h"

namespace tools::validate {

using namespace kx::vst2;

namespace {

// Waits up to a second for the thread count to come back to `expected`.
bool threadsSettle(int expected)
{
    for (int i = 0; i < 100; ++i) {
        if (threadCount() == expected) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return threadCount() == expected;
}

std::string describeThreads()
{
    std::string text = "threads now:";
    for (const std::string& name : threadNames()) text += " " + name;
    return text;
}

void stopAudio(std::atomic<bool>& stop, std::thread& audioThread)
{
    stop = true;
    if (audioThread.joinable()) audioThread.join();
}

bool openIdleClose(CheckContext& context, PluginInstance& plugin, unsigned long parent, int cycle)
{
    context.note("editor cycle %d: effEditOpen", cycle);
    if (plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)) == 0) {
        context.fail("effEditOpen answered 0 (cycle %d)", cycle);
        return false;
    }
    for (int i = 0; i < 5; ++i) {
        context.note("editor cycle %d: effEditIdle", cycle);
        plugin.dispatch(effEditIdle);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    context.note("editor cycle %d: effEditClose", cycle);
    plugin.dispatch(effEditClose);
    return true;
}

void editor(CheckContext& context)
{
    const HostModule& module = context.module();
    PluginInstance plugin(module);
    if (!plugin.hasEditor()) {
        context.skip("the module has no editor");
        return;
    }
    HostDisplay windows;
    if (!windows.available()) {
        context.skip("%s", windows.problem().c_str());
        return;
    }
    // Without a rectangle the parent gets a common size and the cycles still run.
    int width = 640;
    int height = 480;
    editorRectangle(context, plugin, "before open", width, height);

    constexpr int kBlock = 256;
    plugin.prepare(48000.0f, kBlock);
    plugin.resume();
    std::atomic<bool> stop{false};
    std::string audioProblem;
    std::thread audioThread([&] {
        GuardedAudio audio(plugin.numInputs(), plugin.numOutputs(), kBlock);
        Random random(context.seed());
        while (!stop && audioProblem.empty()) {
            audio.fillSignal(random, kBlock);
            audioProblem = audio.process(plugin.record(), kBlock);
            if (audioProblem.empty() && audio.firstNonFinite(kBlock) >= 0) audioProblem = "output not finite";
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const int threadsBefore = threadCount();
    const unsigned long parent = windows.create(width, height);
    const int cycles = context.quick() ? 10 : 50;
    context.repro("48000 Hz, blocks of %d on an audio thread, %d editor cycles", kBlock, cycles);
    // Graphics drivers and toolkits may keep worker threads for the life of the
    // process once first used; what the first cycle leaves is the baseline, and
    // every later cycle must come back to it.
    if (!openIdleClose(context, plugin, parent, 1)) return stopAudio(stop, audioThread);
    threadsSettle(threadsBefore);
    const int threads = threadCount();
    for (int cycle = 2; cycle <= cycles; ++cycle) {
        if (!openIdleClose(context, plugin, parent, cycle)) break;
    }
    if (!threadsSettle(threads)) {
        context.fail("%d thread(s) more after %d editor cycles than after the first (%s)", threadCount() - threads,
                     cycles, describeThreads().c_str());
    }

    context.note("two editors at once");
    {
        PluginInstance second(module);
        const unsigned long secondParent = windows.create(width, height);
        const bool firstOpen = plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)) != 0;
        const bool secondOpen = second.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(secondParent)) != 0;
        if (!firstOpen || !secondOpen) context.fail("effEditOpen answered 0 with two editors open");
        for (int i = 0; i < 10; ++i) {
            plugin.dispatch(effEditIdle);
            second.dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        context.note("closing two editors");
        plugin.dispatch(effEditClose);
        second.dispatch(effEditClose);
        context.note("closing the second instance");
        second.close();
        windows.destroy(secondParent);
    }
    if (!threadsSettle(threads)) {
        context.fail("%d thread(s) more after two editors closed than after the first cycle (%s)",
                     threadCount() - threads, describeThreads().c_str());
    }
    stopAudio(stop, audioThread);
    if (!audioProblem.empty()) context.fail("audio while the editor ran: %s", audioProblem.c_str());
    windows.destroy(parent);
    const std::string kept = threads > threadsBefore ? "; " + describeThreads() : std::string();
    context.measured("parent window %d x %d, %d open/idle/close cycles; %d thread(s) kept after the first close%s",
                     width, height, cycles, threads - threadsBefore, kept.c_str());
}

}  // namespace

void addEditorChecks(CheckList& checks)
{
    checks.push_back(
        {"editor.lifecycle", "rect before open, open/idle/close while audio runs, two at once", editor, 180});
}

}  // namespace tools::validate
