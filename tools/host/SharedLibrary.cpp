#include "SharedLibrary.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <stdexcept>

namespace tools {

#if defined(_WIN32)

SharedLibrary::SharedLibrary(const std::string& path)
{
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        throw std::runtime_error("cannot load " + path + ": Windows error " + std::to_string(GetLastError()));
    }
    handle = std::shared_ptr<void>(module, [](void* h) { FreeLibrary(static_cast<HMODULE>(h)); });
}

void* SharedLibrary::symbol(const char* name) const
{
    if (handle == nullptr) return nullptr;
    // Through void (*)(), the one function type every other converts from without a warning.
    auto* function = reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(handle.get()), name));
    return reinterpret_cast<void*>(function);
}

bool SharedLibrary::isLoaded(const std::string& path) { return GetModuleHandleA(path.c_str()) != nullptr; }

bool SharedLibrary::keepLoaded(const std::string& path)
{
    HMODULE module = nullptr;
    return LoadLibraryA(path.c_str()) != nullptr &&
           GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN, path.c_str(), &module) != 0;
}

#else

SharedLibrary::SharedLibrary(const std::string& path)
{
    dlerror();
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* message = dlerror();
        throw std::runtime_error("cannot load " + path + ": " + (message != nullptr ? message : "unknown error"));
    }
    handle = std::shared_ptr<void>(library, [](void* h) { dlclose(h); });
}

void* SharedLibrary::symbol(const char* name) const { return handle != nullptr ? dlsym(handle.get(), name) : nullptr; }

bool SharedLibrary::isLoaded(const std::string& path)
{
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (library == nullptr) return false;
    dlclose(library);  // the hold the question itself took
    return true;
}

bool SharedLibrary::keepLoaded(const std::string& path)
{
    return dlopen(path.c_str(), RTLD_NOW | RTLD_NODELETE | RTLD_GLOBAL) != nullptr;
}

#endif

}  // namespace tools
