#include "PluginInstance.h"

#include <dlfcn.h>

#include <atomic>
#include <cstring>
#include <stdexcept>

namespace tools::validate {

using namespace kx::vst2;

namespace {

std::atomic<float> hostRate{44100.0f};
std::atomic<int> hostBlock{512};
std::atomic<int> automations{0};

void copyHostText(void* ptr, const char* text)
{
    if (ptr != nullptr) std::memcpy(ptr, text, std::strlen(text) + 1);
}

intptr hostCallback(AEffect*, int32 opcode, int32, intptr, void* ptr, float)
{
    switch (opcode) {
    case audioMasterAutomate:
        automations.fetch_add(1, std::memory_order_relaxed);
        return 0;
    case audioMasterVersion:
        return kVstVersion;
    case audioMasterSizeWindow:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        return 1;
    case audioMasterGetSampleRate:
        return static_cast<intptr>(hostRate.load(std::memory_order_relaxed));
    case audioMasterGetBlockSize:
        return hostBlock.load(std::memory_order_relaxed);
    case audioMasterGetCurrentProcessLevel:
        return 2;
    case audioMasterGetVendorString:
        copyHostText(ptr, "TW07 host tools");
        return 1;
    case audioMasterGetProductString:
        copyHostText(ptr, "tw07-host validate");
        return 1;
    case audioMasterGetVendorVersion:
        return 1;
    default:
        return 0;
    }
}

}  // namespace

EntryProc PluginInstance::entryPoint(const std::string& modulePath)
{
    dlerror();
    void* handle = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* message = dlerror();
        throw std::runtime_error("cannot load " + modulePath + ": " + (message != nullptr ? message : "?"));
    }
    void* symbol = dlsym(handle, "VSTPluginMain");
    if (symbol == nullptr) symbol = dlsym(handle, "main");
    if (symbol == nullptr) throw std::runtime_error(modulePath + " exports neither VSTPluginMain nor main");
    return reinterpret_cast<EntryProc>(symbol);
}

PluginInstance::PluginInstance(EntryProc entry)
{
    effect = entry(hostCallback);
    if (effect == nullptr) throw std::runtime_error("the entry point returned no effect");
    if (effect->magic != kEffectMagic) throw std::runtime_error("the effect record lacks the VstP magic");
    if (effect->dispatcher == nullptr) throw std::runtime_error("the effect record has no dispatcher");
    dispatch(effOpen);
    open = true;
}

PluginInstance::~PluginInstance() { close(); }

intptr PluginInstance::dispatch(int32 opcode, int32 index, intptr value, void* ptr, float opt)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void PluginInstance::prepare(float rate, int maxBlock)
{
    hostRate.store(rate, std::memory_order_relaxed);
    hostBlock.store(maxBlock, std::memory_order_relaxed);
    dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    dispatch(effSetBlockSize, 0, maxBlock);
}

void PluginInstance::resume() { dispatch(effMainsChanged, 0, 1); }
void PluginInstance::suspend() { dispatch(effMainsChanged, 0, 0); }

void PluginInstance::close()
{
    if (!open) return;
    open = false;
    dispatch(effClose);
}

int PluginInstance::automationCount() { return automations.load(std::memory_order_relaxed); }

}  // namespace tools::validate
