// The module's exported entry point. Compiled into each module, not into a library, so that
// the linker keeps it.

#include <new>

#include "kx/vst2/Vst2PlugAdapter.h"
#include "kx/vst2/VstInterface.h"

using kx::vst2::AEffect;
using kx::vst2::AudioMasterCallback;

#if defined(_WIN32)
// Exported by the module definition file, under this name and as "main".
#define KX_VST2_ENTRY extern "C"
#else
#define KX_VST2_ENTRY extern "C" __attribute__((visibility("default")))
#endif

KX_VST2_ENTRY AEffect* VSTPluginMain(AudioMasterCallback audioMaster)
{
    if (audioMaster == nullptr || audioMaster(nullptr, kx::vst2::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
        return nullptr;
    }
    try {
        auto* adapter = new kx::vst2::Vst2PlugAdapter(audioMaster);
        return adapter->getAeffect();
    } catch (...) {
        return nullptr;  // no exception may cross into the host
    }
}

#if !defined(_WIN32)
// Older hosts look the entry point up as "main": the same function under a second name.
extern "C" __attribute__((visibility("default"), alias("VSTPluginMain"))) AEffect* vstPluginMainAlias(
    AudioMasterCallback audioMaster) __asm__("main");
#endif
