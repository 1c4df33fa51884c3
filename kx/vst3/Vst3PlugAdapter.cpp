#include "kx/vst3/Vst3PlugAdapter.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "kx/Presets.h"
#include "kx/Settings.h"
#include "kx/vst3/Utf16.h"
#include "kx/vst3/Vst3PlugView.h"

namespace kx::vst3 {

namespace {

constexpr int32 kMaxChannels = 2;
constexpr int32 kMaxQueues = 32;              // parameter queues followed frame by frame; more are applied at the start
constexpr std::size_t kShortTitleLength = 8;  // as VST 2 hosts show names

int32 channelsOf(SpeakerArrangement arrangement)
{
    if (arrangement == kArrMono) return 1;
    if (arrangement == kArrStereo) return 2;
    return -1;
}

SpeakerArrangement arrangementOf(int32 channels) { return channels == 1 ? kArrMono : kArrStereo; }

// The channel pointers of a bus, when it has at least `channels` of them.
bool channelsOf(const AudioBusBuffers* buses, int32 count, int32 channels, float** out)
{
    if (count < 1 || buses == nullptr || buses[0].numChannels < channels || buses[0].channelBuffers32 == nullptr)
        return false;
    for (int32 c = 0; c < channels; ++c) {
        out[c] = buses[0].channelBuffers32[c];
        if (out[c] == nullptr) return false;
    }
    return true;
}

}  // namespace

Vst3PlugAdapter::Vst3PlugAdapter() = default;

Vst3PlugAdapter::~Vst3PlugAdapter() { terminate(); }

tresult Vst3PlugAdapter::queryInterface(const TUID iid, void** object)
{
    if (object == nullptr) return kInvalidArgument;
    void* found = nullptr;
    if (kFUnknownIid == iid || kIComponentIid == iid || kIPluginBaseIid == iid)
        found = static_cast<IComponent*>(this);
    else if (kIAudioProcessorIid == iid)
        found = static_cast<IAudioProcessor*>(this);
    else if (kIEditControllerIid == iid)
        found = static_cast<IEditController*>(this);
    else if (kIProcessContextRequirementsIid == iid)
        found = static_cast<IProcessContextRequirements*>(this);
    else if (kIUnitInfoIid == iid && hasPrograms())
        found = static_cast<IUnitInfo*>(this);
    *object = found;
    if (found == nullptr) return kNoInterface;
    addRef();
    return kResultOk;
}

uint32 Vst3PlugAdapter::addRef() { return ++references; }

uint32 Vst3PlugAdapter::release()
{
    const uint32 left = --references;
    if (left == 0) delete this;
    return left;
}

tresult Vst3PlugAdapter::initialize(FUnknown* context)
{
    // The host initialises the component, and then the same object as its controller.
    if (initializations++ > 0) return kResultOk;
    hostContext = context;
    if (hostContext != nullptr) hostContext->addRef();
    try {
        effect = createPlugin(*this, static_cast<float>(sampleRate));
        parameters = &effect->parameters;
        blockAdapter = makeBlockSizeAdapter(effect->descriptor());
        toProcessor = std::make_unique<ParameterEdits>(parameters->count());
        toHost = std::make_unique<ParameterEdits>(parameters->count());
        controllerValues = std::make_unique<std::atomic<double>[]>(static_cast<std::size_t>(parameters->count()));
    } catch (...) {
        initializations = 0;
        effect.reset();
        return kOutOfMemory;
    }
    for (int i = 0; i < parameters->count(); ++i) controllerValues[static_cast<std::size_t>(i)] = parameters->value(i);
    blockAdapter->setChannels(inputChannels, outputChannels);
    return kResultOk;
}

tresult Vst3PlugAdapter::terminate()
{
    if (initializations == 0) return kResultOk;
    if (--initializations > 0) return kResultOk;
    setComponentHandler(nullptr);
    effect.reset();
    parameters = nullptr;
    if (hostContext != nullptr) hostContext->release();
    hostContext = nullptr;
    return kResultOk;
}

tresult Vst3PlugAdapter::getControllerClassId(TUID) { return kResultFalse; }

tresult Vst3PlugAdapter::setIoMode(IoMode) { return kNotImplemented; }

int32 Vst3PlugAdapter::getBusCount(MediaType type, BusDirection dir)
{
    return type == kAudio && (dir == kInput || dir == kOutput) ? 1 : 0;
}

tresult Vst3PlugAdapter::getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus)
{
    if (type != kAudio || index != 0 || (dir != kInput && dir != kOutput)) return kInvalidArgument;
    bus = BusInfo{};
    bus.mediaType = kAudio;
    bus.direction = dir;
    bus.channelCount = dir == kInput ? inputChannels : outputChannels;
    toUtf16(dir == kInput ? "Main in" : "Main out", bus.name, 128);
    bus.busType = kMain;
    bus.flags = kDefaultActive;
    return kResultOk;
}

