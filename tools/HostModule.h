#pragma once
// A VST 2 module loaded by path: the shared object (Windows: the DLL) and its entry point.

#include "Effect.h"
#include "HostContext.h"
#include "kx/vst2/VstInterface.h"

#include <memory>
#include <string>

namespace tools {

class HostModule {
public:
    // Loads the shared object (RTLD_NOW | RTLD_LOCAL; Windows: LoadLibrary) and finds
    // `VSTPluginMain`, else `main`; throws std::runtime_error with the loader's message.
    explicit HostModule(const std::string& path);

    const std::string& path() const { return modulePath; }

    // Calls the entry point with the host callback, checks the record and opens it.
    // The effect keeps the module loaded for as long as it lives.
    std::unique_ptr<Effect> instantiate(HostContext& context) const;

private:
    std::string modulePath;
    std::shared_ptr<void> library;
    kx::vst2::EntryProc entry = nullptr;
};

}  // namespace tools
