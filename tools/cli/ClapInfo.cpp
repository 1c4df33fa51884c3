// tw07-host info for a CLAP module: the factory's plug-ins, and for the first one its
// descriptor, audio ports and their configurations, latency, editor and parameters.

#include "Commands.h"
#include "JsonText.h"
#include "tools/host/ClapHost.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tools {

namespace {

using namespace clap;

struct Port {
    std::string name;
    uint32_t channels;
    std::string type;
    bool main;
};

struct ClapParameter {
    clap_param_info info;
    std::string text;  // of the current value
};

struct ClapReport {
    std::string module;
    std::vector<std::string> plugins;  // ids
    std::string id, name, vendor, version, description;
    std::vector<std::string> features;
    std::vector<Port> inputs, outputs;
    std::vector<std::string> configurations;
    int latency = -1;    // -1: no latency extension
    std::string editor;  // the window api the editor embeds with, if any
    std::vector<ClapParameter> parameters;
};

std::string text(const char* s) { return s != nullptr ? s : ""; }

std::vector<Port> portsOf(const ClapInstance& instance, bool input)
{
    std::vector<Port> ports;
    const auto* extension = instance.extension<clap_plugin_audio_ports>(kExtAudioPorts);
    const uint32_t count = extension != nullptr ? extension->count(instance.plugin(), input) : 0;
    for (uint32_t i = 0; i < count; ++i) {
        clap_audio_port_info info{};
        if (!extension->get(instance.plugin(), i, input, &info)) continue;
        info.name[sizeof(info.name) - 1] = '\0';
        ports.push_back(
            {info.name, info.channel_count, text(info.port_type), (info.flags & CLAP_AUDIO_PORT_IS_MAIN) != 0});
    }
    return ports;
}

ClapReport inspect(const std::string& path)
{
    const ClapModule module(path);
    ClapReport report;
    report.module = path;
    const clap_plugin_factory& factory = module.factory();
    for (uint32_t i = 0; i < factory.get_plugin_count(&factory); ++i) {
        const clap_plugin_descriptor* d = factory.get_plugin_descriptor(&factory, i);
        if (d != nullptr) report.plugins.push_back(text(d->id));
    }
    const ClapInstance instance(module);
    const clap_plugin_descriptor& d = *instance.plugin()->desc;
    report.id = text(d.id);
    report.name = text(d.name);
    report.vendor = text(d.vendor);
    report.version = text(d.version);
    report.description = text(d.description);
    for (const char* const* f = d.features; f != nullptr && *f != nullptr; ++f) report.features.emplace_back(*f);
    report.inputs = portsOf(instance, true);
    report.outputs = portsOf(instance, false);
    if (const auto* configs = instance.extension<clap_plugin_audio_ports_config>(kExtAudioPortsConfig)) {
        for (uint32_t i = 0; i < configs->count(instance.plugin()); ++i) {
            clap_audio_ports_config config{};
            if (!configs->get(instance.plugin(), i, &config)) continue;
            config.name[sizeof(config.name) - 1] = '\0';
            report.configurations.push_back(std::string(config.name) + " (" +
                                            std::to_string(config.main_input_channel_count) + " in, " +
                                            std::to_string(config.main_output_channel_count) + " out)");
        }
    }
    if (const auto* latency = instance.extension<clap_plugin_latency>(kExtLatency))
        report.latency = static_cast<int>(latency->get(instance.plugin()));
    if (const auto* gui = instance.extension<clap_plugin_gui>(kExtGui)) {
        for (const char* api : {kWindowApiX11, kWindowApiWin32}) {
            if (gui->is_api_supported(instance.plugin(), api, false)) report.editor = api;
        }
    }
    if (const auto* params = instance.extension<clap_plugin_params>(kExtParams)) {
        for (uint32_t i = 0; i < params->count(instance.plugin()); ++i) {
            ClapParameter p{};
            if (!params->get_info(instance.plugin(), i, &p.info)) continue;
            p.info.name[sizeof(p.info.name) - 1] = '\0';
            char display[256] = {};
            if (params->value_to_text(instance.plugin(), p.info.id, instance.value(p.info.id), display, sizeof display))
                p.text = std::string(display, strnlen(display, sizeof display));
            report.parameters.push_back(p);
        }
    }
    return report;
}

std::string portsText(const std::vector<Port>& ports)
{
    std::string out;
    for (const Port& p : ports) {
        out += (out.empty() ? "" : ", ") + p.name + " (" + std::to_string(p.channels) + " channels" +
               (p.type.empty() ? "" : ", " + p.type) + (p.main ? ", main)" : ")");
    }
    return out.empty() ? "none" : out;
}

std::string joined(const std::vector<std::string>& list)
{
    std::string out;
    for (const std::string& item : list) out += (out.empty() ? "" : ", ") + item;
    return out;
}

void printText(const ClapReport& r)
{
    std::printf("module          %s (CLAP)\n", r.module.c_str());
    std::printf("plug-ins        %s\n", joined(r.plugins).c_str());
    std::printf("id              %s\n", r.id.c_str());
    std::printf("name            %s\n", r.name.c_str());
    std::printf("vendor          %s\n", r.vendor.c_str());
    std::printf("version         %s\n", r.version.c_str());
    std::printf("description     %s\n", r.description.c_str());
    std::printf("features        %s\n", joined(r.features).c_str());
    std::printf("audio inputs    %s\n", portsText(r.inputs).c_str());
    std::printf("audio outputs   %s\n", portsText(r.outputs).c_str());
    std::printf("configurations  %s\n", r.configurations.empty() ? "none" : joined(r.configurations).c_str());
    std::printf("latency         %s\n", r.latency < 0 ? "not reported" : std::to_string(r.latency).c_str());
    std::printf("editor          %s\n", r.editor.empty() ? "none" : r.editor.c_str());
    std::printf("parameters      %zu\n", r.parameters.size());
    for (const ClapParameter& p : r.parameters) {
        const bool stepped = (p.info.flags & CLAP_PARAM_IS_STEPPED) != 0;
        std::printf("  %5u  %-24s %g .. %g%s, default %g: %s\n", p.info.id, p.info.name, p.info.min_value,
                    p.info.max_value, stepped ? " stepped" : "", p.info.default_value, p.text.c_str());
    }
}

void printJson(const ClapReport& r)
{
    JsonWriter json;
    json.beginObject();
    json.key("module").value(r.module).key("format").value("CLAP");
    json.key("plugins").beginArray();
    for (const std::string& id : r.plugins) json.value(id);
    json.endArray();
    json.key("id").value(r.id).key("name").value(r.name).key("vendor").value(r.vendor);
    json.key("version").value(r.version).key("description").value(r.description);
    json.key("features").beginArray();
    for (const std::string& f : r.features) json.value(f);
    json.endArray();
    for (const auto& [key, ports] : {std::pair{"audioInputs", &r.inputs}, std::pair{"audioOutputs", &r.outputs}}) {
        json.key(key).beginArray();
        for (const Port& p : *ports) {
            json.beginObject().key("name").value(p.name).key("channels").value(static_cast<int>(p.channels));
            json.key("type").value(p.type).key("main").value(p.main).endObject();
        }
        json.endArray();
    }
    json.key("configurations").beginArray();
    for (const std::string& c : r.configurations) json.value(c);
    json.endArray();
    json.key("latency").value(r.latency).key("editor").value(r.editor);
    json.key("parameters").beginArray();
    for (const ClapParameter& p : r.parameters) {
        json.beginObject().key("id").value(static_cast<int>(p.info.id)).key("name").value(p.info.name);
        json.key("min")
            .value(static_cast<float>(p.info.min_value))
            .key("max")
            .value(static_cast<float>(p.info.max_value));
        json.key("default").value(static_cast<float>(p.info.default_value));
        json.key("flags").value(static_cast<int>(p.info.flags)).key("display").value(p.text).endObject();
    }
    json.endArray();
    json.endObject();
    std::fputs(json.text().c_str(), stdout);
}

}  // namespace

int runClapInfo(const std::string& module, bool json)
{
    const ClapReport report = inspect(module);
    if (json)
        printJson(report);
    else
        printText(report);
    return 0;
}

}  // namespace tools
