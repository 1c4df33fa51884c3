// tw07-host compare: renders a fixed battery through two modules and counts
// the output samples in which they differ.

#include "Arguments.h"
#include "Commands.h"
#include "tools/audio/AudioDifference.h"
#include "tools/host/HostContext.h"
#include "tools/host/Plugin.h"
#include "tools/render/CompareBattery.h"
#include "tools/render/RenderJob.h"

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

    const std::vector<CompareCase> cases = compareBattery(a.parameterNames, grid);
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
        const AudioBuffer outA = renderThroughModule(positional[0], input, c.options, verbose).output;
        const AudioBuffer outB = renderThroughModule(positional[1], input, c.options, verbose).output;
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
