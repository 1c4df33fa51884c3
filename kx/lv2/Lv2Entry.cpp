// The module's exported entry: the descriptor of the one plug-in the module holds.
// Compiled into each module, not into a library, so that the linker keeps it.

#include <cmath>
#include <cstdint>
#include <string>

#include "kx/AudioPlugin.h"
#include "kx/lv2/Lv2Interface.h"
#include "kx/lv2/Lv2PlugAdapter.h"
#include "kx/lv2/Lv2Turtle.h"

namespace kx::lv2 {
namespace {

Lv2PlugAdapter& of(LV2_Handle instance) { return *static_cast<Lv2PlugAdapter*>(instance); }

const LV2_Descriptor& descriptor()
{
    static const std::string uri = pluginUri(pluginDescriptor());
    static const LV2_Descriptor record{
        .URI = uri.c_str(),
        .instantiate = [](const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const*) -> LV2_Handle {
            // No signal path can run at these.
            if (!std::isfinite(rate) || rate <= 0.0 || rate > 1.0e7) return nullptr;
            try {
                return new Lv2PlugAdapter(rate);
            } catch (...) {
                return nullptr;  // no exception may cross into the host
            }
        },
        .connect_port = [](LV2_Handle instance, uint32_t port, void* data) { of(instance).connect(port, data); },
        .activate = [](LV2_Handle instance) { of(instance).activate(); },
        .run = [](LV2_Handle instance, uint32_t frames) { of(instance).run(frames); },
        .deactivate = [](LV2_Handle) {},
        .cleanup = [](LV2_Handle instance) { delete &of(instance); },
        .extension_data = [](const char*) -> const void* { return nullptr; },
    };
    return record;
}

}  // namespace
}  // namespace kx::lv2

extern "C" __attribute__((visibility("default"))) const kx::lv2::LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &kx::lv2::descriptor() : nullptr;
}
