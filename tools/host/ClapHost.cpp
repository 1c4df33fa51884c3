#include "tools/host/ClapHost.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <thread>
#include <cstring>

namespace tools::clap {

namespace {

ClapInstance& instanceOf(const clap_host* host) { return *static_cast<ClapInstance*>(host->host_data); }

const clap_host_params kHostParams{
    .rescan = [](const clap_host* host, uint32_t) { ++instanceOf(host).rescans; },
    .clear = [](const clap_host*, clap_id, uint32_t) {},
    .request_flush = [](const clap_host* host) { ++instanceOf(host).flushRequests; },
};

const clap_host_thread_check kHostThreadCheck{
    .is_main_thread = [](const clap_host* host) { return std::this_thread::get_id() == instanceOf(host).mainThread; },
    .is_audio_thread =
        [](const clap_host* host) {
            return std::this_thread::get_id() != instanceOf(host).mainThread || instanceOf(host).processing;
        },
};

const clap_host_log kHostLog{
    .log = [](const clap_host* host, int32_t,
              const char* message) { instanceOf(host).logLines.emplace_back(message != nullptr ? message : ""); },
};

const clap_host_state kHostState{
    .mark_dirty = [](const clap_host* host) { ++instanceOf(host).dirtyMarks; },
};

const clap_host_preset_load kHostPresetLoad{
    .on_error = [](const clap_host* host, uint32_t, const char*, const char*, int32_t,
                   const char* message) { instanceOf(host).presetErrors.emplace_back(message != nullptr ? message : ""); },
    .loaded = [](const clap_host* host, uint32_t, const char*,
                 const char* key) { instanceOf(host).presetsLoaded.emplace_back(key != nullptr ? key : ""); },
};

// What the indexer and the metadata receiver collect.
struct PresetIndex {
    std::vector<clap_preset_discovery_location> locations;
    std::vector<std::string> locationPaths;
    std::vector<DiscoveredPreset> presets;
    std::vector<std::string>* errors = nullptr;
    uint32_t kind = 0;
    std::string location;
};

PresetIndex& indexOf(const void* data) { return *static_cast<PresetIndex*>(const_cast<void*>(data)); }

DiscoveredPreset* current(const clap_preset_discovery_metadata_receiver* receiver)
{
    PresetIndex& index = indexOf(receiver->receiver_data);
    return index.presets.empty() ? nullptr : &index.presets.back();
}

// The host's window follows every size the plug-in asks for.
const clap_host_gui kHostGui{
    .resize_hints_changed = [](const clap_host*) {},
    .request_resize =
        [](const clap_host* host, uint32_t width, uint32_t height) {
            instanceOf(host).resizeRequests.push_back({width, height});
            return true;
        },
    .request_show = [](const clap_host*) { return false; },
    .request_hide = [](const clap_host*) { return false; },
    .closed = [](const clap_host*, bool) {},
};

const void* hostExtension(const clap_host*, const char* id)
{
    const std::string_view name(id);
    if (name == kExtState) return &kHostState;
    if (name == kExtPresetLoad) return &kHostPresetLoad;
    if (name == kExtGui) return &kHostGui;
    if (name == kExtParams) return &kHostParams;
    if (name == kExtThreadCheck) return &kHostThreadCheck;
    if (name == kExtLog) return &kHostLog;
    return nullptr;
}

}  // namespace

std::vector<DiscoveredPreset> ClapModule::discoverPresets(std::vector<std::string>* errors) const
{
    const auto* factory =
        static_cast<const clap_preset_discovery_factory*>(entryRecord->get_factory(kPresetDiscoveryFactoryId));
    if (factory == nullptr) return {};
    PresetIndex index;
    index.errors = errors;
    clap_preset_discovery_indexer indexer{};
    indexer.clap_version = kClapVersion;
    indexer.name = "tw07-host";
    indexer.vendor = "";
    indexer.url = "";
    indexer.version = "";
    indexer.indexer_data = &index;
    indexer.declare_filetype = [](const clap_preset_discovery_indexer*, const clap_preset_discovery_filetype*) {
        return true;
    };
    indexer.declare_location = [](const clap_preset_discovery_indexer* self, const clap_preset_discovery_location* at) {
        PresetIndex& found = indexOf(self->indexer_data);
        found.locations.push_back(*at);
        found.locationPaths.emplace_back(at->location != nullptr ? at->location : "");
        return true;
    };
    indexer.declare_soundpack = [](const clap_preset_discovery_indexer*, const clap_preset_discovery_soundpack*) {
        return true;
    };
    indexer.get_extension = [](const clap_preset_discovery_indexer*, const char*) -> const void* { return nullptr; };

    clap_preset_discovery_metadata_receiver receiver{};
    receiver.receiver_data = &index;
    receiver.on_error = [](const clap_preset_discovery_metadata_receiver* self, int32_t, const char* message) {
        if (PresetIndex& found = indexOf(self->receiver_data); found.errors != nullptr)
            found.errors->emplace_back(message != nullptr ? message : "");
    };
    receiver.begin_preset = [](const clap_preset_discovery_metadata_receiver* self, const char* name, const char* key) {
        PresetIndex& found = indexOf(self->receiver_data);
        DiscoveredPreset preset;
        preset.name = name != nullptr ? name : "";
        preset.key = key != nullptr ? key : "";
        preset.locationKind = found.kind;
        preset.location = found.location;
        found.presets.push_back(preset);
        return true;
    };
    receiver.add_plugin_id = [](const clap_preset_discovery_metadata_receiver* self, const clap_universal_plugin_id* id) {
        if (DiscoveredPreset* preset = current(self); preset != nullptr && id != nullptr)
            preset->pluginIds.push_back(std::string(id->abi) + ":" + id->id);
    };
    receiver.set_soundpack_id = [](const clap_preset_discovery_metadata_receiver*, const char*) {};
    receiver.set_flags = [](const clap_preset_discovery_metadata_receiver* self, uint32_t flags) {
        if (DiscoveredPreset* preset = current(self)) preset->flags = flags;
    };
    receiver.add_creator = [](const clap_preset_discovery_metadata_receiver*, const char*) {};
    receiver.set_description = [](const clap_preset_discovery_metadata_receiver* self, const char* text) {
        if (DiscoveredPreset* preset = current(self)) preset->description = text != nullptr ? text : "";
    };
    receiver.set_timestamps = [](const clap_preset_discovery_metadata_receiver*, clap_timestamp, clap_timestamp) {};
    receiver.add_feature = [](const clap_preset_discovery_metadata_receiver*, const char*) {};
    receiver.add_extra_info = [](const clap_preset_discovery_metadata_receiver*, const char*, const char*) {};

    for (uint32_t p = 0; p < factory->count(factory); ++p) {
        const clap_preset_discovery_provider_descriptor* descriptor = factory->get_descriptor(factory, p);
        if (descriptor == nullptr) continue;
        const clap_preset_discovery_provider* provider = factory->create(factory, &indexer, descriptor->id);
        if (provider == nullptr) continue;
        index.locations.clear();
        index.locationPaths.clear();
        if (provider->init(provider)) {
            for (std::size_t l = 0; l < index.locations.size(); ++l) {
                index.kind = index.locations[l].kind;
                index.location = index.locationPaths[l];
                const char* at = index.kind == CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN ? nullptr : index.location.c_str();
                provider->get_metadata(provider, index.kind, at, &receiver);
            }
        }
        provider->destroy(provider);
    }
    return index.presets;
}

InputEvents::InputEvents()
{
    record.ctx = this;
    record.size = [](const clap_input_events* list) {
        return static_cast<uint32_t>(static_cast<const InputEvents*>(list->ctx)->events.size());
    };
    record.get = [](const clap_input_events* list, uint32_t index) -> const clap_event_header* {
        const auto& events = static_cast<const InputEvents*>(list->ctx)->events;
        return index < events.size() ? &events[index].header : nullptr;
    };
}

void InputEvents::addValue(uint32_t time, clap_id id, double value)
{
    clap_event_param_value event{};
    event.header = {sizeof(event), time, kCoreEventSpace, CLAP_EVENT_PARAM_VALUE, 0};
    event.param_id = id;
    event.note_id = -1;
    event.port_index = -1;
    event.channel = -1;
    event.key = -1;
    event.value = value;
    events.push_back(event);
}

OutputEvents::OutputEvents()
{
    record.ctx = this;
    record.try_push = [](const clap_output_events* list, const clap_event_header* event) {
        auto& self = *static_cast<OutputEvents*>(list->ctx);
        if (event->type == CLAP_EVENT_PARAM_VALUE) {
            const auto* value = reinterpret_cast<const clap_event_param_value*>(event);
            self.events.push_back({event->type, value->param_id, value->value});
        } else {
            const auto* gesture = reinterpret_cast<const clap_event_param_gesture*>(event);
            self.events.push_back({event->type, gesture->param_id, 0.0});
        }
        return true;
    };
}

ClapModule::ClapModule(const std::string& path)
{
    library = tools::SharedLibrary(path);
    entryRecord = static_cast<const clap_plugin_entry*>(library.symbol("clap_entry"));
    if (entryRecord == nullptr || !entryRecord->init(path.c_str())) throw std::runtime_error("no usable clap_entry");
    factoryRecord = static_cast<const clap_plugin_factory*>(entryRecord->get_factory(kPluginFactoryId));
    if (factoryRecord == nullptr) throw std::runtime_error("no plug-in factory");
}

ClapModule::~ClapModule() { entryRecord->deinit(); }

ClapInstance::ClapInstance(const ClapModule& module)
    : ClapInstance([&module](const clap_host* host) {
          const clap_plugin_factory& factory = module.factory();
          return factory.create_plugin(&factory, host, factory.get_plugin_descriptor(&factory, 0)->id);
      })
{
}

ClapInstance::ClapInstance(const std::function<const clap_plugin*(const clap_host*)>& create)
    : host{kClapVersion,
           this,
           "claptest",
           "TW07 tests",
           "",
           "1.0",
           hostExtension,
           [](const clap_host*) {},
           [](const clap_host*) {},
           [](const clap_host*) {}}
{
    instance = create(&host);
    if (instance == nullptr) throw std::runtime_error("no plug-in");
    if (!instance->init(instance)) {
        instance->destroy(instance);
        throw std::runtime_error("the plug-in did not start");
    }
}

ClapInstance::~ClapInstance()
{
    deactivate();
    instance->destroy(instance);
}

bool ClapInstance::activate(double rate, uint32_t maxFrames)
{
    active = instance->activate(instance, rate, 1, maxFrames);
    if (active) instance->start_processing(instance);
    return active;
}

void ClapInstance::deactivate()
{
    if (!active) return;
    instance->stop_processing(instance);
    instance->deactivate(instance);
    active = false;
}

void ClapInstance::flush(const InputEvents& events) { params().flush(instance, events.list(), out.list()); }

clap_process_status ClapInstance::process(float* const* inputs, int inputChannels, float* const* outputs,
                                          int outputChannels, uint32_t frames, const InputEvents& events)
{
    clap_audio_buffer in{const_cast<float**>(inputs), nullptr, static_cast<uint32_t>(inputChannels), 0, 0};
    clap_audio_buffer output{const_cast<float**>(outputs), nullptr, static_cast<uint32_t>(outputChannels), 0, 0};
    return process(inputs != nullptr ? &in : nullptr, inputs != nullptr ? 1 : 0, outputs != nullptr ? &output : nullptr,
                   outputs != nullptr ? 1 : 0, frames, events);
}

clap_process_status ClapInstance::process(const clap_audio_buffer* inputs, uint32_t inputPorts,
                                          clap_audio_buffer* outputs, uint32_t outputPorts, uint32_t frames,
                                          const InputEvents& events)
{
    clap_process process{};
    process.steady_time = -1;
    process.frames_count = frames;
    process.audio_inputs = inputs;
    process.audio_inputs_count = inputPorts;
    process.audio_outputs = outputs;
    process.audio_outputs_count = outputPorts;
    process.in_events = events.list();
    process.out_events = out.list();
    processing = true;
    const clap_process_status status = instance->process(instance, &process);
    processing = false;
    return status;
}

double ClapInstance::value(clap_id id) const
{
    double value = 0.0;
    return params().get_value(instance, id, &value) ? value : std::nan("");
}

namespace {

struct Stream {
    std::vector<uint8_t> bytes;
    std::size_t position = 0;
    std::size_t chunk;
};

}  // namespace

std::vector<uint8_t> ClapInstance::save(std::size_t chunk) const
{
    Stream stream{{}, 0, chunk};
    clap_ostream out{&stream, [](const clap_ostream* s, const void* buffer, uint64_t size) -> int64_t {
                         auto& target = *static_cast<Stream*>(s->ctx);
                         const std::size_t n = std::min<uint64_t>(size, target.chunk);
                         const auto* bytes = static_cast<const uint8_t*>(buffer);
                         target.bytes.insert(target.bytes.end(), bytes, bytes + n);
                         return static_cast<int64_t>(n);
                     }};
    const auto* state = extension<clap_plugin_state>(kExtState);
    if (state == nullptr || !state->save(instance, &out)) return {};
    return stream.bytes;
}

bool ClapInstance::load(const std::vector<uint8_t>& bytes, std::size_t chunk) const
{
    Stream stream{bytes, 0, chunk};
    clap_istream in{
        &stream, [](const clap_istream* s, void* buffer, uint64_t size) -> int64_t {
            auto& source = *static_cast<Stream*>(s->ctx);
            const std::size_t n = std::min<uint64_t>({size, source.chunk, source.bytes.size() - source.position});
            if (n > 0) std::memcpy(buffer, source.bytes.data() + source.position, n);
            source.position += n;
            return static_cast<int64_t>(n);
        }};
    const auto* state = extension<clap_plugin_state>(kExtState);
    return state != nullptr && state->load(instance, &in);
}

}  // namespace tools::clap
