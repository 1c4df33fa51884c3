#include "plug/Editor.h"

#include "kx/Relaxed.h"
#include "kx/imgui/EmbeddedFonts.h"
#include "plug/Plug.h"
#include "plug/widgets/Widgets.h"

#include "imgui.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plug {

namespace {

constexpr float kKnobRadius = 23.0f;
constexpr float kKnobTop = 120.0f;
constexpr float kPeakFallPerFrame = 0.006f;
// The sustainer can exceed full scale by design; its meters show 0.7 of the level.
constexpr float kSustainerMeterScale = 0.7f;
constexpr float kScopeRange = 0.66f;
constexpr int kScopeLength = 256;

struct SlotColour {
    ImGuiCol slot;
    float r, g, b, a;
};

// The palette: several slots serve as the editor's own colours (knob tints, meter
// fill, panel boxes) rather than for their library meaning. Tab and table slots keep
// the dark preset.
constexpr SlotColour kColours[] = {
    {ImGuiCol_Text, 0.424f, 0.424f, 0.424f, 1.0f},
    {ImGuiCol_TextDisabled, 0.769f, 0.768f, 0.769f, 1.0f},
    {ImGuiCol_WindowBg, 0.894f, 0.894f, 0.894f, 1.0f},
    {ImGuiCol_ChildBg, 0.25f, 0.25f, 0.25f, 1.0f},
    {ImGuiCol_PopupBg, 0.91f, 0.91f, 0.91f, 0.6f},
    {ImGuiCol_Border, 0.12f, 0.12f, 0.12f, 0.71f},
    {ImGuiCol_BorderShadow, 0.855f, 0.835f, 0.835f, 1.0f},
    {ImGuiCol_FrameBg, 0.15f, 0.15f, 0.15f, 1.0f},
    {ImGuiCol_FrameBgHovered, 0.42f, 0.42f, 0.42f, 0.4f},
    {ImGuiCol_FrameBgActive, 0.49f, 0.48f, 0.47f, 0.07f},
    {ImGuiCol_TitleBg, 0.267f, 0.267f, 0.267f, 1.0f},
    {ImGuiCol_TitleBgActive, 0.42f, 0.4f, 0.41f, 0.8f},
    {ImGuiCol_TitleBgCollapsed, 0.17f, 0.17f, 0.17f, 0.9f},
    {ImGuiCol_MenuBarBg, 0.335f, 0.335f, 0.335f, 1.0f},
    {ImGuiCol_ScrollbarBg, 0.24f, 0.24f, 0.24f, 0.53f},
    {ImGuiCol_ScrollbarGrab, 0.41f, 0.41f, 0.41f, 1.0f},
    {ImGuiCol_ScrollbarGrabHovered, 0.52f, 0.52f, 0.52f, 1.0f},
    {ImGuiCol_ScrollbarGrabActive, 0.76f, 0.76f, 0.76f, 1.0f},
    {ImGuiCol_CheckMark, 0.65f, 0.65f, 0.65f, 1.0f},
    {ImGuiCol_SliderGrab, 0.52f, 0.52f, 0.52f, 1.0f},
    {ImGuiCol_SliderGrabActive, 0.64f, 0.64f, 0.64f, 1.0f},
    {ImGuiCol_Button, 0.54f, 0.54f, 0.54f, 0.35f},
    {ImGuiCol_ButtonHovered, 0.52f, 0.52f, 0.52f, 0.59f},
    {ImGuiCol_ButtonActive, 0.76f, 0.76f, 0.76f, 1.0f},
    {ImGuiCol_Header, 0.38f, 0.38f, 0.38f, 1.0f},
    {ImGuiCol_HeaderHovered, 0.47f, 0.47f, 0.47f, 1.0f},
    {ImGuiCol_HeaderActive, 0.76f, 0.76f, 0.76f, 0.77f},
    {ImGuiCol_Separator, 0.0f, 0.0f, 0.0f, 0.137f},
    {ImGuiCol_SeparatorHovered, 0.7f, 0.671f, 0.6f, 0.29f},
    {ImGuiCol_SeparatorActive, 0.702f, 0.671f, 0.6f, 0.674f},
    {ImGuiCol_ResizeGrip, 0.26f, 0.59f, 0.98f, 0.25f},
    {ImGuiCol_ResizeGripHovered, 0.26f, 0.59f, 0.98f, 0.67f},
    {ImGuiCol_ResizeGripActive, 0.26f, 0.59f, 0.98f, 0.95f},
    {ImGuiCol_PlotLines, 0.953f, 0.851f, 0.478f, 1.0f},
    {ImGuiCol_PlotLinesHovered, 0.318f, 0.937f, 0.639f, 1.0f},
    {ImGuiCol_PlotHistogram, 0.12f, 1.0f, 0.61f, 0.62f},
    {ImGuiCol_PlotHistogramHovered, 1.0f, 0.6f, 0.0f, 1.0f},
    {ImGuiCol_TextSelectedBg, 1.0f, 0.592f, 0.765f, 1.0f},
    {ImGuiCol_DragDropTarget, 0.91f, 0.91f, 0.91f, 1.0f},
    {ImGuiCol_NavHighlight, 0.976f, 0.221f, 0.545f, 1.0f},
    {ImGuiCol_NavWindowingHighlight, 1.0f, 1.0f, 1.0f, 0.7f},
    {ImGuiCol_NavWindowingDimBg, 0.8f, 0.8f, 0.8f, 0.2f},
    {ImGuiCol_ModalWindowDimBg, 0.584f, 0.914f, 0.988f, 1.0f},
};

void applyStyle(ImGuiStyle& style)
{
    style.WindowPadding = ImVec2(4.0f, 4.0f);
    style.WindowRounding = 0.0f;
    style.WindowBorderSize = 1.0f;
    style.ChildRounding = 3.0f;
    style.ChildBorderSize = 2.0f;
    style.PopupRounding = 3.0f;
    style.PopupBorderSize = 1.0f;
    style.FramePadding = ImVec2(6.0f, 4.0f);
    style.FrameRounding = 0.0f;
    style.FrameBorderSize = 0.0f;
    style.ItemSpacing = ImVec2(6.0f, 2.0f);
    style.ScrollbarSize = 10.0f;
    style.ScrollbarRounding = 2.0f;
    style.GrabRounding = 3.0f;
    for (const SlotColour& c : kColours) style.Colors[c.slot] = ImVec4(c.r, c.g, c.b, c.a);
}

ImFont* addFont(ImGuiIO& io, ImFontConfig& config, const char* name, kx::imgui::CompressedFont font, float pixels)
{
    std::strncpy(config.Name, name, sizeof config.Name - 1);
    return io.Fonts->AddFontFromMemoryCompressedTTF(font.data, font.compressedSize, pixels, &config);
}

}  // namespace

