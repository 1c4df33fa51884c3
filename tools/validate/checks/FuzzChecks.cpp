// Random dispatcher calls: no crash, and no write past what each opcode may write.

#include "tools/validate/CheckRegistry.h"
#include "CheckSupport.h"

#include <cstring>
#include <vector>

namespace tools::validate {

using namespace kx::vst2;

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
constexpr std::size_t kAnything = kBufferSize;

// How many bytes at the pointer argument an opcode may write (kAnything when
// its record is opaque to a host, such as vendor-specific calls).
std::size_t writeLimit(int32 opcode)
{
    switch (opcode) {
    case effGetProgramName:
    case effGetProgramNameIndexed:
        return 25;  // 24 characters and the terminator
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
        return kVstMaxParamStrLen + 1;
    case effEditGetRect:
    case effGetChunk:
    case effGetSpeakerArrangement:
        return sizeof(void*);
    case effGetEffectName:
        return kVstMaxEffectNameLen + 1;
    case effGetVendorString:
    case effGetProductString:
    case effShellGetNextPlugin:
        return 65;
    case effGetErrorText:
        return 256;
    case effGetInputProperties:
    case effGetOutputProperties:
        return sizeof(VstPinProperties);
    case effGetParameterProperties:
        return 152;  // VstParameterProperties
    case effGetMidiProgramName:
    case effGetCurrentMidiProgram:
    case effGetMidiKeyName:
        return 80;  // MidiProgramName, MidiKeyName
    case effGetMidiProgramCategory:
        return 72;  // MidiProgramCategory
    case effVendorSpecific:
    case effOfflineNotify:
    case effOfflinePrepare:
    case effOfflineRun:
    case effProcessVarIo:
    case effGetIcon:
    case effKeysRequired:
        return kAnything;
    default:
        return 0;
    }
}

intptr randomValue(Random& random)
{
    switch (random.nextBits() % 5) {
    case 0:
        return 0;
    case 1:
        return static_cast<intptr>(random.nextBits() % 16);
    case 2:
        return static_cast<intptr>(random.nextBits() % 65536);
    case 3:
        return -static_cast<intptr>(random.nextBits() % 65536);
    default:
        return static_cast<intptr>(random.nextBits());
    }
}

float randomOpt(Random& random)
{
    switch (random.nextBits() % 4) {
    case 0:
        return 0.0f;
    case 1:
        return random.unit();
    case 2:
        return 44100.0f;
    default:
        return 1000.0f * random.bipolar();
    }
}

void dispatcherFuzz(CheckContext& context)
{
    PluginInstance plugin(context.module());
    plugin.prepare(48000.0f, 512);
    Random random(context.seed());
    std::vector<unsigned char> buffer(kBufferSize, 0);
    const int calls = context.quick() ? 3000 : 30000;
    context.repro("%d calls, opcodes -10..100, from the seed", calls);
    for (int call = 0; call < calls; ++call) {
        auto opcode = static_cast<int32>(random.nextBits() % 111) - 10;
        // Closing ends the instance, and opening an editor needs a real parent window.
        if (opcode == effClose || opcode == effEditOpen) continue;
        auto index = static_cast<int32>(randomValue(random));
        intptr value = randomValue(random);
        const bool withBuffer = random.nextBits() % 2 == 0;
        void* ptr = withBuffer ? buffer.data() : nullptr;
        const float opt = randomOpt(random);
        // Where the value is a pointer or a byte count for the pointer, a host passes a valid one.
        if (opcode == effSetSpeakerArrangement || opcode == effGetSpeakerArrangement) {
            value = withBuffer ? reinterpret_cast<intptr>(buffer.data() + kBufferSize / 2) : 0;
        }
        if (opcode == effSetChunk) value = withBuffer ? static_cast<intptr>(random.nextBits() % kBufferSize) : 0;
        context.note("call %d: opcode %d, index %d, value %lld, %s, opt %g", call, opcode, index,
                     static_cast<long long>(value), withBuffer ? "zeroed buffer" : "null pointer",
                     static_cast<double>(opt));
        plugin.dispatch(opcode, index, value, ptr, opt);
        if (!withBuffer) continue;
        std::size_t limit = writeLimit(opcode);
        if (opcode == effSetSpeakerArrangement || opcode == effGetSpeakerArrangement) limit = kAnything;
        if (limit >= kAnything) {
            std::fill(buffer.begin(), buffer.end(), 0);
            continue;
        }
        for (std::size_t i = limit; i < kBufferSize; ++i) {
            if (buffer[i] != 0) {
                context.fail("opcode %d (index %d, value %lld) wrote byte %zu of the buffer; it may write %zu", opcode,
                             index, static_cast<long long>(value), i, limit);
                break;
            }
        }
        std::fill(buffer.begin(), buffer.end(), 0);
        if (context.failures() > 20) return;
    }
}

}  // namespace

void addFuzzChecks(CheckList& checks)
{
    checks.push_back({"fuzz.dispatcher", "random opcodes -10..100 with random arguments", dispatcherFuzz, 120});
}

}  // namespace tools::validate