tresult Vst3PlugAdapter::getRoutingInfo(RoutingInfo&, RoutingInfo&) { return kNotImplemented; }

tresult Vst3PlugAdapter::activateBus(MediaType type, BusDirection dir, int32 index, TBool)
{
    return type == kAudio && index == 0 && (dir == kInput || dir == kOutput) ? kResultOk : kInvalidArgument;
}

tresult Vst3PlugAdapter::setActive(TBool state)
{
    if (!effect) return kNotInitialized;
    if (state != 0) {
        if (active) return kResultOk;
        try {
            blockAdapter->setBlockSizes(effect->descriptor().blockSize, maxFrames);
        } catch (...) {
            return kOutOfMemory;
        }
        // An edit queued while the host was deactivating takes effect now, before any new one.
        toProcessor->drain([this](const ParameterEdit& e) {
            if (e.kind == ParameterEdit::Kind::kValue) parameters->setValue(e.index, e.value);
        });
        blockAdapter->restart();
        effect->reset();
        active = true;
    } else {
        active = false;
        toProcessor->drain([this](const ParameterEdit& e) {
            if (e.kind == ParameterEdit::Kind::kValue) parameters->setValue(e.index, e.value);
        });
        effect->suspend();
    }
    return kResultOk;
}

std::optional<std::vector<uint8_t>> Vst3PlugAdapter::readAll(IBStream* stream)
{
    std::vector<uint8_t> record(Settings::kMaxBytes + 1);
    std::size_t got = 0;
    while (got < record.size()) {
        int32 read = 0;
        const int32 want = static_cast<int32>(std::min<std::size_t>(record.size() - got, INT_MAX));
        if (stream->read(record.data() + got, want, &read) != kResultOk || read < 0 || read > want) return std::nullopt;
        if (read == 0) break;
        got += static_cast<std::size_t>(read);
    }
    record.resize(got);
    return record;
}

tresult Vst3PlugAdapter::setState(IBStream* state)
{
    if (!effect) return kNotInitialized;
    if (state == nullptr) return kInvalidArgument;
    const std::optional<std::vector<uint8_t>> record = readAll(state);
    if (!record) return kResultFalse;
    const auto id = static_cast<uint32_t>(effect->descriptor().uniqueId);
    if (Settings::load(*parameters, id, *record) != SettingsStatus::kLoaded) return kResultFalse;
    for (int i = 0; i < parameters->count(); ++i) controllerValues[static_cast<std::size_t>(i)] = parameters->value(i);
    return kResultOk;
}