Editor::Editor(Plug* effect, kx::HostCallback* hostCallback)
    : ImguiEditor(kWidth, kHeight), effect(effect), hostCallback(hostCallback)
{
    refreshValues();
    stereoMode = static_cast<int32_t>(std::lround(2.0f * effect->parameters.value(kStereo)));
}

Editor::~Editor()
{
    close();  // the render thread draws through this object
}

void Editor::idle() {}

void Editor::close()
{
    ImguiEditor::close();
    // Closed with a knob held: its edit ends here.
    const int held = heldKnob.exchange(-1, std::memory_order_relaxed);
    if (held >= 0) hostCallback->endEdit(held);
}

void Editor::refreshValues()
{
    const int held = heldKnob.load(std::memory_order_relaxed);
    for (int i = 0; i < kNumValues; ++i) {
        if (i != held) kx::storeRelaxed(paramValues[i], effect->parameters.value(i));
    }
}

void Editor::setupFonts(ImGuiIO& io, float scale)
{
    ImFontConfig config;
    addFont(io, config, "Roboto", kx::imgui::EmbeddedFonts::robotoMedium(), 15.0f * scale);
    textFont = addFont(io, config, "poppins", kx::imgui::EmbeddedFonts::poppinsMedium(), 21.0f * scale);
    titleFont = addFont(io, config, "poppins_large", kx::imgui::EmbeddedFonts::poppinsRegular(), 39.0f * scale);
    applyStyle(ImGui::GetStyle());
}

