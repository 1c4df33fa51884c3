#include "kx/vst2/Vst2PlugAdapter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "kx/vst2/Vst2PlugEditorAdapter.h"

namespace kx::vst2 {

namespace {

constexpr int32 kMaxChannels = 2;

int32 clampChannels(int32 channels) { return std::clamp(channels, int32{0}, kMaxChannels); }

// Copies at most maxChars characters and a terminator.
void copyText(char* destination, std::string_view text, size_t maxChars)
{
    const size_t length = std::min(text.size(), maxChars);
    if (length > 0) {
        std::memcpy(destination, text.data(), length);
    }
    destination[length] = '\0';
}

// Channel count an arrangement type stands for; -1 for types this binding does not take.
int32 channelsOf(int32 arrangementType)
{
    switch (arrangementType) {
    case kSpeakerArrEmpty:
        return 0;
    case kSpeakerArrMono:
        return 1;
    case kSpeakerArrStereo:
    case kSpeakerArrStereoSurround:
    case kSpeakerArrStereoCenter:
    case kSpeakerArrStereoSide:
    case kSpeakerArrStereoCLfe:
        return 2;
    default:
        return -1;
    }
}

VstSpeakerArrangement arrangementFor(int32 channels)
{
    VstSpeakerArrangement arrangement{};
    arrangement.type = channels == 0 ? kSpeakerArrEmpty : (channels == 1 ? kSpeakerArrMono : kSpeakerArrStereo);
    arrangement.numChannels = channels;
    return arrangement;
}

// Hosts may allocate only as many speaker records as the arrangement has channels.
void copyArrangement(VstSpeakerArrangement& target, const VstSpeakerArrangement& source)
{
    target = VstSpeakerArrangement{};
    target.type = source.type;
    target.numChannels = source.numChannels;
    const int32 speakers = std::clamp(source.numChannels, int32{0}, int32{8});
    std::memcpy(target.speakers, source.speakers, sizeof(VstSpeakerProperties) * static_cast<size_t>(speakers));
}

float dataByte(char byte) { return static_cast<float>(static_cast<unsigned char>(byte) & 0x7F) / 127.0f; }

// Decodes the three MIDI bytes; false for messages that are not passed on.
bool decodeMidi(const char* data, MidiEvent& out)
{
    const auto status = static_cast<unsigned char>(data[0]);
    const int32 first = static_cast<unsigned char>(data[1]) & 0x7F;
    const int32 second = static_cast<unsigned char>(data[2]) & 0x7F;
    out.number = first;
    out.value = dataByte(data[2]);
    switch (status & 0xF0) {
    case 0x80:
        out.kind = static_cast<uint8_t>(MidiEventKind::NoteOff);
        return true;
    case 0x90:
        out.kind = static_cast<uint8_t>(second > 0 ? MidiEventKind::NoteOn : MidiEventKind::NoteOff);
        return true;
    case 0xA0:
        out.kind = static_cast<uint8_t>(MidiEventKind::PolyPressure);
        return true;
    case 0xB0:
        out.kind = static_cast<uint8_t>(first == 1    ? MidiEventKind::ModWheel
                                        : first == 2  ? MidiEventKind::BreathController
                                        : first == 64 ? MidiEventKind::SustainPedal
                                                      : MidiEventKind::Controller);
        return true;
    case 0xD0:
        out.kind = static_cast<uint8_t>(MidiEventKind::ChannelPressure);
        out.number = 0;
        out.value = dataByte(data[1]);
        return true;
    case 0xE0:
        out.kind = static_cast<uint8_t>(MidiEventKind::PitchBend);
        out.number = 0;
        out.value = static_cast<float>((second - 64) * 128 + first) / 8192.0f;  // -1 .. 8191/8192
        return true;
    default:
        return false;  // program change, system messages, running status
    }
}

}  // namespace

Vst2PlugAdapter::Vst2PlugAdapter(AudioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, 0, 0),
      plugin(createPlugin(*this, 44100.0f)),
      parameters(&plugin->parameters),
      descriptor(plugin->descriptor()),
      inputChannels(clampChannels(descriptor.numInputs)),
      outputChannels(clampChannels(descriptor.numOutputs)),
      category(isInstrument(descriptor) ? kPlugCategSynth : kPlugCategEffect),
      inputArrangement(arrangementFor(inputChannels)),
      outputArrangement(arrangementFor(outputChannels)),
      blockAdapter(makeBlockSizeAdapter(descriptor)),
      edits(parameters->count())
{
    cEffect.numInputs = descriptor.numInputs;
    cEffect.numOutputs = descriptor.numOutputs;
    cEffect.uniqueID = descriptor.uniqueId;
    cEffect.flags |= effFlagsCanReplacing;
    cEffect.numParams = parameters->count();
    if (category == kPlugCategSynth) {
        cEffect.flags |= effFlagsIsSynth;
    }
    Vst2PlugEditorAdapter* editorAdapter = nullptr;
    if (descriptor.hasEditor) {
        if (AudioPluginEditor* pluginEditor = plugin->editor()) {
            editorAdapter = new Vst2PlugEditorAdapter(this, pluginEditor);
            setEditor(editorAdapter);
        }
    }
    blockAdapter->setChannels(inputChannels, outputChannels);
    // The plug-in's block is known now; the host's maximum arrives with effSetBlockSize.
    blockAdapter->setBlockSizes(descriptor.blockSize, 0);

    const HostInfo host = hostInfo();
    if (editorAdapter != nullptr &&
        (host.product == "REAPER" || host.product == "Reaper" || host.product == "reaper")) {
        editorAdapter->resizeNudge = true;
    }
}

Vst2PlugAdapter::~Vst2PlugAdapter() = default;

void Vst2PlugAdapter::applyQueuedChanges()
{
    // The host heard of each value when the editor sent it; gestures are not part of VST 2.
    edits.drain([this](const ParameterEdit& edit) {
        if (edit.kind == ParameterEdit::Kind::kValue) parameters->setValue(edit.index, edit.value);
    });
}

void Vst2PlugAdapter::processReplacing(float** inputs, float** outputs, int32 frames)
{
    bool buffersPresent = (inputChannels == 0 || inputs != nullptr) && (outputChannels == 0 || outputs != nullptr);
    for (int32 c = 0; buffersPresent && c < inputChannels; ++c) {
        buffersPresent = inputs[c] != nullptr;
    }
    for (int32 c = 0; buffersPresent && c < outputChannels; ++c) {
        buffersPresent = outputs[c] != nullptr;
    }
    if (!buffersPresent) {
        // Nothing to process into; still let go of the events filed for this block.
        static float* const noChannels[2] = {nullptr, nullptr};
        blockAdapter->beginHostBlock(const_cast<float**>(noChannels), const_cast<float**>(noChannels), 0);
        ProcessBlock block;
        while (blockAdapter->nextBlock(block)) {}
        return;
    }
    applyQueuedChanges();
    blockAdapter->beginHostBlock(inputs, outputs, std::max(frames, int32{0}));
    blockAdapter->run(*plugin);
}

void Vst2PlugAdapter::setParameter(int32 index, float value) { parameters->setValue(index, value); }

float Vst2PlugAdapter::getParameter(int32 index) { return parameters->value(index); }

void Vst2PlugAdapter::open() { plugin->reset(); }

void Vst2PlugAdapter::close() { plugin.reset(); }

void Vst2PlugAdapter::getParameterLabel(int32 index, char* text)
{
    copyText(text, parameters->contains(index) ? parameters->descriptors[index].label : std::string_view{},
             kVstMaxParamStrLen);
}

void Vst2PlugAdapter::getParameterDisplay(int32 index, char* text)
{
    if (!parameters->contains(index) || !parameters->descriptors[index].mapper) {
        copyText(text, {}, kVstMaxParamStrLen);
        return;
    }
    const std::string display = parameters->descriptors[index].mapper->toText(parameters->value(index));
    copyText(text, display, kVstMaxParamStrLen);
}

void Vst2PlugAdapter::getParameterName(int32 index, char* text)
{
    copyText(text, parameters->contains(index) ? parameters->descriptors[index].name : std::string_view{},
             kVstMaxParamStrLen);
}

void Vst2PlugAdapter::setSampleRate(float rate)
{
    // No signal path can run at these; the instance keeps the rate it has.
    if (!std::isfinite(rate) || rate <= 0.0f) return;
    AudioEffect::setSampleRate(rate);
    plugin->setSampleRate(rate);
}

void Vst2PlugAdapter::setBlockSize(int32 size)
{
    hostBlockSize = size;
    blockAdapter->setBlockSizes(descriptor.blockSize, size);
}

void Vst2PlugAdapter::resume()
{
    // An edit queued as the suspend came takes effect now; the audio thread is not running.
    applyQueuedChanges();
    processing.store(true, std::memory_order_seq_cst);
    blockAdapter->restart();
    plugin->reset();
}

void Vst2PlugAdapter::suspend()
{
    processing.store(false, std::memory_order_seq_cst);
    // The edits still queued take effect before any the editor now stores at once.
    applyQueuedChanges();
    plugin->suspend();
}

int32 Vst2PlugAdapter::processEvents(VstEvents* events)
{
    const int32 maxOffset = std::max(hostBlockSize, int32{0});
    for (int32 i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = events->events[i];
        if (event == nullptr || event->type != kVstMidiType) {
            continue;
        }
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        MidiEvent decoded;
        if (!decodeMidi(midi->midiData, decoded)) {
            continue;
        }
        decoded.offset = static_cast<uint8_t>(std::clamp(midi->deltaFrames, int32{0}, maxOffset) & 0xFF);
        blockAdapter->addEvent(decoded);
    }
    return 0;
}

bool Vst2PlugAdapter::canParameterBeAutomated(int32 index) { return parameters->contains(index); }

bool Vst2PlugAdapter::pinProperties(int32 channels, int32 index, VstPinProperties* properties)
{
    if (index < 0 || index >= channels) {
        return false;
    }
    if (channels == 1) {
        copyText(properties->label, "Mono", sizeof(properties->label) - 1);
        properties->flags = kVstPinUseSpeaker;
        properties->arrangementType = kSpeakerArrMono;
        return true;
    }
    if (channels == 2) {
        copyText(properties->label, index == 0 ? "Left" : "Right", sizeof(properties->label) - 1);
        properties->flags = kVstPinIsStereo | kVstPinUseSpeaker;
        properties->arrangementType = kSpeakerArrStereo;
        return true;
    }
    return false;
}

bool Vst2PlugAdapter::getInputProperties(int32 index, VstPinProperties* properties)
{
    return pinProperties(inputChannels, index, properties);
}

bool Vst2PlugAdapter::getOutputProperties(int32 index, VstPinProperties* properties)
{
    return pinProperties(outputChannels, index, properties);
}

bool Vst2PlugAdapter::setSpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output)
{
    const int32 in = channelsOf(input->type);
    const int32 out = channelsOf(output->type);
    if (in < 0 || out < 0) {
        return false;
    }
    plugin->setNumInputs(in);
    plugin->setNumOutputs(out);
    inputChannels = in;
    outputChannels = out;
    copyArrangement(inputArrangement, *input);
    copyArrangement(outputArrangement, *output);
    blockAdapter->setChannels(in, out);
    return true;
}

