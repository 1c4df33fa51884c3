#pragma once
// Runs a whole buffer through an effect the way a host does: sample rate and
// maximum block size, parameters, resume, processReplacing in host blocks,
// suspend. Parameter changes land exactly on their frame: a host block that
// holds a change is processed in two calls, split at that frame.

#include "tools/audio/AudioBuffer.h"
#include "tools/host/Plugin.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace tools {

struct ParameterValue {
    int index;
    float value;
};

struct ParameterChange {
    std::int64_t frame;
    int index;
    float value;
};

struct RenderPlan {
    std::vector<int> blockSizes{512};      // host block sizes, used in turn
    std::vector<ParameterValue> initial;   // set before the effect is resumed
    std::vector<ParameterChange> changes;  // applied just before their frame is processed
    bool inPlace = false;                  // inputs and outputs share buffers
    bool hostFlushes = false;              // process calls run with flush-to-zero and denormals-are-zero set
    int announcedBlockSize = 0;            // told to the effect as its maximum; 0: the largest host block
    int preset = -1;                       // the plug-in's own preset, loaded before `initial`; -1: none
};

struct RenderStats {
    std::int64_t frames = 0;
    std::int64_t calls = 0;
    double cpuSeconds = 0.0;  // thread CPU time spent inside the effect's process calls

    // Seconds of audio per second of CPU time.
    double realtimeFactor(int sampleRate) const;
};

class Renderer {
public:
    explicit Renderer(RenderPlan plan);

    // Called after each processReplacing call with the share of frames done.
    void onProgress(std::function<void(double)> callback) { progress = std::move(callback); }

    // The effect is fed its numInputs channels: a file channel is repeated when the
    // file has fewer (mono to stereo), extra file channels are left out. The result
    // has the effect's numOutputs channels. Throws std::runtime_error for an effect
    // that cannot process (a VST 2 one without processReplacing) or has no outputs.
    AudioBuffer run(Plugin& effect, const AudioBuffer& input);

    const RenderStats& stats() const { return renderStats; }

private:
    RenderPlan plan;
    std::function<void(double)> progress;
    RenderStats renderStats;
};

}  // namespace tools
