#include "kx/EditorScale.h"

#include <algorithm>
#include <cmath>

namespace kx {

bool EditorScale::isValid(double scale) { return std::isfinite(scale) && scale >= kMinimum && scale <= kMaximum; }

EditorSize EditorScale::sizeAt(const EditorSize& layout, double scale)
{
    return {static_cast<int32_t>(std::lround(layout.width * scale)),
            static_cast<int32_t>(std::lround(layout.height * scale)), layout.reserved};
}

double EditorScale::fitting(const EditorSize& layout, int width, int height)
{
    // The width has the finer steps: taken as it is wherever the height that follows fits.
    double scale = static_cast<double>(width) / layout.width;
    if (std::lround(layout.height * scale) > height) scale = static_cast<double>(height) / layout.height;
    if (!(scale >= kMinimum)) return kMinimum;
    return std::min(scale, kMaximum);
}

double EditorScale::fromDpi(double dpi)
{
    if (!(dpi > 0.0) || !std::isfinite(dpi)) return 1.0;
    return std::clamp(dpi / kDefaultDpi, kMinimum, kMaximum);
}

}  // namespace kx
