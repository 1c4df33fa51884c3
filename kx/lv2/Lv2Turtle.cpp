#include "kx/lv2/Lv2Turtle.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "kx/lv2/Lv2PlugAdapter.h"

namespace kx::lv2 {

namespace {

constexpr const char* kPrefixes =
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n\n";

std::string quoted(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// Shortest decimal that reads back as the same float.
std::string number(float value)
{
    char text[32];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        if (std::stof(text) == value) break;
    }
    std::string out = text;
    if (out.find_first_of(".e") == std::string::npos) out += ".0";
    return out;
}

const char* classOf(EffectKind kind)
{
    return kind == EffectKind::kDistortion ? "lv2:DistortionPlugin" : "lv2:UtilityPlugin";
}

// "0.1.2" as LV2's minor and micro version numbers.
std::pair<int, int> versionOf(std::string_view version)
{
    int major = 0;
    int minor = 0;
    int micro = 0;
    std::sscanf(std::string(version).c_str(), "%d.%d.%d", &major, &minor, &micro);
    return {minor, micro};
}

void audioPort(std::ostringstream& out, uint32_t index, bool input, const char* symbol, const char* name)
{
    out << " , [\n        a lv2:AudioPort , " << (input ? "lv2:InputPort" : "lv2:OutputPort") << " ;\n"
        << "        lv2:index " << index << " ;\n        lv2:symbol " << quoted(symbol) << " ;\n"
        << "        lv2:name " << quoted(name) << "\n    ]";
}

}  // namespace

std::string pluginUri(const PluginDescriptor& descriptor)
{
    // A reverse-domain identifier "com.example.effect" as "https://example.com/plugins/effect".
    std::vector<std::string> parts;
    std::stringstream identifier{std::string(descriptor.identifier)};
    for (std::string part; std::getline(identifier, part, '.');) parts.push_back(part);
    if (parts.size() < 3) return "urn:" + std::string(descriptor.identifier);
    std::string host;
    for (std::size_t i = parts.size() - 1; i-- > 0;) host += (host.empty() ? "" : ".") + parts[i];
    return "https://" + host + "/plugins/" + parts.back();
}

std::string uiUri(const PluginDescriptor& descriptor) { return pluginUri(descriptor) + "#ui"; }

std::string presetUri(const PluginDescriptor& descriptor, const Preset& preset)
{
    return pluginUri(descriptor) + "#preset-" + std::string(preset.key);
}

std::string manifest(const PluginDescriptor& descriptor, const std::string& binary, const std::string& uiBinary,
                     const std::string& descriptionFile, std::span<const Preset> presets)
{
    std::ostringstream out;
    out << kPrefixes << "<" << pluginUri(descriptor) << ">\n    a lv2:Plugin ;\n    lv2:binary <" << binary
        << "> ;\n    rdfs:seeAlso <" << descriptionFile << "> .\n\n"
        << "<" << uiUri(descriptor) << ">\n    a ui:X11UI ;\n    ui:binary <" << uiBinary << "> ;\n"
        << "    lv2:requiredFeature ui:idleInterface , ui:parent ;\n"
        << "    lv2:optionalFeature ui:touch , ui:resize , opts:options , <http://lv2plug.in/ns/ext/urid#map> ,\n"
        << "        <http://lv2plug.in/ns/ext/instance-access> ;\n"
        << "    opts:supportedOption ui:scaleFactor ;\n"
        << "    lv2:extensionData ui:idleInterface , opts:interface , ui:resize .\n";
    for (const Preset& preset : presets) {
        out << "\n<" << presetUri(descriptor, preset) << ">\n    a pset:Preset ;\n    lv2:appliesTo <"
            << pluginUri(descriptor) << "> ;\n    rdfs:seeAlso <" << descriptionFile << "> .\n";
    }
    return out.str();
}

std::string description(const PluginDescriptor& descriptor, const Parameters& parameters,
                        std::span<const Preset> presets)
{
    std::ostringstream out;
    const auto [minor, micro] = versionOf(descriptor.version);
    out << kPrefixes << "<" << pluginUri(descriptor) << ">\n"
        << "    a lv2:Plugin , " << classOf(descriptor.kind) << " , doap:Project ;\n"
        << "    doap:name " << quoted(descriptor.name) << " ;\n"
        << "    rdfs:comment " << quoted(descriptor.description) << " ;\n"
        << "    doap:maintainer [ foaf:name " << quoted(descriptor.vendor) << " ] ;\n"
        << "    lv2:minorVersion " << minor << " ;\n    lv2:microVersion " << micro << " ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable ;\n"
        << "    ui:ui <" << uiUri(descriptor) << "> ;\n"
        << "    lv2:port";
    for (int i = 0; i < parameters.count(); ++i) {
        const ParameterDescriptor& p = parameters.descriptors[static_cast<std::size_t>(i)];
        const int options = p.mapper->optionCount();
        out << (i == 0 ? " [\n" : " , [\n") << "        a lv2:InputPort , lv2:ControlPort ;\n"
            << "        lv2:index " << i << " ;\n        lv2:symbol " << quoted(p.symbol) << " ;\n"
            << "        lv2:name " << quoted(p.name) << " ;\n"
            << "        lv2:default " << number(Lv2PlugAdapter::portValue(p, p.defaultValue)) << " ;\n"
            << "        lv2:minimum 0.0 ;\n"
            << "        lv2:maximum " << number(options >= 2 ? static_cast<float>(options - 1) : 1.0f);
        if (options >= 2) {
            out << " ;\n        lv2:portProperty lv2:integer , lv2:enumeration";
            for (int o = 0; o < options; ++o) {
                out << " ;\n        lv2:scalePoint [ rdfs:label " << quoted(p.mapper->optionName(o)) << " ; rdf:value "
                    << number(static_cast<float>(o)) << " ]";
            }
        }
        out << "\n    ]";
    }
    const auto first = static_cast<uint32_t>(parameters.count());
    audioPort(out, first, true, "in_l", "In left");
    audioPort(out, first + 1, true, "in_r", "In right");
    audioPort(out, first + 2, false, "out_l", "Out left");
    audioPort(out, first + 3, false, "out_r", "Out right");
    out << " .\n";
    for (const Preset& preset : presets) {
        std::vector<float> values;
        if (!presetValues(preset, parameters, values))
            throw std::invalid_argument("preset " + std::string(preset.key) + " does not set every parameter");
        out << "\n<" << presetUri(descriptor, preset) << ">\n    a pset:Preset ;\n    lv2:appliesTo <"
            << pluginUri(descriptor) << "> ;\n    rdfs:label " << quoted(preset.name) << " ;\n    rdfs:comment "
            << quoted(preset.purpose) << " ;\n    lv2:port";
        for (int i = 0; i < parameters.count(); ++i) {
            const ParameterDescriptor& p = parameters.descriptors[static_cast<std::size_t>(i)];
            out << (i == 0 ? " [\n" : " , [\n") << "        lv2:symbol " << quoted(p.symbol) << " ;\n"
                << "        pset:value " << number(Lv2PlugAdapter::portValue(p, values[static_cast<std::size_t>(i)]))
                << "\n    ]";
        }
        out << " .\n";
    }
    return out.str();
}

}  // namespace kx::lv2
