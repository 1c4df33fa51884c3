#pragma once
// The effect as the standalone program runs it: the same block grid the plug-in formats use,
// fed from the audio server's period buffers. The editor's edits are stored at once (there is
// no host to tell), and a new sample rate is taken up where the next period begins.

#include <atomic>
#include <memory>

#include "kx/AudioPlugin.h"
#include "kx/BlockSizeAdapter.h"
#include "kx/HostCallback.h"

namespace kx::standalone {

class StandaloneEngine final : public HostCallback {
public:
    explicit StandaloneEngine(float sampleRate);
    ~StandaloneEngine() override;

    AudioPlugin& effect() { return *plugin; }
    Parameters& parameters() { return plugin->parameters; }

    // Before the audio starts: a new stream at this rate.
    void start(float sampleRate);
    // Any thread, while the audio runs: the next period plays a new stream at this rate.
    void requestSampleRate(float sampleRate);
    // Audio thread. Two channels each; inputs and outputs may be the same buffers.
    void process(const float* const inputs[2], float* const outputs[2], int frames);

    // HostCallback: the editor's edits.
    void automate(int index, float value) override;
    void automateNow(int index, float value) override;
    HostInfo hostInfo() override;

private:
    void restartAt(float sampleRate);

    std::unique_ptr<AudioPlugin> plugin;
    std::unique_ptr<BlockSizeAdapter> blockAdapter;
    float currentRate;
    std::atomic<float> requestedRate;
};

}  // namespace kx::standalone