bool Vst2PlugAdapter::getSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output)
{
    *input = &inputArrangement;
    *output = &outputArrangement;
    return true;
}

bool Vst2PlugAdapter::setBypass(bool on)
{
    if (!descriptor.canBypass) {
        return false;
    }
    plugin->setBypass(on);
    return true;
}

bool Vst2PlugAdapter::getEffectName(char* text)
{
    copyText(text, descriptor.name, kVstMaxEffectNameLen);
    return true;
}

bool Vst2PlugAdapter::getVendorString(char* text)
{
    copyText(text, descriptor.vendor, kVstMaxVendorStrLen);
    return true;
}

bool Vst2PlugAdapter::getProductString(char* text)
{
    copyText(text, descriptor.name, kVstMaxProductStrLen);
    return true;
}

int32 Vst2PlugAdapter::canDo(const char* text)
{
    const std::string_view query(text);
    const auto answer = [](bool yes) { return yes ? 1 : -1; };
    if (query == "sendVstEvents" || query == "sendVstMidiEvent") {
        return answer(descriptor.sendsMidi);
    }
    if (query == "receiveVstEvents") {
        return 1;
    }
    if (query == "receiveVstMidiEvent") {
        return answer(descriptor.receivesMidi);
    }
    if (query == "receiveVstTimeInfo") {
        return answer(descriptor.receivesTimeInfo);
    }
    if (query == "offline" || query == "midiProgramNames") {
        return -1;
    }
    if (query == "bypass") {
        return answer(descriptor.canBypass);
    }
    return 0;
}

void Vst2PlugAdapter::automate(int index, float value)
{
    if (!parameters->contains(index) || std::isnan(value)) {
        return;
    }
    if (!processing.load(std::memory_order_acquire)) {
        parameters->setValue(index, value);
    } else {
        edits.push({ParameterEdit::Kind::kValue, index, value});
    }
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

void Vst2PlugAdapter::automateNow(int index, float value)
{
    if (!parameters->contains(index) || std::isnan(value)) {
        return;
    }
    parameters->setValue(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

HostInfo Vst2PlugAdapter::hostInfo()
{
    const auto take = [](bool answered, const char* buffer) {
        return answered ? std::string(buffer, strnlen(buffer, kHostStringBuffer - 1)) : std::string();
    };
    HostInfo info;
    char product[kHostStringBuffer] = {};
    info.product = take(getHostProductString(product), product);
    char vendor[kHostStringBuffer] = {};
    info.vendor = take(getHostVendorString(vendor), vendor);
    info.vendorVersion = getHostVendorVersion();
    return info;
}

}  // namespace kx::vst2
