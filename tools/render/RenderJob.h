#pragma once
// What render and demo share: load a module, open an instance, resolve the
// options against it and render a buffer, with a progress bar on a terminal.

#include "tools/audio/AudioBuffer.h"
#include "RenderOptions.h"
#include "Renderer.h"

#include <string>

namespace tools {

struct RenderOutcome {
    AudioBuffer output;
    RenderStats stats;
    std::string effectName;
    std::string vendor;
};

RenderOutcome renderThroughModule(const std::string& modulePath, const AudioBuffer& input, const RenderOptions& options,
                                  bool verbose);

}  // namespace tools
