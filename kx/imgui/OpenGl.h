#pragma once
// The OpenGL functions of the render thread's context: from libepoxy on Linux, from the
// OpenGL 3 renderer back-end's own loader on Windows (libepoxy has no Windows build here).

#if defined(_WIN32)
#include "imgui_impl_opengl3_loader.h"
#else
#include <epoxy/gl.h>
#endif

namespace kx::imgui {

class OpenGl {
public:
    // Makes the current context's functions callable; false below OpenGL 3.0.
    static bool load()
    {
#if defined(_WIN32)
        return imgl3wInit() == GL3W_OK;
#else
        return epoxy_gl_version() >= 30;
#endif
    }
};

}  // namespace kx::imgui
