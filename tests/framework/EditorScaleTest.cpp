// The editor's scale: which scales are taken, the size at a scale, the scale that fits a size
// a host or user asks for, and the scale of a desktop's dots per inch.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "kx/EditorScale.h"

namespace {

using kx::EditorScale;
using kx::EditorSize;

constexpr EditorSize kLayout{910, 237, 0};

bool operator==(const EditorSize& a, const EditorSize& b) { return a.width == b.width && a.height == b.height; }

TEST(EditorScale, TakesHalfToFourTimesAndNothingElse)
{
    for (const double scale : {0.5, 1.0, 1.25, 2.0, 4.0}) EXPECT_TRUE(EditorScale::isValid(scale)) << scale;
    for (const double scale : {0.0, -1.0, 0.499, 4.001, std::nan(""), std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity()})
        EXPECT_FALSE(EditorScale::isValid(scale)) << scale;
}

// Every size taken at a scale gives that size back through fitting, and fitting a size from
// a host never grows past it (but at the limits).
TEST(EditorScale, SizesRoundAndFittingKeepsThemWithinWhatWasAsked)
{
    EXPECT_TRUE(EditorScale::sizeAt(kLayout, 1.5) == (EditorSize{1365, 356, 0}));
    EXPECT_TRUE(EditorScale::sizeAt(kLayout, 2.0) == (EditorSize{1820, 474, 0}));
    for (double scale = EditorScale::kMinimum; scale <= EditorScale::kMaximum; scale += 0.01) {
        const EditorSize size = EditorScale::sizeAt(kLayout, scale);
        EXPECT_TRUE(EditorScale::sizeAt(kLayout, EditorScale::fitting(kLayout, size.width, size.height)) == size)
            << scale;
    }
    for (int width = 400; width <= 4000; width += 37) {
        for (int height = 100; height <= 1000; height += 29) {
            const double scale = EditorScale::fitting(kLayout, width, height);
            ASSERT_TRUE(EditorScale::isValid(scale)) << width << " x " << height;
            const EditorSize size = EditorScale::sizeAt(kLayout, scale);
            if (scale > EditorScale::kMinimum && scale < EditorScale::kMaximum) {
                EXPECT_LE(size.width, width);
                EXPECT_LE(size.height, height);
                // As large as fits: one of the two sides is reached.
                EXPECT_TRUE(size.width >= width - 4 || size.height == height) << width << " x " << height;
            }
        }
    }
}

TEST(EditorScale, DotsPerInchOf96AreOne)
{
    struct Case {
        double dpi;
        double scale;
    };
    for (const Case& c : {Case{96, 1.0}, Case{144, 1.5}, Case{192, 2.0}, Case{120, 1.25}, Case{24, 0.5},
                          Case{1000, 4.0}, Case{0, 1.0}, Case{-96, 1.0}, Case{std::nan(""), 1.0},
                          Case{std::numeric_limits<double>::infinity(), 1.0}})
        EXPECT_EQ(EditorScale::fromDpi(c.dpi), c.scale) << c.dpi;
}

}  // namespace