void Editor::draw()
{
    // The knobs take the stored values every frame, so they follow the host's automation at once.
    refreshValues();
    ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowSize(ImVec2(static_cast<float>(kWidth), static_cast<float>(kHeight)));
    ImGui::SetNextWindowBgAlpha(0.0f);
    ImGui::Begin("__", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoBringToFrontOnFocus);
    ImGui::PushFont(textFont);
    ImDrawList* drawList = ImGui::GetWindowDrawList();
    // Edges smoothed over one pixel of the display, not one of the layout.
    drawList->_FringeScale = 1.0f / drawScale();

    drawList->AddRectFilled(ImVec2(0.0f, 0.0f), ImVec2(1110.0f, 737.0f), ImGui::GetColorU32(ImGuiCol_WindowBg));
    drawList->AddRectFilled(ImVec2(0.0f, 0.0f), ImVec2(910.0f, 45.0f), ImGui::GetColorU32(ImGuiCol_TitleBg));

    ImGui::PushFont(titleFont);
    ImGui::PushStyleColor(ImGuiCol_Text, ImGui::GetStyleColorVec4(ImGuiCol_TextDisabled));
    ImGui::SetCursorPosX(10.0f);
    ImGui::TextUnformatted("TW07 - distortion/sustainer");
    ImGui::PopFont();
    ImGui::SetCursorPos(ImVec2(760.0f, 23.0f));
    ImGui::TextUnformatted("Tarnwell Industries");
    ImGui::PopStyleColor();

    drawSectionHeader(15.0f, 127.0f, "drive", drawList, titleFont);
    drawKnob("   gain", kDrive, 31.0f, kKnobTop, ImGuiCol_PlotLinesHovered, false);
    const MeterReadings sustainer = effect->sustainerLevels();
    levelsOf(sustainer, drawnLevels[0]);
    drawMeters(102.0f, kSustainerMeterScale, 0, sustainer, drawList);

    const float toneX = drawCompressionPanel(152.0f, drawList) + 10.0f;
    const float scopeX = drawTonePanel(toneX, drawList) + 10.0f;
    drawScopePanel(scopeX, drawList);

    const float masterX = scopeX + 182.0f + 10.0f;
    drawSectionHeader(masterX, 127.0f, "master", drawList, titleFont);
    drawKnob("  level", kPostGain, masterX + 16.0f, kKnobTop, ImGuiCol_DragDropTarget, false);
    const MeterReadings output = effect->outputLevels();
    levelsOf(output, drawnLevels[1]);
    drawMeters(masterX + 87.0f, 1.0f, 2, output, drawList);

    ImGui::SetCursorPos(ImVec2(654.0f, 214.0f));
    ImGui::TextUnformatted("version 0.1.3, x86-64, built 210722");

    ImGui::PopFont();
    ImGui::End();
}

void Editor::levelsOf(const MeterReadings& readings, float (&levels)[4])
{
    levels[0] = readings.rms0;
    levels[1] = readings.rms1;
    levels[2] = readings.peak0;
    levels[3] = readings.peak1;
}

// What draw() shows besides the mouse's doing: the stored values, the levels with their
// falling holds, and the scope's frame.
bool Editor::newsSinceLastFrame()
{
    const int held = heldKnob.load(std::memory_order_relaxed);
    for (int i = 0; i < kNumValues; ++i) {
        if (i != held && effect->parameters.value(i) != kx::loadRelaxed(paramValues[i])) return true;
    }
    float levels[2][4];
    levelsOf(effect->sustainerLevels(), levels[0]);
    levelsOf(effect->outputLevels(), levels[1]);
    if (std::memcmp(levels, drawnLevels, sizeof levels) != 0) return true;
    // A hold above its peak reading still falls.
    for (int m = 0; m < 2; ++m) {
        if (peakHold[2 * m] != drawnLevels[m][2] || peakHold[2 * m + 1] != drawnLevels[m][3]) return true;
    }
    effect->scopeBrick().frameStore().read(nextTrace);
    return std::memcmp(nextTrace, trace, sizeof trace) != 0;
}

void Editor::drawKnob(const char* label, int index, float x, float y, int tint, bool doubleClickResets)
{
    ImGui::SetCursorPos(ImVec2(x, y));
    float value = kx::loadRelaxed(paramValues[index]);
    ImGui::PushStyleColor(ImGuiCol_SliderGrab, ImGui::GetStyleColorVec4(tint));
    const bool changed = Knob(label, kKnobRadius, &value, 0.0f, 1.0f, false);
    ImGui::PopStyleColor();
    // Stored only when dragged, so a refresh from the host thread in between survives.
    if (changed) kx::storeRelaxed(paramValues[index], value);
    if (ImGui::IsItemActivated()) hostCallback->beginEdit(index);
    if (ImGui::IsItemDeactivated()) {
        int self = index;
        if (heldKnob.compare_exchange_strong(self, -1, std::memory_order_relaxed)) hostCallback->endEdit(index);
    }
    if (!ImGui::IsItemActive()) {
        int self = index;
        heldKnob.compare_exchange_strong(self, -1, std::memory_order_relaxed);
        return;
    }
    heldKnob.store(index, std::memory_order_relaxed);
    if (doubleClickResets && ImGui::IsMouseDoubleClicked(0)) {
        value = 0.5f;
        kx::storeRelaxed(paramValues[index], value);
    }
    // Every frame the knob is held, moved or not.
    hostCallback->automate(index, value);
}

