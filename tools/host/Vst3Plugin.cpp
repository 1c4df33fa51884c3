#include "tools/host/Vst3Plugin.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "kx/vst3/Utf16.h"

namespace tools::vst3 {

Vst3Plugin::Vst3Plugin(std::shared_ptr<const Vst3Module> module)
    : module(std::move(module)),
      plugin(*this->module),
      inputs(std::min(plugin.busChannels(kInput), 2)),
      outputs(std::min(plugin.busChannels(kOutput), 2))
{
    const PClassInfo info = this->module->effectClass();
    className.assign(info.name, strnlen(info.name, sizeof info.name));
    PFactoryInfo factory{};
    if (this->module->factory().getFactoryInfo(&factory) == kResultOk)
        vendorName.assign(factory.vendor, strnlen(factory.vendor, sizeof factory.vendor));
    IEditController& controller = plugin.controller();
    for (int32 i = 0; i < controller.getParameterCount(); ++i) {
        ParameterInfo parameter{};
        if (controller.getParameterInfo(i, parameter) != kResultOk) continue;
        if ((parameter.flags & kIsProgramChange) != 0) {
            if (!programId) programId = parameter.id;
            continue;
        }
        ids.push_back(parameter.id);
        names.push_back(kx::vst3::fromUtf16(parameter.title, 128));
    }
    IUnitInfo* units = nullptr;
    if (controller.queryInterface(kIUnitInfoIid.bytes, reinterpret_cast<void**>(&units)) == kResultOk &&
        units != nullptr) {
        ProgramListInfo list{};
        if (programId && units->getProgramListCount() > 0 && units->getProgramListInfo(0, list) == kResultOk) {
            for (int32 p = 0; p < list.programCount; ++p) {
                String128 name{};
                if (units->getProgramName(list.id, p, name) != kResultOk) break;
                programs.push_back(kx::vst3::fromUtf16(name, 128));
            }
        }
        units->release();
    }
}

std::vector<std::string> Vst3Plugin::presets() { return programs; }

bool Vst3Plugin::loadPreset(int index)
{
    if (!programId || index < 0 || index >= static_cast<int>(programs.size())) return false;
    const double value = programs.size() > 1 ? static_cast<double>(index) / static_cast<double>(programs.size() - 1) : 0.0;
    // As a host switches programs: the controller first, then the processor with the next call.
    if (plugin.controller().setParamNormalized(*programId, value) != kResultOk) return false;
    plugin.change(*programId, 0, value);
    return true;
}

Vst3Plugin::~Vst3Plugin() { plugin.stop(); }

std::string Vst3Plugin::paramName(int index)
{
    return index >= 0 && index < numParams() ? names[static_cast<std::size_t>(index)] : "";
}

float Vst3Plugin::getParameter(int index)
{
    if (index < 0 || index >= numParams()) return 0.0f;
    return static_cast<float>(plugin.controller().getParamNormalized(ids[static_cast<std::size_t>(index)]));
}

void Vst3Plugin::setParameter(int index, float value)
{
    if (index < 0 || index >= numParams()) return;
    const ParamID id = ids[static_cast<std::size_t>(index)];
    plugin.controller().setParamNormalized(id, value);
    plugin.change(id, 0, value);
}

void Vst3Plugin::prepare(float sampleRate, int maxFrames)
{
    rate = sampleRate;
    maxBlock = maxFrames;
}

void Vst3Plugin::start()
{
    if (!plugin.start(rate, std::max(maxBlock, 1)))
        throw std::runtime_error("the plug-in did not start processing at " + std::to_string(rate) + " Hz");
}

void Vst3Plugin::process(float** in, float** out, int frames) { plugin.process(in, inputs, out, outputs, frames); }

}  // namespace tools::vst3
