#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "kx/ParameterMapper.h"
#include "kx/Parameters.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(ParameterMapper, LinearTextHasTwoDecimals)
{
    EXPECT_EQ(kx::LinearMapper(-20, 40).toText(0.35f), "1.00");
    EXPECT_EQ(kx::LinearMapper(-50, 10).toText(0.4f), "-26.00");
    EXPECT_EQ(kx::LinearMapper(-10, 10).toText(0.5f), "0.00");
    EXPECT_EQ(kx::LinearMapper(-20, 40).toText(0.0f), "-20.00");
    EXPECT_EQ(kx::LinearMapper(-20, 40).toText(1.0f), "40.00");
    EXPECT_EQ(kx::LinearMapper(0, 1).toText(0.6f), "0.60");
    EXPECT_FLOAT_EQ(kx::LinearMapper(-20, 40).map(2.0f), 100.0f);  // not clamped
}

TEST(ParameterMapper, OptionsSplitTheRangeAndNeverIndexOutside)
{
    const kx::OptionMapper<3> mapper("Stereo", "Linked", "Mono");
    for (float x : {0.0f, 0.3333f, -1.0f, -kInf, kNaN}) {
        EXPECT_EQ(mapper.map(x), 0.0f) << x;
    }
    for (float x : {1.0f / 3.0f, 0.5f}) {
        EXPECT_EQ(mapper.toText(x), "Linked") << x;
    }
    for (float x : {2.0f / 3.0f, 0.9f, 1.0f, 1e30f, kInf}) {
        EXPECT_EQ(mapper.toText(x), "Mono") << x;
    }
}

struct Owner {
    void changed(int index, float value)
    {
        lastIndex = index;
        lastValue = value;
        ++calls;
    }
    int lastIndex = -1;
    float lastValue = 0;
    int calls = 0;
};

TEST(Parameters, SetValueClampsStoresAndNotifies)
{
    kx::Parameters set;
    Owner owner;
    EXPECT_EQ(set.addParameter(0.25f, "Plain", "dB", std::make_unique<kx::LinearMapper>(0, 1)), 0);
    EXPECT_EQ(
        set.addParameter(0.5f, "Notifying", "", std::make_unique<kx::LinearMapper>(0, 1), &Owner::changed, &owner), 1);
    EXPECT_EQ(set.count(), 2);
    EXPECT_EQ(set.value(0), 0.25f);
    set.setValue(0, 0.75f);  // a parameter without a callback calls none
    EXPECT_EQ(set.value(0), 0.75f);
    EXPECT_EQ(owner.calls, 0);

    set.setValue(1, 1.5f);
    EXPECT_EQ(set.value(1), 1.0f);
    EXPECT_EQ(owner.lastIndex, 1);
    EXPECT_EQ(owner.lastValue, 1.5f);  // the callback sees the value as given
    set.setValue(1, -0.2f);
    EXPECT_EQ(set.value(1), 0.0f);
    set.setValue(1, -kInf);  // infinities reach the callback clamped
    EXPECT_EQ(owner.lastValue, 0.0f);

    // Not a number, or an index outside the set: nothing stored, no callback.
    const int calls = owner.calls;
    set.setValue(1, kNaN);
    set.setValue(2, 0.7f);
    set.setValue(-1, 0.7f);
    EXPECT_EQ(set.value(1), 0.0f);
    EXPECT_EQ(owner.calls, calls);
    EXPECT_EQ(set.value(2), 0.0f);
    EXPECT_EQ(set.value(-1), 0.0f);
}

}  // namespace

namespace {

// The effect's own kinds of parameter: a range with a unit, and named options.
kx::Parameters textSet()
{
    kx::Parameters set;
    set.addParameter({10, "drive", "Drive", "dB", 0.35f}, std::make_unique<kx::LinearMapper>(-20, 40));
    set.addParameter({3, "stereo", "Stereo", "", 0.0f},
                     std::make_unique<kx::OptionMapper<3>>("Stereo", "Linked", "Mono"));
    return set;
}

TEST(Parameters, TextNamesTheValueItShowsWithOrWithoutItsUnit)
{
    const kx::Parameters set = textSet();
    EXPECT_EQ(set.indexOfId(10), 0);
    EXPECT_EQ(set.indexOfId(3), 1);
    EXPECT_EQ(set.indexOfId(0), -1);
    EXPECT_EQ(set.descriptors[0].symbol, "drive");

    // Every display text reads back as the value it shows.
    for (int step = 0; step <= 60; ++step) {
        const float x = static_cast<float>(step) / 60.0f;
        const std::optional<float> back = set.parse(0, set.displayText(0, x));
        ASSERT_TRUE(back.has_value()) << set.displayText(0, x);
        EXPECT_EQ(set.displayText(0, *back), set.displayText(0, x));
    }
    for (const char* text : {"1", "1.00", " 1.00 dB", "1dB", "+1 DB", "\t1.0 db "})
        EXPECT_NEAR(set.parse(0, text).value_or(-1.0f), 0.35f, 1e-6f) << text;
    EXPECT_EQ(set.parse(0, "100"), 1.0f);  // clamped to the range
    EXPECT_EQ(set.parse(0, "-1e9 dB"), 0.0f);
    for (const char* text : {"", "dB", "loud", "1.0.0", "nan", "inf", "1 dB dB", "0x10"})
        EXPECT_FALSE(set.parse(0, text).has_value()) << text;

    // Options by name in any case, or by number; they sit at 0, 0.5 and 1.
    EXPECT_EQ(set.parse(1, "Linked"), 0.5f);
    EXPECT_EQ(set.parse(1, " mono "), 1.0f);
    EXPECT_EQ(set.parse(1, "0"), 0.0f);
    EXPECT_EQ(set.parse(1, "2"), 1.0f);
    for (const char* text : {"3", "1.5", "-1", "Wide", ""}) EXPECT_FALSE(set.parse(1, text).has_value()) << text;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(set.displayText(1, *set.parse(1, set.descriptors[1].mapper->optionName(i))),
                  set.descriptors[1].mapper->optionName(i));
    EXPECT_EQ(set.descriptors[1].mapper->optionCount(), 3);
    EXPECT_EQ(set.descriptors[0].mapper->optionCount(), 0);
    EXPECT_FALSE(set.parse(2, "1").has_value());
}

}  // namespace
