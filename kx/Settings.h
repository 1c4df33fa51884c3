#pragma once
// An effect's settings as bytes, for a host's project or a settings file: the normalised
// value of every parameter, by id, in a small self-describing record.
//
//   offset  size  what (little-endian)
//   0       4     "KXST"
//   4       2     version of the writer (1); a reader takes any version
//   6       2     bytes per entry (8); a later writer may append fields to its entries
//   8       4     the plug-in's unique id: a record of another plug-in is refused
//   12      4     entry count
//   16      ...   entries: parameter id (uint32), normalised value (float32)
//
// A later version may add parameters: ids this one does not know are skipped, and a
// parameter the record lacks goes back to its default. A record that cannot be read
// whole changes nothing.

#include "kx/Parameters.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kx {

enum class SettingsStatus {
    kLoaded,
    kEmpty,        // no bytes at all
    kNotSettings,  // does not begin as a settings record
    kOtherPlugin,  // the record of another plug-in
    kTruncated,    // shorter than its header says
    kTooLarge,     // longer than any record can be
    kDamaged,      // sizes that do not add up, a value outside 0..1, an id twice
};

// One line for a user: what is wrong with the record.
const char* describe(SettingsStatus status);

class Settings {
public:
    static constexpr uint16_t kVersion = 1;
    static constexpr std::size_t kMaxBytes = 64 * 1024;

    static std::vector<uint8_t> save(const Parameters& parameters, uint32_t pluginId);
    // All or nothing: on any status but kLoaded, no value has changed.
    static SettingsStatus load(Parameters& parameters, uint32_t pluginId, std::span<const uint8_t> record);
    // The values a record holds, by parameter index, without setting them; `values` is
    // left alone unless the status is kLoaded.
    static SettingsStatus read(const Parameters& parameters, uint32_t pluginId, std::span<const uint8_t> record,
                               std::vector<float>& values);
};

}  // namespace kx
