#include "tools/host/Vst3Host.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <stdexcept>

#include "kx/vst3/Utf16.h"

namespace tools::vst3 {

namespace {

#if defined(_WIN32)
constexpr const char* kArchitecture = "x86_64-win";
constexpr const char* kModuleSuffix = ".vst3";
#else
constexpr const char* kArchitecture = "x86_64-linux";
constexpr const char* kModuleSuffix = ".so";
#endif

// Reference counting for host objects that live as long as their owner: the plug-in's
// addRef and release balance, and the owner deletes them.
#define TW07_VST3_HOST_OBJECT                          \
    uint32 addRef() override { return ++references; }  \
    uint32 release() override { return --references; } \
    std::atomic<uint32> references{1};

// A growable memory stream.
class MemoryStream final : public IBStream {
public:
    explicit MemoryStream(std::vector<uint8_t> bytes = {}) : bytes(std::move(bytes)) {}
    TW07_VST3_HOST_OBJECT
    tresult queryInterface(const TUID iid, void** object) override
    {
        if (kFUnknownIid == iid || kIBStreamIid == iid) {
            *object = this;
            addRef();
            return kResultOk;
        }
        *object = nullptr;
        return kNoInterface;
    }
    tresult read(void* buffer, int32 numBytes, int32* numBytesRead) override
    {
        if (numBytes < 0) return kInvalidArgument;
        const auto n =
            static_cast<int32>(std::min<std::size_t>(static_cast<std::size_t>(numBytes), bytes.size() - position));
        if (n > 0) std::memcpy(buffer, bytes.data() + position, static_cast<std::size_t>(n));
        position += static_cast<std::size_t>(n);
        if (numBytesRead != nullptr) *numBytesRead = n;
        return kResultOk;
    }
    tresult write(void* buffer, int32 numBytes, int32* numBytesWritten) override
    {
        if (numBytes < 0) return kInvalidArgument;
        if (position + static_cast<std::size_t>(numBytes) > bytes.size())
            bytes.resize(position + static_cast<std::size_t>(numBytes));
        std::memcpy(bytes.data() + position, buffer, static_cast<std::size_t>(numBytes));
        position += static_cast<std::size_t>(numBytes);
        if (numBytesWritten != nullptr) *numBytesWritten = numBytes;
        return kResultOk;
    }
    tresult seek(int64 pos, int32 mode, int64* result) override
    {
        const int64 base = mode == kIBSeekSet   ? 0
                           : mode == kIBSeekCur ? static_cast<int64>(position)
                                                : static_cast<int64>(bytes.size());
        const int64 target = base + pos;
        if (target < 0) return kInvalidArgument;
        position = static_cast<std::size_t>(target);
        if (position > bytes.size()) bytes.resize(position);
        if (result != nullptr) *result = target;
        return kResultOk;
    }
    tresult tell(int64* pos) override
    {
        if (pos == nullptr) return kInvalidArgument;
        *pos = static_cast<int64>(position);
        return kResultOk;
    }
    std::vector<uint8_t> bytes;
    std::size_t position = 0;
};

class ValueQueue final : public IParamValueQueue {
public:
    TW07_VST3_HOST_OBJECT
    tresult queryInterface(const TUID iid, void** object) override
    {
        if (kFUnknownIid == iid || kIParamValueQueueIid == iid) {
            *object = this;
            addRef();
            return kResultOk;
        }
        *object = nullptr;
        return kNoInterface;
    }
    ParamID getParameterId() override { return id; }
    int32 getPointCount() override { return static_cast<int32>(points.size()); }
    tresult getPoint(int32 index, int32& sampleOffset, ParamValue& value) override
    {
        if (index < 0 || index >= getPointCount()) return kInvalidArgument;
        sampleOffset = points[static_cast<std::size_t>(index)].first;
        value = points[static_cast<std::size_t>(index)].second;
        return kResultOk;
    }
    tresult addPoint(int32 sampleOffset, ParamValue value, int32& index) override
    {
        index = getPointCount();
        points.emplace_back(sampleOffset, value);
        return kResultOk;
    }
    ParamID id = 0;
    std::vector<std::pair<int32, ParamValue>> points;
};

}  // namespace

class ParameterChanges final : public IParameterChanges {
public:
    TW07_VST3_HOST_OBJECT
    tresult queryInterface(const TUID iid, void** object) override
    {
        if (kFUnknownIid == iid || kIParameterChangesIid == iid) {
            *object = this;
            addRef();
            return kResultOk;
        }
        *object = nullptr;
        return kNoInterface;
    }
    int32 getParameterCount() override { return used; }
    IParamValueQueue* getParameterData(int32 index) override
    {
        return index >= 0 && index < used ? queues[static_cast<std::size_t>(index)].get() : nullptr;
    }
    IParamValueQueue* addParameterData(const ParamID& id, int32& index) override
    {
        for (int32 q = 0; q < used; ++q) {
            if (queues[static_cast<std::size_t>(q)]->id == id) {
                index = q;
                return queues[static_cast<std::size_t>(q)].get();
            }
        }
        if (static_cast<std::size_t>(used) == queues.size()) queues.push_back(std::make_unique<ValueQueue>());
        ValueQueue& queue = *queues[static_cast<std::size_t>(used)];
        queue.id = id;
        queue.points.clear();
        index = used++;
        return &queue;
    }
    void clear() { used = 0; }

private:
    std::vector<std::unique_ptr<ValueQueue>> queues;
    int32 used = 0;
};

// The host context and component handler the plug-in sees.
class Vst3Instance::Host final : public IHostApplication, public IComponentHandler {
public:
    uint32 addRef() override { return ++references; }
    uint32 release() override { return --references; }
    tresult queryInterface(const TUID iid, void** object) override
    {
        if (kFUnknownIid == iid || kIHostApplicationIid == iid) {
            *object = static_cast<IHostApplication*>(this);
        } else if (kIComponentHandlerIid == iid) {
            *object = static_cast<IComponentHandler*>(this);
        } else {
            *object = nullptr;
            return kNoInterface;
        }
        addRef();
        return kResultOk;
    }
    tresult getName(String128 name) override
    {
        kx::vst3::toUtf16("tw07-host", name, 128);
        return kResultOk;
    }
    tresult createInstance(TUID, TUID, void** object) override
    {
        *object = nullptr;
        return kNotImplemented;
    }
    tresult beginEdit(ParamID id) override { return record({HostEdit::Kind::kBegin, id, 0.0}); }
    tresult performEdit(ParamID id, ParamValue value) override { return record({HostEdit::Kind::kPerform, id, value}); }
    tresult endEdit(ParamID id) override { return record({HostEdit::Kind::kEnd, id, 0.0}); }
    tresult restartComponent(int32 flags) override { return record({HostEdit::Kind::kRestart, 0, double(flags)}); }

