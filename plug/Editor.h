#pragma once
// The effect's editor: a 910 x 237 layout, drawn at the display's scale, with the drive, compression, tone, scope and
// master panels, level meters after the sustainer and at the output, an oscilloscope
// trace of the output, and knob edits sent to the host as automation.

#include "kx/AudioPluginEditor.h"
#include "kx/HostCallback.h"
#include "kx/imgui/ImguiEditor.h"

#include <atomic>
#include <cstdint>

struct ImDrawList;
struct ImFont;

namespace plug {

class Plug;
struct MeterReadings;

class Editor : public kx::imgui::ImguiEditor {
public:
    static constexpr int kWidth = 910;
    static constexpr int kHeight = 237;
    static constexpr int kNumValues = 8;

    // Takes its knob positions from the effect's stored parameter values; opens nothing.
    Editor(Plug* effect, kx::HostCallback* hostCallback);
    ~Editor() override;

    // Nothing: the render thread refreshes the knobs, whether or not a host calls this.
    void idle() override;
    // Also ends the edit of a knob still held.
    void close() override;

protected:
    void draw() override;
    bool newsSinceLastFrame() override;
    void setupFonts(ImGuiIO& io, float scale) override;

private:
    void refreshValues();
    // A knob tinted with `tint` on knob copy `index`; sends the value while it is held.
    void drawKnob(const char* label, int index, float x, float y, int tint, bool doubleClickResets);
    void drawMeters(float x, float scale, int holdIndex, const MeterReadings& readings, ImDrawList* drawList);
    static void levelsOf(const MeterReadings& readings, float (&levels)[4]);
    float drawCompressionPanel(float x, ImDrawList* drawList);
    void drawStereoSelector(float left, ImDrawList* drawList);
    float drawTonePanel(float x, ImDrawList* drawList);
    void drawScopePanel(float x, ImDrawList* drawList);

    int32_t stereoMode;
    Plug* effect;
    kx::HostCallback* hostCallback;
    float peakHold[4] = {0.0f, 0.0f, 0.0f, 0.0f};  // render thread only
    // Written by knob drags and the refresh on the render thread, read by the host's
    // thread: accessed whole with relaxed atomics.
    float paramValues[kNumValues] = {};
    // The knob the mouse holds (-1: none); the refresh leaves its value alone, so a
    // drag never steps back to a stored value the audio thread has not caught up with.
    std::atomic<int> heldKnob{-1};
    ImFont* titleFont = nullptr;
    ImFont* textFont = nullptr;
    float trace[256] = {};      // render thread only: this frame's copy of the scope frame
    float nextTrace[256] = {};  // render thread only: the scope frame as it is now
    // Render thread only: the sustainer's and the output's readings as last drawn.
    float drawnLevels[2][4] = {};
};

}  // namespace plug
