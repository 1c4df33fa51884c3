#include "tools/host/Lv2Plugin.h"

#include <lilv/lilv.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>

namespace tools::lv2 {

struct Lv2Plugin::World {
    LilvWorld* world = lilv_world_new();
    const LilvPlugin* plugin = nullptr;
    LilvInstance* instance = nullptr;

    ~World()
    {
        if (instance != nullptr) lilv_instance_free(instance);
        lilv_world_free(world);
    }
};

namespace {

std::string textOf(LilvNode* node)
{
    std::string text = node != nullptr ? lilv_node_as_string(node) : "";
    lilv_node_free(node);
    return text;
}

}  // namespace

Lv2Plugin::Lv2Plugin(const std::string& bundle) : world(std::make_unique<World>())
{
    // lilv wants the bundle's URI with its trailing separator.
    const std::string path = std::filesystem::absolute(bundle).lexically_normal().string();
    LilvNode* uri = lilv_new_file_uri(world->world, nullptr, (path.back() == '/' ? path : path + "/").c_str());
    lilv_world_load_bundle(world->world, uri);
    lilv_node_free(uri);
    const LilvPlugins* plugins = lilv_world_get_all_plugins(world->world);
    LilvIter* first = lilv_plugins_begin(plugins);
    if (lilv_plugins_is_end(plugins, first)) throw std::runtime_error(bundle + " holds no LV2 plug-in");
    world->plugin = lilv_plugins_get(plugins, first);
    pluginName = textOf(lilv_plugin_get_name(world->plugin));
    vendorName = textOf(lilv_plugin_get_author_name(world->plugin));

    LilvNode* audio = lilv_new_uri(world->world, LILV_URI_AUDIO_PORT);
    LilvNode* control = lilv_new_uri(world->world, LILV_URI_CONTROL_PORT);
    LilvNode* input = lilv_new_uri(world->world, LILV_URI_INPUT_PORT);
    const uint32_t ports = lilv_plugin_get_num_ports(world->plugin);
    values.assign(ports, 0.0f);
    for (uint32_t p = 0; p < ports; ++p) {
        const LilvPort* port = lilv_plugin_get_port_by_index(world->plugin, p);
        const bool isInput = lilv_port_is_a(world->plugin, port, input);
        if (lilv_port_is_a(world->plugin, port, audio)) {
            std::vector<uint32_t>& side = isInput ? audioInputs : audioOutputs;
            if (side.size() < 2) side.push_back(p);
        } else if (lilv_port_is_a(world->plugin, port, control) && isInput) {
            LilvNode* defaultValue = nullptr;
            LilvNode* minimum = nullptr;
            LilvNode* maximum = nullptr;
            lilv_port_get_range(world->plugin, port, &defaultValue, &minimum, &maximum);
            const float low = minimum != nullptr ? lilv_node_as_float(minimum) : 0.0f;
            const float high = maximum != nullptr ? lilv_node_as_float(maximum) : 1.0f;
            values[p] = defaultValue != nullptr ? lilv_node_as_float(defaultValue) : low;
            lilv_node_free(defaultValue);
            lilv_node_free(minimum);
            lilv_node_free(maximum);
            controls.push_back({p, textOf(lilv_port_get_name(world->plugin, port)), low, high});
        }
    }
    lilv_node_free(audio);
    lilv_node_free(control);
    lilv_node_free(input);
}

Lv2Plugin::~Lv2Plugin() { stop(); }

std::string Lv2Plugin::paramName(int index)
{
    return index >= 0 && index < numParams() ? controls[static_cast<std::size_t>(index)].name : "";
}

float Lv2Plugin::getParameter(int index)
{
    if (index < 0 || index >= numParams()) return 0.0f;
    const Control& c = controls[static_cast<std::size_t>(index)];
    return c.maximum > c.minimum ? (values[c.port] - c.minimum) / (c.maximum - c.minimum) : 0.0f;
}

void Lv2Plugin::setParameter(int index, float value)
{
    if (index < 0 || index >= numParams()) return;
    const Control& c = controls[static_cast<std::size_t>(index)];
    values[c.port] = c.minimum + value * (c.maximum - c.minimum);
}

std::vector<std::string> Lv2Plugin::presets()
{
    if (!presetUris.empty()) return presetLabels;
    LilvWorld* w = world->world;
    LilvNode* presetClass = lilv_new_uri(w, "http://lv2plug.in/ns/ext/presets#Preset");
    LilvNode* label = lilv_new_uri(w, "http://www.w3.org/2000/01/rdf-schema#label");
    LilvNodes* related = lilv_plugin_get_related(world->plugin, presetClass);
    LILV_FOREACH (nodes, i, related) {
        const LilvNode* preset = lilv_nodes_get(related, i);
        lilv_world_load_resource(w, preset);
        LilvNode* name = lilv_world_get(w, preset, label, nullptr);
        presetUris.emplace_back(lilv_node_as_uri(preset));
        presetLabels.push_back(name != nullptr ? lilv_node_as_string(name) : presetUris.back());
        lilv_node_free(name);
    }
    lilv_nodes_free(related);
    lilv_node_free(label);
    lilv_node_free(presetClass);
    return presetLabels;
}

bool Lv2Plugin::loadPreset(int index)
{
    presets();
    if (index < 0 || index >= static_cast<int>(presetUris.size())) return false;
    LilvWorld* w = world->world;
    LilvNode* preset = lilv_new_uri(w, presetUris[static_cast<std::size_t>(index)].c_str());
    LilvNode* port = lilv_new_uri(w, LILV_NS_LV2 "port");
    LilvNode* symbol = lilv_new_uri(w, LILV_NS_LV2 "symbol");
    LilvNode* value = lilv_new_uri(w, "http://lv2plug.in/ns/ext/presets#value");
    LilvNodes* ports = lilv_world_find_nodes(w, preset, port, nullptr);
    bool loaded = ports != nullptr && lilv_nodes_size(ports) > 0;
    LILV_FOREACH (nodes, i, ports) {
        const LilvNode* entry = lilv_nodes_get(ports, i);
        LilvNode* name = lilv_world_get(w, entry, symbol, nullptr);
        LilvNode* number = lilv_world_get(w, entry, value, nullptr);
        const LilvPort* target = name != nullptr ? lilv_plugin_get_port_by_symbol(world->plugin, name) : nullptr;
        if (target != nullptr && number != nullptr && (lilv_node_is_float(number) || lilv_node_is_int(number)))
            values[lilv_port_get_index(world->plugin, target)] = lilv_node_as_float(number);
        else
            loaded = false;
        lilv_node_free(number);
        lilv_node_free(name);
    }
    lilv_nodes_free(ports);
    lilv_node_free(value);
    lilv_node_free(symbol);
    lilv_node_free(port);
    lilv_node_free(preset);
    return loaded;
}

void Lv2Plugin::prepare(float sampleRate, int)
{
    if (world->instance != nullptr && rate == sampleRate) return;
    stop();
    if (world->instance != nullptr) lilv_instance_free(world->instance);
    rate = sampleRate;
    world->instance = lilv_plugin_instantiate(world->plugin, rate, nullptr);
    if (world->instance == nullptr)
        throw std::runtime_error("the plug-in did not instantiate at " + std::to_string(rate) + " Hz");
    // Every port connected: controls to their values, the rest to spare buffers until process.
    spare.assign(values.size(), std::vector<float>(16384, 0.0f));
    for (uint32_t p = 0; p < values.size(); ++p) lilv_instance_connect_port(world->instance, p, spare[p].data());
    for (const Control& c : controls) lilv_instance_connect_port(world->instance, c.port, &values[c.port]);
}

void Lv2Plugin::start()
{
    if (world->instance == nullptr) prepare(static_cast<float>(rate), 0);
    if (running) return;
    lilv_instance_activate(world->instance);
    running = true;
}

void Lv2Plugin::process(float** inputs, float** outputs, int frames)
{
    // Runs of at most the spare buffers' length, for the ports past the caller's channels.
    for (int done = 0; done < frames;) {
        const int count = std::min(frames - done, 16384);
        for (std::size_t c = 0; c < audioInputs.size(); ++c)
            lilv_instance_connect_port(world->instance, audioInputs[c], inputs[c] + done);
        for (std::size_t c = 0; c < audioOutputs.size(); ++c)
            lilv_instance_connect_port(world->instance, audioOutputs[c], outputs[c] + done);
        lilv_instance_run(world->instance, static_cast<uint32_t>(count));
        done += count;
    }
}

void Lv2Plugin::stop()
{
    if (!running) return;
    lilv_instance_deactivate(world->instance);
    running = false;
}

}  // namespace tools::lv2
