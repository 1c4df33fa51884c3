// What FrameDamage asks to draw of a frame against the one before: nothing, the regions
// where triangles changed, or the whole framebuffer. Headless: frames are only built.

#include "kx/imgui/FrameDamage.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using kx::imgui::Damage;
using kx::imgui::FrameDamage;
using kx::imgui::PixelRect;

constexpr int kWidth = 400;
constexpr int kHeight = 200;

class FrameDamageTest : public testing::Test {
public:
    FrameDamageTest()
    {
        ImGui::SetCurrentContext(ImGui::CreateContext());
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(kWidth, kHeight);
        io.DeltaTime = 1.0f / 60.0f;
        unsigned char* pixels = nullptr;
        int width = 0;
        int height = 0;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    }
    ~FrameDamageTest() override { ImGui::DestroyContext(); }

    // A frame with a background, `body` drawn over it, at `scale`, taken by `damage`.
    Damage take(const std::function<void(ImDrawList*)>& body, float scale = 1.0f, int framebufferWidth = kWidth)
    {
        ImGui::GetIO().DisplayFramebufferScale = ImVec2(scale, scale);
        ImGui::NewFrame();
        ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
        ImGui::SetNextWindowSize(ImVec2(kWidth, kHeight));
        ImGui::Begin("w", nullptr, ImGuiWindowFlags_NoDecoration);
        ImDrawList* drawList = ImGui::GetWindowDrawList();
        drawList->AddRectFilled(ImVec2(0, 0), ImVec2(kWidth, kHeight), IM_COL32(200, 200, 200, 255));
        body(drawList);
        ImGui::End();
        ImGui::Render();
        return damage.take(*ImGui::GetDrawData(), static_cast<int>(framebufferWidth * scale),
                           static_cast<int>(kHeight * scale));
    }

    FrameDamage damage;
};

std::function<void(ImDrawList*)> meter(float top, float x = 50.0f)
{
    return [=](ImDrawList* d) {
        d->AddRectFilled(ImVec2(x, top), ImVec2(x + 6, 150), IM_COL32(250, 200, 100, 255));
        d->AddCircle(ImVec2(300, 100), 20, IM_COL32(0, 0, 0, 255), 24, 2.0f);
    };
}

bool covers(const Damage& d, const PixelRect& r)
{
    for (int i = 0; i < d.count; ++i) {
        const PixelRect& g = d.regions[i];
        if (g.x0 <= r.x0 && g.y0 <= r.y0 && g.x1 >= r.x1 && g.y1 >= r.y1) return true;
    }
    return false;
}

TEST_F(FrameDamageTest, TheFirstFrameIsWholeAndAnUnchangedOneIsNotDrawn)
{
    Damage first = take(meter(100));
    EXPECT_TRUE(first.whole);
    ASSERT_EQ(first.count, 1);
    EXPECT_EQ(first.regions[0], (PixelRect{0, 0, kWidth, kHeight}));
    EXPECT_EQ(take(meter(100)).count, 0);
}

// A moved rectangle: one region over where it was and where it is, a pixel around, and
// nothing near the circle that stayed.
TEST_F(FrameDamageTest, MovedTrianglesGiveTheirOldAndNewPlaces)
{
    take(meter(100));
    const Damage d = take(meter(90));
    ASSERT_EQ(d.count, 1);
    EXPECT_FALSE(d.whole);
    EXPECT_TRUE(covers(d, {50, 90, 56, 150}));
    EXPECT_LE(d.regions[0].x1, 58);
    EXPECT_GE(d.regions[0].x0, 48);
    EXPECT_GE(d.regions[0].y0, 88);
    EXPECT_LE(d.regions[0].y1, 152);
}

// Far apart changes stay apart, up to the limit; beyond it the closest merge and every
// change is still covered.
TEST_F(FrameDamageTest, ManyChangesAreMergedIntoAFewRegionsThatCoverThemAll)
{
    const auto meters = [](float top) {
        return [=](ImDrawList* d) {
            for (int i = 0; i < 6; ++i)
                d->AddRectFilled(ImVec2(10.0f + 60 * i, top), ImVec2(16.0f + 60 * i, 150), IM_COL32(0, 0, 0, 255));
        };
    };
    take(meters(100));
    const Damage d = take(meters(80));
    EXPECT_EQ(d.count, Damage::kMaxRegions);
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(covers(d, {10 + 60 * i, 80, 16 + 60 * i, 150})) << i;
}

// Whatever the regions cannot say: the whole framebuffer.
TEST_F(FrameDamageTest, ChangesOfLayoutSizeScaleOrAnInvalidationDrawTheWholeFrame)
{
    const struct {
        const char* what;
        std::function<Damage(FrameDamageTest&)> second;
    } cases[] = {
        {"framebuffer size", [](FrameDamageTest& t) { return t.take(meter(100), 1.0f, kWidth + 10); }},
        {"scale", [](FrameDamageTest& t) { return t.take(meter(100), 2.0f); }},
        {"scale no power of two", [](FrameDamageTest& t) { return t.take(meter(90), 1.5f); }},
        {"another primitive",
         [](FrameDamageTest& t) {
             return t.take([](ImDrawList* d) {
                 meter(100)(d);
                 d->AddLine(ImVec2(0, 0), ImVec2(10, 10), IM_COL32(0, 0, 0, 255));
             });
         }},
        {"invalidated",
         [](FrameDamageTest& t) {
             t.damage.invalidate();
             return t.take(meter(100));
         }},
    };
    for (const auto& c : cases) {
        take(meter(100));
        take(meter(100));
        const Damage d = c.second(*this);
        EXPECT_TRUE(d.whole) << c.what;
        EXPECT_EQ(d.count, 1) << c.what;
        take(meter(100));  // back to the first layout for the next case
    }
}

// At twice the scale, regions are in framebuffer pixels, and the clip rectangle made of
// a region gives back exactly that region.
TEST_F(FrameDamageTest, RegionsAreFramebufferPixelsAndTheirClipRectanglesRoundTrip)
{
    take(meter(100), 2.0f);
    const Damage d = take(meter(90), 2.0f);
    ASSERT_EQ(d.count, 1);
    EXPECT_TRUE(covers(d, {100, 180, 112, 300}));
    const ImDrawData& frame = *ImGui::GetDrawData();
    for (const PixelRect r : {d.regions[0], PixelRect{3, 5, 7, 11}, PixelRect{0, 0, 2 * kWidth, 2 * kHeight}})
        EXPECT_EQ(kx::imgui::scissorOf(kx::imgui::clipOf(r, frame), frame), r);
}

}  // namespace
