#include "kx/imgui/ImguiEditor.h"

#include "kx/imgui/EventWait.h"
#include "kx/imgui/PlacementWatch.h"
#include "kx/imgui/PlatformWindow.h"

#include "imgui.h"
#include "imgui_impl_glfw.h"
#include "imgui_impl_opengl3.h"

#include "kx/imgui/OpenGl.h"

#include <GLFW/glfw3.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <system_error>

namespace kx::imgui {

namespace {

// GLFW keeps one display connection and one window list for the whole process.
// This lock serialises everything that touches them: initialisation and termination,
// window creation, set-up and tear-down, and each frame's event polling (events polled
// on one render thread may belong to another editor's window).
std::mutex guiMutex;
int editorInstances = 0;  // live editor objects; guarded by guiMutex
bool glfwReady = false;   // glfwInit has succeeded and no glfwTerminate followed; guarded by guiMutex

constexpr auto kHiddenCheckPeriod = std::chrono::milliseconds(50);
// How long frames go on being built on every tick after their last cause.
constexpr auto kSettleTime = std::chrono::milliseconds(500);
// How often a frame is built while nothing announces a change.
constexpr auto kRestingPeriod = std::chrono::seconds(1);
// How often news is looked for while nothing changes; input ends the wait early.
constexpr auto kNewsPeriod = std::chrono::milliseconds(33);

void reportGlfwError(int code, const char* description)
{
    std::fprintf(stderr, "Glfw Error %d, %s\n", code, description);
}

// Under guiMutex. GLFW is initialised when first needed, not when an editor is made.
bool initGlfw()
{
    if (glfwReady) return true;
    glfwSetErrorCallback(&reportGlfwError);
    PlatformWindow::prepareInit();
    if (glfwInit() != GLFW_TRUE) {
        std::fputs("Failed to init glfw!\n", stderr);
        return false;
    }
    glfwReady = true;
    return true;
}

void applyBaseStyle()
{
    ImGui::StyleColorsDark();
    ImGuiStyle& style = ImGui::GetStyle();
    style.FrameRounding = 0.0f;
    style.GrabRounding = 0.0f;
    style.Colors[ImGuiCol_FrameBg].w = 1.0f;
    style.Colors[ImGuiCol_FrameBgHovered] = style.Colors[ImGuiCol_FrameBg];
    style.Colors[ImGuiCol_FrameBgActive] = style.Colors[ImGuiCol_FrameBg];
    style.Colors[ImGuiCol_SliderGrabActive] = style.Colors[ImGuiCol_SliderGrab];
}

}  // namespace

ImguiEditor::ImguiEditor(int width, int height) : layout{width, height, 0}, size(layout)
{
    // GLFW itself is initialised at the first opening, not here.
    std::lock_guard lock(guiMutex);
    ++editorInstances;
}

ImguiEditor::~ImguiEditor()
{
    running.store(false);
    if (renderThread.joinable()) PlatformWindow::join(renderThread);
    std::lock_guard lock(guiMutex);
    if (--editorInstances == 0 && glfwReady) {
        glfwTerminate();
        glfwReady = false;
    }
}

bool ImguiEditor::open(void* parent)
{
    if (running.load()) return false;
    if (renderThread.joinable()) renderThread.join();
    if (!acceptsParent(parent)) return false;
    running.store(true);
    try {
        renderThread = std::thread(&ImguiEditor::run, this, parent);
    } catch (const std::system_error& error) {
        std::printf("Failed to start thread: %s\n", error.what());
        running.store(false);  // so that a later open can try again
        return false;
    }
    return true;
}

void ImguiEditor::close()
{
    running.store(false);
    if (renderThread.joinable()) PlatformWindow::join(renderThread);
}

const EditorSize* ImguiEditor::getSize() const
{
    size = EditorScale::sizeAt(layout, wantedScale.load());
    return &size;
}

void ImguiEditor::setSize(int newWidth, int newHeight)
{
    followDesktop.store(false);
    wantedScale.store(EditorScale::fitting(layout, newWidth, newHeight));
}

bool ImguiEditor::setScale(double scale)
{
    if (!EditorScale::isValid(scale)) return false;
    followDesktop.store(false);
    wantedScale.store(scale);
    return true;
}

EditorSize ImguiEditor::adjustSize(int newWidth, int newHeight) const
{
    return EditorScale::sizeAt(layout, EditorScale::fitting(layout, newWidth, newHeight));
}

void ImguiEditor::useDesktopScale(void* parent)
{
    double scale = 1.0;
    {
        std::lock_guard lock(guiMutex);
        scale = PlatformWindow::systemScale(parent, glfwReady);
    }
    wantedScale.store(scale);
    followDesktop.store(true);
}

bool ImguiEditor::windowIsOpen() const { return windowOpen.load(); }

void ImguiEditor::draw() {}

bool ImguiEditor::newsSinceLastFrame() { return true; }

void ImguiEditor::setupFonts(ImGuiIO&, float) {}

void ImguiEditor::setFramePeriod(std::chrono::milliseconds period) { framePeriodMs.store(period.count()); }

void ImguiEditor::run(void* parent)
{
    {
        std::lock_guard lock(guiMutex);
        if (!setUp(parent)) {
            std::fputs("Failed setup_open_gl\n", stderr);
            nativeHandle.store(0);
            running.store(false);
            return;
        }
    }
    windowOpen.store(true);
    frameLoop();
    windowOpen.store(false);
    nativeHandle.store(0);
    tearDown();
}

// On the host's thread, so that a parent the editor cannot go into is refused at once
// and nothing is opened.
bool ImguiEditor::acceptsParent(void* parent)
{
    std::lock_guard lock(guiMutex);
    return initGlfw() && PlatformWindow::isWindow(parent);
}

// Runs under guiMutex. On failure writes its reason and leaves no window behind.
bool ImguiEditor::setUp(void* parent)
{
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 0);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
    glfwWindowHint(GLFW_DECORATED, GLFW_FALSE);
    PlatformWindow::setCreationHints();
    drawnScale = wantedScale.load();
    const EditorSize start = EditorScale::sizeAt(layout, drawnScale);
    // Borderless and inside the host's window: its title is never shown.
    window = glfwCreateWindow(start.width, start.height, "", nullptr, nullptr);
    if (window == nullptr) {
        std::fputs("Failed to create glfw window\n", stderr);
        return false;
    }
    // Known at once: a host that embeds the window by its handle need not wait for the first frame.
    nativeHandle.store(PlatformWindow::nativeHandle(window));
    glfwSetWindowUserPointer(window, this);
    glfwSetMouseButtonCallback(window, &ImguiEditor::onMouseButton);
    glfwSetCursorPosCallback(window, &ImguiEditor::onCursorPos);
    glfwSetWindowFocusCallback(window, &ImguiEditor::onFocus);
    glfwSetWindowRefreshCallback(window, &ImguiEditor::onPictureLost);
    glfwSetWindowIconifyCallback(window, &ImguiEditor::onIconify);
    glfwSetFramebufferSizeCallback(window, &ImguiEditor::onFramebufferSize);
    damage.invalidate();

