#pragma once
// A CLAP plug-in behind the format-neutral handle: normalised values become plain ones
// with each parameter's range, and the changes set between two calls reach the plug-in as
// value events at the first frame of the next one. The first port of each direction carries
// the audio; any other port (a side chain, say) gets silence in and a scratch buffer out.

#include "tools/host/ClapHost.h"
#include "tools/host/Plugin.h"

#include <memory>
#include <vector>

namespace tools::clap {

class ClapPlugin final : public Plugin {
public:
    explicit ClapPlugin(std::shared_ptr<const ClapModule> module);
    ~ClapPlugin() override;

    ClapInstance& instance() { return plugin; }

    std::string name() override;
    std::string vendor() override;
    int numInputs() const override { return inputs; }
    int numOutputs() const override { return outputs; }
    int numParams() const override { return static_cast<int>(infos.size()); }
    std::string paramName(int index) override;
    float getParameter(int index) override;
    void setParameter(int index, float value) override;

    // The presets the module's discovery factory declares for this plug-in; loaded through
    // its preset-load extension.
    std::vector<std::string> presets() override;
    bool loadPreset(int index) override;

    void prepare(float sampleRate, int maxFrames) override;
    void start() override;
    void process(float** inputs, float** outputs, int frames) override;
    void stop() override;

private:
    // Channel counts of each port of one direction.
    std::vector<uint32_t> portChannels(bool input) const;
    // Buffers for every port, the extra ones `frames` long.
    void prepareBuffers(int frames);

    std::shared_ptr<const ClapModule> module;
    ClapInstance plugin;
    std::vector<clap_param_info> infos;
    std::vector<DiscoveredPreset> discovered;
    bool discoveryDone = false;
    std::vector<uint32_t> inputPorts;
    std::vector<uint32_t> outputPorts;
    int inputs;  // channels of the first port
    int outputs;
    // Per port: its buffer record and channel pointers; the other ports' samples.
    std::vector<clap_audio_buffer> inputBuffers;
    std::vector<clap_audio_buffer> outputBuffers;
    std::vector<std::vector<float*>> channelPointers;
    std::vector<std::vector<float>> scratch;
    int scratchFrames = 0;
    InputEvents pending;
    double rate = 44100.0;
    int maxBlock = 0;
    bool running = false;
};

}  // namespace tools::clap
