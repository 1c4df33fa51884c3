// tw07-host compare: renders a fixed battery through two modules and counts
// the output samples in which they differ.

#include "Arguments.h"
#include "Commands.h"
#include "tools/audio/AudioDifference.h"
#include "tools/host/HostContext.h"
#include "tools/host/Plugin.h"
#include "tools/render/CompareBattery.h"
#include "tools/render/RenderJob.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace tools {

namespace {

// What must match for two modules to be compared.
struct ModuleShape {
    std::string name;
    int inputs = 0;
    int outputs = 0;
    std::vector<std::string> parameterNames;

    explicit ModuleShape(Plugin& effect)
    {
        name = effect.name();
        inputs = effect.numInputs();
        outputs = effect.numOutputs();
        for (int i = 0; i < effect.numParams(); ++i) parameterNames.push_back(effect.paramName(i));
    }

    std::string counts() const
    {
        return std::to_string(inputs) + " inputs, " + std::to_string(outputs) + " outputs, " +
               std::to_string(parameterNames.size()) + " parameters";
    }
};

// The values a module's preset sets, read back after loading it, as settings for a module
// that cannot load it.
std::vector<ParameterAssignment> presetSettings(Plugin& effect, const std::string& preset)
{
    const std::vector<std::string> names = effect.presets();
    const auto found = std::find(names.begin(), names.end(), preset);
    if (found == names.end() || !effect.loadPreset(static_cast<int>(found - names.begin())))
        throw std::runtime_error("the module did not load its preset \"" + preset + "\"");
    std::vector<ParameterAssignment> settings;
    for (int i = 0; i < effect.numParams(); ++i) settings.push_back({std::to_string(i), effect.getParameter(i)});
    return settings;
}

// The options for one module: its own preset where it has it, else the preset's values.
RenderOptions optionsFor(const CompareCase& c, const std::vector<std::string>& modulePresets,
                         const std::vector<ParameterAssignment>& presetValues)
{
    RenderOptions options = c.options;
    if (c.preset.empty()) return options;
    if (std::find(modulePresets.begin(), modulePresets.end(), c.preset) != modulePresets.end())
        options.preset = c.preset;
    else
        options.settings = presetValues;
    return options;
}

std::string differenceText(const AudioDifference& difference)
{
    char text[96];
    std::snprintf(text, sizeof text, "%lld of %lld, largest %.6g", static_cast<long long>(difference.differing),
                  static_cast<long long>(difference.samples), difference.largest);
    return text;
}

}  // namespace

int runCompare(const std::vector<std::string>& words)
{
    bool grid = false;
    bool verbose = false;
    Arguments args(words);
    while (args.more()) {
        const std::string& word = args.next();
        if (word == "--grid")
            grid = true;
        else if (word == "-v" || word == "--verbose")
            verbose = true;
        else
            args.positional();
    }
    const auto& positional = args.positionals(2, 2, "expected MODULE_A MODULE_B");

    // Both stay loaded for the whole run, so that each render finds them as they were.
    HostContext context;
    const std::unique_ptr<Plugin> first = openPlugin(positional[0], context);
    const std::unique_ptr<Plugin> second = openPlugin(positional[1], context);
    const ModuleShape a(*first);
    const ModuleShape b(*second);
    if (a.inputs != b.inputs || a.outputs != b.outputs || a.parameterNames.size() != b.parameterNames.size()) {
        throw std::runtime_error("the modules cannot be compared: A has " + a.counts() + ", B has " + b.counts());
    }

    // The presets of whichever module has them; a module without them gets their values.
    const std::vector<std::string> presetsA = first->presets();
    const std::vector<std::string> presetsB = second->presets();
    Plugin& presetModule = presetsA.empty() ? *second : *first;
    const std::vector<std::string>& presetNames = presetsA.empty() ? presetsB : presetsA;
    const std::vector<CompareCase> cases = compareBattery(a.parameterNames, presetNames, grid);
    std::printf("A  %s  (%s)\nB  %s  (%s)\n", positional[0].c_str(), a.name.c_str(), positional[1].c_str(),
                b.name.c_str());
    std::printf("%zu cases%s; differing samples and the largest difference per case\n", cases.size(),
                grid ? ", host calls in multiples of 32 frames" : "");
    std::printf("case   rate  signal         settings    blocks          buffers   changes   differing samples\n");
    std::fflush(stdout);  // before the renders' own lines on the error stream with -v

    AudioDifference total;
    int casesDiffering = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const CompareCase& c = cases[i];
        const AudioBuffer input = c.input();
        const std::vector<ParameterAssignment> values =
            c.preset.empty() ? std::vector<ParameterAssignment>{} : presetSettings(presetModule, c.preset);
        const AudioBuffer outA =
            renderThroughModule(positional[0], input, optionsFor(c, presetsA, values), verbose).output;
        const AudioBuffer outB =
            renderThroughModule(positional[1], input, optionsFor(c, presetsB, values), verbose).output;
        const AudioDifference difference = AudioDifference::between(outA, outB);
        total.add(difference);
        if (difference.differing > 0) ++casesDiffering;
        std::printf("%4zu  %5d  %-13s  %-10s  %-14s  %-8s  %-8s  %s\n", i + 1, c.sampleRate, c.signalName().c_str(),
                    c.settingsName.c_str(), c.blocksName.c_str(), c.options.inPlace ? "in place" : "separate",
                    c.changesName.c_str(), differenceText(difference).c_str());
        if (verbose && difference.differing > 0) {
            std::printf("      first difference at frame %lld, channel %d\n",
                        static_cast<long long>(difference.firstFrame), difference.firstChannel);
        }
        std::fflush(stdout);
    }
    std::printf("total  %d of %zu cases differ; %s\n", casesDiffering, cases.size(), differenceText(total).c_str());
    return total.differing > 0 ? 1 : 0;
}

}  // namespace tools
