#pragma once
// The constant record an effect publishes about itself.

#include <cstdint>
#include <string_view>

namespace kx {

// What kind of effect it is, for hosts' plug-in browsers; each format names it in its own words.
enum class EffectKind { kOther, kDistortion };

struct PluginDescriptor {
    std::string_view name;  // effect and product name; keep below 32 characters
    std::string_view shortName;
    std::string_view vendor;
    std::string_view version;
    int32_t vendorVersion;
    int32_t uniqueId;
    int32_t numInputs;   // 0..2
    int32_t numOutputs;  // 0..2
    bool hasAudioInput;
    bool hasAudioOutput;
    bool receivesMidi;
    bool sendsMidi;
    bool receivesTimeInfo;
    bool canBypass;
    bool hasEditor;
    int32_t blockSize;  // frames per process call when blockMode is kBlockModeSkip
    int32_t blockMode;  // kBlockModeSkip: fixed blocks; any other value: host blocks as they come
    // Reverse-domain name ("com.example.effect"): hosts keep it in projects, so it never
    // changes once released.
    std::string_view identifier = {};
    EffectKind kind = EffectKind::kOther;
    std::string_view description = {};  // one line for plug-in browsers
};

constexpr int32_t kBlockModeSkip = 2;

// Instruments take MIDI and produce audio without taking audio.
constexpr bool isInstrument(const PluginDescriptor& d)
{
    return d.hasAudioOutput && d.receivesMidi && !d.hasAudioInput;
}

}  // namespace kx
