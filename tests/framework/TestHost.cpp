#include "tests/framework/TestHost.h"

#include <dlfcn.h>

#include <cstring>
#include <stdexcept>

namespace testhost {

std::vector<HostCall> HostState::callsOf(int32 opcode)
{
    std::lock_guard lock(mutex);
    std::vector<HostCall> out;
    for (const HostCall& call : calls) {
        if (call.opcode == opcode) {
            out.push_back(call);
        }
    }
    return out;
}

HostState& hostState()
{
    static HostState state;
    return state;
}

testfx::Probe& probe()
{
    static testfx::Probe instance{};
    return instance;
}

void resetHost()
{
    HostState& state = hostState();
    std::lock_guard lock(state.mutex);
    state.calls.clear();
    state.versionAnswer = 2400;
    state.product = "kx test host";
    state.vendor = "kx";
    state.vendorVersion = 3;
    probe() = testfx::Probe{};
}

intptr hostCallback(AEffect*, int32 opcode, int32 index, intptr value, void* ptr, float opt)
{
    HostState& state = hostState();
    std::lock_guard lock(state.mutex);
    state.calls.push_back({opcode, index, value, opt});
    switch (opcode) {
    case audioMasterVersion:
        return state.versionAnswer;
    case audioMasterGetProductString:
        std::strncpy(static_cast<char*>(ptr), state.product.c_str(), 64);
        return 1;
    case audioMasterGetVendorString:
        std::strncpy(static_cast<char*>(ptr), state.vendor.c_str(), 64);
        return 1;
    case audioMasterGetVendorVersion:
        return state.vendorVersion;
    case audioMasterSizeWindow:
        return 1;
    default:
        return 0;
    }
}

Module::Module(const char* path)
{
    handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        throw std::runtime_error(dlerror());
    }
    entry = reinterpret_cast<EntryProc>(dlsym(handle, "VSTPluginMain"));
    mainEntry = reinterpret_cast<EntryProc>(dlsym(handle, "main"));
}

Module::~Module() { dlclose(handle); }

Instance::Instance(const Module& module)
{
    effect = module.entry(hostCallback);
    if (effect == nullptr) {
        throw std::runtime_error("the module refused to load");
    }
}

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
