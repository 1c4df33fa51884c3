#include "kx/EditorScale.h"

#include <algorithm>
#include <cmath>

namespace kx {

namespace {

constexpr double kRoundingMargin = 1e-6;  // pixels kept from a rounding boundary

}  // namespace

bool EditorScale::isValid(double scale) { return std::isfinite(scale) && scale >= kMinimum && scale <= kMaximum; }

EditorSize EditorScale::sizeAt(const EditorSize& layout, double scale)
{
    return {static_cast<int32_t>(std::lround(layout.width * scale)),
            static_cast<int32_t>(std::lround(layout.height * scale)), layout.reserved};
}

double EditorScale::fitting(const EditorSize& layout, int width, int height)
{
    // The largest scale at which each side, rounded, stays within what was asked: a side of
    // n pixels takes scales up to just below (n + 0.5) / layout side.
    const auto largest = [](int pixels, int layoutPixels) {
        return (static_cast<double>(pixels) + 0.5 - kRoundingMargin) / layoutPixels;
    };
    const double scale = std::min(largest(width, layout.width), largest(height, layout.height));
    if (!(scale >= kMinimum)) return kMinimum;
    return std::min(scale, kMaximum);
}

double EditorScale::fromDpi(double dpi)
{
    if (!(dpi > 0.0) || !std::isfinite(dpi)) return 1.0;
    return std::clamp(dpi / kDefaultDpi, kMinimum, kMaximum);
}

}  // namespace kx
