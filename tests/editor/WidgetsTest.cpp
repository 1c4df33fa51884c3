// Knob, meter and panel header in a headless Dear ImGui context: drags are fed as
// mouse positions frame by frame, drawing is read back from the window's draw list.

#include "plug/widgets/Widgets.h"

#include "kx/imgui/MouseEvents.h"

#include "imgui.h"

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <array>
#include <cfloat>
#include <functional>

namespace {

constexpr float kRadius = 23.0f;
const ImVec2 kKnobAt(31.0f, 120.0f);

class WidgetsTest : public testing::Test {
protected:
    WidgetsTest()
    {
        ImGui::SetCurrentContext(ImGui::CreateContext());
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(910.0f, 237.0f);
        io.DeltaTime = 1.0f / 60.0f;
        unsigned char* pixels = nullptr;
        int width = 0;
        int height = 0;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
        // Without anti-aliasing every rectangle is four vertices and every line segment a quad.
        ImGui::GetStyle().AntiAliasedFill = false;
        ImGui::GetStyle().AntiAliasedLines = false;
        ImGui::GetStyle().Colors[ImGuiCol_BorderShadow] =
            ImVec4(0.855f, 0.835f, 0.835f, 1.0f);  // transparent by default
    }
    ~WidgetsTest() override { ImGui::DestroyContext(); }

    // One frame with the mouse at `mouse`, `body` running inside a window at the origin.
    // Returns the window's draw list of that frame.
    ImDrawList* frame(ImVec2 mouse, bool down, const std::function<void(ImDrawList*)>& body)
    {
        ImGuiIO& io = ImGui::GetIO();
        io.MousePos = mouse;
        io.MouseDown[0] = down;
        ImGui::NewFrame();
        ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
        ImGui::SetNextWindowSize(io.DisplaySize);
        ImGui::Begin("w", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoBackground);
        ImDrawList* drawList = ImGui::GetWindowDrawList();
        body(drawList);
        ImGui::End();
        ImGui::Render();
        return drawList;
    }

    // A knob at kKnobAt on `value`; returns whether the behaviour reported a change.
    bool knobFrame(ImVec2 mouse, bool down, bool arc = false)
    {
        bool changed = false;
        frame(mouse, down, [&](ImDrawList*) {
            ImGui::SetCursorPos(kKnobAt);
            changed = plug::Knob("gain", kRadius, &value, 0.0f, 1.0f, arc);
        });
        return changed;
    }

