#pragma once
// A host's handle on one plug-in instance, whatever its format: what rendering and comparing
// need. Parameters by index, values normalised to 0..1 (a format with plain values converts
// with the parameter's range). The order of a run: prepare, setParameter (any number),
// start, process (any number, setParameter between), stop.

#include <memory>
#include <string>
#include <vector>

namespace tools {

class HostContext;

class Plugin {
public:
    virtual ~Plugin();

    virtual std::string name() = 0;
    virtual std::string vendor() = 0;
    virtual int numInputs() const = 0;  // channels of the main input
    virtual int numOutputs() const = 0;
    virtual int numParams() const = 0;
    virtual std::string paramName(int index) = 0;
    virtual float getParameter(int index) = 0;
    // Takes effect with the next process call, before its first frame.
    virtual void setParameter(int index, float value) = 0;

    // The plug-in's own presets, by the names it gives them, in its order; none for a format or
    // module without them.
    virtual std::vector<std::string> presets() { return {}; }
    // Loads preset `index` of presets() the format's own way (a program change, a preset-load
    // call, the preset's port values); it takes effect as setParameter's values do. False
    // where the plug-in refuses or has no such preset.
    virtual bool loadPreset(int) { return false; }

    virtual void prepare(float sampleRate, int maxFrames) = 0;
    virtual void start() = 0;
    virtual void process(float** inputs, float** outputs, int frames) = 0;
    virtual void stop() = 0;
};

// Whether the name says CLAP (".clap") or VST 3 (a ".vst3" bundle); anything else is taken for VST 2.
bool isClapModule(const std::string& path);
bool isVst3Bundle(const std::string& path);
bool isLv2Bundle(const std::string& path);

// Loads the module at `path` and makes one instance: a CLAP plug-in for a ".clap" file, a
// VST 3 effect for a ".vst3" bundle, an LV2 plug-in for a ".lv2" bundle (Linux), else a
// VST 2 effect. The instance keeps its module loaded. VST 2 requests go to
// `context`. Throws std::runtime_error where the module cannot be used.
std::unique_ptr<Plugin> openPlugin(const std::string& path, HostContext& context);

}  // namespace tools
