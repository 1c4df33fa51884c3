// tw07-host info: loads a module, opens one instance and reports what a host learns.

#include "Arguments.h"
#include "Commands.h"
#include "JsonText.h"
#include "tools/host/HostContext.h"
#include "tools/host/HostModule.h"
#include "tools/host/Plugin.h"

#include <algorithm>
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
        std::printf("  %3zu  %-16s %-12s %-16s %-8s %s\n", i, p.name.c_str(), JsonText::number(p.value).c_str(),
                    p.display.c_str(), p.label.c_str(), p.automatable ? "yes" : "no");
    }
}

void printJson(const Report& r)
{
    JsonWriter json;
    json.beginObject();
    json.key("module").value(r.module);
    json.key("effectName").value(r.effectName);
    json.key("vendor").value(r.vendor);
    json.key("product").value(r.product);
    json.key("vendorVersion").value(r.vendorVersion);
    json.key("uniqueId").value(r.uniqueId);
    json.key("uniqueIdText").value(fourCharacters(r.uniqueId));
    json.key("version").value(r.version);
    json.key("vstVersion").value(r.vstVersion);
    json.key("flags").value(r.flags);
    json.key("flagNames").value(flagNames(r.flags));
    json.key("category").value(r.category);
    json.key("categoryName").value(categoryName(r.category));
    json.key("numInputs").value(r.numInputs);
    json.key("numOutputs").value(r.numOutputs);
    json.key("numParams").value(r.numParams);
    json.key("numPrograms").value(r.numPrograms);
    json.key("initialDelay").value(r.initialDelay);
    json.key("tailSize").value(r.tailSize);
    auto pins = [&json](const char* name, const std::vector<Pin>& list) {
        json.key(name).beginArray();
        for (const Pin& pin : list) {
            const auto& p = pin.properties;
            json.beginObject().key("index").value(pin.index).key("answered").value(pin.answered);
            if (pin.answered) {
                json.key("label").value(fixedText(p.label, sizeof p.label));
                json.key("shortLabel").value(fixedText(p.shortLabel, sizeof p.shortLabel));
                json.key("flags").value(p.flags).key("arrangementType").value(p.arrangementType);
            }
            json.endObject();
        }
        json.endArray();
    };
    pins("inputPins", r.inputs);
    pins("outputPins", r.outputs);
    json.key("speakerArrangement");
    if (r.arrangement) {
        json.beginObject();
        json.key("inputType").value(r.arrangement->inputType);
        json.key("inputChannels").value(r.arrangement->inputChannels);
        json.key("outputType").value(r.arrangement->outputType);
        json.key("outputChannels").value(r.arrangement->outputChannels);
        json.endObject();
    } else {
        json.null();
    }
    json.key("canDo").beginObject();
    for (const auto& [query, answer] : r.canDo) json.key(query).value(answer);
    json.endObject();
    json.key("programNames").beginArray();
    for (const std::string& name : r.programs) json.value(name);
    json.endArray();
    json.key("parameters").beginArray();
    for (std::size_t i = 0; i < r.parameters.size(); ++i) {
        const Parameter& p = r.parameters[i];
        json.beginObject().key("index").value(static_cast<int>(i)).key("name").value(p.name);
        json.key("label").value(p.label).key("display").value(p.display).key("value").value(p.value);
        json.key("automatable").value(p.automatable).endObject();
    }
    json.endArray();
    json.endObject();
    std::fputs(json.text().c_str(), stdout);
}

}  // namespace

int runInfo(const std::vector<std::string>& words)
{
    bool json = false;
    Arguments args(words);
    while (args.more()) {
        if (args.next() == "--json")
            json = true;
        else
            args.positional();
    }
    const std::string& module = args.positionals(1, 1, "expected one MODULE")[0];
    if (isClapModule(module)) return runClapInfo(module, json);
    const Report report = inspect(module);
    if (json)
        printJson(report);
    else
        printText(report);
    return 0;
}

}  // namespace tools
