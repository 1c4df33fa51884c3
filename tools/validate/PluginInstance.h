#pragma once
// One instance of the module under test, created through its entry point with
// the validator's host callback and opened; closed when destroyed. The host
// callback answers without locks or allocation, so that calls a module makes
// from its audio path are not charged to the module.

#include "kx/vst2/VstInterface.h"

#include <string>

namespace tools::validate {

class PluginInstance {
public:
    // Loads the module (RTLD_NOW | RTLD_LOCAL) once per process and keeps it
    // loaded; throws std::runtime_error when it cannot be loaded or has no entry point.
    static kx::vst2::EntryProc entryPoint(const std::string& modulePath);

    // The entry point's record (checked for magic and dispatcher), opened; throws when unusable.
    explicit PluginInstance(kx::vst2::EntryProc entry);
    ~PluginInstance();
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    kx::vst2::AEffect* record() const { return effect; }
    int numInputs() const { return effect->numInputs; }
    int numOutputs() const { return effect->numOutputs; }
    int numParams() const { return effect->numParams; }
    bool hasEditor() const { return (effect->flags & kx::vst2::effFlagsHasEditor) != 0; }

    kx::vst2::intptr dispatch(kx::vst2::int32 opcode, kx::vst2::int32 index = 0, kx::vst2::intptr value = 0,
                              void* ptr = nullptr, float opt = 0.0f);
    // Sample rate and maximum block size, as hosts announce them before resuming.
    void prepare(float rate, int maxBlock);
    void resume();
    void suspend();
    // effClose; the record is not used afterwards.
    void close();

    // Automation requests the module has sent to the host so far (all instances).
    static int automationCount();

private:
    kx::vst2::AEffect* effect = nullptr;
    bool open = false;
};

}  // namespace tools::validate
