#include "tests/framework/TestHost.h"

namespace testhost {

tools::HostContext& host()
{
    static tools::HostContext context;
    return context;
}

testfx::Probe& probe()
{
    static testfx::Probe instance{};
    return instance;
}

void resetHost()
{
    tools::HostContext& context = host();
    context.setRecording(tools::HostContext::Recording::Everything);
    context.clearRecords();
    context.setVersion(kVstVersion);
    context.setProduct("kx test host");
    context.setVendor("kx");
    context.setVendorVersion(3);
    probe() = testfx::Probe{};
}

Instance::Instance(const Module& module) : effect(module.createRecord(host())) { host().attach(effect); }

Instance::~Instance() { close(); }

intptr Instance::dispatch(int32 opcode, int32 index, intptr value, void* ptr, float opt)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string Instance::text(int32 opcode, int32 index, size_t bufferSize)
{
    std::vector<char> buffer(bufferSize, 'x');
    buffer.back() = '\0';
    dispatch(opcode, index, 0, buffer.data());
    return buffer.data();
}

void Instance::close()
{
    if (effect != nullptr) {
        dispatch(effClose);
        host().detach(effect);
        effect = nullptr;
    }
}

void Instance::start(float sampleRate, int32 blockSize)
{
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effOpen);
    dispatch(effMainsChanged, 0, 1);
}

void Instance::process(float** inputs, float** outputs, int32 frames)
{
    effect->processReplacing(effect, inputs, outputs, frames);
}

}  // namespace testhost

extern "C" __attribute__((visibility("default"))) testfx::Probe* tw07TestFxProbe() { return &testhost::probe(); }
