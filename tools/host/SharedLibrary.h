#pragma once
// The one place the tools load code at run time: a shared object on Linux, a DLL on
// Windows. Copies share the handle; the library is unloaded when the last copy goes.

#include <memory>
#include <string>

namespace tools {

class SharedLibrary {
public:
    SharedLibrary() = default;
    // Loads with every symbol bound now and none made visible to later loads
    // (RTLD_NOW | RTLD_LOCAL; Windows: LoadLibrary). Throws std::runtime_error
    // with the loader's message.
    explicit SharedLibrary(const std::string& path);

    bool loaded() const { return handle != nullptr; }
    // The address of an exported symbol, null when there is none.
    void* symbol(const char* name) const;
    template<class Function>
    Function function(const char* name) const
    {
        return reinterpret_cast<Function>(symbol(name));
    }
    // Drops this copy's hold on the library.
    void release() { handle.reset(); }

    // Whether the process has the file loaded (under any copy's hold).
    static bool isLoaded(const std::string& path);
    // Loads a library for the rest of the process, its symbols visible to libraries
    // loaded later; false when it cannot be loaded.
    static bool keepLoaded(const std::string& path);

private:
    std::shared_ptr<void> handle;
};

}  // namespace tools
