// The editor window's life as a host drives it, on a virtual X server.

#include "tests/editor/EmptyWorkingFolder.h"
#include "EditorTestSupport.h"
#include "plug/widgets/Widgets.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <X11/Xlib.h>

using editortest::HostWindow;
using editortest::TestEditor;
using editortest::waitFor;

TEST(ImguiEditor, ConstructingConnectsToNoDisplayAndStartsNoThread)
{
    const int threads = editortest::threadCount();
    const int sockets = editortest::socketCount();
    {
        TestEditor first;
        TestEditor second;
        EXPECT_EQ(editortest::threadCount(), threads);
        EXPECT_EQ(editortest::socketCount(), sockets);
        EXPECT_FALSE(first.windowIsOpen());
        first.close();  // never opened: nothing to stop
        EXPECT_FALSE(first.windowIsOpen());
    }
    EXPECT_EQ(editortest::threadCount(), threads);
    EXPECT_EQ(editortest::socketCount(), sockets);
}

TEST(ImguiEditor, OpensAsChildAtTheOriginOfTheHostWindowAndLeavesItAtClose)
{
    HostWindow host;
    TestEditor editor;
    ASSERT_TRUE(editor.open(host.parentHandle()));
    ASSERT_TRUE(waitFor([&] { return editor.windowIsOpen(); }));
    ASSERT_TRUE(waitFor([&] { return editor.frames.load() >= 3; }));
    EXPECT_FALSE(editor.open(host.parentHandle()));  // already running

    const auto children = host.children();
    ASSERT_EQ(children.size(), 1u);
    const editortest::ChildGeometry child = host.geometryOf(children[0]);
    EXPECT_EQ(child.x, 0);
    EXPECT_EQ(child.y, 0);
    EXPECT_EQ(child.width, TestEditor::kWidth);
    EXPECT_EQ(child.height, TestEditor::kHeight);
    EXPECT_TRUE(child.viewable);

    editor.close();
    EXPECT_FALSE(editor.windowIsOpen());
    EXPECT_TRUE(host.children().empty());
    EXPECT_EQ(editor.fontSetups.load(), 1);
}

TEST(ImguiEditor, OpensIdlesAndClosesFiftyTimes)
{
    HostWindow host;
    const int threads = editortest::threadCount();
    {
        TestEditor editor;
        for (int round = 0; round < 50; ++round) {
            ASSERT_TRUE(editor.open(host.parentHandle())) << "round " << round;
            ASSERT_TRUE(waitFor([&] { return editor.windowIsOpen(); })) << "round " << round;
            editor.idle();
            editor.close();
            ASSERT_FALSE(editor.windowIsOpen());
        }
        EXPECT_EQ(editor.fontSetups.load(), 50);
        EXPECT_TRUE(host.children().empty());
    }
    EXPECT_TRUE(waitFor([&] { return editortest::threadCount() == threads; }))
        << editortest::threadCount() << " threads, " << threads << " before";
}

TEST(ImguiEditor, ClickReachesTheEditorWithoutKeyboardFocus)
{
    HostWindow host;
    TestEditor editor;
    ASSERT_TRUE(editor.open(host.parentHandle()));
    ASSERT_TRUE(waitFor([&] { return editor.frames.load() >= 2; }));
    host.clickInside(host.children().at(0), 50, 50);
    EXPECT_TRUE(waitFor([&] { return editor.clicks.load() == 1; }));
}

namespace {

// Every editor here opens in an empty folder it may not write to.
[[maybe_unused]] const auto* const workingFolder =
    ::testing::AddGlobalTestEnvironment(new editortest::EmptyWorkingFolder);

// One knob, in an editor whose frames come as slowly as a test asks.
class KnobEditor : public kx::imgui::ImguiEditor {
public:
    static constexpr int kCentre = 73;  // cursor 50 + radius 23

    explicit KnobEditor(std::chrono::milliseconds framePeriod) : ImguiEditor(200, 200) { setFramePeriod(framePeriod); }
    ~KnobEditor() override { close(); }
    void idle() override {}

    std::atomic<float> value{0.5f};
    std::atomic<int> frames{0};

protected:
    void draw() override
    {
        ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
        ImGui::SetNextWindowSize(ImVec2(200.0f, 200.0f));
        ImGui::Begin("knob", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove);
        ImGui::SetCursorPos(ImVec2(50.0f, 50.0f));
        float v = value.load();
        plug::Knob("k", 23.0f, &v, 0.0f, 1.0f, false);
        value.store(v);
        ImGui::End();
        frames.fetch_add(1);
    }

};

}  // namespace

// Press, 60 pixels up and release, as real input, sent right after a frame of half a
// second has begun: the whole drag arrives before the next frame.
TEST(ImguiEditor, KnobDragWithinOneSlowFrameMovesTheKnobByTheWholeDrag)
{
    using namespace std::chrono_literals;
    HostWindow host;
    KnobEditor editor(500ms);
    ASSERT_TRUE(editor.open(host.parentHandle()));
    ASSERT_TRUE(waitFor([&] { return editor.frames.load() >= 2; }));
    void* child = reinterpret_cast<void*>(static_cast<std::uintptr_t>(host.children().at(0)));
    const editortest::Pointer pointer;
    pointer.moveTo(child, KnobEditor::kCentre, KnobEditor::kCentre);
    const int hovered = editor.frames.load() + 2;
    ASSERT_TRUE(waitFor([&] { return editor.frames.load() >= hovered; }));
    const int drawn = editor.frames.load();
    ASSERT_TRUE(waitFor([&] { return editor.frames.load() > drawn; }));
    pointer.press();
    for (int step = 1; step <= 6; ++step) pointer.moveTo(child, KnobEditor::kCentre, KnobEditor::kCentre - 10 * step);
    pointer.release();
    EXPECT_TRUE(waitFor([&] { return std::fabs(editor.value.load() - 0.8f) < 1e-5f; })) << editor.value.load();
}

