#include "RenderJob.h"

#include "tools/host/HostContext.h"
#include "tools/host/Plugin.h"
#include "ProgressBar.h"

#include <algorithm>
#include <cstdio>

namespace tools {

RenderOutcome renderThroughModule(const std::string& modulePath, const AudioBuffer& input, const RenderOptions& options,
                                  bool verbose)
{
    HostContext context;
    if (verbose) context.setLog(stderr);
    // Modules that ask during construction learn the rate they will run at.
    context.setSampleRate(static_cast<float>(input.sampleRate));
    context.setBlockSize(options.announcedBlockSize > 0
                             ? options.announcedBlockSize
                             : *std::max_element(options.blockSizes.begin(), options.blockSizes.end()));
    const std::unique_ptr<Plugin> effect = openPlugin(modulePath, context);

    RenderOutcome outcome;
    outcome.effectName = effect->name();
    outcome.vendor = effect->vendor();
    const RenderPlan plan = options.resolve(*effect, input.sampleRate, input.numFrames());
    if (verbose) {
        std::fprintf(stderr, "render: \"%s\" from \"%s\": %d in, %d out; file: %d channels, %lld frames at %d Hz\n",
                     outcome.effectName.c_str(), outcome.vendor.c_str(), effect->numInputs(), effect->numOutputs(),
                     input.numChannels(), static_cast<long long>(input.numFrames()), input.sampleRate);
        std::string sizes;
        for (int size : plan.blockSizes) sizes += (sizes.empty() ? "" : ",") + std::to_string(size);
        std::fprintf(stderr, "render: host blocks %s%s\n", sizes.c_str(), plan.inPlace ? ", in place" : "");
        for (const auto& setting : plan.initial) {
            std::fprintf(stderr, "render: parameter %d \"%s\" = %g\n", setting.index,
                         effect->paramName(setting.index).c_str(), static_cast<double>(setting.value));
        }
        for (const auto& change : plan.changes) {
            std::fprintf(stderr, "render: at frame %lld parameter %d \"%s\" = %g\n",
                         static_cast<long long>(change.frame), change.index, effect->paramName(change.index).c_str(),
                         static_cast<double>(change.value));
        }
    }

    Renderer renderer(plan);
    ProgressBar bar(stderr, true);
    renderer.onProgress([&bar](double fraction) { bar.update(fraction); });
    outcome.output = renderer.run(*effect, input);
    bar.finish();
    outcome.stats = renderer.stats();

    if (verbose) {
        std::fprintf(stderr, "render: %lld frames in %lld calls, %.4f s CPU in process calls, %zu automation events\n",
                     static_cast<long long>(outcome.stats.frames), static_cast<long long>(outcome.stats.calls),
                     outcome.stats.cpuSeconds, context.automation().size());
    }
    return outcome;
}

}  // namespace tools
