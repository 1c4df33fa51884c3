// The effect's editor draws only what changed, and what it shows is what drawing the
// whole frame shows, pixel for pixel: in every frame drawn in regions (compared with the
// same frame drawn whole, offscreen), and on screen against an editor that clears and
// draws every frame whole into its back buffer, as the editor did before.

#include "tests/editor/EmptyWorkingFolder.h"
#include "ModuleEditorSupport.h"
#include "kx/imgui/ImguiEditor.h"
#include "plug/Editor.h"
#include "plug/Plug.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <thread>
#include <vector>

namespace {

// Every editor here opens in an empty folder it may not write to.
[[maybe_unused]] const auto* const workingFolder =
    ::testing::AddGlobalTestEnvironment(new editortest::EmptyWorkingFolder);

using editortest::HostFrame;
using editortest::Screenshot;
using kx::imgui::FrameCanvas;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = plug::Editor::kWidth;
constexpr int kHeight = plug::Editor::kHeight;
constexpr float kRate = 48000.0f;
constexpr int kBlock = plug::Plug::kHostBlock;
constexpr int kDriveKnobX = 54;  // the middle of the drive knob
constexpr int kKnobY = 143;

struct QuietHost final : kx::HostCallback {
    void automate(int, float) override {}
    void automateNow(int, float) override {}
    kx::HostInfo hostInfo() override { return {}; }
};

// The effect with its editor open in a host window of its own, audio fed by the test.
class EffectWithEditor {
public:
    EffectWithEditor(int y, FrameCanvas::Mode mode) : frame(0, y, kWidth, kHeight)
    {
        effect.setSampleRate(kRate);
        editor().setDrawingMode(mode);
    }
    ~EffectWithEditor() { editor().close(); }

    kx::imgui::ImguiEditor& editor() { return static_cast<kx::imgui::ImguiEditor&>(*effect.editor()); }
    bool open()
    {
        return editor().open(frame.parentHandle()) && editortest::waitFor([&] { return shown(); });
    }
    bool shown() { return editor().framesPresented() > 0; }

    // `seconds` of a chord, blocks fed as fast as they come: the same levels and scope
    // frames for every instance fed alike.
    void play(double seconds, float level)
    {
        static const kx::MidiEventList noEvents;
        std::vector<float> in0(kBlock), in1(kBlock), out0(kBlock), out1(kBlock);
        const int blocks = static_cast<int>(seconds * kRate / kBlock);
        for (int b = 0; b < blocks; ++b) {
            for (int i = 0; i < kBlock; ++i, ++sample) {
                const double t = static_cast<double>(sample) / kRate;
                in0[static_cast<std::size_t>(i)] = level * static_cast<float>(std::sin(2 * M_PI * 110 * t));
                in1[static_cast<std::size_t>(i)] = level * static_cast<float>(std::sin(2 * M_PI * 165 * t));
            }
            kx::ProcessBlock block{kBlock, &noEvents, {in0.data(), in1.data()}, {out0.data(), out1.data()}};
            effect.process(block);
        }
    }

    QuietHost host;
    plug::Plug effect{host};
    HostFrame frame;

private:
    long long sample = 0;
};

// Waits until the editor has shown nothing new for half a second: its picture is settled.
void waitUntilSettled(kx::imgui::ImguiEditor& editor)
{
    int presented = editor.framesPresented();
    auto since = Clock::now();
    const auto end = since + std::chrono::seconds(20);
    while (Clock::now() < end && Clock::now() - since < std::chrono::milliseconds(500)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (editor.framesPresented() != presented) {
            presented = editor.framesPresented();
            since = Clock::now();
        }
    }
}

int pixelsDiffering(const Screenshot& a, const Screenshot& b)
{
    if (a.width() != b.width() || a.height() != b.height()) return a.width() * a.height();
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const editortest::Rgb p = a.at(x, y);
            const editortest::Rgb q = b.at(x, y);
            if (p.r != q.r || p.g != q.g || p.b != q.b) ++count;
        }
    }
    return count;
}

// Every state the editor goes through: at rest, meters rising with the scope running,
// meters falling, a knob dragged and held, a host edit, shown again after being hidden.
TEST(FrameRegions, EveryFrameDrawnInRegionsEqualsTheWholeFrame)
{
    EffectWithEditor one(0, FrameCanvas::Mode::kRegionsCheckedAgainstWhole);
    ASSERT_TRUE(one.open());
    waitUntilSettled(one.editor());
    const int atRest = one.editor().framesPresented();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(one.editor().framesPresented(), atRest) << "an editor at rest draws nothing";

    // Real time: meters and scope move in most frames.
    const auto start = Clock::now();
    while (Clock::now() - start < std::chrono::milliseconds(800)) {
        one.play(0.01, 0.8f);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const int playing = one.editor().framesPresented() - atRest;
    EXPECT_GE(playing, 24) << "meters and scope move at least 30 times a second";
    one.play(0.05, 0.0f);
    waitUntilSettled(one.editor());

    one.frame.moveTo(kDriveKnobX, kKnobY);
    one.frame.press();
    for (int step = 1; step <= 5; ++step) {
        one.frame.moveTo(kDriveKnobX, kKnobY - 7 * step);
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    one.frame.release();
    one.effect.parameters.setValue(plug::kToneHi, 0.9f);
    waitUntilSettled(one.editor());
    one.frame.setMapped(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    one.frame.setMapped(true);
    waitUntilSettled(one.editor());

    EXPECT_GE(one.editor().framesCompared(), 40);
    EXPECT_EQ(one.editor().pixelsDiffering(), 0);
}

// The same states on screen, side by side with an editor that draws every frame whole
// into its back buffer: at rest, meters up with a scope trace (the audio paused, so that
// both hold the same levels), and a knob held after the same drag; after being covered.
TEST(FrameRegions, ScreenshotsEqualThoseOfAWholeRedraw)
{
    EffectWithEditor regions(0, FrameCanvas::Mode::kRegions);
    EffectWithEditor whole(300, FrameCanvas::Mode::kWholeIntoBackBuffer);
    ASSERT_TRUE(regions.open());
    ASSERT_TRUE(whole.open());
    const auto compare = [&](const char* state) {
        waitUntilSettled(regions.editor());
        const Screenshot shot = regions.frame.capture();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // a few more whole frames
        EXPECT_EQ(pixelsDiffering(shot, whole.frame.capture()), 0) << state;
    };
    compare("at rest");
    {
        HostFrame cover(100, 50, 300, 150);  // over part of the editor, then gone: exposed
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    compare("uncovered");

    for (EffectWithEditor* e : {&regions, &whole}) e->play(0.5, 0.7f);
    compare("meters up, scope trace");

    // The same drag on each; the pointer holds one window at a time.
    Screenshot held(0, 0, {});
    for (EffectWithEditor* e : {&regions, &whole}) {
        e->frame.moveTo(kDriveKnobX, kKnobY);
        e->frame.press();
        for (int step = 1; step <= 4; ++step) {
            e->frame.moveTo(kDriveKnobX, kKnobY - 9 * step);
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
        }
        waitUntilSettled(regions.editor());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (e == &regions)
            held = e->frame.capture();
        else
            EXPECT_EQ(pixelsDiffering(held, e->frame.capture()), 0) << "knob held";
        e->frame.release();
    }
}

}  // namespace
