#pragma once
// One plug-in instance as an LV2 host sees it. Its ports, in order: one control input per
// parameter (the parameter's index is its port), then the audio inputs and outputs, left and
// right. A control port carries the parameter's normalised value (0..1), or for a parameter
// with named options the option's number (0..options - 1). A control value that changed since
// the last run takes effect where the next block of the effect's fixed grid begins, as a VST 2
// host's change between two calls does.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "kx/AudioPlugin.h"
#include "kx/BlockSizeAdapter.h"
#include "kx/HostCallback.h"
#include "kx/ParameterEdits.h"

namespace kx::lv2 {

class Lv2PlugAdapter final : public HostCallback {
public:
    // Ports after the parameters' control ports.
    static constexpr int kAudioPorts = 4;  // in left, in right, out left, out right

    explicit Lv2PlugAdapter(double sampleRate);
    ~Lv2PlugAdapter() override;

    uint32_t portCount() const { return static_cast<uint32_t>(controls.size()) + kAudioPorts; }
    void connect(uint32_t port, void* data);
    void activate();
    void run(uint32_t frames);

    // The value a control port carries for a normalised value, and back.
    static float portValue(const ParameterDescriptor& descriptor, float normalised);
    static float normalisedValue(const ParameterDescriptor& descriptor, float port);

    // For a UI with access to this instance: the effect's editor, and the editor's edits, which
    // the UI hands to the host (its UI thread takes them). While no UI is attached, an edit is
    // stored at once.
    AudioPluginEditor* editor();
    Parameters& parameterSet() { return *parameters; }
    ParameterEdits& editsForUi() { return toUi; }
    void attachUi(bool attached) { uiAttached.store(attached); }

    // HostCallback: the editor's edits.
    void automate(int index, float value) override;
    void automateNow(int index, float value) override;
    void beginEdit(int index) override;
    void endEdit(int index) override;
    HostInfo hostInfo() override { return {}; }

private:
    void applyControls();

    std::unique_ptr<AudioPlugin> effect;
    Parameters* parameters;
    std::unique_ptr<BlockSizeAdapter> blockAdapter;
    std::vector<const float*> controls;  // the host's control ports, by parameter index
    std::vector<float> applied;          // what each port held when it was last applied
    ParameterEdits toUi;
    std::atomic<bool> uiAttached{false};
    const float* inputs[2] = {nullptr, nullptr};
    float* outputs[2] = {nullptr, nullptr};
};

}  // namespace kx::lv2
