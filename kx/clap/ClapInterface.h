#pragma once
// Our own declarations of the part of the CLAP 1.2 binary interface we use: the entry, the
// plug-in factory, the plug-in and host records, process and events, streams, and the
// extensions audio-ports, audio-ports-config, params, state, latency, tail, gui, log,
// thread-check and preset-load, and the preset-discovery factory. Plain C layouts (x86-64, Linux and Windows alike). Shared by the module
// binding and the command-line host.

#include <cstddef>
#include <cstdint>

namespace kx::clap {

using clap_id = uint32_t;
constexpr clap_id kInvalidId = UINT32_MAX;

// Fixed text sizes, terminator included.
constexpr std::size_t kNameSize = 256;
constexpr std::size_t kPathSize = 1024;

struct clap_version_t {
    uint32_t major;
    uint32_t minor;
    uint32_t revision;
};
// The version we were written against; a host of any 1.x version can load us.
constexpr clap_version_t kClapVersion{1, 2, 0};
constexpr bool isCompatible(clap_version_t v) { return v.major >= 1; }

struct clap_plugin;
struct clap_host;

// --- entry and factory -------------------------------------------------------------------

struct clap_plugin_entry {
    clap_version_t clap_version;
    bool (*init)(const char* plugin_path);
    void (*deinit)();
    const void* (*get_factory)(const char* factory_id);
};

constexpr const char* kPluginFactoryId = "clap.plugin-factory";

struct clap_plugin_descriptor {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
    const char* url;
    const char* manual_url;
    const char* support_url;
    const char* version;
    const char* description;
    const char* const* features;  // null-terminated
};

struct clap_plugin_factory {
    uint32_t (*get_plugin_count)(const clap_plugin_factory* factory);
    const clap_plugin_descriptor* (*get_plugin_descriptor)(const clap_plugin_factory* factory, uint32_t index);
    const clap_plugin* (*create_plugin)(const clap_plugin_factory* factory, const clap_host* host,
                                        const char* plugin_id);
};

// --- streams, events, process ------------------------------------------------------------

// Both may move fewer bytes than asked; a negative result is an error, 0 the end of stream.
struct clap_istream {
    void* ctx;
    int64_t (*read)(const clap_istream* stream, void* buffer, uint64_t size);
};

struct clap_ostream {
    void* ctx;
    int64_t (*write)(const clap_ostream* stream, const void* buffer, uint64_t size);
};

struct clap_event_header {
    uint32_t size;      // of the whole event, in bytes
    uint32_t time;      // frame within the process call
    uint16_t space_id;  // kCoreEventSpace for the events below
    uint16_t type;
    uint32_t flags;
};

constexpr uint16_t kCoreEventSpace = 0;

enum : uint32_t {
    CLAP_EVENT_IS_LIVE = 1 << 0,
    CLAP_EVENT_DONT_RECORD = 1 << 1,
};

enum : uint16_t {
    CLAP_EVENT_NOTE_ON = 0,
    CLAP_EVENT_NOTE_OFF = 1,
    CLAP_EVENT_NOTE_CHOKE = 2,
    CLAP_EVENT_NOTE_END = 3,
    CLAP_EVENT_NOTE_EXPRESSION = 4,
    CLAP_EVENT_PARAM_VALUE = 5,
    CLAP_EVENT_PARAM_MOD = 6,
    CLAP_EVENT_PARAM_GESTURE_BEGIN = 7,
    CLAP_EVENT_PARAM_GESTURE_END = 8,
    CLAP_EVENT_TRANSPORT = 9,
    CLAP_EVENT_MIDI = 10,
    CLAP_EVENT_MIDI_SYSEX = 11,
    CLAP_EVENT_MIDI2 = 12,
};

struct clap_event_param_value {
    clap_event_header header;
    clap_id param_id;
    void* cookie;
    int32_t note_id;  // -1: not for one note
    int16_t port_index;
    int16_t channel;
    int16_t key;
    double value;
};

struct clap_event_param_gesture {
    clap_event_header header;
    clap_id param_id;
};

struct clap_input_events {
    void* ctx;
    uint32_t (*size)(const clap_input_events* list);
    const clap_event_header* (*get)(const clap_input_events* list, uint32_t index);
};

struct clap_output_events {
    void* ctx;
    bool (*try_push)(const clap_output_events* list, const clap_event_header* event);
};

struct clap_audio_buffer {
    float** data32;
    double** data64;
    uint32_t channel_count;
    uint32_t latency;
    uint64_t constant_mask;
};

struct clap_event_transport;  // not read by us

struct clap_process {
    int64_t steady_time;  // -1 when the host has none
    uint32_t frames_count;
    const clap_event_transport* transport;
    const clap_audio_buffer* audio_inputs;
    clap_audio_buffer* audio_outputs;
    uint32_t audio_inputs_count;
    uint32_t audio_outputs_count;
    const clap_input_events* in_events;
    const clap_output_events* out_events;
};

using clap_process_status = int32_t;
enum : int32_t {
    CLAP_PROCESS_ERROR = 0,
    CLAP_PROCESS_CONTINUE = 1,
    CLAP_PROCESS_CONTINUE_IF_NOT_QUIET = 2,
    CLAP_PROCESS_TAIL = 3,
    CLAP_PROCESS_SLEEP = 4,
};

// --- plug-in and host --------------------------------------------------------------------

// Threads, as CLAP assigns them: init, destroy, activate, deactivate and on_main_thread on
// the main thread; start_processing, stop_processing, reset and process on the audio thread
// (only while active); get_extension on any thread.
struct clap_plugin {
    const clap_plugin_descriptor* desc;
    void* plugin_data;
    bool (*init)(const clap_plugin* plugin);
    void (*destroy)(const clap_plugin* plugin);
    bool (*activate)(const clap_plugin* plugin, double sample_rate, uint32_t min_frames_count,
                     uint32_t max_frames_count);
    void (*deactivate)(const clap_plugin* plugin);
    bool (*start_processing)(const clap_plugin* plugin);
    void (*stop_processing)(const clap_plugin* plugin);
    void (*reset)(const clap_plugin* plugin);
    clap_process_status (*process)(const clap_plugin* plugin, const clap_process* process);
    const void* (*get_extension)(const clap_plugin* plugin, const char* id);
    void (*on_main_thread)(const clap_plugin* plugin);
};

struct clap_host {
    clap_version_t clap_version;
    void* host_data;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    const void* (*get_extension)(const clap_host* host, const char* extension_id);
    void (*request_restart)(const clap_host* host);
    void (*request_process)(const clap_host* host);
    void (*request_callback)(const clap_host* host);  // on_main_thread follows; any thread
};

// --- extensions --------------------------------------------------------------------------

constexpr const char* kExtAudioPorts = "clap.audio-ports";
constexpr const char* kExtAudioPortsConfig = "clap.audio-ports-config";
constexpr const char* kExtParams = "clap.params";
constexpr const char* kExtState = "clap.state";
constexpr const char* kExtLatency = "clap.latency";
constexpr const char* kExtTail = "clap.tail";
constexpr const char* kExtGui = "clap.gui";
constexpr const char* kExtLog = "clap.log";
constexpr const char* kExtThreadCheck = "clap.thread-check";

constexpr const char* kPortMono = "mono";
constexpr const char* kPortStereo = "stereo";

enum : uint32_t {
    CLAP_AUDIO_PORT_IS_MAIN = 1 << 0,
    CLAP_AUDIO_PORT_SUPPORTS_64BITS = 1 << 1,
    CLAP_AUDIO_PORT_PREFERS_64BITS = 1 << 2,
    CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE = 1 << 3,
};

struct clap_audio_port_info {
    clap_id id;
    char name[kNameSize];
    uint32_t flags;
    uint32_t channel_count;
    const char* port_type;
    clap_id in_place_pair;  // the port of the other direction it may share buffers with
};

// Main thread.
struct clap_plugin_audio_ports {
    uint32_t (*count)(const clap_plugin* plugin, bool is_input);
    bool (*get)(const clap_plugin* plugin, uint32_t index, bool is_input, clap_audio_port_info* info);
};

struct clap_audio_ports_config {
    clap_id id;
    char name[kNameSize];
    uint32_t input_port_count;
    uint32_t output_port_count;
    bool has_main_input;
    uint32_t main_input_channel_count;
    const char* main_input_port_type;
    bool has_main_output;
    uint32_t main_output_channel_count;
    const char* main_output_port_type;
};

// Main thread; select only while deactivated.
struct clap_plugin_audio_ports_config {
    uint32_t (*count)(const clap_plugin* plugin);
    bool (*get)(const clap_plugin* plugin, uint32_t index, clap_audio_ports_config* config);
    bool (*select)(const clap_plugin* plugin, clap_id config_id);
};

enum : uint32_t {
    CLAP_PARAM_IS_STEPPED = 1 << 0,
    CLAP_PARAM_IS_PERIODIC = 1 << 1,
    CLAP_PARAM_IS_HIDDEN = 1 << 2,
    CLAP_PARAM_IS_READONLY = 1 << 3,
    CLAP_PARAM_IS_BYPASS = 1 << 4,
    CLAP_PARAM_IS_AUTOMATABLE = 1 << 5,
    CLAP_PARAM_IS_MODULATABLE = 1 << 10,
    CLAP_PARAM_REQUIRES_PROCESS = 1 << 15,
    CLAP_PARAM_IS_ENUM = 1 << 16,
};

struct clap_param_info {
    clap_id id;
    uint32_t flags;
    void* cookie;
    char name[kNameSize];
    char module[kPathSize];
    double min_value;
    double max_value;
    double default_value;
};

// Main thread, except flush: on the audio thread while active, else on the main thread.
struct clap_plugin_params {
    uint32_t (*count)(const clap_plugin* plugin);
    bool (*get_info)(const clap_plugin* plugin, uint32_t param_index, clap_param_info* param_info);
    bool (*get_value)(const clap_plugin* plugin, clap_id param_id, double* out_value);
    bool (*value_to_text)(const clap_plugin* plugin, clap_id param_id, double value, char* out_buffer,
                          uint32_t out_buffer_capacity);
    bool (*text_to_value)(const clap_plugin* plugin, clap_id param_id, const char* param_value_text, double* out_value);
    void (*flush)(const clap_plugin* plugin, const clap_input_events* in, const clap_output_events* out);
};

struct clap_host_params {
    void (*rescan)(const clap_host* host, uint32_t flags);
    void (*clear)(const clap_host* host, clap_id param_id, uint32_t flags);
    void (*request_flush)(const clap_host* host);  // any thread but the audio thread
};

// Main thread.
struct clap_plugin_state {
    bool (*save)(const clap_plugin* plugin, const clap_ostream* stream);
    bool (*load)(const clap_plugin* plugin, const clap_istream* stream);
};

struct clap_host_state {
    void (*mark_dirty)(const clap_host* host);
};

struct clap_plugin_latency {
    uint32_t (*get)(const clap_plugin* plugin);
};

struct clap_plugin_tail {
    uint32_t (*get)(const clap_plugin* plugin);
};

constexpr const char* kWindowApiWin32 = "win32";
constexpr const char* kWindowApiX11 = "x11";

struct clap_window {
    const char* api;
    union {
        unsigned long x11;
        void* win32;
        void* ptr;
    };
};

struct clap_gui_resize_hints {
    bool can_resize_horizontally;
    bool can_resize_vertically;
    bool preserve_aspect_ratio;
    uint32_t aspect_ratio_width;
    uint32_t aspect_ratio_height;
};

// Main thread, every call.
struct clap_plugin_gui {
    bool (*is_api_supported)(const clap_plugin* plugin, const char* api, bool is_floating);
    bool (*get_preferred_api)(const clap_plugin* plugin, const char** api, bool* is_floating);
    bool (*create)(const clap_plugin* plugin, const char* api, bool is_floating);
    void (*destroy)(const clap_plugin* plugin);
    bool (*set_scale)(const clap_plugin* plugin, double scale);
    bool (*get_size)(const clap_plugin* plugin, uint32_t* width, uint32_t* height);
    bool (*can_resize)(const clap_plugin* plugin);
    bool (*get_resize_hints)(const clap_plugin* plugin, clap_gui_resize_hints* hints);
    bool (*adjust_size)(const clap_plugin* plugin, uint32_t* width, uint32_t* height);
    bool (*set_size)(const clap_plugin* plugin, uint32_t width, uint32_t height);
    bool (*set_parent)(const clap_plugin* plugin, const clap_window* window);
    bool (*set_transient)(const clap_plugin* plugin, const clap_window* window);
    void (*suggest_title)(const clap_plugin* plugin, const char* title);
    bool (*show)(const clap_plugin* plugin);
    bool (*hide)(const clap_plugin* plugin);
};

struct clap_host_gui {
    void (*resize_hints_changed)(const clap_host* host);
    bool (*request_resize)(const clap_host* host, uint32_t width, uint32_t height);
    bool (*request_show)(const clap_host* host);
    bool (*request_hide)(const clap_host* host);
    void (*closed)(const clap_host* host, bool was_destroyed);
};

enum : int32_t {
    CLAP_LOG_DEBUG = 0,
    CLAP_LOG_INFO = 1,
    CLAP_LOG_WARNING = 2,
    CLAP_LOG_ERROR = 3,
    CLAP_LOG_FATAL = 4,
    CLAP_LOG_HOST_MISBEHAVING = 5,
    CLAP_LOG_PLUGIN_MISBEHAVING = 6,
};

struct clap_host_log {
    void (*log)(const clap_host* host, int32_t severity, const char* message);
};

// Any thread.
struct clap_host_thread_check {
    bool (*is_main_thread)(const clap_host* host);
    bool (*is_audio_thread)(const clap_host* host);
};

// --- factory presets ------------------------------------------------------------------------
// A preset-discovery factory from get_factory tells hosts' preset browsers what presets there
// are and where; the plug-in's preset-load extension loads one by its location and key.

constexpr const char* kPresetDiscoveryFactoryId = "clap.preset-discovery-factory/2";
constexpr const char* kPresetDiscoveryFactoryIdCompat = "clap.preset-discovery-factory/draft-2";
constexpr const char* kExtPresetLoad = "clap.preset-load/2";
constexpr const char* kExtPresetLoadCompat = "clap.preset-load.draft/2";

enum : uint32_t {
    CLAP_PRESET_DISCOVERY_LOCATION_FILE = 0,
    CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN = 1,  // inside the plug-in itself; the location is null
};

enum : uint32_t {
    CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT = 1 << 0,
    CLAP_PRESET_DISCOVERY_IS_USER_CONTENT = 1 << 1,
};

struct clap_universal_plugin_id {
    const char* abi;  // "clap"
    const char* id;   // the plug-in descriptor's id
};

using clap_timestamp = uint64_t;

// The host's; calls on it for one location at a time.
struct clap_preset_discovery_metadata_receiver {
    void* receiver_data;
    void (*on_error)(const clap_preset_discovery_metadata_receiver* receiver, int32_t os_error,
                     const char* error_message);
    // False: call it nothing more.
    bool (*begin_preset)(const clap_preset_discovery_metadata_receiver* receiver, const char* name,
                         const char* load_key);
    void (*add_plugin_id)(const clap_preset_discovery_metadata_receiver* receiver, const clap_universal_plugin_id* id);
    void (*set_soundpack_id)(const clap_preset_discovery_metadata_receiver* receiver, const char* soundpack_id);
    void (*set_flags)(const clap_preset_discovery_metadata_receiver* receiver, uint32_t flags);
    void (*add_creator)(const clap_preset_discovery_metadata_receiver* receiver, const char* creator);
    void (*set_description)(const clap_preset_discovery_metadata_receiver* receiver, const char* description);
    void (*set_timestamps)(const clap_preset_discovery_metadata_receiver* receiver, clap_timestamp creation_time,
                           clap_timestamp modification_time);
    void (*add_feature)(const clap_preset_discovery_metadata_receiver* receiver, const char* feature);
    void (*add_extra_info)(const clap_preset_discovery_metadata_receiver* receiver, const char* key,
                           const char* value);
};

struct clap_preset_discovery_filetype {
    const char* name;
    const char* description;
    const char* file_extension;
};

struct clap_preset_discovery_location {
    uint32_t flags;
    const char* name;
    uint32_t kind;
    const char* location;  // null for CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN
};

struct clap_preset_discovery_soundpack;  // not offered by us

struct clap_preset_discovery_provider_descriptor {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
};

struct clap_preset_discovery_provider {
    const clap_preset_discovery_provider_descriptor* desc;
    void* provider_data;
    bool (*init)(const clap_preset_discovery_provider* provider);  // declares the locations
    void (*destroy)(const clap_preset_discovery_provider* provider);
    bool (*get_metadata)(const clap_preset_discovery_provider* provider, uint32_t location_kind, const char* location,
                         const clap_preset_discovery_metadata_receiver* receiver);
    const void* (*get_extension)(const clap_preset_discovery_provider* provider, const char* extension_id);
};

// The host's, handed to create.
struct clap_preset_discovery_indexer {
    clap_version_t clap_version;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    void* indexer_data;
    bool (*declare_filetype)(const clap_preset_discovery_indexer* indexer,
                             const clap_preset_discovery_filetype* filetype);
    bool (*declare_location)(const clap_preset_discovery_indexer* indexer,
                             const clap_preset_discovery_location* location);
    bool (*declare_soundpack)(const clap_preset_discovery_indexer* indexer,
                              const clap_preset_discovery_soundpack* soundpack);
    const void* (*get_extension)(const clap_preset_discovery_indexer* indexer, const char* extension_id);
};

// Every call thread-safe.
struct clap_preset_discovery_factory {
    uint32_t (*count)(const clap_preset_discovery_factory* factory);
    const clap_preset_discovery_provider_descriptor* (*get_descriptor)(const clap_preset_discovery_factory* factory,
                                                                       uint32_t index);
    const clap_preset_discovery_provider* (*create)(const clap_preset_discovery_factory* factory,
                                                    const clap_preset_discovery_indexer* indexer,
                                                    const char* provider_id);
};

// Main thread.
struct clap_plugin_preset_load {
    bool (*from_location)(const clap_plugin* plugin, uint32_t location_kind, const char* location,
                          const char* load_key);
};

struct clap_host_preset_load {
    void (*on_error)(const clap_host* host, uint32_t location_kind, const char* location, const char* load_key,
                     int32_t os_error, const char* message);
    void (*loaded)(const clap_host* host, uint32_t location_kind, const char* location, const char* load_key);
};

// Layouts as the C declarations give them on x86-64.
static_assert(sizeof(clap_plugin_entry) == 40);
static_assert(sizeof(clap_plugin_descriptor) == 88);
static_assert(sizeof(clap_plugin) == 96);
static_assert(sizeof(clap_host) == 88);
static_assert(sizeof(clap_event_header) == 16);
static_assert(sizeof(clap_event_param_value) == 56);
static_assert(offsetof(clap_event_param_value, value) == 48);
static_assert(sizeof(clap_event_param_gesture) == 20);
static_assert(sizeof(clap_audio_buffer) == 32);
static_assert(sizeof(clap_process) == 64);
static_assert(sizeof(clap_param_info) == 1320);
static_assert(offsetof(clap_param_info, min_value) == 1296);
static_assert(sizeof(clap_audio_port_info) == 288);
static_assert(sizeof(clap_audio_ports_config) == 304);
static_assert(sizeof(clap_window) == 16);
static_assert(sizeof(clap_preset_discovery_metadata_receiver) == 88);
static_assert(sizeof(clap_preset_discovery_location) == 32);
static_assert(sizeof(clap_preset_discovery_provider_descriptor) == 40);
static_assert(sizeof(clap_preset_discovery_provider) == 48);
static_assert(sizeof(clap_preset_discovery_indexer) == 88);

}  // namespace kx::clap