tresult Vst3PlugAdapter::getState(IBStream* state)
{
    if (!effect) return kNotInitialized;
    if (state == nullptr) return kInvalidArgument;
    const std::vector<uint8_t> record =
        Settings::save(*parameters, static_cast<uint32_t>(effect->descriptor().uniqueId));
    std::size_t written = 0;
    while (written < record.size()) {
        int32 moved = 0;
        const auto want = static_cast<int32>(record.size() - written);
        if (state->write(const_cast<uint8_t*>(record.data()) + written, want, &moved) != kResultOk || moved <= 0 ||
            moved > want)
            return kResultFalse;
        written += static_cast<std::size_t>(moved);
    }
    return kResultOk;
}

tresult Vst3PlugAdapter::setComponentState(IBStream* state)
{
    if (!effect) return kNotInitialized;
    if (state == nullptr) return kInvalidArgument;
    const std::optional<std::vector<uint8_t>> record = readAll(state);
    if (!record) return kResultFalse;
    std::vector<float> values;
    const auto id = static_cast<uint32_t>(effect->descriptor().uniqueId);
    if (Settings::read(*parameters, id, *record, values) != SettingsStatus::kLoaded) return kResultFalse;
    for (std::size_t i = 0; i < values.size(); ++i) controllerValues[i] = values[i];
    return kResultOk;
}

tresult Vst3PlugAdapter::setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                            int32 numOuts)
{
    if (!effect || active) return kResultFalse;
    if (numIns != 1 || numOuts != 1 || inputs == nullptr || outputs == nullptr) return kResultFalse;
    const int32 in = channelsOf(inputs[0]);
    const int32 out = channelsOf(outputs[0]);
    // Mono, stereo, and mono in with stereo out; not stereo folded to mono.
    if (in < 1 || out < 1 || in > out) return kResultFalse;
    inputChannels = in;
    outputChannels = out;
    effect->setNumInputs(in);
    effect->setNumOutputs(out);
    blockAdapter->setChannels(in, out);
    return kResultTrue;
}

tresult Vst3PlugAdapter::getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arrangement)
{
    if (index != 0 || (dir != kInput && dir != kOutput)) return kInvalidArgument;
    arrangement = arrangementOf(dir == kInput ? inputChannels : outputChannels);
    return kResultOk;
}

