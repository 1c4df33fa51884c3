#include "Effect.h"

#include <cstring>
#include <stdexcept>
#include <utility>

namespace tools {

using namespace kx::vst2;

namespace {

// Modules often write past the documented 8 or 64 characters; a large zeroed
// buffer, cut at its end, keeps such overruns inside memory we own.
constexpr std::size_t kTextBufferSize = 256;

}  // namespace

Effect::Effect(AEffect* effect, HostContext& context, SharedLibrary library)
    : effect(effect), context(context), library(std::move(library))
{
    if (effect == nullptr) throw std::invalid_argument("no effect record");
    context.attach(effect);
    context.setCurrentId(effect->uniqueID);
    dispatch(effOpen);
}

Effect::~Effect() { close(); }

void Effect::close()
{
    if (!open) return;
    open = false;
    dispatch(effClose);
    context.detach(effect);
}

intptr Effect::dispatch(int32 opcode, int32 index, intptr value, void* ptr, float opt)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void Effect::setSampleRate(float rate)
{
    context.setSampleRate(rate);
    dispatch(effSetSampleRate, 0, 0, nullptr, rate);
}

void Effect::setBlockSize(int frames)
{
    context.setBlockSize(frames);
    dispatch(effSetBlockSize, 0, frames);
}

void Effect::mainsChanged(bool on) { dispatch(effMainsChanged, 0, on ? 1 : 0); }

void Effect::prepare(float sampleRate, int maxFrames)
{
    setSampleRate(sampleRate);
    setBlockSize(maxFrames);
}

void Effect::start()
{
    if (!canReplacing() || effect->processReplacing == nullptr) {
        throw std::runtime_error("the effect does not offer processReplacing");
    }
    context.setProcessLevel(HostContext::kLevelRealtime);
    mainsChanged(true);
}

void Effect::stop()
{
    mainsChanged(false);
    context.setProcessLevel(HostContext::kLevelUser);
}

std::string Effect::text(int32 opcode, int32 index)
{
    char buffer[kTextBufferSize] = {};
    dispatch(opcode, index, 0, buffer);
    buffer[kTextBufferSize - 1] = '\0';
    return buffer;
}

std::string Effect::effectName() { return text(effGetEffectName, 0); }
std::string Effect::vendorString() { return text(effGetVendorString, 0); }
std::string Effect::productString() { return text(effGetProductString, 0); }
std::string Effect::programName(int index) { return text(effGetProgramNameIndexed, index); }
std::string Effect::paramName(int index) { return text(effGetParamName, index); }
std::string Effect::paramLabel(int index) { return text(effGetParamLabel, index); }
std::string Effect::paramDisplay(int index) { return text(effGetParamDisplay, index); }

int Effect::vendorVersion() { return static_cast<int>(dispatch(effGetVendorVersion)); }
int Effect::category() { return static_cast<int>(dispatch(effGetPlugCategory)); }
int Effect::vstVersion() { return static_cast<int>(dispatch(effGetVstVersion)); }
int Effect::tailSize() { return static_cast<int>(dispatch(effGetTailSize)); }
bool Effect::canBeAutomated(int index) { return dispatch(effCanBeAutomated, index) != 0; }

int Effect::canDo(const char* query)
{
    // The query is passed in a writable copy: some modules treat it as scratch space.
    char buffer[kTextBufferSize] = {};
    std::strncpy(buffer, query, kTextBufferSize - 1);
    return static_cast<int>(dispatch(effCanDo, 0, 0, buffer));
}

std::optional<VstPinProperties> Effect::pin(int32 opcode, int index)
{
    // Room beyond the record for modules that write past its end.
    struct {
        VstPinProperties properties;
        char slack[kTextBufferSize];
    } buffer{};
    if (dispatch(opcode, index, 0, &buffer.properties) == 0) return std::nullopt;
    return buffer.properties;
}

std::optional<VstPinProperties> Effect::inputProperties(int index) { return pin(effGetInputProperties, index); }
std::optional<VstPinProperties> Effect::outputProperties(int index) { return pin(effGetOutputProperties, index); }

std::optional<SpeakerArrangementInfo> Effect::speakerArrangement()
{
    VstSpeakerArrangement* input = nullptr;
    VstSpeakerArrangement* output = nullptr;
    if (dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr>(&input), &output) == 0) return std::nullopt;
    if (input == nullptr || output == nullptr) return std::nullopt;
    return SpeakerArrangementInfo{input->type, input->numChannels, output->type, output->numChannels};
}

float Effect::getParameter(int index)
{
    return effect->getParameter != nullptr ? effect->getParameter(effect, index) : 0.0f;
}

void Effect::setParameter(int index, float value)
{
    if (effect->setParameter != nullptr) effect->setParameter(effect, index, value);
}

void Effect::processReplacing(float** inputs, float** outputs, int frames)
{
    effect->processReplacing(effect, inputs, outputs, frames);
}

}  // namespace tools
