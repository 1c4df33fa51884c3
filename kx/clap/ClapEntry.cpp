// The module's exported entry: the plug-in factory with the one plug-in the module holds.
// Compiled into each module, not into a library, so that the linker keeps it.

#include <cstring>
#include <string>

#include "kx/AudioPlugin.h"
#include "kx/clap/ClapInterface.h"
#include "kx/clap/ClapPlugAdapter.h"

namespace kx::clap {
namespace {

const char* featureOf(EffectKind kind) { return kind == EffectKind::kDistortion ? "distortion" : "utility"; }

// The descriptor as CLAP publishes it; its strings live as long as the module.
struct PublishedDescriptor {
    std::string id;
    std::string name;
    std::string vendor;
    std::string version;
    std::string description;
    const char* features[4];
    clap_plugin_descriptor record;

    explicit PublishedDescriptor(const PluginDescriptor& d)
        : id(d.identifier),
          name(d.name),
          vendor(d.vendor),
          version(d.version),
          description(d.description),
          features{isInstrument(d) ? "instrument" : "audio-effect", featureOf(d.kind), "stereo", nullptr},
          record{kClapVersion, id.c_str(), name.c_str(),    vendor.c_str(),      "",
                 "",           "",         version.c_str(), description.c_str(), features}
    {
    }
};

const clap_plugin_descriptor& published()
{
    static const PublishedDescriptor descriptor(pluginDescriptor());
    return descriptor.record;
}

const clap_plugin_factory kFactory{
    .get_plugin_count = [](const clap_plugin_factory*) -> uint32_t { return 1; },
    .get_plugin_descriptor = [](const clap_plugin_factory*,
                                uint32_t index) { return index == 0 ? &published() : nullptr; },
    .create_plugin = [](const clap_plugin_factory*, const clap_host* host, const char* id) -> const clap_plugin* {
        if (host == nullptr || id == nullptr || !isCompatible(host->clap_version) ||
            std::strcmp(id, published().id) != 0)
            return nullptr;
        try {
            return (new ClapPlugAdapter(host, &published()))->record();
        } catch (...) {
            return nullptr;  // no exception may cross into the host
        }
    },
};

}  // namespace
}  // namespace kx::clap

#if defined(_WIN32)
// Exported by the module definition file.
#define KX_CLAP_ENTRY extern "C"
#else
#define KX_CLAP_ENTRY extern "C" __attribute__((visibility("default")))
#endif

KX_CLAP_ENTRY const kx::clap::clap_plugin_entry clap_entry{
    .clap_version = kx::clap::kClapVersion,
    .init = [](const char*) { return true; },
    .deinit = [] {},
    .get_factory = [](const char* id) -> const void* {
        return id != nullptr && std::strcmp(id, kx::clap::kPluginFactoryId) == 0 ? &kx::clap::kFactory : nullptr;
    },
};
