// The module's exported entry points and its factory, with the one class the module holds:
// the effect as a single component (processor and controller in one object).
// Compiled into each module, not into a library, so that the linker keeps it.

#include <cstring>
#include <new>
#include <string_view>

#include "kx/AudioPlugin.h"
#include "kx/vst3/Utf16.h"
#include "kx/vst3/Vst3Interface.h"
#include "kx/vst3/Vst3PlugAdapter.h"

namespace kx::vst3 {
namespace {

constexpr const char* kSdkVersion = "VST 3.8.0";  // the interface version these declarations follow
constexpr uint32 kClassIdTag = 0x4B585633;        // "KXV3": the first word of every class id we make

// 32-bit FNV-1a of a text, with a seed to draw more than one word from it.
constexpr uint32 hashOf(std::string_view text, uint32 seed)
{
    uint32 hash = 2166136261u ^ seed;
    for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

// Stable for as long as the effect's identifier and unique id are, which never change once released.
Uid classId()
{
    const PluginDescriptor& d = pluginDescriptor();
    return Uid::of(kClassIdTag, hashOf(d.identifier, 1), static_cast<uint32>(d.uniqueId), hashOf(d.identifier, 2));
}

const char* subCategoriesOf(EffectKind kind) { return kind == EffectKind::kDistortion ? "Fx|Distortion" : "Fx"; }

template<std::size_t N>
void copyText(char (&out)[N], std::string_view text)
{
    const std::size_t length = std::min(text.size(), N - 1);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

class Factory final : public IPluginFactory3 {
public:
    tresult queryInterface(const TUID iid, void** object) override
    {
        if (object == nullptr) return kInvalidArgument;
        if (kFUnknownIid == iid || kIPluginFactoryIid == iid || kIPluginFactory2Iid == iid ||
            kIPluginFactory3Iid == iid) {
            *object = this;
            return kResultOk;
        }
        *object = nullptr;
        return kNoInterface;
    }
    // The factory lives as long as the module.
    uint32 addRef() override { return 1; }
    uint32 release() override { return 1; }

    tresult getFactoryInfo(PFactoryInfo* info) override
    {
        if (info == nullptr) return kInvalidArgument;
        *info = PFactoryInfo{};
        copyText(info->vendor, pluginDescriptor().vendor);
        info->flags = kFactoryUnicode;
        return kResultOk;
    }

    int32 countClasses() override { return 1; }

    tresult getClassInfo(int32 index, PClassInfo* info) override
    {
        if (info == nullptr || index != 0) return kInvalidArgument;
        *info = PClassInfo{};
        std::memcpy(info->cid, classId().bytes, sizeof(info->cid));
        info->cardinality = kManyInstances;
        copyText(info->category, kVstAudioEffectClass);
        copyText(info->name, pluginDescriptor().name);
        return kResultOk;
    }

    tresult getClassInfo2(int32 index, PClassInfo2* info) override
    {
        if (info == nullptr || index != 0) return kInvalidArgument;
        const PluginDescriptor& d = pluginDescriptor();
        *info = PClassInfo2{};
        std::memcpy(info->cid, classId().bytes, sizeof(info->cid));
        info->cardinality = kManyInstances;
        copyText(info->category, kVstAudioEffectClass);
        copyText(info->name, d.name);
        info->classFlags = 0;
        copyText(info->subCategories, subCategoriesOf(d.kind));
        copyText(info->vendor, d.vendor);
        copyText(info->version, d.version);
        copyText(info->sdkVersion, kSdkVersion);
        return kResultOk;
    }

    tresult getClassInfoUnicode(int32 index, PClassInfoW* info) override
    {
        if (info == nullptr || index != 0) return kInvalidArgument;
        const PluginDescriptor& d = pluginDescriptor();
        *info = PClassInfoW{};
        std::memcpy(info->cid, classId().bytes, sizeof(info->cid));
        info->cardinality = kManyInstances;
        copyText(info->category, kVstAudioEffectClass);
        toUtf16(d.name, info->name, 64);
        info->classFlags = 0;
        copyText(info->subCategories, subCategoriesOf(d.kind));
        toUtf16(d.vendor, info->vendor, 64);
        toUtf16(d.version, info->version, 64);
        toUtf16(kSdkVersion, info->sdkVersion, 64);
        return kResultOk;
    }

    tresult setHostContext(FUnknown*) override { return kResultOk; }

    tresult createInstance(FIDString cid, FIDString iid, void** object) override
    {
        if (object == nullptr) return kInvalidArgument;
        *object = nullptr;
        if (cid == nullptr || iid == nullptr || !(classId() == cid)) return kNoInterface;
        auto* adapter = new (std::nothrow) Vst3PlugAdapter();
        if (adapter == nullptr) return kOutOfMemory;
        const tresult result = adapter->queryInterface(iid, object);
        adapter->release();  // the reference the host asked for, if any, stays
        return result;
    }
};

Factory factory;

}  // namespace
}  // namespace kx::vst3

#if defined(_WIN32)
// Exported by the module definition file.
#define KX_VST3_ENTRY extern "C"
KX_VST3_ENTRY bool InitDll() { return true; }
KX_VST3_ENTRY bool ExitDll() { return true; }
#else
#define KX_VST3_ENTRY extern "C" __attribute__((visibility("default")))
KX_VST3_ENTRY bool ModuleEntry(void*) { return true; }
KX_VST3_ENTRY bool ModuleExit() { return true; }
#endif

KX_VST3_ENTRY kx::vst3::IPluginFactory* GetPluginFactory() { return &kx::vst3::factory; }
