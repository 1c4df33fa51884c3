#include "tools/host/ClapPlugin.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tools::clap {

ClapPlugin::ClapPlugin(std::shared_ptr<const ClapModule> module)
    : module(std::move(module)), plugin(*this->module), inputs(channels(true)), outputs(channels(false))
{
    const auto* params = plugin.extension<clap_plugin_params>(kExtParams);
    const uint32_t count = params != nullptr ? params->count(plugin.plugin()) : 0;
    for (uint32_t i = 0; i < count; ++i) {
        clap_param_info info{};
        if (!params->get_info(plugin.plugin(), i, &info))
            throw std::runtime_error("parameter " + std::to_string(i) + " has no info");
        info.name[sizeof(info.name) - 1] = '\0';
        infos.push_back(info);
    }
}

ClapPlugin::~ClapPlugin() { stop(); }

std::string ClapPlugin::name() { return plugin.plugin()->desc->name != nullptr ? plugin.plugin()->desc->name : ""; }

std::string ClapPlugin::vendor()
{
    return plugin.plugin()->desc->vendor != nullptr ? plugin.plugin()->desc->vendor : "";
}

int ClapPlugin::channels(bool input) const
{
    const auto* ports = plugin.extension<clap_plugin_audio_ports>(kExtAudioPorts);
    clap_audio_port_info info{};
    if (ports == nullptr || ports->count(plugin.plugin(), input) < 1 || !ports->get(plugin.plugin(), 0, input, &info))
        return 0;
    return static_cast<int>(std::min(info.channel_count, 2u));
}

std::string ClapPlugin::paramName(int index)
{
    return index >= 0 && index < numParams() ? infos[static_cast<std::size_t>(index)].name : "";
}

float ClapPlugin::getParameter(int index)
{
    if (index < 0 || index >= numParams()) return 0.0f;
    const clap_param_info& info = infos[static_cast<std::size_t>(index)];
    const double range = info.max_value - info.min_value;
    return range > 0.0 ? static_cast<float>((plugin.value(info.id) - info.min_value) / range) : 0.0f;
}

void ClapPlugin::setParameter(int index, float value)
{
    if (index < 0 || index >= numParams()) return;
    const clap_param_info& info = infos[static_cast<std::size_t>(index)];
    const double plain = info.min_value + static_cast<double>(value) * (info.max_value - info.min_value);
    pending.addValue(0, info.id, plain);
    if (!running) {
        plugin.flush(pending);
        pending.clear();
    }
}

void ClapPlugin::prepare(float sampleRate, int maxFrames)
{
    rate = sampleRate;
    maxBlock = maxFrames;
}

void ClapPlugin::start()
{
    if (running) return;
    if (!plugin.activate(rate, static_cast<uint32_t>(std::max(maxBlock, 1))))
        throw std::runtime_error("the plug-in did not activate at " + std::to_string(rate) + " Hz");
    running = true;
}

void ClapPlugin::process(float** inputs, float** outputs, int frames)
{
    plugin.process(inputs, this->inputs, outputs, this->outputs, static_cast<uint32_t>(frames), pending);
    pending.clear();
}

void ClapPlugin::stop()
{
    if (!running) return;
    plugin.deactivate();
    running = false;
}

}  // namespace tools::clap
