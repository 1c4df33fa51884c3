// The editor's edits on their way to the audio thread: order, gestures and a full ring.

#include <gtest/gtest.h>

#include <vector>

#include "kx/ParameterEdits.h"

namespace {

using kx::ParameterEdit;
using Kind = ParameterEdit::Kind;

std::vector<ParameterEdit> drained(kx::ParameterEdits& edits)
{
    std::vector<ParameterEdit> out;
    edits.drain([&](const ParameterEdit& edit) { out.push_back(edit); });
    return out;
}

TEST(ParameterEdits, AFullRingKeepsTheLatestValueAndTheGesturesAroundIt)
{
    kx::ParameterEdits edits(3);
    const std::size_t ring = kx::ParameterEdits::kRingSize;
    edits.push({Kind::kBegin, 1, 0.0f});
    for (std::size_t i = 1; i < ring; ++i) edits.push({Kind::kValue, 1, float(i)});
    // The ring is full from here on: these wait in the parameters' slots.
    edits.push({Kind::kValue, 1, 100.0f});
    edits.push({Kind::kValue, 2, 7.0f});
    edits.push({Kind::kValue, 1, 200.0f});
    edits.push({Kind::kEnd, 1, 0.0f});

    const std::vector<ParameterEdit> out = drained(edits);
    ASSERT_EQ(out.size(), ring + 3);
    EXPECT_EQ(out[0].kind, Kind::kBegin);
    for (std::size_t i = 1; i < ring; ++i) EXPECT_EQ(out[i].value, float(i));
    EXPECT_EQ(out[ring].index, 1);
    EXPECT_EQ(out[ring].value, 200.0f);
    EXPECT_EQ(out[ring + 1].kind, Kind::kEnd);
    EXPECT_EQ(out[ring + 2].index, 2);
    EXPECT_EQ(out[ring + 2].value, 7.0f);
    EXPECT_TRUE(drained(edits).empty());
}

}  // namespace
