// The module's exported entry: the plug-in factory with the one plug-in the module holds, and
// the preset-discovery factory that tells hosts' browsers of its factory presets.
// Compiled into each module, not into a library, so that the linker keeps it.

#include <cstring>
#include <string>

#include "kx/AudioPlugin.h"
#include "kx/Presets.h"
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

// One provider: the factory presets, inside the plug-in itself.
struct PresetProvider {
    std::string id;
    std::string name;
    std::string vendor;
    clap_preset_discovery_provider_descriptor record;

    explicit PresetProvider(const PluginDescriptor& d)
        : id(std::string(d.identifier) + ".factory-presets"),
          name(std::string(d.shortName) + " factory presets"),
          vendor(d.vendor),
          record{kClapVersion, id.c_str(), name.c_str(), vendor.c_str()}
    {
    }
};

const clap_preset_discovery_provider_descriptor& presetProvider()
{
    static const PresetProvider provider(pluginDescriptor());
    return provider.record;
}

bool declarePresetLocation(const clap_preset_discovery_provider* provider)
{
    const auto* indexer = static_cast<const clap_preset_discovery_indexer*>(provider->provider_data);
    if (indexer->declare_location == nullptr) return false;
    const clap_preset_discovery_location location{CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT, "Factory presets",
                                                  CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr};
    return indexer->declare_location(indexer, &location);
}

// Every preset of the list, each with its key to load it by and the plug-in it is for.
bool describePresets(uint32_t kind, const char* location, const clap_preset_discovery_metadata_receiver* receiver)
{
    if (receiver == nullptr || receiver->begin_preset == nullptr) return false;
    if (kind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN || location != nullptr) {
        if (receiver->on_error != nullptr) receiver->on_error(receiver, 0, "no presets there: they are in the plug-in");
        return false;
    }
    const clap_universal_plugin_id plugin{"clap", published().id};
    for (const Preset& preset : pluginPresets()) {
        const std::string name(preset.name);
        const std::string key(preset.key);
        const std::string purpose(preset.purpose);
        if (!receiver->begin_preset(receiver, name.c_str(), key.c_str())) break;
        if (receiver->add_plugin_id != nullptr) receiver->add_plugin_id(receiver, &plugin);
        if (receiver->set_flags != nullptr) receiver->set_flags(receiver, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
        if (receiver->add_creator != nullptr) receiver->add_creator(receiver, published().vendor);
        if (receiver->set_description != nullptr) receiver->set_description(receiver, purpose.c_str());
    }
    return true;
}

const clap_preset_discovery_factory kPresetDiscovery{
    .count = [](const clap_preset_discovery_factory*) -> uint32_t { return pluginPresets().empty() ? 0 : 1; },
    .get_descriptor = [](const clap_preset_discovery_factory*, uint32_t index)
        -> const clap_preset_discovery_provider_descriptor* {
        return index == 0 && !pluginPresets().empty() ? &presetProvider() : nullptr;
    },
    .create = [](const clap_preset_discovery_factory*, const clap_preset_discovery_indexer* indexer,
                 const char* id) -> const clap_preset_discovery_provider* {
        if (indexer == nullptr || id == nullptr || std::strcmp(id, presetProvider().id) != 0) return nullptr;
        try {
            return new clap_preset_discovery_provider{
                .desc = &presetProvider(),
                .provider_data = const_cast<clap_preset_discovery_indexer*>(indexer),
                .init = declarePresetLocation,
                .destroy = [](const clap_preset_discovery_provider* provider) { delete provider; },
                .get_metadata = [](const clap_preset_discovery_provider*, uint32_t kind, const char* location,
                                   const clap_preset_discovery_metadata_receiver* receiver) {
                    return describePresets(kind, location, receiver);
                },
                .get_extension = [](const clap_preset_discovery_provider*, const char*) -> const void* {
                    return nullptr;
                },
            };
        } catch (...) {
            return nullptr;
        }
    },
};

const void* factoryNamed(const char* id)
{
    if (id == nullptr) return nullptr;
    if (std::strcmp(id, kPluginFactoryId) == 0) return &kFactory;
    if (std::strcmp(id, kPresetDiscoveryFactoryId) == 0 || std::strcmp(id, kPresetDiscoveryFactoryIdCompat) == 0)
        return &kPresetDiscovery;
    return nullptr;
}

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
    .get_factory = [](const char* id) { return kx::clap::factoryNamed(id); },
};
