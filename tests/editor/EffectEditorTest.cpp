// The effect's editor through the real module on a virtual X server: what it draws
// where, what the mouse does to the parameters, and the window-size requests.

#include "EditorTestSupport.h"
#include "ModuleEditorSupport.h"
#include "tools/host/SharedLibrary.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <cstdint>

#include <X11/Xlib.h>

using editortest::ModuleEditor;
using editortest::Rgb;
using editortest::Screenshot;
using editortest::SizeRequest;
using tools::AutomationEvent;
using namespace kx::vst2;

namespace {

using namespace editortest::palette;

constexpr int kDriveX = 54;  // knob centres: cursor + radius
constexpr int kAmountX = 191;
constexpr int kKnobY = 143;
constexpr int kToneLoX = 403;

bool near(Rgb p, Rgb expected)
{
    return std::abs(p.r - expected.r) <= 3 && std::abs(p.g - expected.g) <= 3 && std::abs(p.b - expected.b) <= 3;
}

void expectColour(const Screenshot& shot, int x, int y, Rgb expected, const char* what)
{
    const Rgb p = shot.at(x, y);
    EXPECT_NEAR(p.r, expected.r, 3) << what << " at " << x << "," << y;
    EXPECT_NEAR(p.g, expected.g, 3) << what << " at " << x << "," << y;
    EXPECT_NEAR(p.b, expected.b, 3) << what << " at " << x << "," << y;
}

std::vector<AutomationEvent> eventsFor(const std::vector<AutomationEvent>& all, int index, std::size_t from = 0)
{
    std::vector<AutomationEvent> result;
    for (std::size_t i = from; i < all.size(); ++i) {
        if (all[i].index == index) result.push_back(all[i]);
    }
    return result;
}

// Sent at once: the editor takes the move, the press and the release in frames of their own.
void click(ModuleEditor& m, int x, int y)
{
    m.frame().moveTo(x, y);
    m.frame().press();
    m.frame().release();
}

std::atomic<int> hostErrors{0};

int countHostError(Display*, XErrorEvent*)
{
    hostErrors.fetch_add(1);
    return 0;
}

// A request that fails on a connection of the host's own.
void causeHostError()
{
    Display* display = XOpenDisplay(nullptr);
    const Window gone = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(display, gone);
    XMapWindow(display, gone);
    XSync(display, False);
    XCloseDisplay(display);
}

// Two files of the module (as two plug-ins built on one framework) with editors open,
// one of them closed and unloaded, then an X error on the host's connection. Returns
// what the host's handler saw, as an exit status; every editor is closed by then.
int unloadOneOfTwoCopiesThenFailARequest(const std::string& copy)
{
    XSetErrorHandler(&countHostError);
    auto first = std::make_unique<ModuleEditor>("tw07-host", 0, 0, copy);
    ModuleEditor second("tw07-host", 0, 300);
    if (!first->open() || !second.open() || !first->waitUntilShown() || !second.waitUntilShown()) return 3;
    first.reset();
    if (tools::SharedLibrary::isLoaded(copy)) return 4;  // still loaded: nothing would be tested
    causeHostError();
    // The copy left still draws and takes input: a press on its drive knob is sent.
    second.frame().moveTo(kDriveX, kKnobY);
    second.frame().press();
    const bool responds = second.pumpUntil([&] { return !second.automation().empty(); });
    second.frame().release();
    if (!responds) return 6;
    return hostErrors.load() == 1 ? 0 : 5;
}

}  // namespace

TEST(EffectEditorDeathTest, TwoCopiesOfTheModuleSurviveOneBeingUnloaded)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::filesystem::path copy =
        std::filesystem::temp_directory_path() / ("tw07-copy-" + std::to_string(getpid()) + ".so");
    std::filesystem::copy_file(TW07_MODULE_PATH, copy, std::filesystem::copy_options::overwrite_existing);
    EXPECT_EXIT(std::exit(unloadOneOfTwoCopiesThenFailARequest(copy.string())), testing::ExitedWithCode(0), "");
    std::filesystem::remove(copy);
}

