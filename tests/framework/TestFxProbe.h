#pragma once
// What the test effect reports to a test that loaded it. A test executable exports the C
// function tw07TestFxProbe() returning its Probe; the effect looks it up with dlsym when it is
// created and reports nothing when it is absent (as in any ordinary host).

#include <cstdint>

#include "kx/HostCallback.h"
#include "kx/MidiEvent.h"

namespace testfx {

constexpr int kMaxBlocks = 64;
constexpr int kMaxEvents = 8;
constexpr int kMaxCallbacks = 64;

struct BlockRecord {
    int32_t frames;
    int32_t blockOffset;
    const float* inputs[2];
    float* outputs[2];
    int32_t eventCount;
    kx::MidiEvent events[kMaxEvents];
    float gain;  // stored value of parameter 0 as process read it
};

struct CallbackRecord {
    int index;
    float value;
};

struct Probe {
    kx::HostCallback* host;  // what the effect was created with
    int created;
    int destroyed;
    int resets;
    int suspends;
    int bypassCalls;
    bool bypass;
    float sampleRate;
    int numInputs;
    int numOutputs;
    int blockCount;  // every process call, also beyond kMaxBlocks
    BlockRecord blocks[kMaxBlocks];
    int callbackCount;
    CallbackRecord callbacks[kMaxCallbacks];
    int editorOpens;
    int editorCloses;
    int editorIdles;
    int editorDestroyed;
    void* editorParent;
};

using ProbeFunction = Probe* (*)();
constexpr const char* kProbeSymbol = "tw07TestFxProbe";

}  // namespace testfx
