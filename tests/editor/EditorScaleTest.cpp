// The effect's editor at the desktop's scale, through the VST 2 module on a virtual X server:
// the size it answers and opens at for the Xft.dpi resource, the picture at 2x against the
// one at 1x, and the mouse at 1.5x and 2x.

#include "EditorTestSupport.h"
#include "ModuleEditorSupport.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

using editortest::ModuleEditor;
using editortest::Rgb;
using editortest::Screenshot;
using editortest::SizeRequest;
using namespace kx::vst2;

namespace {

constexpr int kDriveX = 54;  // layout positions, as in the editor's 1x layout
constexpr int kKnobY = 143;
constexpr int kToneLoX = 403;

// The desktop's resources, as `xrdb` sets them on the root window; null removes them.
void setResources(const char* resources)
{
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const Atom property = XInternAtom(display, "RESOURCE_MANAGER", False);
    if (resources == nullptr) {
        XDeleteProperty(display, DefaultRootWindow(display), property);
    } else {
        const std::string text = resources;
        XChangeProperty(display, DefaultRootWindow(display), property, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text.c_str()), static_cast<int>(text.size()));
    }
    XSync(display, False);
    XCloseDisplay(display);
}

struct DesktopScale : ::testing::Test {
    ~DesktopScale() override { setResources(nullptr); }
};

SizeRequest askedRect(ModuleEditor& m)
{
    ERect* rect = nullptr;
    if (m.effect().dispatch(effEditGetRect, 0, 0, &rect) != 1 || rect == nullptr) return {0, 0};
    return {rect->right - rect->left, rect->bottom - rect->top};
}

// Opens the editor with the host's window at the editor's size, and takes the picture once
// the meters have come to rest after the sustainer's start-up.
std::optional<Screenshot> settledPicture(ModuleEditor& m, int scale)
{
    const SizeRequest size = askedRect(m);
    m.frame().resize(size.width, size.height);
    if (!m.open() || !m.waitUntilShown()) return std::nullopt;
    std::optional<Screenshot> shot;
    const bool settled = m.pumpUntil([&] {
        shot = m.frame().capture();
        const Rgb marker = shot->at(104 * scale, 194 * scale);
        return std::abs(marker.r - editortest::palette::kTextLight.r) <= 3;
    });
    return settled ? shot : std::nullopt;
}

}  // namespace

TEST_F(DesktopScale, EffEditGetRectAndTheWindowFollowXftDpi)
{
    struct Case {
        const char* resources;
        SizeRequest size;
    };
    for (const Case& c : {
             Case{nullptr, {910, 237}},
             Case{"Xft.dpi:\t96\n", {910, 237}},
             Case{"Xft.dpi:\t144\n", {1365, 356}},
             Case{"Xft.antialias:\t1\nXft.dpi:\t192\nXft.hinting:\t1\n", {1820, 474}},
             Case{"Xft.dpi:\t1000\n", {3640, 948}},  // no larger than four times
             Case{"Xft.dpi:\tlarge\n", {910, 237}},
         }) {
        setResources(c.resources);
        ModuleEditor m;
        const char* what = c.resources != nullptr ? c.resources : "no resources";
        EXPECT_EQ(askedRect(m), c.size) << what;
        ASSERT_TRUE(m.open()) << what;
        ASSERT_TRUE(m.waitUntilShown()) << what;
        EXPECT_EQ(m.sizeRequests().back(), c.size) << what;
        EXPECT_TRUE(editortest::waitFor([&] { return m.frame().childSize() == c.size; })) << what;
        EXPECT_EQ(askedRect(m), c.size) << what;
    }
}

// Scaled back down, the 2x picture is the 1x one (the same layout, nothing moved); and it is
// drawn at its own resolution, not enlarged: a picture enlarged from 1x is uniform in every
// 2 x 2 block.
TEST_F(DesktopScale, TheTwoTimesPictureIsTheOneTimesLayoutDrawnSharp)
{
    std::optional<Screenshot> one;
    {
        ModuleEditor m;
        one = settledPicture(m, 1);
    }
    ASSERT_TRUE(one.has_value());
    setResources("Xft.dpi:\t192\n");
    ModuleEditor m;
    const std::optional<Screenshot> two = settledPicture(m, 2);
    ASSERT_TRUE(two.has_value());
    ASSERT_EQ(two->width(), 1820);
    ASSERT_EQ(two->height(), 474);

    int far = 0;
    int mixedBlocks = 0;
    for (int y = 0; y < 237; ++y) {
        for (int x = 0; x < 910; ++x) {
            const Rgb block[4] = {two->at(2 * x, 2 * y), two->at(2 * x + 1, 2 * y), two->at(2 * x, 2 * y + 1),
                                  two->at(2 * x + 1, 2 * y + 1)};
            const Rgb mean{(block[0].r + block[1].r + block[2].r + block[3].r) / 4,
                           (block[0].g + block[1].g + block[2].g + block[3].g) / 4,
                           (block[0].b + block[1].b + block[2].b + block[3].b) / 4};
            const Rgb p = one->at(x, y);
            if (std::abs(mean.r - p.r) > 64 || std::abs(mean.g - p.g) > 64 || std::abs(mean.b - p.b) > 64) ++far;
            for (const Rgb& q : block) {
                if (q.r != block[0].r || q.g != block[0].g || q.b != block[0].b) {
                    ++mixedBlocks;
                    break;
                }
            }
        }
    }
    const int pixels = 910 * 237;
    EXPECT_LT(far, pixels / 100) << "pixels far from the 1x picture's";
    EXPECT_GT(mixedBlocks, pixels / 50) << "2 x 2 blocks that are not one colour";
}

// A knob turns by 0.005 per pixel of the 1x layout, whatever the scale; double clicks and
// the stereo selector land where the layout has them.
TEST_F(DesktopScale, TheMouseWorksInLayoutUnitsAtOneAndAHalfAndTwoTimes)
{
    for (const double scale : {1.5, 2.0}) {
        setResources(scale == 2.0 ? "Xft.dpi:\t192\n" : "Xft.dpi:\t144\n");
        ModuleEditor m;
        m.frame().resize(askedRect(m).width, askedRect(m).height);
        ASSERT_TRUE(m.open());
        ASSERT_TRUE(m.waitUntilShown());
        const auto at = [scale](double layout) { return static_cast<int>(layout * scale); };

        m.fastDrag(at(kDriveX), at(kKnobY), at(40));
        EXPECT_TRUE(m.waitForAutomation(0, 0.35f + 40.0f / 200.0f)) << scale;

        m.frame().moveTo(at(317), at(140));
        m.frame().press();
        m.frame().release();
        EXPECT_TRUE(m.waitForAutomation(3, 0.5f)) << scale;

        m.effect().setParameter(4, 0.2f);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the knob takes it up
        m.frame().moveTo(at(kToneLoX), at(kKnobY + 8));
        m.frame().press();
        m.frame().release();
        m.frame().press();
        m.frame().release();
        EXPECT_TRUE(m.waitForAutomation(4, 0.5f)) << scale;
    }
}
