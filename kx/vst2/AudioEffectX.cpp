#include "kx/vst2/AudioEffectX.h"

#include "kx/vst2/AEffEditor.h"

namespace kx::vst2 {

intptr AudioEffectX::dispatcher(int32 opcode, int32 index, intptr value, void* ptr, float opt)
{
    switch (opcode) {
    case effProcessEvents:
        return ptr != nullptr ? processEvents(static_cast<VstEvents*>(ptr)) : 0;
    case effCanBeAutomated:
        return canParameterBeAutomated(index) ? 1 : 0;
    case effGetInputProperties:
        return ptr != nullptr && getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties:
        return ptr != nullptr && getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
        return getPlugCategory();
    case effSetSpeakerArrangement: {
        auto* input = reinterpret_cast<VstSpeakerArrangement*>(value);
        auto* output = static_cast<VstSpeakerArrangement*>(ptr);
        return input != nullptr && output != nullptr && setSpeakerArrangement(input, output) ? 1 : 0;
    }
    case effGetSpeakerArrangement: {
        auto** input = reinterpret_cast<VstSpeakerArrangement**>(value);
        auto** output = static_cast<VstSpeakerArrangement**>(ptr);
        return input != nullptr && output != nullptr && getSpeakerArrangement(input, output) ? 1 : 0;
    }
    case effSetBypass:
        return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName:
        return ptr != nullptr && getEffectName(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorString:
        return ptr != nullptr && getVendorString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetProductString:
        return ptr != nullptr && getProductString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorVersion:
        return getVendorVersion();
    case effCanDo:
        return ptr != nullptr ? canDo(static_cast<const char*>(ptr)) : 0;
    case effGetVstVersion:
        return kVstVersion;
    case effEditKeyDown:
    case effEditKeyUp: {
        if (editor == nullptr) {
            return 0;
        }
        VstKeyCode key{index, static_cast<unsigned char>(value), static_cast<unsigned char>(opt)};
        return (opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key)) ? 1 : 0;
    }
    case effSetEditKnobMode:
        return editor != nullptr && editor->setKnobMode(static_cast<int32>(value)) ? 1 : 0;
    case effGetCurrentMidiProgram:
        return -1;
    case effSetTotalSampleToProcess:
        return value;
    default:
        break;
    }
    if (opcode >= effProcessEvents && opcode <= effGetNumMidiOutputChannels) {
        return 0;  // the rest of the extended range is not supported
    }
    return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
}

bool AudioEffectX::sizeWindow(int32 width, int32 height) { return callHost(audioMasterSizeWindow, width, height) != 0; }

bool AudioEffectX::getHostVendorString(char* text) { return callHost(audioMasterGetVendorString, 0, 0, text) != 0; }

bool AudioEffectX::getHostProductString(char* text) { return callHost(audioMasterGetProductString, 0, 0, text) != 0; }

int32 AudioEffectX::getHostVendorVersion() { return static_cast<int32>(callHost(audioMasterGetVendorVersion)); }

}  // namespace kx::vst2
