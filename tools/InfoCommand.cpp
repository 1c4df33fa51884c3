// tw07-host info: loads a module, opens one instance and reports what a host learns.

#include "Commands.h"
#include "HostContext.h"
#include "HostModule.h"
#include "JsonText.h"
#include "UsageError.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace tools {

namespace {

using namespace kx::vst2;

// The questions hosts put to an effect's canDo.
constexpr const char* kCanDoQueries[] = {
    "sendVstEvents",      "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent",
    "receiveVstTimeInfo", "offline",          "midiProgramNames", "bypass",
};

constexpr const char* kCategories[] = {
    "unknown", "effect",     "synth",       "analysis",       "mastering", "spacializer",
    "roomFx",  "surroundFx", "restoration", "offlineProcess", "shell",     "generator",
};

// Lists longer than these are cut (a broken record may claim any count); the counts
// themselves are still reported.
constexpr int kMaxProgramsListed = 512;
constexpr int kMaxPinsListed = 256;
constexpr int kMaxParamsListed = 16384;

struct Pin {
    int index;
    bool answered;
    VstPinProperties properties;
};

struct Parameter {
    std::string name;
    std::string label;
    std::string display;
    float value;
    bool automatable;
};

struct Report {
    std::string module;
    std::string effectName, vendor, product;
    int vendorVersion, uniqueId, version, vstVersion, flags, category;
    int numInputs, numOutputs, numParams, numPrograms, initialDelay, tailSize;
    std::vector<Pin> inputs, outputs;
    std::optional<SpeakerArrangementInfo> arrangement;
    std::vector<std::pair<const char*, int>> canDo;
    std::vector<std::string> programs;
    std::vector<Parameter> parameters;
};

std::string fixedText(const char* text, std::size_t size) { return std::string(text, strnlen(text, size)); }

std::string flagNames(int flags)
{
    static constexpr std::pair<int, const char*> kNames[] = {
        {effFlagsHasEditor, "hasEditor"},
        {1 << 1, "hasClip"},
        {1 << 2, "hasVu"},
        {1 << 3, "canMono"},
        {effFlagsCanReplacing, "canReplacing"},
        {effFlagsProgramChunks, "programChunks"},
        {effFlagsIsSynth, "isSynth"},
        {effFlagsNoSoundInStop, "noSoundInStop"},
        {1 << 10, "extIsAsync"},
        {1 << 11, "extHasBuffer"},
        {effFlagsCanDoubleReplacing, "canDoubleReplacing"},
    };
    std::string names;
    int known = 0;
    for (const auto& [bit, name] : kNames) {
        known |= bit;
        if ((flags & bit) != 0) names += (names.empty() ? "" : " ") + std::string(name);
    }
    for (int bit = 0; bit < 32; ++bit) {
        const auto mask = static_cast<int>(1u << bit);
        if ((flags & mask) != 0 && (known & mask) == 0) {
            names += (names.empty() ? "bit " : " bit ") + std::to_string(bit);
        }
    }
    return names;
}

std::string pinFlagNames(int flags)
{
    std::string names;
    if ((flags & kVstPinIsActive) != 0) names += "active";
    if ((flags & kVstPinIsStereo) != 0) names += names.empty() ? "stereo" : " stereo";
    if ((flags & kVstPinUseSpeaker) != 0) names += names.empty() ? "useSpeaker" : " useSpeaker";
    return names;
}

const char* categoryName(int category)
{
    return category >= 0 && category < static_cast<int>(std::size(kCategories)) ? kCategories[category] : "?";
}

// Four printable characters of a unique id, as hosts show it; empty otherwise.
std::string fourCharacters(int id)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<unsigned>(id) >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E) return {};
        text += c;
    }
    return text;
}

