#pragma once
// Factory presets: named settings of every parameter, declared once by the effect as constant
// data that exists before any instance (plug-in scanners and the LV2 Turtle writer read it
// without making one). Each format offers the list its own way; loading one is an edit of
// every parameter, by id, through the same paths as any other edit.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "kx/Parameters.h"

namespace kx {

struct PresetValue {
    uint32_t id;  // the parameter's id
    float value;  // normalised
};

struct Preset {
    // Lower case, digits and '_'. Hosts keep it (a CLAP load key, part of an LV2 preset's
    // URI, a command line): once released, it never changes.
    std::string_view key;
    std::string_view name;     // as preset browsers show it
    std::string_view purpose;  // one line
    std::span<const PresetValue> values;
};

// Defined once by each module that offers presets: the list in the order hosts show it.
std::span<const Preset> pluginPresets();

// The index of the preset whose key or name (letter case aside) is `text`; -1 when none is.
int findPreset(std::span<const Preset> presets, std::string_view text);

// The preset's value of each parameter of the set, by index. False, with `values` left
// alone, when the preset misses a parameter or names one the set does not have.
bool presetValues(const Preset& preset, const Parameters& parameters, std::vector<float>& values);

// Stores the preset's values through setValue, in its order; parameters it does not name are
// left alone. Allocates nothing: callable on the audio thread.
void applyPreset(const Preset& preset, Parameters& parameters);

}  // namespace kx
