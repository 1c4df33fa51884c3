#pragma once
// Owns the AEffect record the host sees, routes the record's plain functions to this object
// and decodes opcodes 0..24 into virtual operations whose defaults do nothing.

#include "kx/vst2/VstInterface.h"

namespace kx::vst2 {

class AEffEditor;

class AudioEffect {
public:
    AudioEffect(AudioMasterCallback audioMaster, int32 numPrograms, int32 numParams);
    virtual ~AudioEffect();

    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    AEffect* getAeffect() { return &cEffect; }
    AEffEditor* getEditor() const { return editor; }

    virtual intptr dispatcher(int32 opcode, int32 index, intptr value, void* ptr, float opt);

    virtual void process(float**, float**, int32) {}  // deprecated accumulating call
    virtual void processReplacing(float**, float**, int32) {}
    virtual void processDoubleReplacing(double**, double**, int32) {}
    virtual void setParameter(int32, float) {}
    virtual float getParameter(int32) { return 0.0f; }

    virtual void open() {}
    virtual void close() {}
    virtual void setProgram(int32 program) { curProgram = program; }
    virtual int32 getProgram() { return curProgram; }
    virtual void setProgramName(char*) {}
    virtual void getProgramName(char*) {}
    // Each text buffer is non-null and holds at least kVstMaxParamStrLen + 1 bytes.
    virtual void getParameterLabel(int32, char*) {}
    virtual void getParameterDisplay(int32, char*) {}
    virtual void getParameterName(int32, char*) {}
    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(int32 size) { blockSize = size; }
    virtual void suspend() {}
    virtual void resume() {}
    virtual int32 getChunk(void**, bool) { return 0; }
    virtual int32 setChunk(void*, int32, bool) { return 0; }

    // Installs (and takes ownership of) the editor and announces it in the record.
    void setEditor(AEffEditor* newEditor);

protected:
    // Sends a request to the host; answers 0 without a host callback.
    intptr callHost(int32 opcode, int32 index = 0, intptr value = 0, void* ptr = nullptr, float opt = 0.0f);

    AudioMasterCallback audioMaster;
    AEffEditor* editor = nullptr;
    float sampleRate = 44100.0f;
    int32 blockSize = 1024;
    int32 numPrograms;
    int32 numParams;
    int32 curProgram = 0;
    AEffect cEffect;
};

}  // namespace kx::vst2