    // The host's window can still go away between open and here.
    if (const int error = PlatformWindow::attach(window, parent); error != 0) {
        std::printf("%d\n", error);
        PlatformWindow::destroy(window);
        window = nullptr;
        return false;
    }

    glfwMakeContextCurrent(window);
    glfwSwapInterval(1);
    if (!OpenGl::load()) {
        glfwMakeContextCurrent(nullptr);
        PlatformWindow::destroy(window);
        window = nullptr;
        std::fputs("Failed to initialize OpenGL loader!\n", stderr);
        return false;
    }

    IMGUI_CHECKVERSION();
    ImGui::SetCurrentContext(ImGui::CreateContext());
    ImGuiIO& io = ImGui::GetIO();
    // The layout is fixed: no settings file is read or written (the library's default
    // would put one in the host's current folder).
    io.IniFilename = nullptr;
    applyBaseStyle();
    // No input callbacks from the back-end: they would run on whichever render thread
    // polls the events, with that thread's context. The mouse comes from our own.
    ImGui_ImplGlfw_InitForOpenGL(window, false);
    double x = 0.0;
    double y = 0.0;
    glfwGetCursorPos(window, &x, &y);
    mouse.start(x, y);
    ImGui_ImplOpenGL3_Init("#version 130");
    setupFonts(io, static_cast<float>(drawnScale));
    io.FontGlobalScale = static_cast<float>(1.0 / drawnScale);
    // Build the font atlas and the GPU objects here, under the lock: font decompression
    // in Dear ImGui uses process-wide scratch state.
    ImGui_ImplOpenGL3_CreateDeviceObjects();
    return true;
}

