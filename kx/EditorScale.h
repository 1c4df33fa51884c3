#pragma once
// How large an editor is drawn. A scale of 1 is the layout's own pixel size; the display's
// scale (a HiDPI screen's 1.5 or 2) and the user's resizing both set it, and the size in
// pixels follows from it, keeping the layout's aspect ratio.

#include "kx/AudioPluginEditor.h"

namespace kx {

class EditorScale {
public:
    static constexpr double kMinimum = 0.5;
    static constexpr double kMaximum = 4.0;
    static constexpr double kDefaultDpi = 96.0;  // the dots per inch of scale 1

    // Finite and within [kMinimum, kMaximum].
    static bool isValid(double scale);
    // The layout's size at `scale`, rounded to whole pixels.
    static EditorSize sizeAt(const EditorSize& layout, double scale);
    // The largest scale, within the limits, whose size fits in width x height; a size that
    // comes from sizeAt gives its scale back.
    static double fitting(const EditorSize& layout, int width, int height);
    // The scale that a desktop's dots per inch ask for, within the limits; 1 for a value
    // that says nothing (0, negative, not a number).
    static double fromDpi(double dpi);
};

}  // namespace kx
