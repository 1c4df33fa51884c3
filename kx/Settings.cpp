#include "kx/Settings.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace kx {

namespace {

constexpr uint8_t kMagic[4] = {'K', 'X', 'S', 'T'};
constexpr std::size_t kHeaderBytes = 16;
constexpr uint16_t kEntryBytes = 8;

void put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t get32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

const char* describe(SettingsStatus status)
{
    switch (status) {
    case SettingsStatus::kLoaded:
        return "settings loaded";
    case SettingsStatus::kEmpty:
        return "the settings are empty";
    case SettingsStatus::kNotSettings:
        return "these are not settings of this plug-in's framework";
    case SettingsStatus::kOtherPlugin:
        return "these are the settings of another plug-in";
    case SettingsStatus::kTruncated:
        return "the settings are cut short";
    case SettingsStatus::kTooLarge:
        return "the settings are larger than any this plug-in writes";
    case SettingsStatus::kDamaged:
        return "the settings are damaged";
    }
    return "the settings cannot be read";
}

std::vector<uint8_t> Settings::save(const Parameters& parameters, uint32_t pluginId)
{
    std::vector<uint8_t> out;
    out.reserve(kHeaderBytes + kEntryBytes * static_cast<std::size_t>(parameters.count()));
    for (const uint8_t byte : kMagic) out.push_back(byte);
    put16(out, kVersion);
    put16(out, kEntryBytes);
    put32(out, pluginId);
    put32(out, static_cast<uint32_t>(parameters.count()));
    for (int i = 0; i < parameters.count(); ++i) {
        put32(out, parameters.descriptors[static_cast<std::size_t>(i)].id);
        uint32_t bits = 0;
        const float value = parameters.value(i);
        std::memcpy(&bits, &value, sizeof bits);
        put32(out, bits);
    }
    return out;
}

SettingsStatus Settings::load(Parameters& parameters, uint32_t pluginId, std::span<const uint8_t> record)
{
    std::vector<float> values;
    const SettingsStatus status = read(parameters, pluginId, record, values);
    if (status != SettingsStatus::kLoaded) return status;
    for (int i = 0; i < parameters.count(); ++i) parameters.setValue(i, values[static_cast<std::size_t>(i)]);
    return SettingsStatus::kLoaded;
}

SettingsStatus Settings::read(const Parameters& parameters, uint32_t pluginId, std::span<const uint8_t> record,
                              std::vector<float>& values)
{
    if (record.empty()) return SettingsStatus::kEmpty;
    if (record.size() > kMaxBytes) return SettingsStatus::kTooLarge;
    if (record.size() < sizeof kMagic || std::memcmp(record.data(), kMagic, sizeof kMagic) != 0)
        return SettingsStatus::kNotSettings;
    if (record.size() < kHeaderBytes) return SettingsStatus::kTruncated;
    const uint8_t* p = record.data();
    const uint16_t entryBytes = get16(p + 6);
    if (get32(p + 8) != pluginId) return SettingsStatus::kOtherPlugin;
    const uint32_t count = get32(p + 12);
    if (entryBytes < kEntryBytes) return SettingsStatus::kDamaged;
    if (count > (kMaxBytes - kHeaderBytes) / entryBytes) return SettingsStatus::kDamaged;
    const std::size_t expected = kHeaderBytes + static_cast<std::size_t>(count) * entryBytes;
    if (record.size() < expected) return SettingsStatus::kTruncated;
    if (record.size() > expected) return SettingsStatus::kDamaged;

    // Every value is read and checked before the first one is handed out.
    std::vector<float> read(static_cast<std::size_t>(parameters.count()));
    std::vector<bool> seen(read.size(), false);
    for (int i = 0; i < parameters.count(); ++i)
        read[static_cast<std::size_t>(i)] = parameters.descriptors[static_cast<std::size_t>(i)].defaultValue;
    for (uint32_t e = 0; e < count; ++e) {
        const uint8_t* entry = p + kHeaderBytes + static_cast<std::size_t>(e) * entryBytes;
        const uint32_t bits = get32(entry + 4);
        float value = 0.0f;
        std::memcpy(&value, &bits, sizeof value);
        if (!(value >= 0.0f && value <= 1.0f)) return SettingsStatus::kDamaged;
        const int index = parameters.indexOfId(get32(entry));
        if (index < 0) continue;  // a parameter of a later version
        if (seen[static_cast<std::size_t>(index)]) return SettingsStatus::kDamaged;
        seen[static_cast<std::size_t>(index)] = true;
        read[static_cast<std::size_t>(index)] = value;
    }
    values = std::move(read);
    return SettingsStatus::kLoaded;
}

}  // namespace kx
