// Creating, opening, suspending and closing, in the orders hosts use and some they should not.

#include "tools/validate/CheckRegistry.h"
#include "CheckSupport.h"

#include <algorithm>
#include <cmath>

namespace tools::validate {

using namespace kx::vst2;

namespace {

constexpr int kBlock = 256;

void openClose(CheckContext& context)
{
    const HostModule& module = context.module();
    {
        PluginInstance warmUp(module);
    }
    const int threads = threadCount();
    const std::size_t sockets = openSockets().size();
    const int cycles = 100;
    for (int i = 0; i < cycles; ++i) {
        context.note("open/close cycle %d", i + 1);
        PluginInstance plugin(module);
        if (i % 10 == 0) {
            plugin.prepare(48000.0f, kBlock);
            plugin.resume();
            GuardedAudio audio(plugin.numInputs(), plugin.numOutputs(), kBlock);
            Random random(context.seed() + static_cast<std::uint64_t>(i));
            if (!runSignalBlocks(context, plugin, audio, random, kBlock, 4, "processing between open and close")) {
                return;
            }
            plugin.suspend();
        }
    }
    if (threadCount() != threads) {
        context.fail("%d more thread(s) after %d open/close cycles", threadCount() - threads, cycles);
    }
    if (openSockets().size() != sockets) context.fail("sockets left open after %d open/close cycles", cycles);
}

void unprepared(CheckContext& context)
{
    PluginInstance plugin(context.module());
    GuardedAudio audio(plugin.numInputs(), plugin.numOutputs(), kBlock);
    Random random(context.seed());
    // Before resume the output may hold anything the module likes, but the call
    // must stay inside its buffers and leave the control state alone.
    context.note("processReplacing before any rate, block size or resume");
    audio.fillSignal(random, kBlock);
    std::string problem = audio.process(plugin.record(), kBlock);
    if (!problem.empty()) context.fail("before resume: %s", problem.c_str());
    plugin.prepare(48000.0f, kBlock);
    context.note("processReplacing before resume");
    problem = audio.process(plugin.record(), kBlock);
    if (!problem.empty()) context.fail("before resume: %s", problem.c_str());
    plugin.resume();
    context.repro("48000 Hz, blocks of %d", kBlock);
    runSignalBlocks(context, plugin, audio, random, kBlock, 8, "after resume");
    plugin.suspend();
    context.note("processReplacing after suspend");
    for (int i = 0; i < 4; ++i) {
        audio.fillSignal(random, kBlock);
        problem = audio.process(plugin.record(), kBlock);
        if (!problem.empty()) {
            context.fail("after suspend: %s", problem.c_str());
            break;
        }
    }
    plugin.resume();
    runSignalBlocks(context, plugin, audio, random, kBlock, 8, "after suspend and resume");
}

void suspendResume(CheckContext& context)
{
    PluginInstance plugin(context.module());
    plugin.prepare(44100.0f, kBlock);
    GuardedAudio audio(plugin.numInputs(), plugin.numOutputs(), kBlock);
    Random random(context.seed());
    context.repro("44100 Hz, blocks of %d", kBlock);
    const int cycles = context.quick() ? 50 : 200;
    for (int i = 0; i < cycles; ++i) {
        context.note("suspend/resume cycle %d", i + 1);
        plugin.resume();
        if (!runSignalBlocks(context, plugin, audio, random, kBlock, 2, "between resume and suspend")) return;
        plugin.suspend();
        // Some hosts change the settings while suspended.
        if (i % 7 == 3) plugin.prepare(i % 2 == 0 ? 48000.0f : 44100.0f, kBlock);
        // Double calls happen too.
        if (i % 11 == 5) plugin.suspend();
        if (i % 13 == 6) {
            plugin.resume();
            plugin.resume();
            plugin.suspend();
        }
    }
}

void rateChange(CheckContext& context)
{
    PluginInstance plugin(context.module());
    plugin.prepare(48000.0f, kBlock);
    plugin.resume();
    GuardedAudio audio(plugin.numInputs(), plugin.numOutputs(), kBlock);
    Random random(context.seed());
    static const float kRates[] = {48000.0f, 44100.0f, 96000.0f, 8000.0f, 192000.0f, 22050.0f, 1234.5678f, 48000.0f};
    const int rounds = context.quick() ? 2 : 8;
    for (int round = 0; round < rounds; ++round) {
        for (float rate : kRates) {
            context.note("rate changed to %g Hz while resumed", static_cast<double>(rate));
            context.repro("rate changes to %g Hz between blocks of %d without suspend", static_cast<double>(rate),
                          kBlock);
            plugin.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
            if (!runSignalBlocks(context, plugin, audio, random, kBlock, 3, "after a rate change without suspend")) {
                return;
            }
        }
    }
}

}  // namespace

void addLifecycleChecks(CheckList& checks)
{
    checks.push_back({"lifecycle.open-close", "open and close 100 times", openClose, 60});
    checks.push_back({"lifecycle.unprepared", "processReplacing before resume and after suspend", unprepared, 20});
    checks.push_back({"lifecycle.suspend-resume", "suspend/resume cycles with audio between", suspendResume, 60});
    checks.push_back({"lifecycle.rate-change", "sample-rate changes between blocks without suspend", rateChange, 60});
}

}  // namespace tools::validate
