#pragma once
// The bundle's description in Turtle, made from the effect's own descriptor and parameters,
// so that names, symbols, ranges, defaults and options cannot drift from the code.

#include <span>
#include <string>

#include "kx/Parameters.h"
#include "kx/PluginDescriptor.h"
#include "kx/Presets.h"

namespace kx::lv2 {

// The plug-in's URI: hosts keep it in projects, so it never changes once released. Its
// editor's is the same with "#ui".
std::string pluginUri(const PluginDescriptor& descriptor);
std::string uiUri(const PluginDescriptor& descriptor);
// A factory preset's: the plug-in's with "#preset-" and the preset's key.
std::string presetUri(const PluginDescriptor& descriptor, const Preset& preset);

// manifest.ttl: the plug-in and its editor, their binaries, the factory presets, and where the
// description is (the presets' values are there too).
std::string manifest(const PluginDescriptor& descriptor, const std::string& binary, const std::string& uiBinary,
                     const std::string& description, std::span<const Preset> presets);
// The plug-in's description: its ports, in the order the binding connects them, and the factory
// presets as the port values hosts restore.
std::string description(const PluginDescriptor& descriptor, const Parameters& parameters,
                        std::span<const Preset> presets);

}  // namespace kx::lv2
