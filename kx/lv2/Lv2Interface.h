#pragma once
// Our own declarations of the part of the LV2 core interface we use: the plug-in descriptor
// a module hands out and the features a host passes in. Plain C layouts.

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

static_assert(sizeof(LV2_Descriptor) == 64);

}  // namespace kx::lv2
