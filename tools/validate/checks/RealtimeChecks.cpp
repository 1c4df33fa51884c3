// Real-time safety of the audio path: no allocation, free or lock.

#include "tools/validate/CheckRegistry.h"
#include "CheckSupport.h"
#include "tools/validate/probes/RealtimeWatch.h"

#include <cstring>

namespace tools::validate {

using namespace kx::vst2;

namespace {

struct EventsCall {
    PluginInstance* plugin;
    VstEvents* events;
};

void callEvents(void* context)
{
    auto* call = static_cast<EventsCall*>(context);
    call->plugin->dispatch(effProcessEvents, 0, 0, call->events);
}

struct ParameterCall {
    AEffect* effect;
    int index;
    float value;
};

void callParameter(void* context)
{
    auto* call = static_cast<ParameterCall*>(context);
    call->effect->setParameter(call->effect, call->index, call->value);
    call->effect->getParameter(call->effect, call->index);
}

void report(CheckContext& context, const RealtimeCounts& counts, const char* what, int call)
{
    if (counts.clean()) return;
    context.fail("%s (call %d after resume): %d allocation(s), %d free(s), %d lock(s)", what, call, counts.allocations,
                 counts.releases, counts.locks);
}

void audioPath(CheckContext& context)
{
    if (!RealtimeWatch::available()) {
        context.skip("allocation and lock counting is not available in sanitizer builds");
        return;
    }
    const int sizes[] = {512, 64, 1000};
    for (int blockSize : sizes) {
        PluginInstance plugin(context.module());
        plugin.prepare(48000.0f, blockSize);
        GuardedAudio audio(plugin.numInputs(), plugin.numOutputs(), blockSize);
        Random random(context.seed());
        plugin.resume();
        context.repro("48000 Hz, blocks of %d; every call after resume is watched", blockSize);

        VstMidiEvent note{};
        note.type = kVstMidiType;
        note.byteSize = sizeof(VstMidiEvent);
        note.midiData[0] = static_cast<char>(0x90);
        note.midiData[1] = 60;
        note.midiData[2] = 100;
        VstEvents events{};
        events.numEvents = 1;
        events.events[0] = reinterpret_cast<VstEvent*>(&note);

        const int blocks = static_cast<int>((context.quick() ? 0.5 : 3.0) * 48000.0 / blockSize);
        for (int b = 0; b < blocks; ++b) {
            context.note("watched block %d of %d frames", b, blockSize);
            if (b % 16 == 3) {
                EventsCall call{&plugin, &events};
                report(context, RealtimeWatch::watch(callEvents, &call), "effProcessEvents", b);
            }
            if (b % 8 == 5 && plugin.numParams() > 0 && plugin.record()->setParameter != nullptr) {
                ParameterCall call{plugin.record(), static_cast<int>(random.nextBits() % plugin.numParams()),
                                   random.unit()};
                report(context, RealtimeWatch::watch(callParameter, &call), "setParameter on the audio thread", b);
            }
            audio.fillSignal(random, blockSize);
            const std::string problem = audio.process(plugin.record(), blockSize, true);
            if (!judgeBlock(context, audio, problem, blockSize, "watched block", Bound::Ignored)) return;
            report(context, {audio.lastAllocations, audio.lastReleases, audio.lastLocks}, "processReplacing", b);
            if (context.failures() > 6) return;
        }
        plugin.suspend();
    }
    context.measured("%s", RealtimeWatch::sanitizerEnforced() ? "enforced by RealtimeSanitizer"
                                                              : "counted by interposed malloc/free/mutex functions");
}

}  // namespace

void addRealtimeChecks(CheckList& checks)
{
    checks.push_back(
        {"realtime.audio-path", "no allocation, free or lock in the audio thread's calls", audioPath, 120});
}

}  // namespace tools::validate
