#include "tools/host/ClapPlugin.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tools::clap {

ClapPlugin::ClapPlugin(std::shared_ptr<const ClapModule> module)
    : module(std::move(module)),
      plugin(*this->module),
      inputPorts(portChannels(true)),
      outputPorts(portChannels(false)),
      inputs(inputPorts.empty() ? 0 : static_cast<int>(std::min(inputPorts[0], 2u))),
      outputs(outputPorts.empty() ? 0 : static_cast<int>(std::min(outputPorts[0], 2u)))
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

std::vector<uint32_t> ClapPlugin::portChannels(bool input) const
{
    std::vector<uint32_t> channels;
    const auto* ports = plugin.extension<clap_plugin_audio_ports>(kExtAudioPorts);
    const uint32_t count = ports != nullptr ? ports->count(plugin.plugin(), input) : 0;
    for (uint32_t i = 0; i < count; ++i) {
        clap_audio_port_info info{};
        channels.push_back(ports->get(plugin.plugin(), i, input, &info) ? info.channel_count : 0);
    }
    return channels;
}

void ClapPlugin::prepareBuffers(int frames)
{
    scratchFrames = frames;
    inputBuffers.assign(inputPorts.size(), clap_audio_buffer{});
    outputBuffers.assign(outputPorts.size(), clap_audio_buffer{});
    channelPointers.clear();
    scratch.clear();
    const auto fill = [&](std::vector<clap_audio_buffer>& buffers, const std::vector<uint32_t>& ports) {
        for (std::size_t p = 0; p < ports.size(); ++p) {
            channelPointers.emplace_back(ports[p], nullptr);
            if (p > 0) {
                for (float*& channel : channelPointers.back())
                    channel = scratch.emplace_back(static_cast<std::size_t>(frames), 0.0f).data();
            }
            buffers[p].channel_count = ports[p];
        }
    };
    fill(inputBuffers, inputPorts);
    fill(outputBuffers, outputPorts);
    // Pointers taken once every vector has its final size.
    std::size_t next = 0;
    for (clap_audio_buffer& buffer : inputBuffers) buffer.data32 = channelPointers[next++].data();
    for (clap_audio_buffer& buffer : outputBuffers) buffer.data32 = channelPointers[next++].data();
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

std::vector<std::string> ClapPlugin::presets()
{
    if (!discoveryDone) {
        discoveryDone = true;
        const std::string self = std::string("clap:") + plugin.plugin()->desc->id;
        for (DiscoveredPreset& preset : module->discoverPresets()) {
            if (std::find(preset.pluginIds.begin(), preset.pluginIds.end(), self) != preset.pluginIds.end())
                discovered.push_back(std::move(preset));
        }
    }
    std::vector<std::string> names;
    for (const DiscoveredPreset& preset : discovered) names.push_back(preset.name);
    return names;
}

bool ClapPlugin::loadPreset(int index)
{
    presets();
    const auto* load = plugin.extension<clap_plugin_preset_load>(kExtPresetLoad);
    if (load == nullptr || index < 0 || index >= static_cast<int>(discovered.size())) return false;
    const DiscoveredPreset& preset = discovered[static_cast<std::size_t>(index)];
    return load->from_location(plugin.plugin(), preset.locationKind,
                               preset.location.empty() ? nullptr : preset.location.c_str(), preset.key.c_str());
}

void ClapPlugin::prepare(float sampleRate, int maxFrames)
{
    rate = sampleRate;
    maxBlock = maxFrames;
}

void ClapPlugin::start()
{
    if (running) return;
    prepareBuffers(std::max(maxBlock, 1));
    if (!plugin.activate(rate, static_cast<uint32_t>(std::max(maxBlock, 1))))
        throw std::runtime_error("the plug-in did not activate at " + std::to_string(rate) + " Hz");
    running = true;
}

void ClapPlugin::process(float** inputs, float** outputs, int frames)
{
    if (frames > scratchFrames) prepareBuffers(frames);  // a host may go past what it announced
    // The first port's channels are the caller's; extra channels of a wider port repeat the last.
    const auto route = [](clap_audio_buffer* buffers, std::size_t ports, float** channels, int count) {
        if (ports == 0) return;
        for (uint32_t c = 0; c < buffers[0].channel_count; ++c)
            buffers[0].data32[c] = count > 0 ? channels[std::min<int>(static_cast<int>(c), count - 1)] : nullptr;
    };
    route(inputBuffers.data(), inputBuffers.size(), inputs, this->inputs);
    route(outputBuffers.data(), outputBuffers.size(), outputs, this->outputs);
    plugin.process(inputBuffers.data(), static_cast<uint32_t>(inputBuffers.size()), outputBuffers.data(),
                   static_cast<uint32_t>(outputBuffers.size()), static_cast<uint32_t>(frames), pending);
    pending.clear();
}

void ClapPlugin::stop()
{
    if (!running) return;
    plugin.deactivate();
    running = false;
}

}  // namespace tools::clap
