#include "PluginInstance.h"

namespace tools::validate {

namespace {

// One host for the process: each check runs in a child process of its own.
struct ValidatorHost : HostContext {
    ValidatorHost()
    {
        setRecording(Recording::Nothing);
        setProduct("tw07-host validate");
        setProcessLevel(kLevelRealtime);
        setBlockSize(512);
    }
};

HostContext& validatorHost()
{
    static ValidatorHost host;
    return host;
}

}  // namespace

PluginInstance::PluginInstance(const HostModule& module)
    : Effect(module.createRecord(validatorHost()), validatorHost(), module.library())
{
}

void PluginInstance::prepare(float rate, int maxBlock)
{
    setSampleRate(rate);
    setBlockSize(maxBlock);
}

}  // namespace tools::validate
