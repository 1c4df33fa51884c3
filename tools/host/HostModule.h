#pragma once
// A VST 2 module loaded by path: the shared object (Windows: the DLL) and its entry point.

#include "Effect.h"
#include "HostContext.h"
#include "SharedLibrary.h"
#include "kx/vst2/VstInterface.h"

#include <memory>
#include <string>

namespace tools {

class HostModule {
public:
    // Loads the module and finds `VSTPluginMain`, else `main`; throws std::runtime_error
    // with the loader's message.
    explicit HostModule(const std::string& path);

    const std::string& path() const { return modulePath; }
    const SharedLibrary& library() const { return loaded; }
    kx::vst2::EntryProc entryPoint() const { return entry; }

    // Calls the entry point with the host callback, requests made meanwhile going to
    // `context`, and checks the record it returns; throws std::runtime_error when
    // there is none or it is unusable. The record is not open yet.
    kx::vst2::AEffect* createRecord(HostContext& context) const;

    // An effect on a new record, opened. It keeps the module loaded for as long as it lives.
    std::unique_ptr<Effect> instantiate(HostContext& context) const;

private:
    std::string modulePath;
    SharedLibrary loaded;
    kx::vst2::EntryProc entry = nullptr;
};

}  // namespace tools
