#include "kx/vst2/AudioEffect.h"

#include <cstring>

#include "kx/vst2/AEffEditor.h"

namespace kx::vst2 {

namespace {

AudioEffect* objectOf(AEffect* effect) { return static_cast<AudioEffect*>(effect->object); }

intptr dispatchEffectClass(AEffect* effect, int32 opcode, int32 index, intptr value, void* ptr, float opt)
{
    AudioEffect* object = objectOf(effect);
    try {
        if (opcode == effClose) {
            object->dispatcher(opcode, index, value, ptr, opt);
            delete object;
            return 1;
        }
        return object->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;  // no exception may cross into the host
    }
}

void processClass(AEffect* effect, float** inputs, float** outputs, int32 frames)
{
    objectOf(effect)->process(inputs, outputs, frames);
}

void processReplacingClass(AEffect* effect, float** inputs, float** outputs, int32 frames)
{
    objectOf(effect)->processReplacing(inputs, outputs, frames);
}

void processDoubleReplacingClass(AEffect* effect, double** inputs, double** outputs, int32 frames)
{
    objectOf(effect)->processDoubleReplacing(inputs, outputs, frames);
}

void setParameterClass(AEffect* effect, int32 index, float value) { objectOf(effect)->setParameter(index, value); }

float getParameterClass(AEffect* effect, int32 index) { return objectOf(effect)->getParameter(index); }

}  // namespace

AudioEffect::AudioEffect(AudioMasterCallback audioMaster, int32 numPrograms, int32 numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams)
{
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processClass;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = effFlagsCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = fourCC('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processReplacingClass;
    cEffect.processDoubleReplacing = processDoubleReplacingClass;
}

AudioEffect::~AudioEffect() { delete editor; }

void AudioEffect::setEditor(AEffEditor* newEditor)
{
    delete editor;
    editor = newEditor;
    if (editor != nullptr) {
        cEffect.flags |= effFlagsHasEditor;
    } else {
        cEffect.flags &= ~effFlagsHasEditor;
    }
}

intptr AudioEffect::callHost(int32 opcode, int32 index, intptr value, void* ptr, float opt)
{
    return audioMaster != nullptr ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

intptr AudioEffect::dispatcher(int32 opcode, int32 index, intptr value, void* ptr, float opt)
{
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        if (value >= 0 && value < numPrograms) {
            setProgram(static_cast<int32>(value));
        }
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (ptr != nullptr) {
            setProgramName(static_cast<char*>(ptr));
        }
        return 0;
    case effGetProgramName:
        if (ptr != nullptr) {
            getProgramName(static_cast<char*>(ptr));
        }
        return 0;
    case effGetParamLabel:
        if (ptr != nullptr) {
            getParameterLabel(index, static_cast<char*>(ptr));
        }
        return 0;
    case effGetParamDisplay:
        if (ptr != nullptr) {
            getParameterDisplay(index, static_cast<char*>(ptr));
        }
        return 0;
    case effGetParamName:
        if (ptr != nullptr) {
            getParameterName(index, static_cast<char*>(ptr));
        }
        return 0;
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<int32>(value));
        return 0;
    case effMainsChanged:
        if (value != 0) {
            resume();
        } else {
            suspend();
        }
        return 0;
    case effEditGetRect:
        return editor != nullptr && ptr != nullptr && editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
    case effEditOpen:
        return editor != nullptr && editor->open(ptr) ? 1 : 0;
    case effEditClose:
        if (editor != nullptr) {
            editor->close();
        }
        return 0;
    case effEditIdle:
        if (editor != nullptr) {
            editor->idle();
        }
        return 0;
    case effIdentify:
        return fourCC('N', 'v', 'E', 'f');
    case effGetChunk:
        return ptr != nullptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case effSetChunk:
        return ptr != nullptr ? setChunk(ptr, static_cast<int32>(value), index != 0) : 0;
    default:
        return 0;
    }
}

}  // namespace kx::vst2
