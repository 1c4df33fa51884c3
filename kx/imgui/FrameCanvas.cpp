#include "kx/imgui/FrameCanvas.h"

#include "imgui.h"
#include "imgui_impl_opengl3.h"

#include "kx/imgui/OpenGl.h"
#include "kx/imgui/RegionPresent.h"

#include <GLFW/glfw3.h>

#include <cstddef>

namespace kx::imgui {

namespace {

// OpenGL names the Windows loader does not declare.
constexpr unsigned kGlRgba = 0x1908;
constexpr unsigned kGlUnsignedByte = 0x1401;

// The colour under everything the interface draws.
void clearAll()
{
    glClearColor(0.45f, 0.55f, 0.60f, 1.00f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void drawWhole(ImDrawData& frame, int width, int height)
{
    glDisable(GL_SCISSOR_TEST);
    glViewport(0, 0, width, height);
    clearAll();
    ImGui_ImplOpenGL3_RenderDrawData(&frame);
}

}  // namespace

void FrameCanvas::show(GLFWwindow* window, ImDrawData& frame, const Damage& damage, int framebufferWidth,
                       int framebufferHeight, Mode mode)
{
    if (!asked) {
        regionsShown = RegionPresent::available(window);
        asked = true;
        swapped = true;
    }
    if (mode == Mode::kWholeIntoBackBuffer || !regionsShown) {
        drawWhole(frame, framebufferWidth, framebufferHeight);
        glfwSwapBuffers(window);
        swapped = true;
        return;
    }
    // Never swapped from here on: the back buffer keeps the picture between frames.
    if (damage.whole || swapped) {
        drawWhole(frame, framebufferWidth, framebufferHeight);
        RegionPresent::show(window, {0, 0, framebufferWidth, framebufferHeight}, framebufferHeight);
        swapped = false;
        return;
    }
    glViewport(0, 0, framebufferWidth, framebufferHeight);
    drawRegions(frame, damage, framebufferHeight);
    if (mode == Mode::kRegionsCheckedAgainstWhole) compareWithWhole(frame, framebufferWidth, framebufferHeight);
    for (int r = 0; r < damage.count; ++r) RegionPresent::show(window, damage.regions[r], framebufferHeight);
}

// Each region cleared and drawn again with every command, each command's scissor box
// cut down to the region: inside it the same fragments in the same order as a whole
// redraw, outside it nothing.
void FrameCanvas::drawRegions(ImDrawData& frame, const Damage& damage, int height)
{
    glEnable(GL_SCISSOR_TEST);
    for (int r = 0; r < damage.count; ++r) {
        const PixelRect& region = damage.regions[r];
        glScissor(region.x0, height - region.y1, region.x1 - region.x0, region.y1 - region.y0);
        clearAll();
        for (int l = 0; l < frame.CmdListsCount; ++l) {
            for (ImDrawCmd& cmd : frame.CmdLists[l]->CmdBuffer) {
                savedClips.push_back(cmd.ClipRect);
                cmd.ClipRect = clipOf(intersect(scissorOf(cmd.ClipRect, frame), region), frame);
            }
        }
        ImGui_ImplOpenGL3_RenderDrawData(&frame);
        std::size_t next = 0;
        for (int l = 0; l < frame.CmdListsCount; ++l) {
            for (ImDrawCmd& cmd : frame.CmdLists[l]->CmdBuffer) cmd.ClipRect = savedClips[next++];
        }
        savedClips.clear();
    }
    glDisable(GL_SCISSOR_TEST);
}

// The back buffer as the regions left it, then as a whole redraw leaves it.
void FrameCanvas::compareWithWhole(ImDrawData& frame, int width, int height)
{
    using ReadPixels = void(
#if defined(_WIN32)
        __stdcall
#endif
            *)(int, int, int, int, unsigned, unsigned, void*);
    const auto readPixels = reinterpret_cast<ReadPixels>(glfwGetProcAddress("glReadPixels"));
    const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    regionPixels.resize(size);
    wholePixels.resize(size);
    readPixels(0, 0, width, height, kGlRgba, kGlUnsignedByte, regionPixels.data());
    drawWhole(frame, width, height);
    readPixels(0, 0, width, height, kGlRgba, kGlUnsignedByte, wholePixels.data());
    long long differing = 0;
    for (std::size_t i = 0; i < size; i += 4) {
        if (regionPixels[i] != wholePixels[i] || regionPixels[i + 1] != wholePixels[i + 1] ||
            regionPixels[i + 2] != wholePixels[i + 2])
            ++differing;
    }
    compared.fetch_add(1, std::memory_order_relaxed);
    differingPixels.fetch_add(differing, std::memory_order_relaxed);
}

}  // namespace kx::imgui