// A frame is built on every tick while something may change it: mouse input or a button
// held, an invalidated picture, news from the derived editor (newsSinceLastFrame), a
// frame that differed from the one before, or any of these in the last kSettleTime
// (the GUI's own timers: double clicks, hover). Otherwise one is built every
// kRestingPeriod, which catches whatever changed without news; between them, news is
// looked for every kNewsPeriod and input wakes the loop at once. A frame built is drawn
// only where it differs from the picture shown.
void ImguiEditor::frameLoop()
{
    using Clock = std::chrono::steady_clock;
    bool wasShown = true;
    auto lastCause = Clock::now();
    auto lastBuilt = Clock::time_point{};
    auto lastMove = Clock::time_point{};
    bool eventsWaiting = true;
    while (running.load()) {
        const auto frameStart = Clock::now();
        // A new scale is drawn in the next frame, whole: the window and the fonts changed.
        if (followScale()) {
            lastCause = frameStart;
            damage.invalidate();
        }
        bool shown = false;
        bool build = false;
        FrameCanvas::Mode mode = FrameCanvas::Mode::kRegions;
        if (!eventsWaiting) {
            // Nothing came from the window system: no lock, no polling.
            if (newsSinceLastFrame() || drawingMode.load() == FrameCanvas::Mode::kWholeIntoBackBuffer)
                lastCause = frameStart;
            build = frameStart - lastCause < kSettleTime || frameStart - lastBuilt >= kRestingPeriod || !wasShown;
        }
        if (eventsWaiting || build) {
            std::lock_guard lock(guiMutex);
            glfwPollEvents();
            if (glfwWindowShouldClose(window)) break;
            mode = drawingMode.load();
            if (mode == FrameCanvas::Mode::kWholeIntoBackBuffer) damage.invalidate();
            // Drawn whole for a while after the window was moved: the system may put it on
            // screen some time after the move.
            if (placement.moved(window)) lastMove = frameStart;
            if (frameStart - lastMove < kSettleTime) damage.invalidate();
            if (mouse.busy() || damage.invalidated() || newsSinceLastFrame()) lastCause = frameStart;
            build = frameStart - lastCause < kSettleTime || frameStart - lastBuilt >= kRestingPeriod || !wasShown;
            if (build) {
                shown = glfwGetWindowAttrib(window, GLFW_VISIBLE) == GLFW_TRUE;  // viewable, parents included
                if (shown) {
                    ImGui_ImplGlfw_NewFrame();
                    scaleDisplay(ImGui::GetIO());
                    // In place of the back-end's polled state.
                    mouse.feed(ImGui::GetIO(), static_cast<float>(drawnScale));
                }
            }
        }
        if (!build) {
            eventsWaiting = EventWait::until(frameStart + kNewsPeriod);
            continue;
        }
        eventsWaiting = true;
        lastBuilt = frameStart;
        // Some hosts hide the editor's window instead of closing the editor: nothing is
        // drawn until it is shown again, which is looked for every 50 ms. A hidden window
        // loses the pointer, and with it the release of a button held there.
        if (!shown && wasShown) mouse.letGo();
        const bool wasShownBefore = wasShown;
        wasShown = shown;
        if (!shown) {
            std::this_thread::sleep_until(frameStart + kHiddenCheckPeriod);
            continue;
        }
        // Shown again: what the window showed before is gone.
        if (!wasShownBefore) damage.invalidate();
        ImGui_ImplOpenGL3_NewFrame();
        ImGui::NewFrame();
        draw();
        ImGui::Render();

        int framebufferWidth = 0;
        int framebufferHeight = 0;
        glfwGetFramebufferSize(window, &framebufferWidth, &framebufferHeight);
        ImDrawData& frame = *ImGui::GetDrawData();
        const Damage changed = damage.take(frame, framebufferWidth, framebufferHeight);
        if (changed.count > 0) {
            lastCause = frameStart;
            canvas.show(window, frame, changed, framebufferWidth, framebufferHeight, mode);
            presentedFrames.fetch_add(1, std::memory_order_relaxed);
        }
        std::this_thread::sleep_until(frameStart + std::chrono::milliseconds(framePeriodMs.load()));
    }
}

