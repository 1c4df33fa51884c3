// The effect's editor through the real module while audio runs on a thread of its own,
// and two instances with editors open at once.

#include "EditorTestSupport.h"
#include "ModuleEditorSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

using namespace std::chrono_literals;
using editortest::ModuleEditor;

namespace {

// Blocks of the riff at about the real-time rate until stopped.
class AudioThread {
public:
    explicit AudioThread(ModuleEditor& m)
        : thread([this, &m] {
              m.playing = true;
              while (!stop.load()) {
                  m.process();
                  blocks.fetch_add(1);
                  std::this_thread::sleep_for(1ms);
              }
          })
    {
    }
    ~AudioThread()
    {
        stop.store(true);
        thread.join();
    }
    std::atomic<int> blocks{0};

private:
    std::atomic<bool> stop{false};
    std::thread thread;
};

// Idle calls, as the host's user-interface loop makes them, until `condition` holds;
// the audio comes from the AudioThread. False after 10 s, which only a hang takes.
bool idleUntil(ModuleEditor& m, const std::function<bool()>& condition)
{
    return editortest::waitFor([&] {
        m.idle();
        return condition();
    });
}

bool idleUntilShown(ModuleEditor& m, std::size_t requests)
{
    return idleUntil(m, [&] { return m.sizeRequests().size() >= requests; });
}

// Whether the editor in `m`'s window shows stereo selector row `chosen` as the chosen one.
bool showsStereoRow(ModuleEditor& m, int chosen)
{
    const auto shot = m.frame().capture();
    const int rowTops[3] = {115, 132, 149};
    for (int row = 0; row < 3; ++row) {
        const bool dark = shot.at(305, rowTops[row]).r < 120;
        if (dark != (row == chosen)) return false;
    }
    return true;
}

}  // namespace

TEST(EffectEditorThreads, OpensIdlesAndClosesFiftyTimesWhileAudioRuns)
{
    const int threads = editortest::threadCount();
    {
        ModuleEditor m;
        AudioThread audio(m);
        for (int round = 1; round <= 50; ++round) {
            ASSERT_TRUE(m.open()) << "round " << round;
            ASSERT_TRUE(idleUntilShown(m, static_cast<std::size_t>(round))) << "round " << round;
            for (int i = 0; i < 4; ++i) m.idle();
            m.close();
            ASSERT_EQ(m.frame().childCount(), 0) << "round " << round;
        }
        EXPECT_GT(audio.blocks.load(), 50);
        EXPECT_TRUE(m.automation().empty());
    }
    EXPECT_TRUE(editortest::waitFor([&] { return editortest::threadCount() == threads; }))
        << editortest::threadCount() << " threads, " << threads << " before";
}

TEST(EffectEditorThreads, TwoEditorsOpenAtOnceAndTheOneLeftOpenStillDrawsAndResponds)
{
    const int threads = editortest::threadCount();
    {
        ModuleEditor first("tw07-host", 0, 0);
        ModuleEditor second("tw07-host", 0, 300);
        AudioThread audio(second);
        ASSERT_TRUE(first.open());
        ASSERT_TRUE(second.open());
        ASSERT_TRUE(idleUntilShown(first, 1));
        ASSERT_TRUE(idleUntilShown(second, 1));
        // Both draw at once.
        ASSERT_TRUE(idleUntil(first, [&] { return showsStereoRow(first, 0); }));
        ASSERT_TRUE(idleUntil(second, [&] { return showsStereoRow(second, 0); }));
        first.close();
        EXPECT_EQ(first.frame().childCount(), 0);
        EXPECT_EQ(second.frame().childCount(), 1);

        // A click on the remaining editor's stereo selector: sent, and drawn as chosen.
        second.frame().moveTo(317, 140);
        second.frame().press();
        second.frame().release();
        ASSERT_TRUE(idleUntil(second, [&] { return !second.automation().empty(); }));
        EXPECT_TRUE(idleUntil(second, [&] { return showsStereoRow(second, 1); })) << "row 1 drawn as chosen";
        const auto events = second.automation();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].index, 3);
        EXPECT_EQ(events[0].value, 0.5f);
        EXPECT_TRUE(first.automation().empty());
        second.close();
    }
    EXPECT_TRUE(editortest::waitFor([&] { return editortest::threadCount() == threads; }))
        << editortest::threadCount() << " threads, " << threads << " before";
}

// Each editor in a host window of its own; a drag on one changes that instance alone.
TEST(EffectEditorThreads, DragsOnTwoEditorsInTurnChangeOnlyTheirOwnInstance)
{
    constexpr int kDriveX = 54;  // knob centres
    constexpr int kToneLoX = 403;
    constexpr int kKnobY = 143;
    auto first = std::make_unique<ModuleEditor>("tw07-host", 0, 0);
    ModuleEditor second("tw07-host", 0, 300);
    ASSERT_TRUE(first->open());
    ASSERT_TRUE(second.open());
    ASSERT_TRUE(first->waitUntilShown());
    ASSERT_TRUE(second.waitUntilShown());

    first->fastDrag(kDriveX, kKnobY, 60);
    EXPECT_TRUE(first->waitForAutomation(0, 0.65f));
    second.fastDrag(kToneLoX, kKnobY, -60);
    EXPECT_TRUE(second.waitForAutomation(4, 0.2f));
    for (ModuleEditor* m : {first.get(), &second}) m->process();
    EXPECT_NEAR(first->effect().getParameter(0), 0.65f, 1e-5f);
    EXPECT_EQ(first->effect().getParameter(4), 0.5f);
    EXPECT_EQ(second.effect().getParameter(0), 0.35f);
    EXPECT_NEAR(second.effect().getParameter(4), 0.2f, 1e-5f);
    for (const auto& e : first->automation()) EXPECT_EQ(e.index, 0);
    for (const auto& e : second.automation()) EXPECT_EQ(e.index, 4);

    first.reset();  // closed and gone; the other one carries on
    second.fastDrag(kDriveX, kKnobY, 60);
    EXPECT_TRUE(second.waitForAutomation(0, 0.65f));
    second.process();
    EXPECT_NEAR(second.effect().getParameter(0), 0.65f, 1e-5f);
}