tresult Vst3PlugAdapter::canProcessSampleSize(int32 symbolicSampleSize)
{
    return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

tresult Vst3PlugAdapter::setupProcessing(ProcessSetup& setup)
{
    if (!effect || active) return kResultFalse;
    // No signal path can run at these.
    if (!std::isfinite(setup.sampleRate) || setup.sampleRate <= 0.0 || setup.sampleRate > 1.0e7 ||
        setup.symbolicSampleSize != kSample32 || setup.maxSamplesPerBlock < 0)
        return kResultFalse;
    sampleRate = setup.sampleRate;
    maxFrames = setup.maxSamplesPerBlock;
    effect->setSampleRate(static_cast<float>(sampleRate));
    return kResultOk;
}

tresult Vst3PlugAdapter::setProcessing(TBool) { return effect ? kResultOk : kNotInitialized; }

tresult Vst3PlugAdapter::process(ProcessData& data)
{
    if (!effect || !active.load(std::memory_order_relaxed)) return kNotInitialized;
    if (data.symbolicSampleSize != kSample32) return kInvalidArgument;
    toProcessor->drain([this](const ParameterEdit& e) {
        if (e.kind == ParameterEdit::Kind::kValue) parameters->setValue(e.index, e.value);
    });
    float* inputs[kMaxChannels] = {nullptr, nullptr};
    float* outputs[kMaxChannels] = {nullptr, nullptr};
    const bool buffersPresent = data.numSamples > 0 && channelsOf(data.inputs, data.numInputs, inputChannels, inputs) &&
                                channelsOf(data.outputs, data.numOutputs, outputChannels, outputs);
    // Without buffers (a parameter flush, or buffers the host forgot) the changes still apply.
    processWithChanges(data, buffersPresent ? inputs : nullptr, buffersPresent ? outputs : nullptr);
    if (buffersPresent) data.outputs[0].silenceFlags = 0;
    return kResultOk;
}

void Vst3PlugAdapter::processWithChanges(ProcessData& data, float** inputs, float** outputs)
{
    const int32 frames = inputs != nullptr ? data.numSamples : 0;
    IParameterChanges* changes = data.inputParameterChanges;
    IParamValueQueue* queues[kMaxQueues];
    int indices[kMaxQueues];
    int32 points[kMaxQueues];
    int32 next[kMaxQueues];
    int32 count = 0;
    const int32 total = changes != nullptr ? changes->getParameterCount() : 0;
    for (int32 q = 0; q < total; ++q) {
        IParamValueQueue* queue = changes->getParameterData(q);
        std::optional<int> index = queue != nullptr ? indexOf(queue->getParameterId()) : std::nullopt;
        if (queue != nullptr && isProgramParameter(queue->getParameterId())) index = parameters->count();
        if (!index) continue;
        if (count == kMaxQueues) {
            int32 offset = 0;
            ParamValue value = 0.0;
            const int32 last = queue->getPointCount() - 1;
            if (last >= 0 && queue->getPoint(last, offset, value) == kResultOk)
                applyChange(*index, value, data.outputParameterChanges, 0);
            continue;
        }
        queues[count] = queue;
        indices[count] = *index;
        points[count] = queue->getPointCount();
        next[count] = 0;
        ++count;
    }
    int32 done = 0;
    for (;;) {
        // The earliest point not yet applied, across the queues.
        int32 earliest = -1;
        int32 at = INT_MAX;
        ParamValue value = 0.0;
        for (int32 q = 0; q < count; ++q) {
            if (next[q] >= points[q]) continue;
            int32 offset = 0;
            ParamValue v = 0.0;
            if (queues[q]->getPoint(next[q], offset, v) != kResultOk) {
                next[q] = points[q];
                continue;
            }
            if (offset < at) {
                earliest = q;
                at = offset;
                value = v;
            }
        }
        if (earliest < 0) break;
        at = std::clamp(at, done, frames);
        if (at > done) runAudio(inputs, outputs, done, at);
        done = at;
        applyChange(indices[earliest], value, data.outputParameterChanges, at);
        ++next[earliest];
    }
    if (done < frames) runAudio(inputs, outputs, done, frames);
}

void Vst3PlugAdapter::applyChange(int index, ParamValue value, IParameterChanges* report, int32 frame)
{
    if (index < parameters->count()) {
        parameters->setValue(index, static_cast<float>(value));
        return;
    }
    // Hosts may send the program's value again with other changes: only a new program loads,
    // so knobs turned since are not undone.
    if (std::isnan(value)) return;
    const int program = programOf(value);
    if (processorProgram.exchange(program) == program) return;
    applyPreset(pluginPresets()[static_cast<std::size_t>(program)], *parameters);
    // The host learns the new values as changes the processor made, at the program's frame.
    if (report == nullptr) return;
    for (int i = 0; i < parameters->count(); ++i) {
        int32 slot = 0;
        IParamValueQueue* queue = report->addParameterData(parameters->descriptors[static_cast<std::size_t>(i)].id, slot);
        if (queue != nullptr) queue->addPoint(frame, parameters->value(i), slot);
    }
    programValuesToTell = true;
}

void Vst3PlugAdapter::runAudio(float* const* inputs, float* const* outputs, int32 begin, int32 end)
{
    float* in[kMaxChannels];
    float* out[kMaxChannels];
    for (int32 c = 0; c < kMaxChannels; ++c) {
        in[c] = inputs[c] != nullptr ? inputs[c] + begin : nullptr;
        out[c] = outputs[c] != nullptr ? outputs[c] + begin : nullptr;
    }
    blockAdapter->beginHostBlock(in, out, end - begin);
    blockAdapter->run(*effect);
}

// --- controller ----------------------------------------------------------------------------

std::optional<int> Vst3PlugAdapter::indexOf(ParamID id) const
{
    const int index = parameters != nullptr ? parameters->indexOfId(id) : -1;
    return index >= 0 ? std::optional<int>(index) : std::nullopt;
}

int Vst3PlugAdapter::optionCount(int index) const
{
    return parameters->descriptors[static_cast<std::size_t>(index)].mapper->optionCount();
}

bool Vst3PlugAdapter::hasPrograms() const { return parameters != nullptr && !pluginPresets().empty(); }

bool Vst3PlugAdapter::isProgramParameter(ParamID id) const { return id == kProgramParamId && hasPrograms(); }

int Vst3PlugAdapter::programCount() const { return static_cast<int>(pluginPresets().size()); }

int Vst3PlugAdapter::programOf(ParamValue normalised) const
{
    const int last = programCount() - 1;
    return static_cast<int>(std::round(std::clamp(normalised, 0.0, 1.0) * last));
}

ParamValue Vst3PlugAdapter::normalisedProgram(int program) const
{
    const int last = programCount() - 1;
    return last > 0 ? static_cast<ParamValue>(program) / last : 0.0;
}

int32 Vst3PlugAdapter::getParameterCount()
{
    if (parameters == nullptr) return 0;
    return parameters->count() + (hasPrograms() ? 1 : 0);
}

tresult Vst3PlugAdapter::getParameterInfo(int32 paramIndex, ParameterInfo& info)
{
    if (parameters != nullptr && paramIndex == parameters->count() && hasPrograms()) {
        info = ParameterInfo{};
        info.id = kProgramParamId;
        toUtf16("Program", info.title, 128);
        toUtf16("Program", info.shortTitle, 128);
        info.stepCount = programCount() - 1;
        info.defaultNormalizedValue = 0.0;
        info.unitId = kRootUnitId;
        info.flags = kCanAutomate | kIsList | kIsProgramChange;
        return kResultOk;
    }
    if (parameters == nullptr || !parameters->contains(paramIndex)) return kInvalidArgument;
    const ParameterDescriptor& descriptor = parameters->descriptors[static_cast<std::size_t>(paramIndex)];
    const int options = optionCount(paramIndex);
    info = ParameterInfo{};
    info.id = descriptor.id;
    toUtf16(descriptor.name, info.title, 128);
    toUtf16(std::string_view(descriptor.name).substr(0, kShortTitleLength), info.shortTitle, 128);
    toUtf16(descriptor.label, info.units, 128);
    info.stepCount = options >= 2 ? options - 1 : 0;
    info.defaultNormalizedValue = descriptor.defaultValue;
    info.unitId = kRootUnitId;
    info.flags = kCanAutomate | (options >= 2 ? kIsList : 0);
    return kResultOk;
}

tresult Vst3PlugAdapter::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string)
{
    if (isProgramParameter(id)) {
        if (string == nullptr || !std::isfinite(valueNormalized)) return kInvalidArgument;
        toUtf16(pluginPresets()[static_cast<std::size_t>(programOf(valueNormalized))].name, string, 128);
        return kResultOk;
    }
    const std::optional<int> index = indexOf(id);
    if (!index || string == nullptr || !std::isfinite(valueNormalized)) return kInvalidArgument;
    const float normalised = std::clamp(static_cast<float>(valueNormalized), 0.0f, 1.0f);
    toUtf16(parameters->displayText(*index, normalised), string, 128);
    return kResultOk;
}

