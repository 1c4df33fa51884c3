#pragma once
// Whether a built frame needs drawing, and where: the one place that decides it, from
// what the frame would draw rather than from what a widget says, so that no widget can
// forget to ask for a redraw.
//
// Each frame's draw data (vertices, indices, commands with their clip rectangles and
// textures, the display rectangle and framebuffer scale) is compared with the last
// frame taken. Nothing changed: nothing to draw. Only vertices moved: the regions their
// triangles covered before and cover now, in framebuffer pixels; every pixel outside
// them gets exactly the same fragments as before, so keeps its colour. Anything else
// (the first frame, a new framebuffer size or scale, commands or indices that differ,
// or an invalidation from outside) asks for the whole framebuffer.

#include "imgui.h"

#include <atomic>
#include <vector>

namespace kx::imgui {

// Framebuffer pixels [x0, x1) x [y0, y1), origin at the top left.
struct PixelRect {
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    bool operator==(const PixelRect&) const = default;
};

struct Damage {
    static constexpr int kMaxRegions = 4;  // more regions are merged into these
    int count = 0;                         // 0: the picture shown is this frame's
    bool whole = false;                    // the whole framebuffer (one region)
    PixelRect regions[kMaxRegions];
};

// The scissor box the OpenGL 3 renderer makes of a clip rectangle, in `frame`'s
// framebuffer pixels from the top left.
PixelRect scissorOf(const ImVec4& clip, const ImDrawData& frame);
// The clip rectangle the renderer turns into exactly `scissor`, where `frame`'s scale
// is a power of two and its display position whole pixels (FrameDamage regions only
// come from such frames); an empty one for an empty box.
ImVec4 clipOf(const PixelRect& scissor, const ImDrawData& frame);
PixelRect intersect(const PixelRect& a, const PixelRect& b);

class FrameDamage {
public:
    // The picture shown can no longer be trusted (exposed, shown again, focus changed,
    // the context's textures rebuilt): the next frame is drawn whole. Any thread.
    void invalidate() { stale.store(true, std::memory_order_relaxed); }
    bool invalidated() const { return stale.load(std::memory_order_relaxed); }

    // Compares `frame` with the frame last taken and takes it as the new last one.
    // `framebufferWidth` and `framebufferHeight` are the window's framebuffer size.
    Damage take(const ImDrawData& frame, int framebufferWidth, int framebufferHeight);

private:
    struct Command {
        ImVec4 clip;
        ImTextureID texture;
        unsigned vertexOffset;
        unsigned indexOffset;
        unsigned elements;
        bool operator==(const Command& other) const;
    };
    struct List {
        std::vector<ImDrawVert> vertices;
        std::vector<ImDrawIdx> indices;
        std::vector<Command> commands;
    };
    struct Frame {
        int framebufferWidth = 0;
        int framebufferHeight = 0;
        ImVec2 displayPos;
        ImVec2 displaySize;
        ImVec2 scale;
        int lists = 0;
    };

    bool sameLayout(const ImDrawData& frame, const Frame& now) const;
    void changedRegions(const ImDrawData& frame, Damage& damage);
    void keep(const ImDrawData& frame, const Frame& now);

    std::atomic<bool> stale{true};
    Frame last;
    std::vector<List> lists;
    std::vector<unsigned char> vertexChanged;  // scratch, per vertex of one list
};

}  // namespace kx::imgui