// Render thread, at the top of a frame: a scale set since the last one resizes the window
// and rebuilds the fonts at the new size, and says so; that frame is then drawn whole at it.
bool ImguiEditor::followScale()
{
    followDesktopScale();
    const double wanted = wantedScale.load();
    if (wanted == drawnScale) return false;
    drawnScale = wanted;
    const EditorSize target = EditorScale::sizeAt(layout, wanted);
    std::lock_guard lock(guiMutex);
    glfwSetWindowSize(window, target.width, target.height);
    buildFonts();
    return true;
}

// Render thread: the window moved to a monitor of another scale. The host learns the new
// size from getSize.
void ImguiEditor::followDesktopScale()
{
    if (!followDesktop.load()) return;
    const double desktop = PlatformWindow::windowScale(window);
    if (desktop > 0.0 && desktop != drawnScale) wantedScale.store(desktop);
}

// The back-end measured the window in the display's pixels: the frame is laid out in the
// layout's units and drawn into a framebuffer the scale times larger.
void ImguiEditor::scaleDisplay(ImGuiIO& io) const
{
    const auto scale = static_cast<float>(drawnScale);
    io.DisplaySize = ImVec2(io.DisplaySize.x / scale, io.DisplaySize.y / scale);
    io.DisplayFramebufferScale = ImVec2(io.DisplayFramebufferScale.x * scale, io.DisplayFramebufferScale.y * scale);
}

// Under guiMutex, between frames: the old atlas and its texture are released first.
void ImguiEditor::buildFonts()
{
    ImGuiIO& io = ImGui::GetIO();
    ImGui_ImplOpenGL3_DestroyFontsTexture();
    io.Fonts->Clear();
    setupFonts(io, static_cast<float>(drawnScale));
    io.FontGlobalScale = static_cast<float>(1.0 / drawnScale);
    ImGui_ImplOpenGL3_CreateFontsTexture();
}

void ImguiEditor::tearDown()
{
    std::lock_guard lock(guiMutex);
    canvas.reset();
    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplGlfw_Shutdown();
    // Closed by the host: leave the host's window before being destroyed. A window that
    // asked to close itself is destroyed where it is.
    if (!running.load()) PlatformWindow::detach(window);
    ImGui::DestroyContext();
    glfwMakeContextCurrent(nullptr);
    PlatformWindow::destroy(window);
    window = nullptr;
}

// The mouse reaches the editor whether or not its window has the keyboard focus (hosts
// rarely give it to an embedded window). These run on whichever render thread polled
// the event, under guiMutex; the window is alive for as long as it has them.
void ImguiEditor::onMouseButton(GLFWwindow* window, int button, int action, int)
{
    auto* editor = static_cast<ImguiEditor*>(glfwGetWindowUserPointer(window));
    const unsigned bit = 1u << button;
    if (action == GLFW_RELEASE && (editor->focusReleases & bit) != 0) {
        editor->focusReleases &= ~bit;
        return;
    }
    editor->mouse.button(button, action == GLFW_PRESS);
}

// GLFW follows a loss of the keyboard focus with a release of every button it holds,
// right after this call. Hosts move the focus on every click (the window manager
// focuses their top-level window, they pass the focus on to a proxy window of their
// own; a Windows host calls SetFocus on its own window), and those releases would end
// every drag where it began. They are dropped: a drag ends with the real release, or
// when the window is hidden or closed.
void ImguiEditor::onFocus(GLFWwindow* window, int focused)
{
    auto* editor = static_cast<ImguiEditor*>(glfwGetWindowUserPointer(window));
    editor->damage.invalidate();
    editor->focusReleases = 0;
    if (focused == GLFW_TRUE) return;
    for (int button = 0; button <= GLFW_MOUSE_BUTTON_LAST; ++button) {
        if (glfwGetMouseButton(window, button) == GLFW_PRESS) editor->focusReleases |= 1u << button;
    }
}

// Exposed (uncovered, mapped, the host's window moved over it), iconified or restored,
// resized: the window's picture is not the last one drawn.
void ImguiEditor::onPictureLost(GLFWwindow* window)
{
    static_cast<ImguiEditor*>(glfwGetWindowUserPointer(window))->damage.invalidate();
}

void ImguiEditor::onIconify(GLFWwindow* window, int) { onPictureLost(window); }

void ImguiEditor::onFramebufferSize(GLFWwindow* window, int, int) { onPictureLost(window); }

void ImguiEditor::onCursorPos(GLFWwindow* window, double x, double y)
{
    static_cast<ImguiEditor*>(glfwGetWindowUserPointer(window))->mouse.moved(x, y);
}

}  // namespace kx::imgui