tresult Vst3PlugAdapter::getParamValueByString(ParamID id, char16* string, ParamValue& valueNormalized)
{
    if (isProgramParameter(id)) {
        if (string == nullptr) return kInvalidArgument;
        const int program = findPreset(pluginPresets(), fromUtf16(string, 128));
        if (program < 0) return kResultFalse;
        valueNormalized = normalisedProgram(program);
        return kResultOk;
    }
    const std::optional<int> index = indexOf(id);
    if (!index || string == nullptr) return kInvalidArgument;
    const std::optional<float> value = parameters->parse(*index, fromUtf16(string, 128));
    if (!value) return kResultFalse;
    valueNormalized = *value;
    return kResultOk;
}

ParamValue Vst3PlugAdapter::normalizedParamToPlain(ParamID id, ParamValue valueNormalized)
{
    if (isProgramParameter(id)) return programOf(valueNormalized);
    const std::optional<int> index = indexOf(id);
    if (!index) return valueNormalized;
    const int options = optionCount(*index);
    return options >= 2 ? std::round(std::clamp(valueNormalized, 0.0, 1.0) * (options - 1)) : valueNormalized;
}

ParamValue Vst3PlugAdapter::plainParamToNormalized(ParamID id, ParamValue plainValue)
{
    if (isProgramParameter(id)) {
        const double last = programCount() - 1;
        return last > 0 ? std::clamp(std::round(plainValue), 0.0, last) / last : 0.0;
    }
    const std::optional<int> index = indexOf(id);
    if (!index) return plainValue;
    const int options = optionCount(*index);
    if (options < 2) return plainValue;
    return std::clamp(std::round(plainValue), 0.0, double(options - 1)) / double(options - 1);
}