    float value = 0.5f;
};

const ImVec2 kGrab(kKnobAt.x + kRadius, kKnobAt.y + kRadius);

ImVec2 below(ImVec2 at, float dy) { return ImVec2(at.x, at.y + dy); }

TEST_F(WidgetsTest, KnobDragChangesByItsShareOfTwoHundredPixelsAndStopsAtTheEnds)
{
    knobFrame(kGrab, false);
    EXPECT_FALSE(knobFrame(kGrab, true));  // pressed, not moved
    EXPECT_FALSE(knobFrame(kGrab, true));  // held still: no change
    EXPECT_FLOAT_EQ(value, 0.5f);

    EXPECT_TRUE(knobFrame(below(kGrab, -20.0f), true));  // 20 pixels up
    EXPECT_FLOAT_EQ(value, 0.6f);
    EXPECT_FALSE(knobFrame(ImVec2(kGrab.x + 40.0f, kGrab.y - 20.0f), true));  // sideways does nothing
    EXPECT_FLOAT_EQ(value, 0.6f);

    EXPECT_TRUE(knobFrame(below(kGrab, -300.0f), true));  // far past the top
    EXPECT_FLOAT_EQ(value, 1.0f);
    EXPECT_TRUE(knobFrame(below(kGrab, -290.0f), true));  // back down: moves at once
    EXPECT_FLOAT_EQ(value, 0.95f);
    knobFrame(below(kGrab, -290.0f), false);
    EXPECT_FALSE(knobFrame(below(kGrab, 100.0f), false));  // released: moving does nothing
    EXPECT_FLOAT_EQ(value, 0.95f);

    knobFrame(kGrab, true);
    knobFrame(below(kGrab, 400.0f), true);
    EXPECT_FLOAT_EQ(value, 0.0f);
}

// The window system's mouse events handed to the GUI frame by frame: a frame takes the
// moves that come next or the button changes that come next, never both, and never a
// press and the release of the same button.
TEST(MouseEvents, EveryTransitionAndMoveGetsAFrameOfItsOwn)
{
    kx::imgui::MouseEvents events;
    ImGuiIO io;
    events.feed(io, 1.0f);
    EXPECT_FALSE(ImGui::IsMousePosValid(&io.MousePos)) << "no position before the first";

    events.moved(10.0, 10.0);
    events.button(0, true);
    events.moved(10.0, 15.0);
    events.moved(10.0, 70.0);  // moves in a row are one
    events.button(0, false);
    events.button(0, true);
    events.button(1, true);  // another button may change with it
    events.button(0, false);
    events.button(7, true);  // no such button
    struct Frame {
        float y;
        bool left;
        bool right;
    };
    const Frame expected[] = {{10, false, false}, {10, true, false}, {70, true, false}, {70, false, false},
                              {70, true, true},   {70, false, true}, {70, false, true}};
    for (const Frame& frame : expected) {
        events.feed(io, 1.0f);
        EXPECT_EQ(io.MousePos.x, 10.0f);
        EXPECT_EQ(io.MousePos.y, frame.y);
        EXPECT_EQ(io.MouseDown[0], frame.left);
        EXPECT_EQ(io.MouseDown[1], frame.right);
    }

    events.start(3.0, 4.0);  // a new opening forgets the held buttons and what is pending
    events.button(1, false);
    events.moved(5.0, 6.0);
    events.feed(io, 1.0f);
    EXPECT_EQ(io.MousePos.y, 4.0f);
    EXPECT_FALSE(io.MouseDown[1]);
    events.feed(io, 1.0f);
    EXPECT_EQ(io.MousePos.y, 6.0f);
}

// A drag whose press, moves and release all arrive before one frame (a frame slower
// than the gesture) moves the knob by the whole drag.
TEST_F(WidgetsTest, KnobFollowsADragThatArrivesWithinOneFrame)
{
    kx::imgui::MouseEvents events;
    events.start(kGrab.x, kGrab.y);
    knobFrame(kGrab, false);
    events.button(0, true);
    for (int step = 1; step <= 6; ++step) events.moved(kGrab.x, kGrab.y - 10.0f * step);
    events.button(0, false);
    for (int i = 0; i < 5; ++i) {
        ImGuiIO& io = ImGui::GetIO();
        events.feed(io, 1.0f);
        knobFrame(io.MousePos, io.MouseDown[0]);
    }
    EXPECT_FLOAT_EQ(value, 0.5f + 60.0f / 200.0f);
}

TEST_F(WidgetsTest, KnobDragScalesWithTheRange)
{
    float decibels = 0.0f;
    const auto dragFrame = [&](ImVec2 mouse, bool down) {
        frame(mouse, down, [&](ImDrawList*) {
            ImGui::SetCursorPos(kKnobAt);
            plug::KnobBehavior("db", kRadius, &decibels, -24.0f, 24.0f);
        });
    };
    dragFrame(kGrab, false);
    dragFrame(kGrab, true);
    dragFrame(below(kGrab, 25.0f), true);
    EXPECT_FLOAT_EQ(decibels, -6.0f);  // 25 of 200 pixels down over a range of 48
}

TEST_F(WidgetsTest, KnobHitAreaIsTheSameWithAndWithoutArc)
{
    ImVec2 plain;
    ImVec2 withArc;
    frame(kGrab, false, [&](ImDrawList*) {
        ImGui::SetCursorPos(kKnobAt);
        plug::Knob("a", kRadius, &value, 0.0f, 1.0f, false);
        plain = ImGui::GetItemRectSize();
        ImGui::SetCursorPos(ImVec2(200.0f, 120.0f));
        plug::Knob("b", kRadius, &value, 0.0f, 1.0f, true);
        withArc = ImGui::GetItemRectSize();
    });
    EXPECT_FLOAT_EQ(plain.x, 2.0f * kRadius);
    EXPECT_FLOAT_EQ(plain.y, 2.0f * kRadius + ImGui::GetFontSize() + ImGui::GetStyle().ItemInnerSpacing.y);
    EXPECT_FLOAT_EQ(withArc.x, plain.x);
    EXPECT_FLOAT_EQ(withArc.y, plain.y);
}

// The pointer of a knob drawn without a label: the last thing drawn, one quad from the
// tip to the centre. Its two ends are the midpoints of the vertex pairs far from and
// near the centre; AddLine moves both ends by half a pixel onto pixel centres.
struct Pointer {
    ImVec2 tip;
    ImVec2 centre;
};

float distance(ImVec2 a, ImVec2 b) { return std::hypot(a.x - b.x, a.y - b.y); }

Pointer pointerOf(const ImDrawList& list, ImVec2 centre)
{
    std::array<ImVec2, 4> quad;
    for (int i = 0; i < 4; ++i) quad[i] = list.VtxBuffer[list.VtxBuffer.Size - 4 + i].pos;
    std::sort(quad.begin(), quad.end(), [&](ImVec2 a, ImVec2 b) { return distance(a, centre) > distance(b, centre); });
    const auto middle = [](ImVec2 a, ImVec2 b) { return ImVec2((a.x + b.x) / 2.0f - 0.5f, (a.y + b.y) / 2.0f - 0.5f); };
    return {middle(quad[0], quad[1]), middle(quad[2], quad[3])};
}

TEST_F(WidgetsTest, KnobPointerSweepsFromDownLeftOverTheTopToDownRight)
{
    const float r = kRadius;
    const ImVec2 centre(kKnobAt.x + r, kKnobAt.y + r);
    const float diagonal = r * std::sqrt(0.5f);
    const struct {
        float value;
        ImVec2 tip;
    } cases[] = {
        {0.0f, ImVec2(centre.x - diagonal, centre.y + diagonal)},
        {0.5f, ImVec2(centre.x, centre.y - r)},
        {1.0f, ImVec2(centre.x + diagonal, centre.y + diagonal)},
    };
    for (const auto& c : cases) {
        value = c.value;
        ImDrawList* list = frame(ImVec2(-FLT_MAX, -FLT_MAX), false, [&](ImDrawList*) {
            ImGui::SetCursorPos(kKnobAt);
            plug::Knob("", kRadius, &value, 0.0f, 1.0f, false);
        });
        const Pointer pointer = pointerOf(*list, centre);
        EXPECT_NEAR(pointer.tip.x, c.tip.x, 1e-3f) << "value " << c.value;
        EXPECT_NEAR(pointer.tip.y, c.tip.y, 1e-3f) << "value " << c.value;
        EXPECT_NEAR(pointer.centre.x, centre.x, 1e-3f);
        EXPECT_NEAR(pointer.centre.y, centre.y, 1e-3f);
    }
}

TEST_F(WidgetsTest, KnobWithArcShrinksItsBodyAndDrawsTheArcAtTheFullRadius)
{
    ImDrawList* list = frame(ImVec2(-FLT_MAX, -FLT_MAX), false, [&](ImDrawList*) {
        ImGui::SetCursorPos(kKnobAt);
        plug::Knob("", kRadius, &value, 0.0f, 1.0f, true);
    });
    // The body and the pointer use 0.8 of the radius; value 0.5 points straight up.
    const float r = kRadius * 0.8f;
    const ImVec2 centre(kKnobAt.x + r, kKnobAt.y + r);
    const Pointer pointer = pointerOf(*list, centre);
    EXPECT_NEAR(pointer.centre.x, centre.x, 1e-3f);
    EXPECT_NEAR(pointer.centre.y, centre.y, 1e-3f);
    EXPECT_NEAR(pointer.tip.x, centre.x, 1e-3f);
    EXPECT_NEAR(pointer.tip.y, centre.y - r, 1e-3f);
    // In the body's colour beyond the body (radius 0.9 r) lies only the arc: a stroke
    // 0.2 r thick along the full radius around the shrunk centre.
    const ImU32 grab = ImGui::GetColorU32(ImGuiCol_SliderGrab);
    int arcVertices = 0;
    for (const ImDrawVert& v : list->VtxBuffer) {
        const float d = distance(v.pos, centre);
        if (v.col != grab || d < 0.9f * r + 0.5f) continue;
        ++arcVertices;
        EXPECT_NEAR(d, kRadius, 0.1f * r + 1e-3f);
    }
    EXPECT_GT(arcVertices, 8);
}

struct Rect {
    float x0, y0, x1, y1;
    ImU32 colour;
};

// The three filled rectangles a meter draws, in order: background, level, peak marker;
// each as the bounds of its four vertices.
std::array<Rect, 3> meterRects(const ImDrawList& list)
{
    std::array<Rect, 3> rects{};
    for (int i = 0; i < 3; ++i) {
        const ImDrawVert* v = list.VtxBuffer.Data + 4 * i;
        Rect& r = rects[i];
        r = {v[0].pos.x, v[0].pos.y, v[0].pos.x, v[0].pos.y, v[0].col};
        for (int k = 1; k < 4; ++k) {
            r.x0 = std::min(r.x0, v[k].pos.x);
            r.y0 = std::min(r.y0, v[k].pos.y);
            r.x1 = std::max(r.x1, v[k].pos.x);
            r.y1 = std::max(r.y1, v[k].pos.y);
        }
    }
    return rects;
}

TEST_F(WidgetsTest, MeterFillsNinetyPixelsAndHoldsItsPeakMarkerInside)
{
    const auto meter = [&](float level, float peak) {
        ImDrawList* list = frame(ImVec2(-FLT_MAX, -FLT_MAX), false,
                                 [&](ImDrawList* drawList) { plug::drawMeter(102.0f, level, peak, drawList); });
        return meterRects(*list);
    };
    const ImU32 background = ImGui::GetColorU32(ImGuiCol_Text);
    const ImU32 fill = ImGui::GetColorU32(ImGuiCol_PlotLines);
    const ImU32 quiet = ImGui::GetColorU32(ImGuiCol_TextDisabled);
    const ImU32 alarm = ImGui::GetColorU32(ImGuiCol_NavHighlight);

    auto r = meter(0.0f, 0.0f);  // silence: background only, marker at the floor
    EXPECT_EQ(r[0].x0, 102.0f);
    EXPECT_EQ(r[0].x1, 108.0f);
    EXPECT_EQ(r[0].y0, 106.0f);
    EXPECT_EQ(r[0].y1, 196.0f);
    EXPECT_EQ(r[0].colour, background);
    EXPECT_EQ(r[1].y0, 196.0f);
    EXPECT_EQ(r[1].colour, fill);
    EXPECT_EQ(r[2].y0, 193.0f);
    EXPECT_EQ(r[2].y1, 196.0f);
    EXPECT_EQ(r[2].colour, quiet);

    r = meter(0.7f, 0.9f);  // the sustainer meters' scaling of a full-scale reading
    EXPECT_NEAR(r[1].y0, 196.0f - 63.0f, 1e-4f);
    EXPECT_NEAR(r[2].y0, 196.0f - 81.0f, 1e-4f);
    EXPECT_EQ(r[2].colour, quiet);

    r = meter(2.0f, 1.0f);  // over full scale: full column, alarm marker at the top
    EXPECT_EQ(r[0].y1, 106.0f);
    EXPECT_EQ(r[1].y0, 106.0f);
    EXPECT_EQ(r[2].y0, 106.0f);
    EXPECT_EQ(r[2].y1, 109.0f);
    EXPECT_EQ(r[2].colour, alarm);

    r = meter(std::nanf(""), std::nanf(""));  // an unsettled reading draws as silence
    EXPECT_EQ(r[1].y0, 196.0f);
    EXPECT_EQ(r[2].y0, 193.0f);
}

TEST_F(WidgetsTest, SectionHeaderPutsTheTitleAboveARoundedBox)
{
    ImVec2 titleAt;
    ImDrawList* list = frame(ImVec2(-FLT_MAX, -FLT_MAX), false, [&](ImDrawList* drawList) {
        plug::drawSectionHeader(570.0f, 182.0f, "scope", drawList, nullptr);
        titleAt = ImGui::GetItemRectMin();
    });
    EXPECT_EQ(titleAt.x, 570.0f);
    EXPECT_EQ(titleAt.y, 53.0f);
    float left = FLT_MAX, top = FLT_MAX, right = -FLT_MAX, bottom = -FLT_MAX;
    const ImU32 box = ImGui::GetColorU32(ImGuiCol_BorderShadow);
    int boxVertices = 0;
    for (const ImDrawVert& v : list->VtxBuffer) {
        if (v.col != box) continue;
        ++boxVertices;
        left = std::min(left, v.pos.x);
        top = std::min(top, v.pos.y);
        right = std::max(right, v.pos.x);
        bottom = std::max(bottom, v.pos.y);
    }
    EXPECT_GT(boxVertices, 4);  // rounded corners
    EXPECT_FLOAT_EQ(left, 570.0f);
    EXPECT_FLOAT_EQ(top, 90.0f);
    EXPECT_FLOAT_EQ(right, 752.0f);
    EXPECT_FLOAT_EQ(bottom, 208.0f);
}

}  // namespace
