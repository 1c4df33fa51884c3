#pragma once
// An LV2 plug-in behind the format-neutral handle, loaded through lilv as LV2 hosts load it:
// the bundle's first plug-in, its control input ports as the parameters (normalised values
// spread over each port's range), its first two audio inputs and outputs as the channels.
// A control set between two calls holds from the next run on. Linux only.

#include "tools/host/Plugin.h"

#include <memory>
#include <string>
#include <vector>

namespace tools::lv2 {

class Lv2Plugin final : public Plugin {
public:
    // Throws std::runtime_error where the bundle holds no usable plug-in.
    explicit Lv2Plugin(const std::string& bundle);
    ~Lv2Plugin() override;

    std::string name() override { return pluginName; }
    std::string vendor() override { return vendorName; }
    int numInputs() const override { return static_cast<int>(audioInputs.size()); }
    int numOutputs() const override { return static_cast<int>(audioOutputs.size()); }
    int numParams() const override { return static_cast<int>(controls.size()); }
    std::string paramName(int index) override;
    float getParameter(int index) override;
    void setParameter(int index, float value) override;

    // The bundle's presets for the plug-in (pset:Preset applying to it), by label; loading one
    // sets the port values it gives, as hosts restore a preset's state.
    std::vector<std::string> presets() override;
    bool loadPreset(int index) override;

    void prepare(float sampleRate, int maxFrames) override;
    void start() override;
    void process(float** inputs, float** outputs, int frames) override;
    void stop() override;

private:
    struct Control {
        uint32_t port;
        std::string name;
        float minimum;
        float maximum;
    };
    struct World;

    std::unique_ptr<World> world;
    std::string pluginName;
    std::string vendorName;
    std::vector<Control> controls;
    std::vector<std::string> presetUris;
    std::vector<std::string> presetLabels;
    std::vector<float> values;          // every port's control value, by port index
    std::vector<uint32_t> audioInputs;  // port indices
    std::vector<uint32_t> audioOutputs;
    std::vector<std::vector<float>> spare;  // for control outputs and audio ports past the second
    double rate = 44100.0;
    bool running = false;
};

}  // namespace tools::lv2
