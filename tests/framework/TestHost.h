#pragma once
// The framework tests' host: the tools' host library, recording every request the
// test effects make, posing as "kx test host", and exporting the probe the test
// effect reports to.

#include <string>
#include <vector>

#include "kx/vst2/VstInterface.h"
#include "tests/framework/TestFxProbe.h"
#include "tools/host/HostContext.h"
#include "tools/host/HostModule.h"

namespace testhost {

using namespace kx::vst2;
using Module = tools::HostModule;
using HostCall = tools::HostRequest;

tools::HostContext& host();
testfx::Probe& probe();

// Clears the recorded requests and the probe, and restores the host's answers.
void resetHost();

// One instance of an effect, not yet opened; closed at destruction unless the test closed it.
class Instance {
public:
    explicit Instance(const Module& module);
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
