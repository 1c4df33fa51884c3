#pragma once
// The one CLAP host library of the tools: loads a module as a host does, creates its
// plug-in and drives it on the calling thread, which it reports as the main thread (and,
// while processing, as the audio thread). It records what the plug-in asks of it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "kx/clap/ClapInterface.h"
#include "tools/host/SharedLibrary.h"

namespace tools::clap {

using namespace kx::clap;

// An event list the host hands to process or flush.
class InputEvents {
public:
    InputEvents();
    InputEvents(const InputEvents&) = delete;
    InputEvents& operator=(const InputEvents&) = delete;
    void addValue(uint32_t time, clap_id id, double value);
    void addRaw(const clap_event_param_value& event) { events.push_back(event); }
    const clap_input_events* list() const { return &record; }
    void clear() { events.clear(); }

private:
    std::vector<clap_event_param_value> events;
    clap_input_events record;
};

// What the plug-in sends back: the type and the parameter of each event, and values.
struct OutputEvent {
    uint16_t type;
    clap_id id;
    double value;  // value events only
};

class OutputEvents {
public:
    OutputEvents();
    OutputEvents(const OutputEvents&) = delete;
    OutputEvents& operator=(const OutputEvents&) = delete;
    const clap_output_events* list() const { return &record; }
    std::vector<OutputEvent> events;

private:
    clap_output_events record;
};

// A preset as the module's preset-discovery factory declares it.
struct DiscoveredPreset {
    std::string name;
    std::string key;  // for preset-load
    uint32_t locationKind = 0;
    std::string location;  // empty for presets inside the plug-in
    std::vector<std::string> pluginIds;  // "abi:id"
    uint32_t flags = 0;
    std::string description;
};

class ClapModule {
public:
    // Loads the module and calls its entry's init; throws std::runtime_error where that fails.
    explicit ClapModule(const std::string& path);
    ~ClapModule();
    ClapModule(const ClapModule&) = delete;
    ClapModule& operator=(const ClapModule&) = delete;

    const clap_plugin_entry& entry() const { return *entryRecord; }
    const clap_plugin_factory& factory() const { return *factoryRecord; }
    // Every preset of every provider of the preset-discovery factory, as a host's indexer
    // reads them; none where the module has no such factory. Problems it reports go to `errors`.
    std::vector<DiscoveredPreset> discoverPresets(std::vector<std::string>* errors = nullptr) const;

private:
    tools::SharedLibrary library;
    const clap_plugin_entry* entryRecord = nullptr;
    const clap_plugin_factory* factoryRecord = nullptr;
};

class ClapInstance {
public:
    // Creates and initialises the module's first plug-in; throws std::runtime_error where
    // that does not work.
    explicit ClapInstance(const ClapModule& module);
    // The same with a plug-in made by `create` for this host.
    explicit ClapInstance(const std::function<const clap_plugin*(const clap_host*)>& create);
    ~ClapInstance();
    ClapInstance(const ClapInstance&) = delete;
    ClapInstance& operator=(const ClapInstance&) = delete;

    const clap_plugin* plugin() const { return instance; }
    template<class Extension>
    const Extension* extension(const char* id) const
    {
        return static_cast<const Extension*>(instance->get_extension(instance, id));
    }
    const clap_plugin_params& params() const { return *extension<clap_plugin_params>(kExtParams); }

    bool activate(double rate, uint32_t maxFrames);
    void deactivate();
    void flush(const InputEvents& events = {});
    // One process call over the given channels (null: none), with these events.
    clap_process_status process(float* const* inputs, int inputChannels, float* const* outputs, int outputChannels,
                                uint32_t frames, const InputEvents& events = {});
    // The same with a buffer for each port.
    clap_process_status process(const clap_audio_buffer* inputs, uint32_t inputPorts, clap_audio_buffer* outputs,
                                uint32_t outputPorts, uint32_t frames, const InputEvents& events);
    OutputEvents out;  // what process and flush sent back, kept until cleared

    // NaN where the plug-in gives no value.
    double value(clap_id id) const;
    // Empty where the plug-in saves nothing or has no state.
    std::vector<uint8_t> save(std::size_t chunk = SIZE_MAX) const;
    // Loads the bytes, the stream handing out at most `chunk` at a time.
    bool load(const std::vector<uint8_t>& bytes, std::size_t chunk = SIZE_MAX) const;

    // What the plug-in asked of the host.
    std::atomic<int> flushRequests{0};
    std::atomic<int> rescans{0};
    std::atomic<int> dirtyMarks{0};
    std::vector<std::string> presetsLoaded;  // keys told through preset-load's loaded
    std::vector<std::string> presetErrors;   // messages told through its on_error
    struct Size {
        uint32_t width;
        uint32_t height;
        bool operator==(const Size&) const = default;
    };
    std::vector<Size> resizeRequests;  // main thread
    std::vector<std::string> logLines;
    // The thread that made the instance: thread-check calls it the main thread, and any
    // other thread, or this one inside process, the audio thread.
    const std::thread::id mainThread = std::this_thread::get_id();
    std::atomic<bool> processing{false};

private:
    clap_host host;
    const clap_plugin* instance = nullptr;
    bool active = false;
};

}  // namespace tools::clap
