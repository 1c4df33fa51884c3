#pragma once
// One plug-in instance as a CLAP host sees it: turns the calls on its clap_plugin record and
// extensions into calls on a kx::AudioPlugin, carries value events into it at their frames,
// and reports the editor's edits back to the host as gesture and value events.
//
// Parameter values: a continuous parameter's CLAP value is its normalised value (0..1), so
// that a value travels unchanged to the effect; a parameter with named options is stepped
// from 0 to options - 1. A value event takes effect where the next block of the effect's
// fixed grid begins, as a VST 2 host's change between two calls does.

#include <atomic>
#include <memory>
#include <optional>

#include "kx/AudioPlugin.h"
#include "kx/BlockSizeAdapter.h"
#include "kx/HostCallback.h"
#include "kx/ParameterEdits.h"
#include "kx/clap/ClapInterface.h"

namespace kx::clap {

class ClapPlugAdapter final : public HostCallback {
public:
    ClapPlugAdapter(const clap_host* host, const clap_plugin_descriptor* descriptor);
    ~ClapPlugAdapter() override;
    ClapPlugAdapter(const ClapPlugAdapter&) = delete;
    ClapPlugAdapter& operator=(const ClapPlugAdapter&) = delete;

    // The record handed to the host; its plugin_data points here.
    const clap_plugin* record() const { return &plugin; }

    // HostCallback: the editor's edits.
    void automate(int index, float value) override;
    void automateNow(int index, float value) override;
    void beginEdit(int index) override;
    void endEdit(int index) override;
    HostInfo hostInfo() override;

private:
    static ClapPlugAdapter& of(const clap_plugin* plugin);
    static const clap_plugin_audio_ports kAudioPorts;
    static const clap_plugin_audio_ports_config kAudioPortsConfig;
    static const clap_plugin_params kParams;
    static const clap_plugin_state kState;
    static const clap_plugin_latency kLatency;
    static const clap_plugin_gui kGui;
    static const clap_plugin_preset_load kPresetLoad;

    // clap_plugin
    bool init();
    bool activate(double sampleRate, uint32_t maxFrames);
    void deactivate();
    void reset();
    clap_process_status process(const clap_process& process);
    const void* extension(const char* id) const;

    // params
    bool parameterInfo(uint32_t index, clap_param_info& info) const;
    std::optional<int> indexOf(clap_id id) const;
    double plainOf(int index, float normalised) const;
    float normalisedOf(int index, double plain) const;
    bool valueToText(clap_id id, double value, char* buffer, uint32_t capacity) const;
    bool textToValue(clap_id id, const char* text, double& value) const;
    void flush(const clap_input_events* in, const clap_output_events* out);

    // state
    bool save(const clap_ostream& stream) const;
    bool load(const clap_istream& stream);

    // preset-load: a factory preset, by its key, set as the host's own changes of every
    // parameter would be; the host is told the values changed and which preset it was.
    bool loadPreset(uint32_t kind, const char* location, const char* key);
    void refusePreset(uint32_t kind, const char* location, const char* key, const char* why) const;

    // audio ports
    bool portInfo(uint32_t index, bool isInput, clap_audio_port_info& info) const;
    bool selectPortConfig(clap_id id);

    // gui
    bool createGui(const char* api, bool floating);
    void destroyGui();
    bool setParent(const clap_window* window);
    bool setGuiScale(double scale);
    bool setGuiSize(uint32_t width, uint32_t height);

    // The editor's waiting edits: applied, and told to the host when it gave an event list.
    void applyEdits(const clap_output_events* out);
    void applyEvent(const clap_event_header& event);
    // Frames begin..end of the host's buffers through the effect.
    void runAudio(uint32_t begin, uint32_t end, float* const* inputs, float* const* outputs);
    // After an edit: the host calls flush or process soon, unless it is processing anyway.
    void askForFlush();
    // True unless the host says this is not its main thread; what it forbids is then refused.
    bool onMainThread() const;
    void logMisbehaviour(const char* message) const;

    clap_plugin plugin;
    const clap_host* host;
    const clap_host_params* hostParams = nullptr;
    const clap_host_thread_check* hostThreadCheck = nullptr;
    const clap_host_log* hostLog = nullptr;
    const clap_host_state* hostState = nullptr;
    const clap_host_preset_load* hostPresetLoad = nullptr;
    const clap_host_gui* hostGui = nullptr;
    std::unique_ptr<AudioPlugin> effect;
    Parameters* parameters = nullptr;
    std::unique_ptr<BlockSizeAdapter> blockAdapter;
    std::unique_ptr<ParameterEdits> edits;
    int portConfig = 0;  // index into the configurations offered
    // Between activate and deactivate the audio thread takes the editor's edits; otherwise
    // they are stored at once and only reported on the main thread.
    std::atomic<bool> active{false};
    std::atomic<bool> started{false};  // between start_processing and stop_processing
    bool guiCreated = false;
    bool guiOpen = false;
    bool guiScaleGiven = false;  // by the host since create
};

}  // namespace kx::clap