ParamValue Vst3PlugAdapter::getParamNormalized(ParamID id)
{
    if (isProgramParameter(id)) return normalisedProgram(controllerProgram.load());
    const std::optional<int> index = indexOf(id);
    return index ? controllerValues[static_cast<std::size_t>(*index)].load() : 0.0;
}

tresult Vst3PlugAdapter::setParamNormalized(ParamID id, ParamValue value)
{
    if (isProgramParameter(id)) {
        if (!std::isfinite(value)) return kInvalidArgument;
        selectProgram(programOf(value));
        return kResultOk;
    }
    const std::optional<int> index = indexOf(id);
    if (!index || !std::isfinite(value)) return kInvalidArgument;
    controllerValues[static_cast<std::size_t>(*index)] = std::clamp(value, 0.0, 1.0);
    return kResultOk;
}

void Vst3PlugAdapter::selectProgram(int program)
{
    if (controllerProgram.exchange(program) == program) return;
    const Preset& preset = pluginPresets()[static_cast<std::size_t>(program)];
    for (const PresetValue& v : preset.values) {
        const int index = parameters->indexOfId(v.id);
        if (index >= 0) controllerValues[static_cast<std::size_t>(index)] = std::clamp(v.value, 0.0f, 1.0f);
    }
    // No processor runs to take the change from the queues; the state saved next must hold it.
    if (!active.load()) {
        processorProgram = program;
        applyPreset(preset, *parameters);
    }
    // Hosts switch programs holding locks that restartComponent takes too (Ardour 7 does): the
    // host is asked to read the values again later, from the editor's timer on its UI thread,
    // and while processing it hears them from the processor as well.
    programValuesToTell = true;
}

tresult Vst3PlugAdapter::setComponentHandler(IComponentHandler* handler)
{
    if (handler == componentHandler) return kResultOk;
    if (componentHandler != nullptr) componentHandler->release();
    componentHandler = handler;
    if (componentHandler != nullptr) componentHandler->addRef();
    return kResultOk;
}

IPlugView* Vst3PlugAdapter::createView(FIDString name)
{
    if (name == nullptr || std::strcmp(name, "editor") != 0 || editor() == nullptr) return nullptr;
    // One editor at a time: the effect has one.
    if (viewOpen.exchange(true)) return nullptr;
    try {
        return new Vst3PlugView(*this, [this] { viewOpen = false; });
    } catch (...) {
        viewOpen = false;
        return nullptr;
    }
}

AudioPluginEditor* Vst3PlugAdapter::editor()
{
    if (!effect || !effect->descriptor().hasEditor) return nullptr;
    return effect->editor();
}

