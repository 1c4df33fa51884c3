#pragma once
// A VST 3 effect behind the format-neutral handle: values are the normalised ones VST 3
// uses, and the changes set between two calls reach the processor as points at the first
// frame of the next one (and the controller as the values it shows).

#include "tools/host/Plugin.h"
#include "tools/host/Vst3Host.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tools::vst3 {

class Vst3Plugin final : public Plugin {
public:
    explicit Vst3Plugin(std::shared_ptr<const Vst3Module> module);
    ~Vst3Plugin() override;

    Vst3Instance& instance() { return plugin; }

    std::string name() override { return className; }
    std::string vendor() override { return vendorName; }
    int numInputs() const override { return inputs; }
    int numOutputs() const override { return outputs; }
    int numParams() const override { return static_cast<int>(ids.size()); }
    std::string paramName(int index) override;
    float getParameter(int index) override;
    void setParameter(int index, float value) override;

    // The controller's first program list, switched by its program-change parameter (which
    // is kept out of the parameters above, as hosts keep it out of their parameter lists).
    std::vector<std::string> presets() override;
    bool loadPreset(int index) override;

    void prepare(float sampleRate, int maxFrames) override;
    void start() override;
    void process(float** inputs, float** outputs, int frames) override;
    void stop() override { plugin.stop(); }

private:
    std::shared_ptr<const Vst3Module> module;
    Vst3Instance plugin;
    std::string className;
    std::string vendorName;
    std::vector<ParamID> ids;
    std::vector<std::string> names;
    std::optional<ParamID> programId;
    std::vector<std::string> programs;
    int inputs;
    int outputs;
    double rate = 44100.0;
    int maxBlock = 0;
};

}  // namespace tools::vst3
