#pragma once
// One instance of the module under test, opened through the host library with the
// validator's host: it records nothing, so the requests a module makes from its
// audio path take no lock and allocate nothing that would be charged to the module.

#include "tools/host/Effect.h"
#include "tools/host/HostModule.h"

namespace tools::validate {

class PluginInstance : public Effect {
public:
    // Throws std::runtime_error when the entry point returns no usable record.
    explicit PluginInstance(const HostModule& module);

    // Sample rate and maximum block size, as hosts announce them before resuming.
    void prepare(float rate, int maxBlock);
    void resume() { mainsChanged(true); }
    void suspend() { mainsChanged(false); }
};

}  // namespace tools::validate
