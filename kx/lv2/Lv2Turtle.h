#pragma once
// The bundle's description in Turtle, made from the effect's own descriptor and parameters,
// so that names, symbols, ranges, defaults and options cannot drift from the code.

#include <string>

#include "kx/Parameters.h"
#include "kx/PluginDescriptor.h"

namespace kx::lv2 {

// The plug-in's URI: hosts keep it in projects, so it never changes once released. Its
// editor's is the same with "#ui".
std::string pluginUri(const PluginDescriptor& descriptor);
std::string uiUri(const PluginDescriptor& descriptor);

// manifest.ttl: the plug-in and its editor, their binaries and where the description is.
std::string manifest(const PluginDescriptor& descriptor, const std::string& binary, const std::string& uiBinary,
                     const std::string& description);
// The plug-in's description: its ports, in the order the binding connects them.
std::string description(const PluginDescriptor& descriptor, const Parameters& parameters);

}  // namespace kx::lv2
