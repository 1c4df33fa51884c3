#include "HostModule.h"

#include <stdexcept>

namespace tools {

using namespace kx::vst2;

HostModule::HostModule(const std::string& path) : modulePath(path), loaded(path)
{
    entry = loaded.function<EntryProc>("VSTPluginMain");
    if (entry == nullptr) entry = loaded.function<EntryProc>("main");
    if (entry == nullptr) throw std::runtime_error(path + " exports neither VSTPluginMain nor main");
}

AEffect* HostModule::createRecord(HostContext& context) const
{
    HostContext::setLoading(&context);
    AEffect* effect = entry(&HostContext::callback);
    HostContext::setLoading(nullptr);
    if (effect == nullptr) throw std::runtime_error(modulePath + ": the entry point returned no effect");
    if (effect->magic != kEffectMagic) {
        throw std::runtime_error(modulePath + ": the entry point returned a record without the VstP magic");
    }
    if (effect->dispatcher == nullptr) throw std::runtime_error(modulePath + ": the effect has no dispatcher");
    return effect;
}

std::unique_ptr<Effect> HostModule::instantiate(HostContext& context) const
{
    return std::make_unique<Effect>(createRecord(context), context, loaded);
}

}  // namespace tools
