#include "HostModule.h"

#include <dlfcn.h>

#include <stdexcept>

namespace tools {

using namespace kx::vst2;

HostModule::HostModule(const std::string& path) : modulePath(path)
{
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* message = dlerror();
        throw std::runtime_error("cannot load " + path + ": " + (message != nullptr ? message : "unknown error"));
    }
    library = std::shared_ptr<void>(handle, [](void* h) { dlclose(h); });

    void* symbol = dlsym(handle, "VSTPluginMain");
    if (symbol == nullptr) symbol = dlsym(handle, "main");
    if (symbol == nullptr) throw std::runtime_error(path + " exports neither VSTPluginMain nor main");
    entry = reinterpret_cast<EntryProc>(symbol);
}

std::unique_ptr<Effect> HostModule::instantiate(HostContext& context) const
{
    HostContext::setLoading(&context);
    AEffect* effect = entry(&HostContext::callback);
    HostContext::setLoading(nullptr);
    if (effect == nullptr) throw std::runtime_error(modulePath + ": the entry point returned no effect");
    if (effect->magic != kEffectMagic) {
        throw std::runtime_error(modulePath + ": the entry point returned a record without the VstP magic");
    }
    if (effect->dispatcher == nullptr) throw std::runtime_error(modulePath + ": the effect has no dispatcher");
    return std::make_unique<Effect>(effect, context, library);
}

}  // namespace tools
