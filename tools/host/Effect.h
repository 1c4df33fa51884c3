#pragma once
// A host's handle on one effect instance: typed calls on the AEffect record.
// Construction sends effOpen, close() or destruction effClose; the record is not
// used after.

#include "HostContext.h"
#include "Plugin.h"
#include "SharedLibrary.h"
#include "kx/vst2/VstInterface.h"

#include <optional>
#include <string>

namespace tools {

struct SpeakerArrangementInfo {
    int inputType;
    int inputChannels;
    int outputType;
    int outputChannels;
};

class Effect : public Plugin {
public:
    // `library` keeps the module that owns the record loaded while the effect lives.
    Effect(kx::vst2::AEffect* effect, HostContext& context, SharedLibrary library = {});
    ~Effect() override;
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    kx::vst2::AEffect* record() const { return effect; }
    HostContext& host() const { return context; }

    int numInputs() const override { return effect->numInputs; }
    int numOutputs() const override { return effect->numOutputs; }
    int numParams() const override { return effect->numParams; }
    int numPrograms() const { return effect->numPrograms; }
    int flags() const { return effect->flags; }
    int uniqueId() const { return effect->uniqueID; }
    int version() const { return effect->version; }
    int initialDelay() const { return effect->initialDelay; }
    bool canReplacing() const { return (effect->flags & kx::vst2::effFlagsCanReplacing) != 0; }
    bool hasEditor() const { return (effect->flags & kx::vst2::effFlagsHasEditor) != 0; }

    void setSampleRate(float rate);
    void setBlockSize(int frames);
    void mainsChanged(bool on);
    // effClose, once; the host stops answering for the record.
    void close();

    std::string effectName();
    std::string vendorString();
    std::string productString();
    int vendorVersion();
    int category();
    int vstVersion();
    int tailSize();
    std::string programName(int index);
    int canDo(const char* query);
    std::optional<kx::vst2::VstPinProperties> inputProperties(int index);
    std::optional<kx::vst2::VstPinProperties> outputProperties(int index);
    // The arrangements the effect holds, when it answers with both.
    std::optional<SpeakerArrangementInfo> speakerArrangement();

    std::string paramName(int index) override;
    std::string paramLabel(int index);
    std::string paramDisplay(int index);
    bool canBeAutomated(int index);
    float getParameter(int index) override;
    void setParameter(int index, float value) override;

    void processReplacing(float** inputs, float** outputs, int frames);

    // Plugin: a run as a host makes it, at the realtime process level while it lasts.
    std::string name() override { return effectName(); }
    std::string vendor() override { return vendorString(); }
    void prepare(float sampleRate, int maxFrames) override;
    // Throws std::runtime_error for an effect without processReplacing.
    void start() override;
    void process(float** inputs, float** outputs, int frames) override { processReplacing(inputs, outputs, frames); }
    void stop() override;

    kx::vst2::intptr dispatch(kx::vst2::int32 opcode, kx::vst2::int32 index = 0, kx::vst2::intptr value = 0,
                              void* ptr = nullptr, float opt = 0.0f);

private:
    std::string text(kx::vst2::int32 opcode, kx::vst2::int32 index);
    std::optional<kx::vst2::VstPinProperties> pin(kx::vst2::int32 opcode, int index);

    kx::vst2::AEffect* effect;
    HostContext& context;
    SharedLibrary library;
    bool open = true;
};

}  // namespace tools
