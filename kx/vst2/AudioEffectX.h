#pragma once
// Extends the base with opcodes 25..79 and the host requests this module sends.

#include "kx/vst2/AudioEffect.h"

namespace kx::vst2 {

class AudioEffectX : public AudioEffect {
public:
    using AudioEffect::AudioEffect;

    intptr dispatcher(int32 opcode, int32 index, intptr value, void* ptr, float opt) override;

    // Every pointer argument below is non-null.
    virtual int32 processEvents(VstEvents*) { return 0; }
    virtual bool canParameterBeAutomated(int32) { return true; }
    virtual bool getInputProperties(int32, VstPinProperties*) { return false; }
    virtual bool getOutputProperties(int32, VstPinProperties*) { return false; }
    virtual int32 getPlugCategory() { return kPlugCategEffect; }
    virtual bool setSpeakerArrangement(VstSpeakerArrangement*, VstSpeakerArrangement*) { return false; }
    virtual bool getSpeakerArrangement(VstSpeakerArrangement**, VstSpeakerArrangement**) { return false; }
    virtual bool setBypass(bool) { return false; }
    virtual bool getEffectName(char*) { return false; }     // 32-byte buffer
    virtual bool getVendorString(char*) { return false; }   // 65-byte buffer
    virtual bool getProductString(char*) { return false; }  // 65-byte buffer
    virtual int32 getVendorVersion() { return 0; }
    virtual int32 canDo(const char*) { return 0; }

    // Asks the host to resize the editor window; true when the host accepted.
    bool sizeWindow(int32 width, int32 height);

protected:
    // Host texts land in zeroed buffers of this size; they are read up to 64 characters.
    static constexpr int kHostStringBuffer = 65;

    bool getHostVendorString(char* text);
    bool getHostProductString(char* text);
    int32 getHostVendorVersion();
};

}  // namespace kx::vst2
