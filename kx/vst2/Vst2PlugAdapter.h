#pragma once
// The one object the host talks to: turns VST 2.4 calls into calls on a kx::AudioPlugin and
// carries audio, MIDI events and parameter changes into it.

#include <atomic>
#include <memory>

#include "kx/AudioPlugin.h"
#include "kx/BlockSizeAdapter.h"
#include "kx/HostCallback.h"
#include "kx/ParameterEdits.h"
#include "kx/vst2/AudioEffectX.h"

namespace kx::vst2 {

class Vst2PlugAdapter final : public AudioEffectX, public HostCallback {
public:
    explicit Vst2PlugAdapter(AudioMasterCallback audioMaster);
    ~Vst2PlugAdapter() override;

    // AudioEffect
    void processReplacing(float** inputs, float** outputs, int32 frames) override;
    void setParameter(int32 index, float value) override;
    float getParameter(int32 index) override;
    void open() override;
    void close() override;
    void setProgram(int32) override {}
    void getProgramName(char*) override {}
    void getParameterLabel(int32 index, char* text) override;
    void getParameterDisplay(int32 index, char* text) override;
    void getParameterName(int32 index, char* text) override;
    void setSampleRate(float rate) override;
    void setBlockSize(int32 size) override;
    void suspend() override;
    void resume() override;

    // AudioEffectX
    int32 processEvents(VstEvents* events) override;
    bool canParameterBeAutomated(int32 index) override;
    bool getInputProperties(int32 index, VstPinProperties* properties) override;
    bool getOutputProperties(int32 index, VstPinProperties* properties) override;
    int32 getPlugCategory() override { return category; }
    bool setSpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output) override;
    bool getSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output) override;
    bool setBypass(bool on) override;
    bool getEffectName(char* text) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int32 getVendorVersion() override { return descriptor.vendorVersion; }
    int32 canDo(const char* text) override;

    // HostCallback
    void automate(int index, float value) override;
    void automateNow(int index, float value) override;
    HostInfo hostInfo() override;

private:
    // The editor's edits that wait, in order.
    void applyQueuedChanges();
    static bool pinProperties(int32 channels, int32 index, VstPinProperties* properties);

    std::unique_ptr<AudioPlugin> plugin;
    Parameters* parameters;
    PluginDescriptor descriptor;
    int32 hostBlockSize = 0;
    std::atomic<bool> processing{false};
    int32 inputChannels;
    int32 outputChannels;
    int32 category;
    VstSpeakerArrangement inputArrangement;
    VstSpeakerArrangement outputArrangement;
    std::unique_ptr<BlockSizeAdapter> blockAdapter;
    ParameterEdits edits;  // editor to audio thread while processing
};

}  // namespace kx::vst2