TEST(EffectEditor, AnnouncedAtLoadingWithoutAnyWindowOrThread)
{
    const int threads = editortest::threadCount();
    const int sockets = editortest::socketCount();
    tools::HostContext context;
    {
        auto effect = tools::HostModule(TW07_MODULE_PATH).instantiate(context);
        EXPECT_EQ(effect->flags(), effFlagsCanReplacing | effFlagsHasEditor);
        ERect* rect = nullptr;
        EXPECT_EQ(effect->dispatch(effEditGetRect, 0, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        EXPECT_EQ(rect->top, 0);
        EXPECT_EQ(rect->left, 0);
        EXPECT_EQ(rect->bottom, 237);
        EXPECT_EQ(rect->right, 910);
        effect->dispatch(effEditIdle);  // never opened: nothing to size or draw
        EXPECT_EQ(editortest::threadCount(), threads);
        EXPECT_EQ(editortest::socketCount(), sockets);
    }
    EXPECT_EQ(editortest::threadCount(), threads);
    EXPECT_TRUE(context.automation().empty());
}

TEST(EffectEditor, EveryOpeningAsksForTheEditorSizeOnceAndReaperFirstOnePixelMore)
{
    for (const char* product : {"tw07-host", "REAPER"}) {
        SCOPED_TRACE(product);
        const bool nudge = std::string(product) == "REAPER";
        ModuleEditor m(product);
        std::vector<SizeRequest> expected;
        for (int opening = 0; opening < 2; ++opening) {
            ASSERT_TRUE(m.open());
            ASSERT_TRUE(m.waitUntilShown());
            m.pump(20);  // the size is asked for in the idle calls: none of these asks again
            if (nudge) expected.push_back({911, 238});
            expected.push_back({910, 237});
            EXPECT_EQ(m.sizeRequests(), expected);
            EXPECT_EQ(m.frame().childCount(), 1);
            m.close();
            EXPECT_EQ(m.frame().childCount(), 0);
        }
    }
}

TEST(EffectEditor, OpenWithAParentThatIsNoWindowAnswersZeroAndALaterValidOneWorks)
{
    ModuleEditor m;
    for (void* parent : {static_cast<void*>(nullptr), reinterpret_cast<void*>(std::uintptr_t{0x3ffffff})})
        EXPECT_EQ(m.effect().dispatch(effEditOpen, 0, 0, parent), 0) << parent;
    m.pump(20);  // idle calls with no window to size
    EXPECT_TRUE(m.sizeRequests().empty());
    ASSERT_TRUE(m.open());
    ASSERT_TRUE(m.waitUntilShown());
    EXPECT_EQ(m.frame().childCount(), 1);
}

TEST(EffectEditor, DrawsTheHeaderPanelsKnobsMetersScopeAndTexts)
{
    ModuleEditor m;
    ASSERT_TRUE(m.open());
    ASSERT_TRUE(m.waitUntilShown());
    // The first frames show the sustainer's start-up on its meters; silence once it has
    // settled and the held peaks have fallen back.
    std::optional<Screenshot> settled;
    ASSERT_TRUE(m.pumpUntil([&] {
        settled = m.frame().capture();
        for (const int x : {104, 117, 851, 864}) {
            if (!near(settled->at(x, 194), kTextLight)) return false;
        }
        return true;
    })) << "the meters never come to rest";
    const Screenshot& shot = *settled;
    ASSERT_EQ(shot.width(), 910);
    ASSERT_EQ(shot.height(), 237);

    expectColour(shot, 600, 10, kHeaderStrip, "header strip");
    expectColour(shot, 8, 225, kBackground, "background");
    for (const int x : {20, 160, 370, 770}) expectColour(shot, x, 200, kPanel, "panel box");
    expectColour(shot, 580, 100, kScopeFrame, "scope frame");
    expectColour(shot, 745, 200, kScopeFrame, "scope frame");
    expectColour(shot, 565, 150, kBackground, "gap before the scope");
    EXPECT_EQ(shot.countDifferent(575, 95, 748, 146, kScopeFrame, 20), 0) << "flat trace in the middle";
    EXPECT_GT(shot.countDifferent(575, 147, 748, 152, kScopeFrame, 20), 150) << "flat trace in the middle";

    // Knob bodies, sampled away from each pointer: drive 0.35 points up-left, amount 0.6
    // up-right, the tone knobs (0.5) straight up, level 0.4 up-left.
    expectColour(shot, kDriveX + 10, kKnobY + 8, kGreen, "drive knob");
    expectColour(shot, 191 - 10, kKnobY + 8, kAmber, "amount knob");
    expectColour(shot, 251 - 10, kKnobY + 8, kAmber, "speed knob");
    for (const int x : {kToneLoX, 463, 523}) expectColour(shot, x, kKnobY + 12, kLightBlue, "tone knob");
    expectColour(shot, 801 + 10, kKnobY + 8, kLightGrey, "level knob");

    // Silent meters: background column and the peak marker at the floor (y 193-196).
    for (const int x : {104, 117, 851, 864}) {
        expectColour(shot, x, 150, kText, "meter background");
        expectColour(shot, x, 194, kTextLight, "meter peak marker");
    }
    // Stereo selector: row 0 chosen (dark), rows 1 and 2 light.
    expectColour(shot, 305, 115, kText, "chosen stereo row");
    expectColour(shot, 305, 132, kTextLight, "stereo row 1");
    expectColour(shot, 305, 149, kTextLight, "stereo row 2");

    // The texts leave marks: name, vendor, panel titles, knob labels, version.
    EXPECT_GT(shot.countDifferent(10, 5, 390, 44, kHeaderStrip), 1000) << "effect name";
    EXPECT_GT(shot.countDifferent(760, 25, 905, 44, kHeaderStrip), 200) << "vendor";
    EXPECT_EQ(shot.countDifferent(420, 5, 740, 44, kHeaderStrip), 0) << "header between the texts";
    EXPECT_GT(shot.countDifferent(15, 55, 140, 88, kBackground), 200) << "drive title";
    EXPECT_GT(shot.countDifferent(570, 55, 700, 88, kBackground), 200) << "scope title";
    EXPECT_GT(shot.countDifferent(30, 170, 80, 190, kPanel), 50) << "gain label";
    EXPECT_GT(shot.countDifferent(654, 214, 905, 235, kBackground), 300) << "version line";
}

TEST(EffectEditor, MetersAndScopeFollowTheAudio)
{
    ModuleEditor m;
    ASSERT_TRUE(m.open());
    ASSERT_TRUE(m.waitUntilShown());
    m.effect().setParameter(7, 0.7f);  // post gain +5 dB: the trace spans most of the scope
    m.playing = true;
    // The level fills the output meters from the bottom; the trace leaves the middle line.
    // Slow builds take longer to play enough of the riff: look again until it shows.
    bool metersFilled = false;
    int traceAbove = 0;
    m.pumpUntil(
        [&] {
            const Screenshot shot = m.frame().capture();
            metersFilled = true;
            for (const int x : {851, 864})
                metersFilled = metersFilled && shot.at(x, 190).r > 230 && shot.at(x, 190).b < 140;
            traceAbove = shot.countDifferent(575, 95, 748, 146, kScopeFrame, 20);
            return metersFilled && traceAbove > 20;
        },
        50);
    EXPECT_TRUE(metersFilled) << "output meters";
    EXPECT_GT(traceAbove, 20) << "scope trace above the middle";
}

TEST(EffectEditor, DragOnTheDriveKnobAutomatesEveryFrameWhileHeldAndReachesTheAudioThread)
{
    ModuleEditor m;
    ASSERT_TRUE(m.open());
    ASSERT_TRUE(m.waitUntilShown());
    const std::size_t before = m.automation().size();
    m.frame().moveTo(kDriveX, kKnobY);
    m.frame().press();
    for (int step = 1; step <= 8; ++step) {  // 40 pixels up, 5 at a time, each one seen
        m.frame().moveTo(kDriveX, kKnobY - 5 * step);
        ASSERT_TRUE(m.waitForAutomation(0, 0.35f + 5.0f * static_cast<float>(step) / 200.0f)) << "step " << step;
    }
    // Held without moving: the unchanged value goes out every frame.
    const std::size_t settled = m.automation().size();
    ASSERT_TRUE(m.pumpUntil([&] { return eventsFor(m.automation(), 0, settled).size() >= 6; }));
    m.frame().release();
    // A press on the amount knob after the release: the editor takes mouse changes in
    // order, so once the amount knob sends, the drive knob has been let go.
    m.frame().moveTo(kAmountX, kKnobY);
    m.frame().press();
    ASSERT_TRUE(m.pumpUntil([&] { return !eventsFor(m.automation(), 1, before).empty(); }));
    m.frame().release();

    const auto all = m.automation();
    std::size_t firstAmount = before;
    while (all[firstAmount].index != 1) ++firstAmount;
    const auto drag = eventsFor(std::vector<AutomationEvent>(all.begin(), all.begin() + firstAmount), 0, before);
    EXPECT_EQ(drag.size(), firstAmount - before) << "only the drive knob sends while it is held";
    EXPECT_EQ(eventsFor(all, 0, firstAmount).size(), 0u) << "nothing sent once released";

    ASSERT_FALSE(drag.empty());
    const float expected = 0.35f + 40.0f / 200.0f;
    EXPECT_NEAR(drag.back().value, expected, 1e-5f);
    const auto still = eventsFor(all, 0, settled);
    for (const AutomationEvent& e : still) EXPECT_EQ(e.value, drag.back().value);
    for (std::size_t i = 1; i < drag.size(); ++i) EXPECT_GE(drag[i].value, drag[i - 1].value);

    m.process();
    EXPECT_EQ(m.effect().getParameter(0), drag.back().value);
}

TEST(EffectEditor, DragFasterThanAFrameMovesTheKnobByTheWholeDrag)
{
    ModuleEditor m;
    ASSERT_TRUE(m.open());
    ASSERT_TRUE(m.waitUntilShown());
    m.fastDrag(kDriveX, kKnobY, 60);
    const float expected = 0.35f + 60.0f / 200.0f;
    EXPECT_TRUE(m.waitForAutomation(0, expected));
    m.process();
    EXPECT_NEAR(m.effect().getParameter(0), expected, 1e-5f);
}

TEST(EffectEditor, StereoSelectorStepsThroughTheModesAndShowsTheChosenRow)
{
    ModuleEditor m;
    ASSERT_TRUE(m.open());
    ASSERT_TRUE(m.waitUntilShown());
    const std::size_t before = m.automation().size();
    const int rowTops[3] = {115, 132, 149};
    std::size_t sent = 0;
    for (const float value : {0.5f, 1.0f, 0.0f}) {
        click(m, 317, 140);
        ++sent;
        ASSERT_TRUE(m.pumpUntil([&] { return eventsFor(m.automation(), 3, before).size() == sent; }));
        const int chosen = static_cast<int>(value * 2.0f);
        const auto shown = [&] {
            const Screenshot shot = m.frame().capture();
            for (int row = 0; row < 3; ++row) {
                if (!near(shot.at(305, rowTops[row]), row == chosen ? kText : kTextLight)) return false;
            }
            return true;
        };
        EXPECT_TRUE(m.pumpUntil(shown)) << "row " << chosen << " drawn as the chosen one";
    }
    const auto all = m.automation();
    ASSERT_EQ(all.size() - before, 3u);
    const auto clicks = eventsFor(all, 3, before);
    ASSERT_EQ(clicks.size(), 3u);
    EXPECT_EQ(clicks[0].value, 0.5f);
    EXPECT_EQ(clicks[1].value, 1.0f);
    EXPECT_EQ(clicks[2].value, 0.0f);
    m.process();
    EXPECT_EQ(m.effect().getParameter(3), 0.0f);
    EXPECT_EQ(m.effect().paramDisplay(3), "Stereo");
}

TEST(EffectEditor, ToneKnobsFollowTheHostAndADoubleClickResetsThem)
{
    ModuleEditor m;
    ASSERT_TRUE(m.open());
    ASSERT_TRUE(m.waitUntilShown());
    m.effect().setParameter(4, 0.2f);
    // The editor's own frames bring the knobs to the stored values, with no idle call.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    // A single click only holds the knob: it sends the host's value.
    const std::size_t before = m.automation().size();
    m.frame().moveTo(kToneLoX, kKnobY - 8);
    m.frame().press();
    ASSERT_TRUE(m.pumpUntil([&] { return !eventsFor(m.automation(), 4, before).empty(); }));
    m.frame().release();
    const std::size_t second = m.automation().size();
    for (const AutomationEvent& e : eventsFor(m.automation(), 4, before)) EXPECT_EQ(e.value, 0.2f);

    // A double click 16 pixels from the single one, too far for the two to count as one:
    // sent at once, its clicks come a frame apart, well within the double-click time.
    m.frame().moveTo(kToneLoX, kKnobY + 8);
    m.frame().press();
    m.frame().release();
    m.frame().press();
    m.frame().release();
    EXPECT_TRUE(m.waitForAutomation(4, 0.5f));
    const auto twice = eventsFor(m.automation(), 4, second);
    ASSERT_FALSE(twice.empty());
    EXPECT_EQ(twice.front().value, 0.2f);
    m.process();
    EXPECT_EQ(m.effect().getParameter(4), 0.5f);
}
