// Parameters: values in and out of range, indices out of range, text limits,
// and changes from another thread while audio runs.

#include "tools/validate/CheckRegistry.h"
#include "CheckSupport.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

namespace tools::validate {

using namespace kx::vst2;

namespace {

constexpr int kBlock = 256;
constexpr unsigned char kCanary = 0xA5;
constexpr std::size_t kTextBuffer = 512;

// Asks for one text into a canary-filled buffer and checks that it ends within
// `limit` characters and nothing after the terminator's place was written.
void checkText(CheckContext& context, PluginInstance& plugin, int32 opcode, int32 index, int limit, const char* what)
{
    unsigned char buffer[kTextBuffer];
    std::memset(buffer, kCanary, sizeof buffer);
    context.note("%s (opcode %d, index %d)", what, opcode, index);
    plugin.dispatch(opcode, index, 0, buffer);
    const auto room = static_cast<std::size_t>(limit) + 1;
    std::size_t written = sizeof buffer;
    while (written > 0 && buffer[written - 1] == kCanary) --written;
    if (written == 0) return;  // nothing written at all: the buffer stays as given
    const void* end = std::memchr(buffer, 0, room);
    if (end == nullptr) {
        const void* anyEnd = std::memchr(buffer, 0, sizeof buffer);
        const std::size_t length = anyEnd != nullptr
                                       ? static_cast<std::size_t>(static_cast<const unsigned char*>(anyEnd) - buffer)
                                       : sizeof buffer;
        context.fail("%s (index %d): \"%.*s\" is %zu characters, the limit is %d", what, index,
                     static_cast<int>(std::min<std::size_t>(length, 64)), reinterpret_cast<const char*>(buffer), length,
                     limit);
    } else if (written > room) {
        context.fail("%s (index %d): wrote %zu bytes, past the %zu-byte limit", what, index, written, room);
    }
}

bool valueInRange(float value) { return std::isfinite(value) && value >= 0.0f && value <= 1.0f; }

void values(CheckContext& context)
{
    PluginInstance plugin(context.module());
    plugin.prepare(48000.0f, kBlock);
    plugin.resume();
    GuardedAudio audio(plugin.numInputs(), plugin.numOutputs(), kBlock);
    Random random(context.seed());
    context.repro("48000 Hz, blocks of %d", kBlock);
    const int blocksPerValue = context.quick() ? 1 : 3;
    for (int p = 0; p < plugin.numParams(); ++p) {
        const float initial = plugin.record()->getParameter(plugin.record(), p);
        if (!valueInRange(initial)) context.fail("parameter %d starts at %g", p, static_cast<double>(initial));
        const float tries[] = {0.0f, 1.0f, random.unit(), random.unit(), random.unit()};
        for (float value : tries) {
            context.note("parameter %d set to %g", p, static_cast<double>(value));
            plugin.record()->setParameter(plugin.record(), p, value);
            const float read = plugin.record()->getParameter(plugin.record(), p);
            if (!valueInRange(read)) {
                context.fail("parameter %d set to %g reads back %g", p, static_cast<double>(value),
                             static_cast<double>(read));
            }
            char what[64];
            std::snprintf(what, sizeof what, "parameter %d at %g", p, static_cast<double>(value));
            if (!runSignalBlocks(context, plugin, audio, random, kBlock, blocksPerValue, what, Bound::Ignored)) return;
        }
    }
    // Every parameter at once at the extremes.
    for (float value : {0.0f, 1.0f}) {
        for (int p = 0; p < plugin.numParams(); ++p) plugin.record()->setParameter(plugin.record(), p, value);
        char what[64];
        std::snprintf(what, sizeof what, "all parameters at %g", static_cast<double>(value));
        if (!runSignalBlocks(context, plugin, audio, random, kBlock, 20, what, Bound::Ignored)) return;
    }
}

void outOfRange(CheckContext& context)
{
    PluginInstance plugin(context.module());
    plugin.prepare(48000.0f, kBlock);
    plugin.resume();
    GuardedAudio audio(plugin.numInputs(), plugin.numOutputs(), kBlock);
    Random random(context.seed());
    context.repro("48000 Hz, blocks of %d", kBlock);
    AEffect* effect = plugin.record();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const float wild[] = {-1.0f, 2.0f,  1e30f, -1e30f,    std::numeric_limits<float>::quiet_NaN(),
                          kInf,  -kInf, -0.0f, 1.0000001f};
    for (int p = 0; p < plugin.numParams(); ++p) {
        for (float value : wild) {
            context.note("parameter %d set to %g", p, static_cast<double>(value));
            effect->setParameter(effect, p, value);
            const float read = effect->getParameter(effect, p);
            if (!valueInRange(read)) {
                context.fail("parameter %d set to %g reads back %g", p, static_cast<double>(value),
                             static_cast<double>(read));
            }
            // Text limits are the texts check's business; here the display of a wild value must not crash.
            char display[kTextBuffer] = {};
            plugin.dispatch(effGetParamDisplay, p, 0, display);
            char what[64];
            std::snprintf(what, sizeof what, "parameter %d set to %g", p, static_cast<double>(value));
            if (!runSignalBlocks(context, plugin, audio, random, kBlock, 1, what, Bound::Ignored)) return;
        }
        effect->setParameter(effect, p, 0.5f);
    }
    if (effect->setParameter == nullptr || effect->getParameter == nullptr) return;
    const int32 indices[] = {-1,
                             plugin.numParams(),
                             plugin.numParams() + 1,
                             plugin.numParams() + 1000,
                             1 << 30,
                             std::numeric_limits<int32>::min()};
    for (int32 index : indices) {
        context.note("setParameter and getParameter with index %d", index);
        effect->setParameter(effect, index, 0.5f);
        effect->getParameter(effect, index);
        context.note("texts of parameter index %d", index);
        checkText(context, plugin, effGetParamName, index, kVstMaxParamStrLen, "name of a parameter out of range");
        checkText(context, plugin, effGetParamLabel, index, kVstMaxParamStrLen, "label of a parameter out of range");
        checkText(context, plugin, effGetParamDisplay, index, kVstMaxParamStrLen,
                  "display of a parameter out of range");
        plugin.dispatch(effCanBeAutomated, index);
    }
    runSignalBlocks(context, plugin, audio, random, kBlock, 4, "after indices out of range", Bound::Ignored);
}

void texts(CheckContext& context)
{
    PluginInstance plugin(context.module());
    for (int p = 0; p < plugin.numParams(); ++p) {
        checkText(context, plugin, effGetParamName, p, kVstMaxParamStrLen, "parameter name");
        checkText(context, plugin, effGetParamLabel, p, kVstMaxParamStrLen, "parameter label");
        for (float value : {0.0f, 0.25f, 0.5f, 1.0f}) {
            plugin.record()->setParameter(plugin.record(), p, value);
            checkText(context, plugin, effGetParamDisplay, p, kVstMaxParamStrLen, "parameter display");
        }
    }
    checkText(context, plugin, effGetEffectName, 0, kVstMaxEffectNameLen, "effect name");
    checkText(context, plugin, effGetVendorString, 0, kVstMaxVendorStrLen, "vendor string");
    checkText(context, plugin, effGetProductString, 0, kVstMaxProductStrLen, "product string");
    constexpr int kMaxProgramNameLen = 24;
    checkText(context, plugin, effGetProgramName, 0, kMaxProgramNameLen, "program name");
    for (int program = 0; program < std::min(plugin.record()->numPrograms, 16); ++program) {
        checkText(context, plugin, effGetProgramNameIndexed, program, kMaxProgramNameLen, "indexed program name");
    }
}

void threads(CheckContext& context)
{
    PluginInstance plugin(context.module());
    plugin.prepare(48000.0f, kBlock);
    plugin.resume();
    AEffect* effect = plugin.record();
    if (plugin.numParams() == 0 || effect->setParameter == nullptr) {
        context.skip("the module has no parameters");
        return;
    }
    context.repro("48000 Hz, blocks of %d, parameters set from a second thread", kBlock);
    const int blocks = static_cast<int>((context.quick() ? 0.5 : 3.0) * 48000.0 / kBlock);
    std::atomic<bool> audioDone{false};
    std::string problem;
    std::thread audioThread([&] {
        GuardedAudio audio(plugin.numInputs(), plugin.numOutputs(), kBlock);
        Random random(context.seed() + 1);
        for (int b = 0; b < blocks && problem.empty(); ++b) {
            audio.fillSignal(random, kBlock);
            problem = audio.process(effect, kBlock);
            if (problem.empty() && audio.firstNonFinite(kBlock) >= 0) problem = "output not finite";
        }
        audioDone = true;
    });
    Random random(context.seed());
    context.note("setting parameters while audio runs");
    long sets = 0;
    while (!audioDone) {
        const int p = static_cast<int>(random.nextBits() % static_cast<std::uint64_t>(plugin.numParams()));
        effect->setParameter(effect, p, random.unit());
        const float read = effect->getParameter(effect, p);
        if (!valueInRange(read)) {
            context.fail("parameter %d reads back %g while audio runs", p, static_cast<double>(read));
            break;
        }
        ++sets;
        if (sets % 64 == 0) std::this_thread::yield();
    }
    audioThread.join();
    if (!problem.empty()) context.fail("audio thread: %s", problem.c_str());
    context.measured("%ld parameter changes during %d blocks", sets, blocks);
}

}  // namespace

void addParameterChecks(CheckList& checks)
{
    checks.push_back({"params.values", "every parameter at 0, 1 and random values", values, 120});
    checks.push_back({"params.out-of-range", "values out of range, NaN, Inf, indices out of range", outOfRange, 120});
    checks.push_back({"params.texts", "names and texts within their limits (canary after the limit)", texts, 30});
    checks.push_back({"params.threads", "parameters set from another thread while audio runs", threads, 60});
}

}  // namespace tools::validate
