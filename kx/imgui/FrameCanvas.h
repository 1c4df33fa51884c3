#pragma once
// Where the render thread draws a frame and how it reaches the screen.
//
// Where the driver can show regions of the back buffer without a swap (RegionPresent),
// the window is never swapped: its back buffer keeps the last picture whole, only the
// damaged regions are drawn again (each cleared and drawn with every command, scissored
// to it) and those regions are shown. Elsewhere every frame that changed is cleared and
// drawn whole and swapped, and nothing is assumed of the back buffer after a swap.
// Both draw into the window's own buffer: an offscreen target of another pixel format
// would round the blending of smoothed edges differently from the window's.
// Render thread, with the window's context current.

#include "kx/imgui/FrameDamage.h"

#include <atomic>
#include <vector>

struct GLFWwindow;
struct ImDrawData;

namespace kx::imgui {

class FrameCanvas {
public:
    enum class Mode {
        kRegions,
        // Tests: every frame drawn in regions is read back, drawn whole and read back
        // again, and the pixels where the two differ are counted.
        kRegionsCheckedAgainstWhole,
        // Tests' reference: every frame cleared, drawn whole and swapped.
        kWholeIntoBackBuffer,
    };

    FrameCanvas() = default;
    FrameCanvas(const FrameCanvas&) = delete;
    FrameCanvas& operator=(const FrameCanvas&) = delete;

    // Draws `damage` of `frame` and shows the result in `window`.
    void show(GLFWwindow* window, ImDrawData& frame, const Damage& damage, int framebufferWidth, int framebufferHeight,
              Mode mode);
    // At every opening: the driver is asked again.
    void reset() { asked = false; }

    // Frames compared in kRegionsCheckedAgainstWhole, and pixels that differed. Any thread.
    int framesCompared() const { return compared.load(std::memory_order_relaxed); }
    long long pixelsDiffering() const { return differingPixels.load(std::memory_order_relaxed); }

private:
    void drawRegions(ImDrawData& frame, const Damage& damage, int height);
    void compareWithWhole(ImDrawData& frame, int width, int height);

    bool asked = false;
    bool regionsShown = false;       // the driver shows regions of the back buffer
    bool swapped = false;            // the last frame was swapped: the back buffer holds nothing known
    std::vector<ImVec4> savedClips;  // the frame's own clip rectangles while a region is drawn
    std::vector<unsigned char> regionPixels;
    std::vector<unsigned char> wholePixels;
    std::atomic<int> compared{0};
    std::atomic<long long> differingPixels{0};
};

}  // namespace kx::imgui
