#include "plug/widgets/Widgets.h"

#include "imgui.h"

#include <cmath>

namespace plug {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kSweepStart = kPi * 0.75f;  // minimum: down-left
constexpr float kSweep = kPi * 1.5f;

constexpr float kMeterTop = 106.0f;
constexpr float kMeterBottom = 196.0f;
constexpr float kMeterTravel = 90.0f;
constexpr float kMeterWidth = 6.0f;
constexpr float kPeakMarkerHeight = 3.0f;

// Limits to [low, high]; NaN (a level that never settled) reads as `low`.
float limit(float value, float low, float high)
{
    if (!(value > low)) return low;
    return value > high ? high : value;
}

}  // namespace

bool KnobBehavior(const char* label, float radius, float* value, float minimum, float maximum)
{
    const ImGuiStyle& style = ImGui::GetStyle();
    ImGui::InvisibleButton(label,
                           ImVec2(radius * 2.0f, radius * 2.0f + ImGui::GetFontSize() + style.ItemInnerSpacing.y));
    const float dragY = ImGui::GetIO().MouseDelta.y;
    if (!ImGui::IsItemActive() || dragY == 0.0f) return false;
    float next = *value - (maximum - minimum) / 200.0f * dragY;
    if (next < minimum) next = minimum;
    if (next > maximum) next = maximum;
    *value = next;
    return true;
}

bool Knob(const char* label, float radius, float* value, float minimum, float maximum, bool arc)
{
    const float r = arc ? radius * 0.8f : radius;
    const ImVec2 p = ImGui::GetCursorScreenPos();
    ImDrawList* drawList = ImGui::GetWindowDrawList();
    const ImVec2 c(p.x + r, p.y + r);

    const bool changed = KnobBehavior(label, radius, value, minimum, maximum);

    const float angle = (*value - minimum) / (maximum - minimum) * kSweep + kSweepStart;
    const ImVec2 tip(c.x + std::cos(angle) * r, c.y + std::sin(angle) * r);
    const int segments = radius > 20.0f ? 32 : 24;
    const ImU32 grab = ImGui::GetColorU32(ImGuiCol_SliderGrab);
    const ImU32 text = ImGui::GetColorU32(ImGuiCol_Text);

    drawList->AddCircleFilled(c, r * 0.9f, grab, 32);
    if (arc) {
        drawList->PathArcTo(c, radius, kSweepStart, angle, segments);
        drawList->PathStroke(grab, ImDrawFlags_None, r * 0.2f);
    }
    drawList->AddCircle(c, r, text, segments, r * 0.15f);
    drawList->AddCircleFilled(ImVec2(c.x + 0.5f, c.y + 0.5f), r * 0.15f * 0.5f, text, 12);
    drawList->AddLine(tip, c, text, r * 0.15f);
    drawList->AddText(ImVec2(p.x - 5.0f, p.y + 2.0f * r + ImGui::GetStyle().ItemInnerSpacing.y), text, label);
    return changed;
}

void drawMeter(float x, float level, float peak, ImDrawList* drawList)
{
    const float h = limit(level * kMeterTravel, 0.0f, kMeterTravel);
    const float k = limit(peak * kMeterTravel, kPeakMarkerHeight, kMeterTravel);
    const ImU32 peakColour = ImGui::GetColorU32(peak < 1.0f ? ImGuiCol_TextDisabled : ImGuiCol_NavHighlight);
    const float right = x + kMeterWidth;
    drawList->AddRectFilled(ImVec2(x, kMeterTop), ImVec2(right, kMeterBottom - h), ImGui::GetColorU32(ImGuiCol_Text));
    drawList->AddRectFilled(ImVec2(x, kMeterBottom - h), ImVec2(right, kMeterBottom),
                            ImGui::GetColorU32(ImGuiCol_PlotLines));
    drawList->AddRectFilled(ImVec2(x, kMeterBottom - k), ImVec2(right, kMeterBottom + kPeakMarkerHeight - k),
                            peakColour);
}

void drawSectionHeader(float x, float width, std::string_view title, ImDrawList* drawList, ImFont* titleFont)
{
    ImGui::SetCursorPos(ImVec2(x, 53.0f));
    ImGui::PushFont(titleFont);
    ImGui::TextUnformatted(title.data(), title.data() + title.size());
    ImGui::PopFont();
    drawList->AddRectFilled(ImVec2(x, 90.0f), ImVec2(x + width, 208.0f), ImGui::GetColorU32(ImGuiCol_BorderShadow),
                            8.0f, ImDrawFlags_RoundCornersAll);
}

}  // namespace plug
