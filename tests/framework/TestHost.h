#pragma once
// A minimal VST 2.4 host for the framework tests: loads a module with dlopen, answers the
// module's requests, records them, and exports the probe the test effect reports to.

#include <mutex>
#include <string>
#include <vector>

#include "kx/vst2/VstInterface.h"
#include "tests/framework/TestFxProbe.h"

namespace testhost {

using namespace kx::vst2;

struct HostCall {
    int32 opcode;
    int32 index;
    intptr value;
    float opt;
};

// Answers and records of the one host callback (shared by every instance in the test).
struct HostState {
    intptr versionAnswer = 2400;
    std::string product = "kx test host";
    std::string vendor = "kx";
    int32 vendorVersion = 3;
    std::mutex mutex;
    std::vector<HostCall> calls;

    std::vector<HostCall> callsOf(int32 opcode);
};

HostState& hostState();
testfx::Probe& probe();

// Clears the recorded calls, the probe and the host's answers.
void resetHost();

intptr hostCallback(AEffect* effect, int32 opcode, int32 index, intptr value, void* ptr, float opt);

class Module {
public:
    explicit Module(const char* path);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    void* handle = nullptr;
    EntryProc entry = nullptr;
    EntryProc mainEntry = nullptr;
};

// One instance of an effect; closed at destruction unless the test closed it.
class Instance {
public:
    Instance(const Module& module);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    intptr dispatch(int32 opcode, int32 index = 0, intptr value = 0, void* ptr = nullptr, float opt = 0.0f);
    std::string text(int32 opcode, int32 index = 0, size_t bufferSize = 256);
    void close();
    void start(float sampleRate, int32 blockSize);  // rate, block size, open, resume
    void process(float** inputs, float** outputs, int32 frames);

    AEffect* effect = nullptr;
};

}  // namespace testhost
