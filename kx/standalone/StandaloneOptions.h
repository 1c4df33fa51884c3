#pragma once
// The standalone program's command line.

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "kx/Parameters.h"
#include "kx/PluginDescriptor.h"
#include "kx/Presets.h"

namespace kx::standalone {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct StandaloneOptions {
    bool help = false;
    bool version = false;
    bool connect = false;   // to the first physical ports
    int captureInputs = 1;  // physical capture ports taken by --connect: one feeds both inputs
    bool editor = true;
    bool reset = false;                                            // the defaults, not the saved settings
    bool listPresets = false;
    std::string preset;                                            // --preset NAME: applied before the assignments
    std::vector<std::pair<std::string, std::string>> assignments;  // --set NAME=VALUE, in order
};

// Throws UsageError for anything it does not understand.
StandaloneOptions parseOptions(const std::vector<std::string>& arguments);

// Sets each assignment: NAME is a parameter's name (any case) or its symbol; VALUE a plain
// number within 0..1 (the normalised value, as the other tools take it) or the value as the
// editor shows it, with its unit or an option's name ("12 dB", "Mono"). Throws UsageError.
void applyAssignments(const std::vector<std::pair<std::string, std::string>>& assignments, Parameters& parameters);

// Sets every parameter to the preset's value; NAME is a preset's key or its name (any case).
// Throws UsageError, with nothing changed, for a name no preset has.
void applyPreset(const std::string& name, std::span<const Preset> presets, Parameters& parameters);

// One line per preset: its key, its name and what it is for.
std::string presetList(std::span<const Preset> presets);

std::string helpText(const std::string& program, const PluginDescriptor& descriptor, const Parameters& parameters);

}  // namespace kx::standalone
