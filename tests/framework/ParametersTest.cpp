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