TEST(ImguiEditor, HiddenEditorDrawsNothingAndDrawsAgainOnceShown)
{
    HostWindow host;
    TestEditor editor;
    editortest::FrameClock clock;
    ASSERT_TRUE(editor.open(host.parentHandle()));
    ASSERT_TRUE(waitFor([&] { return editor.frames.load() >= 3; }));
    for (int round = 0; round < 2; ++round) {
        host.setMapped(false);
        const int atHiding = editor.frames.load();
        ASSERT_TRUE(clock.waitFrames(30));  // about half a second, and many looks at the window
        EXPECT_LE(editor.frames.load(), atHiding + 1) << "only the frame under way when hidden";
        host.setMapped(true);
        EXPECT_TRUE(waitFor([&] { return editor.frames.load() >= atHiding + 5; }));
    }
}

TEST(ImguiEditor, ParentThatIsNoWindowIsRefusedWithoutAnyWindowOrThread)
{
    HostWindow host;
    void* destroyed = host.staleHandle();
    TestEditor editor;
    const int threads = editortest::threadCount();
    const std::size_t windows = host.topLevelWindows();
    for (void* parent : {static_cast<void*>(nullptr), reinterpret_cast<void*>(std::uintptr_t{0x3ffffff}), destroyed}) {
        testing::internal::CaptureStdout();
        const bool opened = editor.open(parent);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << parent;
        EXPECT_FALSE(opened) << parent;
        EXPECT_EQ(editortest::threadCount(), threads) << parent;
        EXPECT_EQ(host.topLevelWindows(), windows) << parent;
    }
    EXPECT_FALSE(editor.windowIsOpen());

    ASSERT_TRUE(editor.open(host.parentHandle()));
    EXPECT_TRUE(waitFor([&] { return editor.frames.load() >= 2; }));
    EXPECT_EQ(host.children().size(), 1u);
    EXPECT_EQ(host.topLevelWindows(), windows);
}

TEST(ImguiEditor, FailedInitialisationIsReportedAndALaterOpeningTriesAgain)
{
    const std::string display = std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "";
    HostWindow host;
    TestEditor editor;
    setenv("DISPLAY", ":64999", 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(editor.open(host.parentHandle()));
    const std::string errors = testing::internal::GetCapturedStderr();
    setenv("DISPLAY", display.c_str(), 1);

    EXPECT_FALSE(editor.windowIsOpen());
    EXPECT_NE(errors.find("Glfw Error 65544, "), std::string::npos) << errors;
    EXPECT_NE(errors.find("Failed to init glfw!\n"), std::string::npos) << errors;

    ASSERT_TRUE(editor.open(host.parentHandle()));
    EXPECT_TRUE(waitFor([&] { return editor.frames.load() >= 2; }));
}

TEST(ImguiEditor, HostDestroyingItsWindowBeforeClosingTheEditorIsSurvived)
{
    TestEditor editor;
    editortest::FrameClock clock;
    {
        HostWindow host;
        ASSERT_TRUE(editor.open(host.parentHandle()));
        ASSERT_TRUE(waitFor([&] { return editor.frames.load() >= 2; }));
    }                                   // takes the editor's window with it; the render thread's requests on it fail
    ASSERT_TRUE(clock.waitFrames(12));  // while the render thread goes on with the lost window
    editor.close();

    HostWindow host;
    const int drawn = editor.frames.load();
    ASSERT_TRUE(editor.open(host.parentHandle()));
    EXPECT_TRUE(waitFor([&] { return editor.frames.load() >= drawn + 5; }));
    EXPECT_EQ(host.children().size(), 1u);
}

namespace {

std::atomic<int> hostErrors{0};

int countHostError(Display*, XErrorEvent*)
{
    hostErrors.fetch_add(1);
    return 0;
}

}  // namespace

// Xlib has one error handler for the whole process, and it is the host's.
TEST(ImguiEditor, ErrorsOfTheHostsConnectionsReachTheHostsHandlerAndNoneOfOurs)
{
    const XErrorHandler before = XSetErrorHandler(&countHostError);
    hostErrors.store(0);
    {
        HostWindow host;
        TestEditor editor;
        editortest::FrameClock clock;
        {
            HostWindow doomed(500);
            ASSERT_TRUE(editor.open(doomed.parentHandle()));
            ASSERT_TRUE(waitFor([&] { return editor.frames.load() >= 3; }));
            host.causeError();
            EXPECT_EQ(hostErrors.load(), 1);
            EXPECT_EQ(XSetErrorHandler(&countHostError), &countHostError) << "handler replaced";
        }  // takes the editor's window with it: the editor's requests fail on its own connection
        ASSERT_TRUE(clock.waitFrames(12));  // while the render thread goes on with the lost window
        editor.close();
        const int drawn = editor.frames.load();
        ASSERT_TRUE(editor.open(host.parentHandle()));
        ASSERT_TRUE(waitFor([&] { return editor.frames.load() >= drawn + 5; }));
        host.causeError();
        EXPECT_EQ(hostErrors.load(), 2);
    }
    EXPECT_EQ(XSetErrorHandler(before), &countHostError) << "handler replaced";
}