// Also valid as a JSON number: values that are not finite are written as null.
std::string formatValue(float value)
{
    if (!std::isfinite(value)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

Report inspect(const std::string& path)
{
    HostModule module(path);
    HostContext context;
    constexpr float kRate = 48000.0f;
    constexpr int kBlockSize = 512;
    context.setSampleRate(kRate);
    context.setBlockSize(kBlockSize);
    auto effect = module.instantiate(context);
    // Hosts announce rate and block size before asking for display texts.
    effect->setSampleRate(kRate);
    effect->setBlockSize(kBlockSize);

    Report report;
    report.module = path;
    report.effectName = effect->effectName();
    report.vendor = effect->vendorString();
    report.product = effect->productString();
    report.vendorVersion = effect->vendorVersion();
    report.uniqueId = effect->uniqueId();
    report.version = effect->version();
    report.vstVersion = effect->vstVersion();
    report.flags = effect->flags();
    report.category = effect->category();
    report.numInputs = effect->numInputs();
    report.numOutputs = effect->numOutputs();
    report.numParams = effect->numParams();
    report.numPrograms = effect->numPrograms();
    report.initialDelay = effect->initialDelay();
    report.tailSize = effect->tailSize();
    for (int i = 0; i < std::min(report.numInputs, kMaxPinsListed); ++i) {
        auto pin = effect->inputProperties(i);
        report.inputs.push_back({i, pin.has_value(), pin.value_or(VstPinProperties{})});
    }
    for (int i = 0; i < std::min(report.numOutputs, kMaxPinsListed); ++i) {
        auto pin = effect->outputProperties(i);
        report.outputs.push_back({i, pin.has_value(), pin.value_or(VstPinProperties{})});
    }
    report.arrangement = effect->speakerArrangement();
    for (const char* query : kCanDoQueries) report.canDo.emplace_back(query, effect->canDo(query));
    for (int i = 0; i < std::min(report.numPrograms, kMaxProgramsListed); ++i) {
        report.programs.push_back(effect->programName(i));
    }
    for (int i = 0; i < std::min(report.numParams, kMaxParamsListed); ++i) {
        report.parameters.push_back({effect->paramName(i), effect->paramLabel(i), effect->paramDisplay(i),
                                     effect->getParameter(i), effect->canBeAutomated(i)});
    }
    return report;
}

void printText(const Report& r)
{
    const std::string id4 = fourCharacters(r.uniqueId);
    std::printf("module          %s\n", r.module.c_str());
    std::printf("effect name     %s\n", r.effectName.c_str());
    std::printf("vendor          %s\n", r.vendor.c_str());
    std::printf("product         %s\n", r.product.c_str());
    std::printf("vendor version  %d\n", r.vendorVersion);
    std::printf("unique id       %d (0x%08x%s%s%s)\n", r.uniqueId, static_cast<unsigned>(r.uniqueId),
                id4.empty() ? "" : ", '", id4.c_str(), id4.empty() ? "" : "'");
    std::printf("version         %d\n", r.version);
    std::printf("VST version     %d\n", r.vstVersion);
    std::printf("flags           0x%x (%s)\n", static_cast<unsigned>(r.flags), flagNames(r.flags).c_str());
    std::printf("category        %d (%s)\n", r.category, categoryName(r.category));
    std::printf("inputs          %d\n", r.numInputs);
    std::printf("outputs         %d\n", r.numOutputs);
    std::printf("parameters      %d\n", r.numParams);
    std::printf("programs        %d\n", r.numPrograms);
    std::printf("initial delay   %d\n", r.initialDelay);
    std::printf("tail size       %d\n", r.tailSize);
    auto printPins = [](const char* title, const std::vector<Pin>& pins) {
        std::printf("%s\n", title);
        for (const Pin& pin : pins) {
            if (!pin.answered) {
                std::printf("  %2d  (no answer)\n", pin.index);
                continue;
            }
            const auto& p = pin.properties;
            std::printf("  %2d  \"%s\" short \"%s\" flags 0x%x (%s) arrangement %d\n", pin.index,
                        fixedText(p.label, sizeof p.label).c_str(),
                        fixedText(p.shortLabel, sizeof p.shortLabel).c_str(), static_cast<unsigned>(p.flags),
                        pinFlagNames(p.flags).c_str(), p.arrangementType);
        }
    };
    printPins("input pins", r.inputs);
    printPins("output pins", r.outputs);
    if (r.arrangement) {
        std::printf("speakers        in type %d (%d ch), out type %d (%d ch)\n", r.arrangement->inputType,
                    r.arrangement->inputChannels, r.arrangement->outputType, r.arrangement->outputChannels);
    } else {
        std::printf("speakers        (no answer)\n");
    }
    std::printf("canDo\n");
    for (const auto& [query, answer] : r.canDo) {
        std::printf("  %-20s %2d (%s)\n", query, answer, answer > 0 ? "yes" : answer < 0 ? "no" : "don't know");
    }
    if (!r.programs.empty()) {
        std::printf("program names\n");
        for (std::size_t i = 0; i < r.programs.size(); ++i) std::printf("  %3zu  %s\n", i, r.programs[i].c_str());
    }
    std::printf("parameters\n");
    std::printf("  %3s  %-16s %-12s %-16s %-8s %s\n", "#", "name", "value", "display", "label", "automatable");
    for (std::size_t i = 0; i < r.parameters.size(); ++i) {
        const Parameter& p = r.parameters[i];
        std::printf("  %3zu  %-16s %-12s %-16s %-8s %s\n", i, p.name.c_str(), formatValue(p.value).c_str(),
                    p.display.c_str(), p.label.c_str(), p.automatable ? "yes" : "no");
    }
}

void printJson(const Report& r)
{
    std::string out = "{\n";
    auto field = [&out](const char* name, const std::string& json, bool last = false) {
        out += "  \"" + std::string(name) + "\": " + json + (last ? "\n" : ",\n");
    };
    auto number = [](int value) { return std::to_string(value); };
    field("module", JsonText::quote(r.module));
    field("effectName", JsonText::quote(r.effectName));
    field("vendor", JsonText::quote(r.vendor));
    field("product", JsonText::quote(r.product));
    field("vendorVersion", number(r.vendorVersion));
    field("uniqueId", number(r.uniqueId));
    field("uniqueIdText", JsonText::quote(fourCharacters(r.uniqueId)));
    field("version", number(r.version));
    field("vstVersion", number(r.vstVersion));
    field("flags", number(r.flags));
    field("flagNames", JsonText::quote(flagNames(r.flags)));
    field("category", number(r.category));
    field("categoryName", JsonText::quote(categoryName(r.category)));
    field("numInputs", number(r.numInputs));
    field("numOutputs", number(r.numOutputs));
    field("numParams", number(r.numParams));
    field("numPrograms", number(r.numPrograms));
    field("initialDelay", number(r.initialDelay));
    field("tailSize", number(r.tailSize));
    auto pins = [&](const std::vector<Pin>& list) {
        std::string json = "[";
        for (const Pin& pin : list) {
            const auto& p = pin.properties;
            json += std::string(json.size() > 1 ? ",\n    " : "\n    ") + "{\"index\": " + std::to_string(pin.index) +
                    ", \"answered\": " + (pin.answered ? "true" : "false");
            if (pin.answered) {
                json += ", \"label\": " + JsonText::quote(fixedText(p.label, sizeof p.label)) +
                        ", \"shortLabel\": " + JsonText::quote(fixedText(p.shortLabel, sizeof p.shortLabel)) +
                        ", \"flags\": " + std::to_string(p.flags) +
                        ", \"arrangementType\": " + std::to_string(p.arrangementType);
            }
            json += "}";
        }
        return json + (list.empty() ? "]" : "\n  ]");
    };
    field("inputPins", pins(r.inputs));
    field("outputPins", pins(r.outputs));
    if (r.arrangement) {
        field("speakerArrangement", "{\"inputType\": " + number(r.arrangement->inputType) +
                                        ", \"inputChannels\": " + number(r.arrangement->inputChannels) +
                                        ", \"outputType\": " + number(r.arrangement->outputType) +
                                        ", \"outputChannels\": " + number(r.arrangement->outputChannels) + "}");
    } else {
        field("speakerArrangement", "null");
    }
    std::string canDo = "{";
    for (std::size_t i = 0; i < r.canDo.size(); ++i) {
        canDo += std::string(i == 0 ? "\n    " : ",\n    ") + JsonText::quote(r.canDo[i].first) + ": " +
                 std::to_string(r.canDo[i].second);
    }
    field("canDo", canDo + "\n  }");
    std::string programs = "[";
    for (std::size_t i = 0; i < r.programs.size(); ++i) {
        programs += (i == 0 ? "" : ", ") + JsonText::quote(r.programs[i]);
    }
    field("programNames", programs + "]");
    std::string parameters = "[";
    for (std::size_t i = 0; i < r.parameters.size(); ++i) {
        const Parameter& p = r.parameters[i];
        parameters += std::string(i == 0 ? "\n    " : ",\n    ") + "{\"index\": " + std::to_string(i) +
                      ", \"name\": " + JsonText::quote(p.name) + ", \"label\": " + JsonText::quote(p.label) +
                      ", \"display\": " + JsonText::quote(p.display) + ", \"value\": " + formatValue(p.value) +
                      ", \"automatable\": " + (p.automatable ? "true" : "false") + "}";
    }
    field("parameters", parameters + (r.parameters.empty() ? "]" : "\n  ]"), true);
    out += "}\n";
    std::fputs(out.c_str(), stdout);
}

}  // namespace

int runInfo(const std::vector<std::string>& args)
{
    std::string module;
    bool json = false;
    for (const std::string& arg : args) {
        if (arg == "--json")
            json = true;
        else if (arg.starts_with("-"))
            throw UsageError("unknown option " + arg);
        else if (module.empty())
            module = arg;
        else
            throw UsageError("unexpected argument " + arg);
    }
    if (module.empty()) throw UsageError("no module given");
    const Report report = inspect(module);
    if (json)
        printJson(report);
    else
        printText(report);
    return 0;
}

}  // namespace tools