    std::vector<HostEdit> edits() const
    {
        std::lock_guard lock(mutex);
        return recorded;
    }

private:
    tresult record(const HostEdit& edit)
    {
        std::lock_guard lock(mutex);
        recorded.push_back(edit);
        return kResultOk;
    }
    std::atomic<uint32> references{1};
    mutable std::mutex mutex;
    std::vector<HostEdit> recorded;
};

tresult Vst3Frame::resizeView(IPlugView* view, ViewRect* newSize)
{
    if (view == nullptr || newSize == nullptr) return kInvalidArgument;
    resizeRequests.push_back(*newSize);
    return view->onSize(newSize);
}

tresult Vst3Frame::queryInterface(const TUID iid, void** object)
{
    if (kFUnknownIid == iid || kIPlugFrameIid == iid) {
        *object = static_cast<IPlugFrame*>(this);
    } else if (kIRunLoopIid == iid) {
        *object = static_cast<IRunLoop*>(this);
    } else {
        *object = nullptr;
        return kNoInterface;
    }
    return kResultOk;
}

tresult Vst3Frame::registerTimer(ITimerHandler* handler, uint64)
{
    if (handler == nullptr) return kInvalidArgument;
    timers.push_back(handler);
    return kResultOk;
}

tresult Vst3Frame::unregisterTimer(ITimerHandler* handler)
{
    const auto found = std::find(timers.begin(), timers.end(), handler);
    if (found == timers.end()) return kInvalidArgument;
    timers.erase(found);
    return kResultOk;
}

void Vst3Frame::runTimers()
{
    for (ITimerHandler* handler : std::vector<ITimerHandler*>(timers)) handler->onTimer();
}

std::string vst3ModulePath(const std::string& bundle)
{
    const std::filesystem::path root(bundle);
    const std::string name = root.filename().replace_extension().string();
    return (root / "Contents" / kArchitecture / (name + kModuleSuffix)).string();
}

Vst3Module::Vst3Module(const std::string& bundle) : library(vst3ModulePath(bundle))
{
#if defined(_WIN32)
    using Init = bool (*)();
    if (auto init = library.function<Init>("InitDll"); init != nullptr && !init())
        throw std::runtime_error(bundle + ": InitDll failed");
#else
    using Init = bool (*)(void*);
    if (auto init = library.function<Init>("ModuleEntry"); init != nullptr && !init(nullptr))
        throw std::runtime_error(bundle + ": ModuleEntry failed");
#endif
    using GetFactory = IPluginFactory* (*)();
    const auto get = library.function<GetFactory>("GetPluginFactory");
    if (get == nullptr) throw std::runtime_error(bundle + " exports no GetPluginFactory");
    pluginFactory = get();
    if (pluginFactory == nullptr) throw std::runtime_error(bundle + ": GetPluginFactory returned no factory");
}

Vst3Module::~Vst3Module()
{
    pluginFactory->release();
#if defined(_WIN32)
    if (auto exit = library.function<bool (*)()>("ExitDll")) exit();
#else
    if (auto exit = library.function<bool (*)()>("ModuleExit")) exit();
#endif
}

PClassInfo Vst3Module::effectClass() const
{
    for (int32 i = 0; i < pluginFactory->countClasses(); ++i) {
        PClassInfo info{};
        if (pluginFactory->getClassInfo(i, &info) == kResultOk &&
            std::strncmp(info.category, kVstAudioEffectClass, sizeof info.category) == 0)
            return info;
    }
    throw std::runtime_error("the factory offers no audio effect class");
}

Vst3Instance::Vst3Instance(const Vst3Module& module)
    : host(std::make_unique<Host>()),
      changes(std::make_unique<ParameterChanges>()),
      outputChanges(std::make_unique<ParameterChanges>())
{
    const PClassInfo effect = module.effectClass();
    void* object = nullptr;
    if (module.factory().createInstance(effect.cid, kIComponentIid.bytes, &object) != kResultOk || object == nullptr)
        throw std::runtime_error("the factory made no component");
    componentPart = static_cast<IComponent*>(object);
    if (componentPart->initialize(static_cast<IHostApplication*>(host.get())) != kResultOk)
        throw std::runtime_error("the component did not initialise");
    if (componentPart->queryInterface(kIAudioProcessorIid.bytes, &object) != kResultOk)
        throw std::runtime_error("the component has no audio processor");
    processorPart = static_cast<IAudioProcessor*>(object);
    if (componentPart->queryInterface(kIEditControllerIid.bytes, &object) == kResultOk) {
        controllerPart = static_cast<IEditController*>(object);
    } else {
        TUID controllerId{};
        if (componentPart->getControllerClassId(controllerId) != kResultOk ||
            module.factory().createInstance(controllerId, kIEditControllerIid.bytes, &object) != kResultOk)
            throw std::runtime_error("the component has no controller");
        controllerPart = static_cast<IEditController*>(object);
        separateController = true;
        controllerPart->initialize(static_cast<IHostApplication*>(host.get()));
        MemoryStream state;
        if (componentPart->getState(&state) == kResultOk) {
            state.position = 0;
            controllerPart->setComponentState(&state);
        }
    }
    controllerPart->setComponentHandler(host.get());
    for (BusDirection direction : {kInput, kOutput}) {
        std::vector<int32>& buses = direction == kInput ? inputBuses : outputBuses;
        for (int32 b = 0; b < componentPart->getBusCount(kAudio, direction); ++b) {
            BusInfo info{};
            buses.push_back(componentPart->getBusInfo(kAudio, direction, b, info) == kResultOk ? info.channelCount : 0);
        }
    }
}

Vst3Instance::~Vst3Instance()
{
    stop();
    controllerPart->setComponentHandler(nullptr);
    if (separateController) controllerPart->terminate();
    controllerPart->release();
    processorPart->release();
    componentPart->terminate();
    componentPart->release();
}

int32 Vst3Instance::busChannels(BusDirection direction) const
{
    const std::vector<int32>& buses = direction == kInput ? inputBuses : outputBuses;
    return buses.empty() ? 0 : buses[0];
}

bool Vst3Instance::start(double sampleRate, int32 maxFrames)
{
    if (running) return true;
    ProcessSetup setup{kRealtime, kSample32, maxFrames, sampleRate};
    if (processorPart->setupProcessing(setup) != kResultOk) return false;
    for (BusDirection direction : {kInput, kOutput}) {
        const std::size_t count = (direction == kInput ? inputBuses : outputBuses).size();
        for (std::size_t b = 0; b < count; ++b) componentPart->activateBus(kAudio, direction, static_cast<int32>(b), 1);
    }
    if (componentPart->setActive(1) != kResultOk) return false;
    processorPart->setProcessing(1);
    running = true;
    return true;
}

void Vst3Instance::stop()
{
    if (!running) return;
    processorPart->setProcessing(0);
    componentPart->setActive(0);
    running = false;
}

void Vst3Instance::change(ParamID id, int32 frame, double value)
{
    int32 index = 0;
    int32 point = 0;
    changes->addParameterData(id, index)->addPoint(frame, value, point);
}

tresult Vst3Instance::process(float** inputs, int32 inputChannels, float** outputs, int32 outputChannels, int32 frames)
{
    if (frames > scratchFrames || inputBuffers.size() != inputBuses.size()) {
        // Buffers for every bus; the first of each direction's channels are the caller's.
        scratchFrames = std::max(frames, 1);
        scratch.clear();
        pointers.clear();
        for (const std::vector<int32>* buses : {&inputBuses, &outputBuses}) {
            for (int32 channels : *buses) {
                pointers.emplace_back();
                for (int32 c = 0; c < channels; ++c)
                    pointers.back().push_back(
                        scratch.emplace_back(static_cast<std::size_t>(scratchFrames), 0.0f).data());
            }
        }
        std::size_t next = 0;
        for (auto [buffers, buses] : {std::pair{&inputBuffers, &inputBuses}, std::pair{&outputBuffers, &outputBuses}}) {
            buffers->assign(buses->size(), AudioBusBuffers{});
            for (std::size_t b = 0; b < buses->size(); ++b) {
                (*buffers)[b].numChannels = (*buses)[b];
                (*buffers)[b].channelBuffers32 = pointers[next++].data();
            }
        }
    }
    const auto route = [](AudioBusBuffers* buffers, std::size_t buses, float** channels, int32 count) {
        if (buses == 0) return;
        for (int32 c = 0; c < buffers[0].numChannels; ++c)
            buffers[0].channelBuffers32[c] = count > 0 ? channels[std::min(c, count - 1)] : nullptr;
    };
    route(inputBuffers.data(), inputBuffers.size(), inputs, inputChannels);
    route(outputBuffers.data(), outputBuffers.size(), outputs, outputChannels);
    ProcessData data{};
    data.processMode = kRealtime;
    data.symbolicSampleSize = kSample32;
    data.numSamples = frames;
    data.numInputs = static_cast<int32>(inputBuffers.size());
    data.numOutputs = static_cast<int32>(outputBuffers.size());
    data.inputs = inputBuffers.data();
    data.outputs = outputBuffers.data();
    data.inputParameterChanges = changes.get();
    data.outputParameterChanges = outputChanges.get();
    const tresult result = processorPart->process(data);
    changes->clear();
    reportedChanges.clear();
    for (int32 q = 0; q < outputChanges->getParameterCount(); ++q) {
        IParamValueQueue* queue = outputChanges->getParameterData(q);
        for (int32 p = 0; p < queue->getPointCount(); ++p) {
            int32 frame = 0;
            ParamValue value = 0.0;
            if (queue->getPoint(p, frame, value) == kResultOk)
                reportedChanges.push_back({queue->getParameterId(), frame, value});
        }
    }
    outputChanges->clear();
    return result;
}

std::vector<uint8_t> Vst3Instance::saveState() const
{
    MemoryStream stream;
    if (componentPart->getState(&stream) != kResultOk) return {};
    return stream.bytes;
}

bool Vst3Instance::loadState(const std::vector<uint8_t>& bytes) const
{
    MemoryStream stream(bytes);
    if (componentPart->setState(&stream) != kResultOk) return false;
    stream.position = 0;
    return controllerPart->setComponentState(&stream) == kResultOk;
}

std::vector<HostEdit> Vst3Instance::edits() const { return host->edits(); }

}  // namespace tools::vst3
