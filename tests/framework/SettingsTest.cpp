// The settings record: what one version writes, this one and a later one read back; what
// cannot be read whole is refused and changes nothing.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "kx/ParameterMapper.h"
#include "kx/Parameters.h"
#include "kx/Settings.h"

namespace {

using kx::Settings;
using kx::SettingsStatus;

constexpr uint32_t kPlugin = 0x54573037;

void declare(kx::Parameters& set, bool withLaterParameter)
{
    set.addParameter({0, "drive", "Drive", "dB", 0.35f}, std::make_unique<kx::LinearMapper>(-20, 40));
    set.addParameter({7, "post_gain", "Post gain", "dB", 0.4f}, std::make_unique<kx::LinearMapper>(-50, 10));
    set.addParameter({3, "stereo", "Stereo", "", 0.0f},
                     std::make_unique<kx::OptionMapper<3>>("Stereo", "Linked", "Mono"));
    if (withLaterParameter)
        set.addParameter({42, "later", "Later", "", 0.25f}, std::make_unique<kx::LinearMapper>(0, 1));
}

std::vector<float> valuesOf(const kx::Parameters& set)
{
    std::vector<float> out;
    for (int i = 0; i < set.count(); ++i) out.push_back(set.value(i));
    return out;
}

TEST(Settings, RoundTripAndVersionsBothWays)
{
    kx::Parameters written;
    declare(written, false);
    written.setValue(0, 0.8f);
    written.setValue(1, 0.123456789f);
    written.setValue(2, 0.5f);
    const std::vector<uint8_t> record = Settings::save(written, kPlugin);
    EXPECT_EQ(record.size(), 16u + 3u * 8u);

    kx::Parameters read;
    declare(read, false);
    EXPECT_EQ(Settings::load(read, kPlugin, record), SettingsStatus::kLoaded);
    EXPECT_EQ(valuesOf(read), valuesOf(written));

    // A later version's record, with a parameter this one lacks: the rest loads.
    kx::Parameters later;
    declare(later, true);
    later.setValue(0, 0.1f);
    later.setValue(3, 0.9f);
    kx::Parameters older;
    declare(older, false);
    EXPECT_EQ(Settings::load(older, kPlugin, Settings::save(later, kPlugin)), SettingsStatus::kLoaded);
    EXPECT_EQ(older.value(0), 0.1f);

    // An older record lacks the later parameter: it takes its default.
    later.setValue(3, 0.9f);
    EXPECT_EQ(Settings::load(later, kPlugin, record), SettingsStatus::kLoaded);
    EXPECT_EQ(later.value(3), 0.25f);
    EXPECT_EQ(later.value(0), 0.8f);

    // A later writer's longer entries and version number are read all the same.
    std::vector<uint8_t> wider(record.begin(), record.begin() + 16);
    wider[4] = 9;
    wider[6] = 12;
    for (std::size_t e = 0; e < 3; ++e) {
        wider.insert(wider.end(), record.begin() + 16 + 8 * e, record.begin() + 24 + 8 * e);
        wider.insert(wider.end(), {0xAA, 0xBB, 0xCC, 0xDD});
    }
    kx::Parameters fromWider;
    declare(fromWider, false);
    EXPECT_EQ(Settings::load(fromWider, kPlugin, wider), SettingsStatus::kLoaded);
    EXPECT_EQ(valuesOf(fromWider), valuesOf(written));
}

TEST(Settings, RecordsThatCannotBeReadWholeAreRefusedAndChangeNothing)
{
    kx::Parameters source;
    declare(source, false);
    source.setValue(0, 0.9f);
    const std::vector<uint8_t> good = Settings::save(source, kPlugin);

    const auto withValue = [&](float value) {
        std::vector<uint8_t> r = good;
        std::memcpy(r.data() + 16 + 8 + 4, &value, sizeof value);
        return r;
    };
    std::vector<uint8_t> twice = good;
    std::memcpy(twice.data() + 16 + 8, twice.data() + 16, 4);  // the first id again
    std::vector<uint8_t> hugeCount = good;
    hugeCount[15] = 0x7f;
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    const std::vector<uint8_t> text = {'<', '?', 'x', 'm', 'l', ' ', 'v', 'e', 'r', 's', 'i', 'o',
                                       'n', '=', '1', '>', '<', 'a', '/', '>', ' ', ' ', ' ', ' '};
    const std::vector<uint8_t> huge(Settings::kMaxBytes + 1, 0);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        SettingsStatus status;
    };
    const Case cases[] = {
        {"empty", {}, SettingsStatus::kEmpty},
        {"magic only", {'K', 'X', 'S', 'T'}, SettingsStatus::kTruncated},
        {"header cut", std::vector<uint8_t>(good.begin(), good.begin() + 10), SettingsStatus::kTruncated},
        {"last entry cut", std::vector<uint8_t>(good.begin(), good.end() - 1), SettingsStatus::kTruncated},
        {"a byte too many", longer, SettingsStatus::kDamaged},
        {"text", text, SettingsStatus::kNotSettings},
        {"oversized", huge, SettingsStatus::kTooLarge},
        {"count beyond any size", hugeCount, SettingsStatus::kDamaged},
        {"NaN", withValue(std::numeric_limits<float>::quiet_NaN()), SettingsStatus::kDamaged},
        {"above 1", withValue(1.5f), SettingsStatus::kDamaged},
        {"below 0", withValue(-0.1f), SettingsStatus::kDamaged},
        {"an id twice", twice, SettingsStatus::kDamaged},
    };
    for (const Case& c : cases) {
        kx::Parameters target;
        declare(target, false);
        target.setValue(1, 0.7f);
        const std::vector<float> before = valuesOf(target);
        EXPECT_EQ(Settings::load(target, kPlugin, c.bytes), c.status) << c.what;
        EXPECT_EQ(valuesOf(target), before) << c.what;
        EXPECT_STRNE(kx::describe(c.status), kx::describe(SettingsStatus::kLoaded));
    }
    kx::Parameters target;
    declare(target, false);
    EXPECT_EQ(Settings::load(target, kPlugin + 1, good), SettingsStatus::kOtherPlugin);
    EXPECT_EQ(target.value(0), 0.35f);
}

}  // namespace
