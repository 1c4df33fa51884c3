#include "kx/imgui/FrameCanvas.h"

#include "imgui.h"
#include "imgui_impl_opengl3.h"

#include "kx/imgui/OpenGl.h"
#include "kx/imgui/RegionPresent.h"

#include <GLFW/glfw3.h>

#include <cstddef>

namespace kx::imgui {

namespace {

// OpenGL 3.0 names the Windows loader does not declare.
constexpr unsigned kGlFramebuffer = 0x8D40;
constexpr unsigned kGlReadFramebuffer = 0x8CA8;
constexpr unsigned kGlDrawFramebuffer = 0x8CA9;
constexpr unsigned kGlRenderbuffer = 0x8D41;
constexpr unsigned kGlColorAttachment0 = 0x8CE0;
constexpr unsigned kGlFramebufferComplete = 0x8CD5;
constexpr unsigned kGlRgba8 = 0x8058;
constexpr unsigned kGlNearest = 0x2600;
constexpr unsigned kGlRedBits = 0x0D52;
constexpr unsigned kGlGreenBits = 0x0D53;
constexpr unsigned kGlBlueBits = 0x0D54;
constexpr int kChannelBits = 8;  // the offscreen target's; the window's must match for equal pixels

// The colour under everything the interface draws.
void clearAll()
{
    glClearColor(0.45f, 0.55f, 0.60f, 1.00f);
    glClear(GL_COLOR_BUFFER_BIT);
}

template <typename Call>
bool take(Call& call, const char* name)
{
    call = reinterpret_cast<Call>(glfwGetProcAddress(name));
    return call != nullptr;
}

}  // namespace

void FrameCanvas::show(GLFWwindow* window, ImDrawData& frame, const Damage& damage, int framebufferWidth,
                       int framebufferHeight)
{
    if (!ensureTarget(window, framebufferWidth, framebufferHeight)) {
        glViewport(0, 0, framebufferWidth, framebufferHeight);
        clearAll();
        ImGui_ImplOpenGL3_RenderDrawData(&frame);
        glfwSwapBuffers(window);
        return;
    }
    calls.bindFramebuffer(kGlFramebuffer, framebuffer);
    glViewport(0, 0, width, height);
    const bool whole = damage.whole || fresh;
    if (whole) {
        glDisable(GL_SCISSOR_TEST);
        clearAll();
        ImGui_ImplOpenGL3_RenderDrawData(&frame);
        fresh = false;
    } else {
        drawRegions(frame, damage);
    }
    glDisable(GL_SCISSOR_TEST);  // the copies are scissored too
    calls.bindFramebuffer(kGlReadFramebuffer, framebuffer);
    calls.bindFramebuffer(kGlDrawFramebuffer, 0);
    if (whole || !regionsShown) {
        calls.blitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, kGlNearest);
        calls.bindFramebuffer(kGlFramebuffer, 0);
        glfwSwapBuffers(window);
        return;
    }
    // Only the regions go to the back buffer and on to the screen, which holds the rest.
    for (int r = 0; r < damage.count; ++r) {
        const PixelRect& region = damage.regions[r];
        calls.blitFramebuffer(region.x0, height - region.y1, region.x1, height - region.y0, region.x0,
                              height - region.y1, region.x1, height - region.y0, GL_COLOR_BUFFER_BIT, kGlNearest);
    }
    calls.bindFramebuffer(kGlFramebuffer, 0);
    for (int r = 0; r < damage.count; ++r) RegionPresent::show(window, damage.regions[r], height);
}

// Each region cleared and drawn again with every command, each command's scissor box
// cut down to the region: inside it the same fragments in the same order as a whole
// redraw, outside it nothing.
void FrameCanvas::drawRegions(ImDrawData& frame, const Damage& damage)
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
}

bool FrameCanvas::loadCalls()
{
    return take(calls.genFramebuffers, "glGenFramebuffers") &&
           take(calls.deleteFramebuffers, "glDeleteFramebuffers") &&
           take(calls.bindFramebuffer, "glBindFramebuffer") && take(calls.genRenderbuffers, "glGenRenderbuffers") &&
           take(calls.deleteRenderbuffers, "glDeleteRenderbuffers") &&
           take(calls.bindRenderbuffer, "glBindRenderbuffer") &&
           take(calls.renderbufferStorage, "glRenderbufferStorage") &&
           take(calls.framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
           take(calls.checkFramebufferStatus, "glCheckFramebufferStatus") &&
           take(calls.blitFramebuffer, "glBlitFramebuffer");
}

// A colour target of the framebuffer's size, made again when the size changes. Refused
// for good (until release) when the calls are missing, the target is incomplete, or the
// window's channels are not 8 bits (the copy would round differently from drawing).
bool FrameCanvas::ensureTarget(GLFWwindow* window, int targetWidth, int targetHeight)
{
    if (refused) return false;
    if (framebuffer != 0 && targetWidth == width && targetHeight == height) return true;
    if (!loaded) {
        GLint bits[3] = {};
        glGetIntegerv(kGlRedBits, &bits[0]);
        glGetIntegerv(kGlGreenBits, &bits[1]);
        glGetIntegerv(kGlBlueBits, &bits[2]);
        loaded = true;
        refused = !loadCalls() || bits[0] != kChannelBits || bits[1] != kChannelBits || bits[2] != kChannelBits;
        if (refused) return false;
        regionsShown = RegionPresent::available(window);
    }
    if (framebuffer == 0) {
        calls.genFramebuffers(1, &framebuffer);
        calls.genRenderbuffers(1, &renderbuffer);
    }
    calls.bindRenderbuffer(kGlRenderbuffer, renderbuffer);
    calls.renderbufferStorage(kGlRenderbuffer, kGlRgba8, targetWidth, targetHeight);
    calls.bindRenderbuffer(kGlRenderbuffer, 0);
    calls.bindFramebuffer(kGlFramebuffer, framebuffer);
    calls.framebufferRenderbuffer(kGlFramebuffer, kGlColorAttachment0, kGlRenderbuffer, renderbuffer);
    const bool complete = calls.checkFramebufferStatus(kGlFramebuffer) == kGlFramebufferComplete;
    calls.bindFramebuffer(kGlFramebuffer, 0);
    if (!complete) {
        release();
        refused = true;
        loaded = true;
        return false;
    }
    width = targetWidth;
    height = targetHeight;
    fresh = true;
    return true;
}

void FrameCanvas::release()
{
    if (framebuffer != 0) {
        calls.deleteFramebuffers(1, &framebuffer);
        calls.deleteRenderbuffers(1, &renderbuffer);
    }
    framebuffer = 0;
    renderbuffer = 0;
    width = 0;
    height = 0;
    refused = false;
    loaded = false;
}

}  // namespace kx::imgui
