#pragma once
// The abstract effect. The host binding owns it and calls it only through this interface.

#include <memory>

#include "kx/AudioPluginEditor.h"
#include "kx/HostCallback.h"
#include "kx/Parameters.h"
#include "kx/PluginDescriptor.h"
#include "kx/ProcessBlock.h"

namespace kx {

class AudioPlugin {
public:
    Parameters parameters;  // first member: the binding reads and writes it directly

    virtual ~AudioPlugin();
    virtual const PluginDescriptor& descriptor() const = 0;  // same record for the object's life
    virtual void reset() {}
    virtual void suspend() {}
    virtual void setBypass(bool) {}
    virtual void setSampleRate(float) {}
    virtual void setNumInputs(int) {}                        // 0..2
    virtual void setNumOutputs(int) {}                       // 0..2
    virtual void process(const ProcessBlock& block) = 0;     // audio thread
    virtual AudioPluginEditor* editor() { return nullptr; }  // owned by the plug-in
};

// Defined once by each module that needs it before any instance exists: what its effect
// publishes about itself, the same record descriptor() returns.
const PluginDescriptor& pluginDescriptor();

// Defined once by each module: creates its effect. Allocation honours the effect's alignment.
std::unique_ptr<AudioPlugin> createPlugin(HostCallback& host, float sampleRate);

}  // namespace kx
