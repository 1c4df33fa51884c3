#include "kx/clap/ClapPlugAdapter.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "kx/Presets.h"
#include "kx/Settings.h"

namespace kx::clap {

namespace {

struct PortConfig {
    const char* name;
    uint32_t inputs;
    uint32_t outputs;
};

// What a host may choose with audio-ports-config; the first is the default.
constexpr PortConfig kPortConfigs[] = {
    {"Stereo", 2, 2},
    {"Mono", 1, 1},
    {"Mono to stereo", 1, 2},
};
constexpr uint32_t kPortConfigCount = sizeof(kPortConfigs) / sizeof(kPortConfigs[0]);

#if defined(_WIN32)
constexpr const char* kWindowApi = kWindowApiWin32;
#else
constexpr const char* kWindowApi = kWindowApiX11;
#endif

// Copies at most capacity - 1 characters and a terminator.
void copyText(char* destination, std::string_view text, std::size_t capacity)
{
    if (capacity == 0) return;
    const std::size_t length = std::min(text.size(), capacity - 1);
    if (length > 0) std::memcpy(destination, text.data(), length);
    destination[length] = '\0';
}

const char* portType(uint32_t channels) { return channels == 1 ? kPortMono : kPortStereo; }

void pushGesture(const clap_output_events* out, uint16_t type, clap_id id)
{
    clap_event_param_gesture event{};
    event.header = {sizeof(event), 0, kCoreEventSpace, type, 0};
    event.param_id = id;
    out->try_push(out, &event.header);
}

void pushValue(const clap_output_events* out, clap_id id, double value)
{
    clap_event_param_value event{};
    event.header = {sizeof(event), 0, kCoreEventSpace, CLAP_EVENT_PARAM_VALUE, 0};
    event.param_id = id;
    event.cookie = nullptr;
    event.note_id = -1;
    event.port_index = -1;
    event.channel = -1;
    event.key = -1;
    event.value = value;
    out->try_push(out, &event.header);
}

// The channel pointers of a buffer, when it has at least `channels` of them.
bool channelsOf(const clap_audio_buffer* buffers, uint32_t count, uint32_t channels, float** out)
{
    if (channels == 0) return true;
    if (count < 1 || buffers == nullptr || buffers[0].data32 == nullptr || buffers[0].channel_count < channels)
        return false;
    for (uint32_t c = 0; c < channels; ++c) {
        out[c] = buffers[0].data32[c];
        if (out[c] == nullptr) return false;
    }
    return true;
}

}  // namespace

ClapPlugAdapter::ClapPlugAdapter(const clap_host* host, const clap_plugin_descriptor* descriptor) : host(host)
{
    plugin.desc = descriptor;
    plugin.plugin_data = this;
    plugin.init = [](const clap_plugin* p) { return of(p).init(); };
    plugin.destroy = [](const clap_plugin* p) { delete &of(p); };
    plugin.activate = [](const clap_plugin* p, double rate, uint32_t, uint32_t maxFrames) {
        return of(p).activate(rate, maxFrames);
    };
    plugin.deactivate = [](const clap_plugin* p) { of(p).deactivate(); };
    plugin.start_processing = [](const clap_plugin* p) {
        of(p).started.store(true);
        return true;
    };
    plugin.stop_processing = [](const clap_plugin* p) { of(p).started.store(false); };
    plugin.reset = [](const clap_plugin* p) { of(p).reset(); };
    plugin.process = [](const clap_plugin* p, const clap_process* process) {
        return process != nullptr ? of(p).process(*process) : CLAP_PROCESS_ERROR;
    };
    plugin.get_extension = [](const clap_plugin* p, const char* id) {
        return id != nullptr ? of(p).extension(id) : nullptr;
    };
    plugin.on_main_thread = [](const clap_plugin*) {};
}

ClapPlugAdapter::~ClapPlugAdapter()
{
    destroyGui();
    effect.reset();
}

ClapPlugAdapter& ClapPlugAdapter::of(const clap_plugin* plugin)
{
    return *static_cast<ClapPlugAdapter*>(plugin->plugin_data);
}

bool ClapPlugAdapter::init()
{
    if (effect) return true;
    const auto hostExtension = [this](const char* id) {
        return host->get_extension != nullptr ? host->get_extension(host, id) : nullptr;
    };
    hostParams = static_cast<const clap_host_params*>(hostExtension(kExtParams));
    hostThreadCheck = static_cast<const clap_host_thread_check*>(hostExtension(kExtThreadCheck));
    hostLog = static_cast<const clap_host_log*>(hostExtension(kExtLog));
    hostState = static_cast<const clap_host_state*>(hostExtension(kExtState));
    hostPresetLoad = static_cast<const clap_host_preset_load*>(hostExtension(kExtPresetLoad));
    if (hostPresetLoad == nullptr)
        hostPresetLoad = static_cast<const clap_host_preset_load*>(hostExtension(kExtPresetLoadCompat));
    hostGui = static_cast<const clap_host_gui*>(hostExtension(kExtGui));
    try {
        effect = createPlugin(*this, 44100.0f);
        parameters = &effect->parameters;
        blockAdapter = makeBlockSizeAdapter(effect->descriptor());
        edits = std::make_unique<ParameterEdits>(parameters->count());
    } catch (...) {
        effect.reset();
        return false;  // no exception may cross into the host
    }
    selectPortConfig(0);
    return true;
}

bool ClapPlugAdapter::activate(double sampleRate, uint32_t maxFrames)
{
    if (!effect || active.load() || !onMainThread()) return false;
    // No signal path can run at these.
    if (!std::isfinite(sampleRate) || sampleRate <= 0.0 || sampleRate > 1.0e7) return false;
    const PluginDescriptor& descriptor = effect->descriptor();
    try {
        blockAdapter->setBlockSizes(descriptor.blockSize, static_cast<int>(std::min(maxFrames, uint32_t{INT_MAX})));
    } catch (...) {
        return false;
    }
    effect->setSampleRate(static_cast<float>(sampleRate));
    blockAdapter->restart();
    effect->reset();
    active.store(true);
    return true;
}

void ClapPlugAdapter::deactivate()
{
    if (!active.load() || !onMainThread()) return;
    active.store(false);
    started.store(false);
    effect->suspend();
    // Edits the audio thread had not taken yet now wait for a flush on this thread.
    askForFlush();
}

void ClapPlugAdapter::reset()
{
    if (!active.load()) return;
    blockAdapter->restart();
    effect->reset();
}

clap_process_status ClapPlugAdapter::process(const clap_process& process)
{
    if (!active.load(std::memory_order_relaxed)) return CLAP_PROCESS_ERROR;
    applyEdits(process.out_events);
    const PortConfig& config = kPortConfigs[portConfig];
    float* inputs[2] = {nullptr, nullptr};
    float* outputs[2] = {nullptr, nullptr};
    const uint32_t frames = process.frames_count;
    const bool buffersPresent = channelsOf(process.audio_inputs, process.audio_inputs_count, config.inputs, inputs) &&
                                channelsOf(process.audio_outputs, process.audio_outputs_count, config.outputs, outputs);
    const clap_input_events* in = process.in_events;
    const uint32_t eventCount = in != nullptr && in->size != nullptr && in->get != nullptr ? in->size(in) : 0;
    uint32_t done = 0;
    for (uint32_t i = 0; i < eventCount; ++i) {
        const clap_event_header* event = in->get(in, i);
        if (event == nullptr) continue;
        // Events come in time order; one that does not, or lies beyond the block, counts from where we are.
        const uint32_t at = std::clamp(event->time, done, frames);
        if (buffersPresent && at > done) runAudio(done, at, inputs, outputs);
        done = std::max(done, at);
        applyEvent(*event);
    }
    if (!buffersPresent) return frames == 0 ? CLAP_PROCESS_CONTINUE : CLAP_PROCESS_ERROR;
    if (done < frames) runAudio(done, frames, inputs, outputs);
    process.audio_outputs[0].constant_mask = 0;
    return CLAP_PROCESS_CONTINUE;
}

void ClapPlugAdapter::runAudio(uint32_t begin, uint32_t end, float* const* inputs, float* const* outputs)
{
    float* in[2];
    float* out[2];
    for (int c = 0; c < 2; ++c) {
        in[c] = inputs[c] != nullptr ? inputs[c] + begin : nullptr;
        out[c] = outputs[c] != nullptr ? outputs[c] + begin : nullptr;
    }
    blockAdapter->beginHostBlock(in, out, static_cast<int>(end - begin));
    blockAdapter->run(*effect);
}

void ClapPlugAdapter::applyEvent(const clap_event_header& event)
{
    if (event.space_id != kCoreEventSpace || event.type != CLAP_EVENT_PARAM_VALUE ||
        event.size < sizeof(clap_event_param_value))
        return;
    const auto& change = reinterpret_cast<const clap_event_param_value&>(event);
    if (const std::optional<int> index = indexOf(change.param_id))
        parameters->setValue(*index, normalisedOf(*index, change.value));
}

void ClapPlugAdapter::applyEdits(const clap_output_events* out)
{
    const bool report = out != nullptr && out->try_push != nullptr;
    edits->drain([&](const ParameterEdit& edit) {
        const clap_id id = parameters->descriptors[static_cast<std::size_t>(edit.index)].id;
        switch (edit.kind) {
        case ParameterEdit::Kind::kBegin:
            if (report) pushGesture(out, CLAP_EVENT_PARAM_GESTURE_BEGIN, id);
            break;
        case ParameterEdit::Kind::kValue:
            parameters->setValue(edit.index, edit.value);
            if (report) pushValue(out, id, plainOf(edit.index, parameters->value(edit.index)));
            break;
        case ParameterEdit::Kind::kEnd:
            if (report) pushGesture(out, CLAP_EVENT_PARAM_GESTURE_END, id);
            break;
        }
    });
}

void ClapPlugAdapter::flush(const clap_input_events* in, const clap_output_events* out)
{
    if (!effect) return;
    // Ours first: a host change that comes with them is the later one.
    applyEdits(out);
    if (in == nullptr || in->size == nullptr || in->get == nullptr) return;
    const uint32_t count = in->size(in);
    for (uint32_t i = 0; i < count; ++i) {
        if (const clap_event_header* event = in->get(in, i)) applyEvent(*event);
    }
}

const void* ClapPlugAdapter::extension(const char* id) const
{
    const std::string_view name(id);
    if (name == kExtAudioPorts) return &kAudioPorts;
    if (name == kExtAudioPortsConfig) return &kAudioPortsConfig;
    if (name == kExtParams) return &kParams;
    if (name == kExtState) return &kState;
    if (name == kExtLatency) return &kLatency;
    if ((name == kExtPresetLoad || name == kExtPresetLoadCompat) && !pluginPresets().empty()) return &kPresetLoad;
    if (name == kExtGui && effect && effect->descriptor().hasEditor && effect->editor() != nullptr) return &kGui;
    return nullptr;
}

// --- params --------------------------------------------------------------------------------

std::optional<int> ClapPlugAdapter::indexOf(clap_id id) const
{
    const int index = parameters != nullptr ? parameters->indexOfId(id) : -1;
    return index >= 0 ? std::optional<int>(index) : std::nullopt;
}

double ClapPlugAdapter::plainOf(int index, float normalised) const
{
    const int options = parameters->descriptors[static_cast<std::size_t>(index)].mapper->optionCount();
    if (options < 2) return normalised;
    return std::round(static_cast<double>(normalised) * (options - 1));
}

float ClapPlugAdapter::normalisedOf(int index, double plain) const
{
    const int options = parameters->descriptors[static_cast<std::size_t>(index)].mapper->optionCount();
    if (options < 2 || std::isnan(plain)) return static_cast<float>(plain);
    const double step = std::clamp(std::round(plain), 0.0, static_cast<double>(options - 1));
    return static_cast<float>(step) / static_cast<float>(options - 1);
}

bool ClapPlugAdapter::parameterInfo(uint32_t index, clap_param_info& info) const
{
    if (parameters == nullptr || index >= static_cast<uint32_t>(parameters->count())) return false;
    const ParameterDescriptor& descriptor = parameters->descriptors[index];
    const int options = descriptor.mapper->optionCount();
    info = clap_param_info{};
    info.id = descriptor.id;
    info.flags = CLAP_PARAM_IS_AUTOMATABLE | (options >= 2 ? CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM : 0u);
    info.cookie = nullptr;
    copyText(info.name, descriptor.name, sizeof(info.name));
    info.module[0] = '\0';
    info.min_value = 0.0;
    info.max_value = options >= 2 ? options - 1 : 1.0;
    info.default_value = plainOf(static_cast<int>(index), descriptor.defaultValue);
    return true;
}

bool ClapPlugAdapter::valueToText(clap_id id, double value, char* buffer, uint32_t capacity) const
{
    const std::optional<int> index = indexOf(id);
    if (!index || buffer == nullptr || capacity == 0 || std::isnan(value)) return false;
    const float normalised = std::clamp(normalisedOf(*index, value), 0.0f, 1.0f);
    std::string text = parameters->displayText(*index, normalised);
    const std::string& label = parameters->descriptors[static_cast<std::size_t>(*index)].label;
    if (!label.empty()) text += " " + label;
    copyText(buffer, text, capacity);
    return true;
}

bool ClapPlugAdapter::textToValue(clap_id id, const char* text, double& value) const
{
    const std::optional<int> index = indexOf(id);
    if (!index || text == nullptr) return false;
    const std::optional<float> normalised = parameters->parse(*index, text);
    if (!normalised) return false;
    value = plainOf(*index, *normalised);
    return true;
}

const clap_plugin_params ClapPlugAdapter::kParams{
    .count = [](const clap_plugin* p) -> uint32_t {
        const Parameters* parameters = of(p).parameters;
        return parameters != nullptr ? static_cast<uint32_t>(parameters->count()) : 0;
    },
    .get_info = [](const clap_plugin* p, uint32_t index,
                   clap_param_info* info) { return info != nullptr && of(p).parameterInfo(index, *info); },
    .get_value =
        [](const clap_plugin* p, clap_id id, double* value) {
            const ClapPlugAdapter& self = of(p);
            const std::optional<int> index = self.indexOf(id);
            if (!index || value == nullptr) return false;
            *value = self.plainOf(*index, self.parameters->value(*index));
            return true;
        },
    .value_to_text = [](const clap_plugin* p, clap_id id, double value, char* buffer,
                        uint32_t capacity) { return of(p).valueToText(id, value, buffer, capacity); },
    .text_to_value = [](const clap_plugin* p, clap_id id, const char* text,
                        double* value) { return value != nullptr && of(p).textToValue(id, text, *value); },
    .flush = [](const clap_plugin* p, const clap_input_events* in,
                const clap_output_events* out) { of(p).flush(in, out); },
};

// --- the editor's edits ------------------------------------------------------------------

void ClapPlugAdapter::automate(int index, float value)
{
    if (!parameters->contains(index) || std::isnan(value)) return;
    // Not processing: no audio thread takes the edit, so it is stored now and only reported.
    if (!active.load()) parameters->setValue(index, value);
    edits->push({ParameterEdit::Kind::kValue, index, value});
    askForFlush();
}

void ClapPlugAdapter::automateNow(int index, float value)
{
    if (!parameters->contains(index) || std::isnan(value)) return;
    parameters->setValue(index, value);
    edits->push({ParameterEdit::Kind::kValue, index, value});
    askForFlush();
}

void ClapPlugAdapter::beginEdit(int index)
{
    if (!parameters->contains(index)) return;
    edits->push({ParameterEdit::Kind::kBegin, index, 0.0f});
    askForFlush();
}

void ClapPlugAdapter::endEdit(int index)
{
    if (!parameters->contains(index)) return;
    edits->push({ParameterEdit::Kind::kEnd, index, 0.0f});
    askForFlush();
}

void ClapPlugAdapter::askForFlush()
{
    if (!started.load() && hostParams != nullptr && hostParams->request_flush != nullptr)
        hostParams->request_flush(host);
}

HostInfo ClapPlugAdapter::hostInfo()
{
    HostInfo info;
    if (host->name != nullptr) info.product = host->name;
    if (host->vendor != nullptr) info.vendor = host->vendor;
    return info;
}

bool ClapPlugAdapter::onMainThread() const
{
    if (hostThreadCheck == nullptr || hostThreadCheck->is_main_thread == nullptr) return true;
    if (hostThreadCheck->is_main_thread(host)) return true;
    logMisbehaviour("a main-thread call came on another thread; refused");
    return false;
}

void ClapPlugAdapter::logMisbehaviour(const char* message) const
{
    if (hostLog != nullptr && hostLog->log != nullptr) hostLog->log(host, CLAP_LOG_HOST_MISBEHAVING, message);
}

// --- state ---------------------------------------------------------------------------------

bool ClapPlugAdapter::save(const clap_ostream& stream) const
{
    if (!effect || stream.write == nullptr || !onMainThread()) return false;
    const std::vector<uint8_t> record =
        Settings::save(*parameters, static_cast<uint32_t>(effect->descriptor().uniqueId));
    std::size_t written = 0;
    while (written < record.size()) {
        const int64_t moved = stream.write(&stream, record.data() + written, record.size() - written);
        if (moved <= 0 || static_cast<uint64_t>(moved) > record.size() - written) return false;
        written += static_cast<std::size_t>(moved);
    }
    return true;
}

bool ClapPlugAdapter::load(const clap_istream& stream)
{
    if (!effect || stream.read == nullptr || !onMainThread()) return false;
    // One byte more than any record may have tells an oversized one from a full-sized one.
    std::vector<uint8_t> record(Settings::kMaxBytes + 1);
    std::size_t got = 0;
    while (got < record.size()) {
        const int64_t moved = stream.read(&stream, record.data() + got, record.size() - got);
        if (moved < 0 || static_cast<uint64_t>(moved) > record.size() - got) return false;
        if (moved == 0) break;
        got += static_cast<std::size_t>(moved);
    }
    record.resize(got);
    const SettingsStatus status =
        Settings::load(*parameters, static_cast<uint32_t>(effect->descriptor().uniqueId), record);
    if (status != SettingsStatus::kLoaded) {
        if (hostLog != nullptr && hostLog->log != nullptr) hostLog->log(host, CLAP_LOG_WARNING, describe(status));
        return false;
    }
    if (hostParams != nullptr && hostParams->rescan != nullptr) hostParams->rescan(host, 1u << 0);  // values
    return true;
}

const clap_plugin_state ClapPlugAdapter::kState{
    .save = [](const clap_plugin* p, const clap_ostream* stream) { return stream != nullptr && of(p).save(*stream); },
    .load = [](const clap_plugin* p, const clap_istream* stream) { return stream != nullptr && of(p).load(*stream); },
};

const clap_plugin_latency ClapPlugAdapter::kLatency{
    .get = [](const clap_plugin*) -> uint32_t { return 0; },
};

// --- presets -------------------------------------------------------------------------------

bool ClapPlugAdapter::loadPreset(uint32_t kind, const char* location, const char* key)
{
    if (!effect || !onMainThread()) return false;
    if (kind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN || location != nullptr) {
        refusePreset(kind, location, key, "the presets are inside the plug-in; there is no preset file to load");
        return false;
    }
    const std::span<const Preset> presets = pluginPresets();
    const int index = key != nullptr ? findPreset(presets, key) : -1;
    if (index < 0) {
        refusePreset(kind, location, key, "no factory preset has that key");
        return false;
    }
    // As a state load sets them: whole values the audio thread takes at its next block, each
    // control gliding from where it is.
    applyPreset(presets[static_cast<std::size_t>(index)], *parameters);
    if (hostParams != nullptr && hostParams->rescan != nullptr) hostParams->rescan(host, 1u << 0);  // values
    if (hostPresetLoad != nullptr && hostPresetLoad->loaded != nullptr) hostPresetLoad->loaded(host, kind, location, key);
    if (hostState != nullptr && hostState->mark_dirty != nullptr) hostState->mark_dirty(host);
    return true;
}

void ClapPlugAdapter::refusePreset(uint32_t kind, const char* location, const char* key, const char* why) const
{
    if (hostPresetLoad != nullptr && hostPresetLoad->on_error != nullptr)
        hostPresetLoad->on_error(host, kind, location, key, 0, why);
}

const clap_plugin_preset_load ClapPlugAdapter::kPresetLoad{
    .from_location = [](const clap_plugin* p, uint32_t kind, const char* location,
                        const char* key) { return of(p).loadPreset(kind, location, key); },
};

// --- audio ports ---------------------------------------------------------------------------

bool ClapPlugAdapter::portInfo(uint32_t index, bool isInput, clap_audio_port_info& info) const
{
    if (index != 0) return false;
    const PortConfig& config = kPortConfigs[portConfig];
    info = clap_audio_port_info{};
    info.id = 0;
    copyText(info.name, isInput ? "Main in" : "Main out", sizeof(info.name));
    info.flags = CLAP_AUDIO_PORT_IS_MAIN;
    info.channel_count = isInput ? config.inputs : config.outputs;
    info.port_type = portType(info.channel_count);
    info.in_place_pair = config.inputs == config.outputs ? 0 : kInvalidId;
    return true;
}

bool ClapPlugAdapter::selectPortConfig(clap_id id)
{
    if (id >= kPortConfigCount || active.load() || !effect) return false;
    portConfig = static_cast<int>(id);
    const PortConfig& config = kPortConfigs[id];
    effect->setNumInputs(static_cast<int>(config.inputs));
    effect->setNumOutputs(static_cast<int>(config.outputs));
    blockAdapter->setChannels(static_cast<int>(config.inputs), static_cast<int>(config.outputs));
    return true;
}

const clap_plugin_audio_ports ClapPlugAdapter::kAudioPorts{
    .count = [](const clap_plugin*, bool) -> uint32_t { return 1; },
    .get = [](const clap_plugin* p, uint32_t index, bool isInput,
              clap_audio_port_info* info) { return info != nullptr && of(p).portInfo(index, isInput, *info); },
};

const clap_plugin_audio_ports_config ClapPlugAdapter::kAudioPortsConfig{
    .count = [](const clap_plugin*) { return kPortConfigCount; },
    .get =
        [](const clap_plugin*, uint32_t index, clap_audio_ports_config* config) {
            if (config == nullptr || index >= kPortConfigCount) return false;
            const PortConfig& offered = kPortConfigs[index];
            *config = clap_audio_ports_config{};
            config->id = index;
            copyText(config->name, offered.name, sizeof(config->name));
            config->input_port_count = 1;
            config->output_port_count = 1;
            config->has_main_input = true;
            config->main_input_channel_count = offered.inputs;
            config->main_input_port_type = portType(offered.inputs);
            config->has_main_output = true;
            config->main_output_channel_count = offered.outputs;
            config->main_output_port_type = portType(offered.outputs);
            return true;
        },
    .select = [](const clap_plugin* p, clap_id id) { return of(p).onMainThread() && of(p).selectPortConfig(id); },
};

// --- gui -----------------------------------------------------------------------------------

namespace {

// A size from the host as the editor counts it; beyond its range is as large as it goes.
int pixelsOf(uint32_t size) { return static_cast<int>(std::min<uint32_t>(size, INT32_MAX)); }

}  // namespace

bool ClapPlugAdapter::createGui(const char* api, bool floating)
{
    if (guiCreated || floating || api == nullptr || std::strcmp(api, kWindowApi) != 0 || !onMainThread()) return false;
    guiCreated = true;
    guiScaleGiven = false;
    return true;
}

void ClapPlugAdapter::destroyGui()
{
    if (guiOpen) effect->editor()->close();
    guiOpen = false;
    guiCreated = false;
}

bool ClapPlugAdapter::setParent(const clap_window* window)
{
    if (!guiCreated || guiOpen || window == nullptr || window->api == nullptr ||
        std::strcmp(window->api, kWindowApi) != 0 || !onMainThread())
        return false;
    AudioPluginEditor* editor = effect->editor();
#if defined(_WIN32)
    void* parent = window->win32;
    // A Windows host that gives no scale: the DPI of the monitor its window is on.
    if (!guiScaleGiven) {
        const EditorSize before = *editor->getSize();
        editor->useDesktopScale(parent);
        const EditorSize after = *editor->getSize();
        if ((after.width != before.width || after.height != before.height) && hostGui != nullptr &&
            hostGui->request_resize != nullptr)
            hostGui->request_resize(host, static_cast<uint32_t>(after.width), static_cast<uint32_t>(after.height));
    }
#else
    void* parent = reinterpret_cast<void*>(static_cast<uintptr_t>(window->x11));
#endif
    guiOpen = editor->open(parent);
    return guiOpen;
}

// Before set_parent, and again whenever the display's scale changes; an open editor asks
// the host for its new size.
bool ClapPlugAdapter::setGuiScale(double scale)
{
    if (!guiCreated || !onMainThread() || !effect->editor()->setScale(scale)) return false;
    guiScaleGiven = true;
    const EditorSize* size = effect->editor()->getSize();
    if (guiOpen && hostGui != nullptr && hostGui->request_resize != nullptr)
        hostGui->request_resize(host, static_cast<uint32_t>(size->width), static_cast<uint32_t>(size->height));
    return true;
}

// The host resizes after adjust_size; any other size is taken at the nearest one the editor
// has, and then the answer is false.
bool ClapPlugAdapter::setGuiSize(uint32_t width, uint32_t height)
{
    if (!guiCreated || !onMainThread()) return false;
    AudioPluginEditor* editor = effect->editor();
    editor->setSize(pixelsOf(width), pixelsOf(height));
    const EditorSize* size = editor->getSize();
    return static_cast<uint32_t>(size->width) == width && static_cast<uint32_t>(size->height) == height;
}

const clap_plugin_gui ClapPlugAdapter::kGui{
    .is_api_supported = [](const clap_plugin*, const char* api,
                           bool floating) { return !floating && api != nullptr && std::strcmp(api, kWindowApi) == 0; },
    .get_preferred_api =
        [](const clap_plugin*, const char** api, bool* floating) {
            if (api == nullptr || floating == nullptr) return false;
            *api = kWindowApi;
            *floating = false;
            return true;
        },
    .create = [](const clap_plugin* p, const char* api, bool floating) { return of(p).createGui(api, floating); },
    .destroy =
        [](const clap_plugin* p) {
            if (of(p).onMainThread()) of(p).destroyGui();
        },
    .set_scale = [](const clap_plugin* p, double scale) { return of(p).setGuiScale(scale); },
    .get_size =
        [](const clap_plugin* p, uint32_t* width, uint32_t* height) {
            if (width == nullptr || height == nullptr) return false;
            const EditorSize* size = of(p).effect->editor()->getSize();
            *width = static_cast<uint32_t>(size->width);
            *height = static_cast<uint32_t>(size->height);
            return true;
        },
    .can_resize = [](const clap_plugin* p) { return of(p).effect->editor()->canResize(); },
    .get_resize_hints =
        [](const clap_plugin* p, clap_gui_resize_hints* hints) {
            const AudioPluginEditor* editor = of(p).effect->editor();
            if (hints == nullptr || !editor->canResize()) return false;
            const EditorSize layout = editor->layoutSize();
            *hints = {.can_resize_horizontally = true,
                      .can_resize_vertically = true,
                      .preserve_aspect_ratio = true,
                      .aspect_ratio_width = static_cast<uint32_t>(layout.width),
                      .aspect_ratio_height = static_cast<uint32_t>(layout.height)};
            return true;
        },
    .adjust_size =
        [](const clap_plugin* p, uint32_t* width, uint32_t* height) {
            const AudioPluginEditor* editor = of(p).effect->editor();
            if (width == nullptr || height == nullptr || !editor->canResize()) return false;
            const EditorSize adjusted = editor->adjustSize(pixelsOf(*width), pixelsOf(*height));
            *width = static_cast<uint32_t>(adjusted.width);
            *height = static_cast<uint32_t>(adjusted.height);
            return true;
        },
    .set_size = [](const clap_plugin* p, uint32_t width, uint32_t height) { return of(p).setGuiSize(width, height); },
    .set_parent = [](const clap_plugin* p, const clap_window* window) { return of(p).setParent(window); },
    .set_transient = [](const clap_plugin*, const clap_window*) { return false; },
    .suggest_title = [](const clap_plugin*, const char*) {},
    // The editor is a child of the host's window and is seen exactly when that window is.
    .show = [](const clap_plugin* p) { return of(p).guiCreated; },
    .hide = [](const clap_plugin* p) { return of(p).guiCreated; },
};

}  // namespace kx::clap
