#pragma once
// The bundle's description in Turtle, made from the effect's own descriptor and parameters,
// so that names, symbols, ranges, defaults and options cannot drift from the code.

#include <string>

#include "kx/Parameters.h"
#include "kx/PluginDescriptor.h"

namespace kx::lv2 {

// The plug-in's URI: hosts keep it in projects, so it never changes once released.
std::string pluginUri(const PluginDescriptor& descriptor);

// manifest.ttl: the plug-in, its binary and where its description is.
std::string manifest(const PluginDescriptor& descriptor, const std::string& binary, const std::string& description);
// The plug-in's description: its ports, in the order the binding connects them.
std::string description(const PluginDescriptor& descriptor, const Parameters& parameters);

}  // namespace kx::lv2
