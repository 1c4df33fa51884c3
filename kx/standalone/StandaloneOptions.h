#pragma once
// The standalone program's command line.

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "kx/Parameters.h"
#include "kx/PluginDescriptor.h"

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
    std::vector<std::pair<std::string, std::string>> assignments;  // --set NAME=VALUE, in order
};

// Throws UsageError for anything it does not understand.
StandaloneOptions parseOptions(const std::vector<std::string>& arguments);

// Sets each assignment: NAME is a parameter's name (any case) or its symbol; VALUE a plain
// number within 0..1 (the normalised value, as the other tools take it) or the value as the
// editor shows it, with its unit or an option's name ("12 dB", "Mono"). Throws UsageError.
void applyAssignments(const std::vector<std::pair<std::string, std::string>>& assignments, Parameters& parameters);

std::string helpText(const std::string& program, const PluginDescriptor& descriptor, const Parameters& parameters);

}  // namespace kx::standalone