// Two meter columns 13 pixels apart, channel 0 at x; the held peaks fall by a fixed step
// per frame and jump up to any higher reading.
void Editor::drawMeters(float x, float scale, int holdIndex, const MeterReadings& readings, ImDrawList* drawList)
{
    float& hold0 = peakHold[holdIndex];
    float& hold1 = peakHold[holdIndex + 1];
    hold0 = std::max(hold0 - kPeakFallPerFrame, readings.peak0);
    hold1 = std::max(hold1 - kPeakFallPerFrame, readings.peak1);
    drawMeter(x, readings.rms0 * scale, hold0 * scale, drawList);
    drawMeter(x + 13.0f, readings.rms1 * scale, hold1 * scale, drawList);
}

float Editor::drawCompressionPanel(float x, ImDrawList* drawList)
{
    drawSectionHeader(x, 202.0f, "compression", drawList, titleFont);
    drawKnob("amount", kCompression, x + 16.0f, kKnobTop, ImGuiCol_PlotLines, false);
    drawKnob(" speed", kSpeed, x + 76.0f, kKnobTop, ImGuiCol_PlotLines, false);
    drawStereoSelector(x + 151.0f, drawList);
    ImGui::SetCursorPos(ImVec2(x + 139.0f, 170.0f));
    ImGui::TextUnformatted("stereo");
    return x + 202.0f;
}

// Three rows (two separate rings, two overlapping rings, one ring) with the chosen one
// in inverted colours; a click anywhere on it steps Stereo -> Linked -> Mono -> Stereo.
void Editor::drawStereoSelector(float left, ImDrawList* drawList)
{
    struct Row {
        float top;
        float ringOffsets[2];
        int rings;
    };
    constexpr Row kRows[3] = {{113.0f, {8.5f, 19.5f}, 2}, {130.0f, {11.5f, 16.5f}, 2}, {147.0f, {14.0f, 0.0f}, 1}};
    const ImU32 text = ImGui::GetColorU32(ImGuiCol_Text);
    const ImU32 disabled = ImGui::GetColorU32(ImGuiCol_TextDisabled);
    for (int row = 0; row < 3; ++row) {
        const bool chosen = row == stereoMode;
        const ImU32 box = chosen ? text : disabled;
        const ImU32 rings = chosen ? disabled : text;
        const Row& r = kRows[row];
        drawList->AddRectFilled(ImVec2(left, r.top), ImVec2(left + 28.0f, r.top + 14.0f), box, 3.0f,
                                ImDrawFlags_RoundCornersAll);
        for (int ring = 0; ring < r.rings; ++ring)
            drawList->AddCircle(ImVec2(left + r.ringOffsets[ring], r.top + 7.0f), 4.5f, rings, 12, 2.0f);
    }
    ImGui::SetCursorPos(ImVec2(left, 120.0f));
    ImGui::InvisibleButton("Stereo", ImVec2(28.0f, 52.0f));
    if (ImGui::IsItemClicked(0)) {
        stereoMode = (stereoMode + 1) % 3;
        hostCallback->beginEdit(kStereo);
        hostCallback->automate(kStereo, static_cast<float>(stereoMode) * 0.5f);
        hostCallback->endEdit(kStereo);
    }
}

float Editor::drawTonePanel(float x, ImDrawList* drawList)
{
    drawSectionHeader(x, 196.0f, "tone", drawList, titleFont);
    drawKnob("     lo", kToneLo, x + 16.0f, kKnobTop, ImGuiCol_ModalWindowDimBg, true);
    drawKnob("   mid", kToneMid, x + 76.0f, kKnobTop, ImGuiCol_ModalWindowDimBg, true);
    drawKnob("     hi", kToneHi, x + 136.0f, kKnobTop, ImGuiCol_ModalWindowDimBg, true);
    return x + 196.0f;
}

// The frame before the most recently finished one, copied into the scope's display
// buffer and drawn over the panel's box.
void Editor::drawScopePanel(float x, ImDrawList* drawList)
{
    drawSectionHeader(x, 182.0f, "scope", drawList, titleFont);
    auto& scope = effect->scopeBrick();
    scope.frameStore().read(trace);
    float* display = scope.displayBuffer();
    for (int i = 0; i < kScopeLength; ++i) kx::storeRelaxed(display[i], trace[i]);
    ImGui::PushStyleVar(ImGuiStyleVar_FrameRounding, 8.0f);
    ImGui::PushStyleColor(ImGuiCol_PlotLines, ImGui::GetStyleColorVec4(ImGuiCol_ModalWindowDimBg));
    ImGui::SetCursorPos(ImVec2(x, 90.0f));
    ImGui::PlotLines("##plot", trace, kScopeLength, 0, "", -kScopeRange, kScopeRange, ImVec2(182.0f, 118.0f),
                     sizeof(float));
    ImGui::PopStyleColor();
    ImGui::PopStyleVar();
}

}  // namespace plug
