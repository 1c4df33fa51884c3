#include "HostModule.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <stdexcept>

namespace tools {

using namespace kx::vst2;

namespace {

#if defined(_WIN32)
std::shared_ptr<void> openLibrary(const std::string& path)
{
    HMODULE handle = LoadLibraryA(path.c_str());
    if (handle == nullptr) {
        throw std::runtime_error("cannot load " + path + ": Windows error " + std::to_string(GetLastError()));
    }
    return std::shared_ptr<void>(handle, [](void* h) { FreeLibrary(static_cast<HMODULE>(h)); });
}

void* findSymbol(void* library, const char* name)
{
    // Through void (*)(), the one function type every other converts from without a warning.
    auto* function = reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(library), name));
    return reinterpret_cast<void*>(function);
}
#else
std::shared_ptr<void> openLibrary(const std::string& path)
{
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* message = dlerror();
        throw std::runtime_error("cannot load " + path + ": " + (message != nullptr ? message : "unknown error"));
    }
    return std::shared_ptr<void>(handle, [](void* h) { dlclose(h); });
}

void* findSymbol(void* library, const char* name) { return dlsym(library, name); }
#endif

}  // namespace

HostModule::HostModule(const std::string& path) : modulePath(path), library(openLibrary(path))
{
    void* symbol = findSymbol(library.get(), "VSTPluginMain");
    if (symbol == nullptr) symbol = findSymbol(library.get(), "main");
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
