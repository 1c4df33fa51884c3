#pragma once
// Where the render thread draws a frame: into an offscreen framebuffer of its own, which
// keeps the last picture whole, so that only the damaged regions are drawn again (each
// cleared and drawn with every command, scissored to it). Where the driver can show
// regions of the back buffer, only those regions are copied there and shown; else the
// whole picture is copied into the back buffer and swapped. Nothing is assumed of the
// back buffer after a swap. Where the driver cannot give such a framebuffer, or its pixels
// would not match the window's, every frame drawn is drawn whole into the back buffer.
// Render thread, with the window's context current.

#include "kx/imgui/FrameDamage.h"

#include <vector>

struct GLFWwindow;
struct ImDrawData;

namespace kx::imgui {

class FrameCanvas {
public:
    FrameCanvas() = default;
    FrameCanvas(const FrameCanvas&) = delete;
    FrameCanvas& operator=(const FrameCanvas&) = delete;

    // Draws `damage` of `frame` and shows the result in `window`.
    void show(GLFWwindow* window, ImDrawData& frame, const Damage& damage, int framebufferWidth,
              int framebufferHeight);
    // Frees the GL objects; before the context goes. A later draw starts afresh.
    void release();

private:
#if defined(_WIN32)
#define KX_GL_CALL __stdcall
#else
#define KX_GL_CALL
#endif
    // The framebuffer object calls, which the Windows loader leaves out; taken from the
    // context on both systems.
    struct Calls {
        void(KX_GL_CALL* genFramebuffers)(int, unsigned*);
        void(KX_GL_CALL* deleteFramebuffers)(int, const unsigned*);
        void(KX_GL_CALL* bindFramebuffer)(unsigned, unsigned);
        void(KX_GL_CALL* genRenderbuffers)(int, unsigned*);
        void(KX_GL_CALL* deleteRenderbuffers)(int, const unsigned*);
        void(KX_GL_CALL* bindRenderbuffer)(unsigned, unsigned);
        void(KX_GL_CALL* renderbufferStorage)(unsigned, unsigned, int, int);
        void(KX_GL_CALL* framebufferRenderbuffer)(unsigned, unsigned, unsigned, unsigned);
        unsigned(KX_GL_CALL* checkFramebufferStatus)(unsigned);
        void(KX_GL_CALL* blitFramebuffer)(int, int, int, int, int, int, int, int, unsigned, unsigned);
    };
#undef KX_GL_CALL

    bool loadCalls();
    bool ensureTarget(GLFWwindow* window, int targetWidth, int targetHeight);
    void drawRegions(ImDrawData& frame, const Damage& damage);

    Calls calls{};
    bool loaded = false;
    bool regionsShown = false;  // the driver shows regions of the back buffer
    bool refused = false;  // the driver gave no usable framebuffer: draw into the back buffer
    unsigned framebuffer = 0;
    unsigned renderbuffer = 0;
    int width = 0;
    int height = 0;
    bool fresh = false;  // the target was just made: its contents are undefined
    std::vector<ImVec4> savedClips;  // the frame's own clip rectangles while a region is drawn
};

}  // namespace kx::imgui