// --- program list --------------------------------------------------------------------------

tresult Vst3PlugAdapter::getUnitInfo(int32 unitIndex, UnitInfo& info)
{
    if (unitIndex != 0) return kInvalidArgument;
    info = UnitInfo{};
    info.id = kRootUnitId;
    info.parentUnitId = kNoParentUnitId;
    toUtf16("Root", info.name, 128);
    info.programListId = hasPrograms() ? kProgramListId : kNoProgramListId;
    return kResultOk;
}

int32 Vst3PlugAdapter::getProgramListCount() { return hasPrograms() ? 1 : 0; }

tresult Vst3PlugAdapter::getProgramListInfo(int32 listIndex, ProgramListInfo& info)
{
    if (listIndex != 0 || !hasPrograms()) return kInvalidArgument;
    info = ProgramListInfo{};
    info.id = kProgramListId;
    toUtf16("Factory presets", info.name, 128);
    info.programCount = programCount();
    return kResultOk;
}

tresult Vst3PlugAdapter::getProgramName(ProgramListID listId, int32 programIndex, String128 name)
{
    if (listId != kProgramListId || !hasPrograms() || programIndex < 0 || programIndex >= programCount() ||
        name == nullptr)
        return kInvalidArgument;
    toUtf16(pluginPresets()[static_cast<std::size_t>(programIndex)].name, name, 128);
    return kResultOk;
}

// --- the editor's edits --------------------------------------------------------------------

void Vst3PlugAdapter::automate(int index, float value)
{
    if (parameters == nullptr || !parameters->contains(index) || std::isnan(value)) return;
    if (!active.load())
        parameters->setValue(index, value);
    else
        toProcessor->push({ParameterEdit::Kind::kValue, index, value});
    toHost->push({ParameterEdit::Kind::kValue, index, value});
}

void Vst3PlugAdapter::automateNow(int index, float value)
{
    if (parameters == nullptr || !parameters->contains(index) || std::isnan(value)) return;
    parameters->setValue(index, value);
    toHost->push({ParameterEdit::Kind::kValue, index, value});
}

void Vst3PlugAdapter::beginEdit(int index)
{
    if (parameters != nullptr && parameters->contains(index)) toHost->push({ParameterEdit::Kind::kBegin, index, 0.0f});
}

void Vst3PlugAdapter::endEdit(int index)
{
    if (parameters != nullptr && parameters->contains(index)) toHost->push({ParameterEdit::Kind::kEnd, index, 0.0f});
}

void Vst3PlugAdapter::tellHostOfEdits()
{
    if (!toHost) return;
    if (programValuesToTell.exchange(false) && componentHandler != nullptr)
        componentHandler->restartComponent(kParamValuesChanged);
    toHost->drain([this](const ParameterEdit& edit) {
        const ParamID id = parameters->descriptors[static_cast<std::size_t>(edit.index)].id;
        if (edit.kind == ParameterEdit::Kind::kValue) {
            const double value = std::clamp(edit.value, 0.0f, 1.0f);
            controllerValues[static_cast<std::size_t>(edit.index)] = value;
            if (componentHandler != nullptr) componentHandler->performEdit(id, value);
        } else if (componentHandler != nullptr) {
            if (edit.kind == ParameterEdit::Kind::kBegin)
                componentHandler->beginEdit(id);
            else
                componentHandler->endEdit(id);
        }
    });
}

HostInfo Vst3PlugAdapter::hostInfo()
{
    HostInfo info;
    IHostApplication* application = nullptr;
    if (hostContext != nullptr &&
        hostContext->queryInterface(kIHostApplicationIid.bytes, reinterpret_cast<void**>(&application)) == kResultOk &&
        application != nullptr) {
        String128 name{};
        if (application->getName(name) == kResultOk) info.product = fromUtf16(name, 128);
        application->release();
    }
    return info;
}

}  // namespace kx::vst3
