#include "kx/Presets.h"

#include <algorithm>
#include <cctype>

namespace kx {

namespace {

bool sameLetters(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

int findPreset(std::span<const Preset> presets, std::string_view text)
{
    for (std::size_t i = 0; i < presets.size(); ++i) {
        if (presets[i].key == text || sameLetters(presets[i].name, text)) return static_cast<int>(i);
    }
    return -1;
}

bool presetValues(const Preset& preset, const Parameters& parameters, std::vector<float>& values)
{
    std::vector<float> found(static_cast<std::size_t>(parameters.count()), 0.0f);
    std::vector<bool> named(found.size(), false);
    for (const PresetValue& v : preset.values) {
        const int index = parameters.indexOfId(v.id);
        if (index < 0) return false;
        found[static_cast<std::size_t>(index)] = v.value;
        named[static_cast<std::size_t>(index)] = true;
    }
    if (std::find(named.begin(), named.end(), false) != named.end()) return false;
    values = std::move(found);
    return true;
}

void applyPreset(const Preset& preset, Parameters& parameters)
{
    for (const PresetValue& v : preset.values) {
        const int index = parameters.indexOfId(v.id);
        if (index >= 0) parameters.setValue(index, v.value);
    }
}

}  // namespace kx
