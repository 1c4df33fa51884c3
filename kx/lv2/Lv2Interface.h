#pragma once
// Our own declarations of the part of the LV2 interface we use: the plug-in descriptor a
// module hands out, the features a host passes in, and the UI extension's descriptor, idle
// interface, touch and resize features, and the options a host gives a UI. Plain C layouts.

#include <cstdint>

namespace kx::lv2 {

struct LV2_Feature {
    const char* URI;
    void* data;
};

using LV2_Handle = void*;

// Threads, as LV2 assigns them: instantiate, activate, deactivate and cleanup in the host's
// instantiation class; connect_port and run in its audio class.
struct LV2_Descriptor {
    const char* URI;
    LV2_Handle (*instantiate)(const LV2_Descriptor* descriptor, double sample_rate, const char* bundle_path,
                              const LV2_Feature* const* features);
    void (*connect_port)(LV2_Handle instance, uint32_t port, void* data_location);
    void (*activate)(LV2_Handle instance);
    void (*run)(LV2_Handle instance, uint32_t sample_count);
    void (*deactivate)(LV2_Handle instance);
    void (*cleanup)(LV2_Handle instance);
    const void* (*extension_data)(const char* uri);
};

// --- UI ----------------------------------------------------------------------------------------

using LV2UI_Handle = void*;
using LV2UI_Controller = void*;
using LV2UI_Widget = void*;
// port_protocol 0: the buffer is one float, a control port's value.
using LV2UI_Write_Function = void (*)(LV2UI_Controller controller, uint32_t port_index, uint32_t buffer_size,
                                      uint32_t port_protocol, const void* buffer);

// Every call on the host's UI thread.
struct LV2UI_Descriptor {
    const char* URI;
    LV2UI_Handle (*instantiate)(const LV2UI_Descriptor* descriptor, const char* plugin_uri, const char* bundle_path,
                                LV2UI_Write_Function write_function, LV2UI_Controller controller, LV2UI_Widget* widget,
                                const LV2_Feature* const* features);
    void (*cleanup)(LV2UI_Handle ui);
    void (*port_event)(LV2UI_Handle ui, uint32_t port_index, uint32_t buffer_size, uint32_t format, const void* buffer);
    const void* (*extension_data)(const char* uri);
};

// Returns non-zero once the UI has closed.
struct LV2UI_Idle_Interface {
    int (*idle)(LV2UI_Handle ui);
};

struct LV2UI_Touch {
    void* handle;
    void (*touch)(void* handle, uint32_t port_index, bool grabbed);
};

// The host's feature: the UI tells it its size. The UI's interface: the host tells the UI
// (its LV2UI_Handle as `handle`) the size it now has.
struct LV2UI_Resize {
    void* handle;
    int (*ui_resize)(void* handle, int width, int height);
};

// URIs as numbers, from the host's map feature.
using LV2_URID = uint32_t;
struct LV2_URID_Map {
    void* handle;
    LV2_URID (*map)(void* handle, const char* uri);
};

// One option: `key` (a mapped URI) has the value of `type` and `size` at `value`. A host passes
// an array ended by an option whose key is 0.
struct LV2_Options_Option {
    uint32_t context;  // 0: the instance itself
    uint32_t subject;
    LV2_URID key;
    uint32_t size;
    LV2_URID type;
    const void* value;
};

// The UI's: the host changes options after instantiation. Answers are status bits.
struct LV2_Options_Interface {
    uint32_t (*get)(LV2UI_Handle ui, LV2_Options_Option* options);
    uint32_t (*set)(LV2UI_Handle ui, const LV2_Options_Option* options);
};
constexpr uint32_t kOptionsSuccess = 0;
constexpr uint32_t kOptionsBadKey = 1u << 2;
constexpr uint32_t kOptionsBadValue = 1u << 3;

constexpr const char* kUridMap = "http://lv2plug.in/ns/ext/urid#map";
constexpr const char* kOptionsFeature = "http://lv2plug.in/ns/ext/options#options";
constexpr const char* kOptionsInterface = "http://lv2plug.in/ns/ext/options#interface";
constexpr const char* kUiScaleFactor = "http://lv2plug.in/ns/extensions/ui#scaleFactor";
constexpr const char* kAtomFloat = "http://lv2plug.in/ns/ext/atom#Float";
constexpr const char* kUiParent = "http://lv2plug.in/ns/extensions/ui#parent";
constexpr const char* kUiResize = "http://lv2plug.in/ns/extensions/ui#resize";
constexpr const char* kUiIdleInterface = "http://lv2plug.in/ns/extensions/ui#idleInterface";
constexpr const char* kUiTouch = "http://lv2plug.in/ns/extensions/ui#touch";
constexpr const char* kInstanceAccess = "http://lv2plug.in/ns/ext/instance-access";

// The feature with this URI among the host's, or null.
inline const void* featureData(const LV2_Feature* const* features, const char* uri)
{
    for (; features != nullptr && *features != nullptr; ++features) {
        const char* a = (*features)->URI;
        const char* b = uri;
        while (*a != '\0' && *a == *b) {
            ++a;
            ++b;
        }
        if (*a == *b) return (*features)->data;
    }
    return nullptr;
}

static_assert(sizeof(LV2_Descriptor) == 64);
static_assert(sizeof(LV2UI_Descriptor) == 40);

}  // namespace kx::lv2
