// A minimal VST 2.4 effect written straight against the record, with one fault
// chosen at build time, for testing that the validator catches it. Without a
// fault it is a stereo gain that every check must pass.

#include "kx/vst2/VstInterface.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xmmintrin.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

using namespace kx::vst2;

namespace {

struct BadFx {
    AEffect effect{};
    float gain = 0.5f;
    float tone = 0.5f;
    float state[2] = {};
#if BADFX_STALE_REMAINDER
    float lastBlock[2][32] = {};  // the output of the last whole block of 32 frames
#endif
    float rate = 44100.0f;
#if BADFX_THREAD
    std::thread worker;
    std::atomic<bool> stop{false};
#endif
};

BadFx* self(AEffect* effect) { return static_cast<BadFx*>(effect->object); }

void copyText(void* ptr, const char* text, std::size_t limit)
{
    if (ptr == nullptr) return;
    const std::size_t length = std::min(std::strlen(text), limit);
    std::memcpy(ptr, text, length);
    static_cast<char*>(ptr)[length] = '\0';
}

float* slot(BadFx* fx, int32 index)
{
    if (index == 0) return &fx->gain;
    if (index == 1) return &fx->tone;
#if BADFX_UNCHECKED_INDEX
    // The fault: any other index is trusted as an offset from the first value.
    return (&fx->gain) + (static_cast<std::ptrdiff_t>(index) << 28);
#else
    return nullptr;
#endif
}

void setParameter(AEffect* effect, int32 index, float value)
{
    float* target = slot(self(effect), index);
    if (target == nullptr) return;
    *target = value >= 0.0f && value <= 1.0f ? value : (value > 1.0f ? 1.0f : 0.0f);
}

float getParameter(AEffect* effect, int32 index)
{
    const float* source = slot(self(effect), index);
    return source != nullptr ? *source : 0.0f;
}

void processReplacing(AEffect* effect, float** inputs, float** outputs, int32 frames)
{
    BadFx* fx = self(effect);
#if BADFX_SKIPS_TAIL || BADFX_DROPS_REMAINDER || BADFX_STALE_REMAINDER
    // The fault: only whole blocks of 32 frames are processed. The rest is left
    // unwritten, written as silence, or filled from the last whole block.
    const int32 remainder = frames % 32;
    frames -= remainder;
#endif
#if BADFX_SLOW_SILENCE
    // The fault: silent input takes a slow path, as subnormal arithmetic does.
    if (frames > 0 && inputs[0][0] == 0.0f && inputs[0][frames - 1] == 0.0f) {
        volatile float sink = 1.0f;
        for (int32 i = 0; i < 40 * frames; ++i) sink = sink * 0.999f + 1e-3f;
    }
#endif
#if BADFX_ALLOCATES
    // Escapes through a volatile pointer so that the pair is not optimised away.
    static float* volatile scratch = nullptr;
    scratch = new float[static_cast<std::size_t>(frames > 0 ? frames : 1)];
    delete[] scratch;
#endif
#if BADFX_CHANGES_FPU
    _mm_setcsr(_mm_getcsr() | 0x8040u);
#endif
#if BADFX_RATE_UNCHECKED
    // The fault: a level normalised by the host's rate, taken as it comes (0 Hz: 0/0).
    const float level = fx->rate / fx->rate;
#else
    const float level = 1.0f;
#endif
    for (int c = 0; c < 2; ++c) {
        float state = fx->state[c];
        for (int32 i = 0; i < frames; ++i) {
#if BADFX_STICKY_NAN
            // The fault: a feedback path without any recovery from NaN.
            state = 0.5f * state + inputs[c][i];
            outputs[c][i] = 0.1f * fx->gain * state * level;
#else
            state = inputs[c][i];
            outputs[c][i] = 2.0f * fx->gain * state * level;
#endif
        }
        fx->state[c] = state;
#if BADFX_DROPS_REMAINDER
        std::fill_n(outputs[c] + frames, remainder, 0.0f);
#endif
#if BADFX_STALE_REMAINDER
        if (frames >= 32) std::memcpy(fx->lastBlock[c], outputs[c] + frames - 32, sizeof fx->lastBlock[c]);
        std::memcpy(outputs[c] + frames, fx->lastBlock[c], static_cast<std::size_t>(remainder) * sizeof(float));
#endif
#if BADFX_OVERRUN
        // The fault: one frame too many.
        if (frames > 0) outputs[c][frames] = 0.0f;
#endif
    }
}

intptr dispatcher(AEffect* effect, int32 opcode, int32 index, intptr, void* ptr, float opt)
{
    BadFx* fx = self(effect);
    switch (opcode) {
    case effSetSampleRate:
#if BADFX_RATE_UNCHECKED
        fx->rate = opt;
#else
        if (opt > 0.0f && opt < 1e6f) fx->rate = opt;
#endif
        return 0;
    case effClose:
#if BADFX_THREAD
        fx->stop = true;
        fx->worker.join();
#endif
        delete fx;
        return 1;
    case effGetParamName:
#if BADFX_LONG_NAME
        copyText(ptr, index == 0 ? "Output gain level" : "Tone", 64);
#else
        copyText(ptr, index == 0 ? "Gain" : index == 1 ? "Tone" : "", kVstMaxParamStrLen);
#endif
        return 0;
    case effGetParamLabel:
        copyText(ptr, "", kVstMaxParamStrLen);
        return 0;
    case effGetParamDisplay: {
        const float* value = slot(fx, index);
#if BADFX_PADDED_TEXT
        // The fault: a fixed-width copy pads past the host's 9 bytes.
        const char* text = value != nullptr && *value > 0.5f ? "high" : "low";
        if (ptr != nullptr) std::strncpy(static_cast<char*>(ptr), text, 24);
#else
        copyText(ptr, value == nullptr ? "" : *value > 0.5f ? "high" : "low", kVstMaxParamStrLen);
#endif
        return 0;
    }
    case effGetEffectName:
    case effGetProductString:
        copyText(ptr, "validator test effect", kVstMaxEffectNameLen);
        return 1;
    case effGetVendorString:
        copyText(ptr, "TW07 tests", kVstMaxVendorStrLen);
        return 1;
    case effGetPlugCategory:
        return kPlugCategEffect;
    case effGetVstVersion:
        return kVstVersion;
    default:
        return 0;
    }
}

#if BADFX_X_AT_LOAD
// The fault: a connection to the X display of $DISPLAY, as a windowing library's
// initialisation makes, opened and closed during construction.
void touchDisplay()
{
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] != ':') return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const int length =
        std::snprintf(address.sun_path + 1, sizeof address.sun_path - 1, "/tmp/.X11-unix/X%d", std::atoi(display + 1));
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return;
    connect(fd, reinterpret_cast<sockaddr*>(&address),
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length));
    close(fd);
}
#endif

}  // namespace

#if BADFX_EXTRA_EXPORT
// The fault: a helper left visible to every other module in the process.
extern "C" __attribute__((visibility("default"))) int badFxHelper() { return 1; }
#endif

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(AudioMasterCallback host)
{
    if (host == nullptr || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
#if BADFX_X_AT_LOAD
    touchDisplay();
#endif
#if BADFX_SLOW_SCAN
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
#endif
    auto* fx = new BadFx;
    AEffect& effect = fx->effect;
    effect.magic = kEffectMagic;
    effect.dispatcher = dispatcher;
    effect.setParameter = setParameter;
    effect.getParameter = getParameter;
    effect.processReplacing = processReplacing;
    effect.numParams = 2;
    effect.numInputs = 2;
    effect.numOutputs = 2;
    effect.flags = effFlagsCanReplacing;
    effect.ioRatio = 1.0f;
    effect.object = fx;
    effect.uniqueID = fourCC('t', 'w', 'B', 'd');
    effect.version = 1;
#if BADFX_THREAD
    fx->worker = std::thread([fx] {
        while (!fx->stop) std::this_thread::yield();
    });
#endif
    return &effect;
}
