#pragma once
// The editor's own widgets, drawn with Dear ImGui into the current window of the
// calling thread's context. They keep no state between frames and take their colours
// from the current style, so a caller tints a knob by pushing ImGuiCol_SliderGrab.
// Positions are pixels from the window's top-left corner, which sits at the origin.

#include <string_view>

struct ImDrawList;
struct ImFont;

namespace plug {

// The knob's hit area (an invisible button at the cursor, 2 radius wide, 2 radius plus
// a text line high) and its vertical drag: 200 pixels of drag sweep the whole range.
// Returns true when it changed the value this frame.
bool KnobBehavior(const char* label, float radius, float* value, float minimum, float maximum);

// KnobBehavior plus the drawing: a body, an optional value arc, a ring, a pointer over a
// 270 degree sweep (minimum down-left, maximum down-right) and the label below.
bool Knob(const char* label, float radius, float* value, float minimum, float maximum, bool arc);

// One level meter column (x to x + 6, y 106 to 196) with a 3-pixel peak marker;
// 1.0 is full scale, and a peak from 1.0 up turns the marker to the alarm colour.
void drawMeter(float x, float level, float peak, ImDrawList* drawList);

// A panel's title at (x, 53) in the title font, over a rounded box from y 90 to 208.
void drawSectionHeader(float x, float width, std::string_view title, ImDrawList* drawList, ImFont* titleFont);

}  // namespace plug
