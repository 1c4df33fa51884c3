// X11: GLX_MESA_copy_sub_buffer, which Mesa's drivers offer (its software renderers
// among them): a region of the back buffer copied to the window.

#include "kx/imgui/RegionPresent.h"

#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#define GLFW_EXPOSE_NATIVE_GLX
#include <GLFW/glfw3native.h>

#include <atomic>

namespace kx::imgui {

namespace {

using CopySubBuffer = void (*)(Display*, GLXDrawable, int, int, int, int);
// The same for every context of the process's GL library.
std::atomic<CopySubBuffer> copySubBuffer{nullptr};

}  // namespace

bool RegionPresent::available(GLFWwindow*)
{
    if (glfwExtensionSupported("GLX_MESA_copy_sub_buffer") != GLFW_TRUE) return false;
    copySubBuffer.store(reinterpret_cast<CopySubBuffer>(glfwGetProcAddress("glXCopySubBufferMESA")));
    return copySubBuffer.load() != nullptr;
}

void RegionPresent::show(GLFWwindow* window, const PixelRect& region, int framebufferHeight)
{
    copySubBuffer.load()(glfwGetX11Display(), glfwGetGLXWindow(window), region.x0, framebufferHeight - region.y1,
                         region.x1 - region.x0, region.y1 - region.y0);
}

}  // namespace kx::imgui
