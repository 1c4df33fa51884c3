#include "kx/imgui/MouseEvents.h"

#include "imgui.h"

#include <cfloat>

namespace kx::imgui {

namespace {

constexpr int kButtons = IM_ARRAYSIZE(ImGuiIO::MouseDown);

}  // namespace

void MouseEvents::start(double newX, double newY)
{
    std::lock_guard lock(mutex);
    pending.clear();
    held = 0;
    x = static_cast<float>(newX);
    y = static_cast<float>(newY);
    placed = true;
}

void MouseEvents::moved(double newX, double newY)
{
    std::lock_guard lock(mutex);
    // Moves in a row need only their last position: the queue grows with presses only.
    if (!pending.empty() && pending.back().isMove) pending.pop_back();
    pending.push_back({true, static_cast<float>(newX), static_cast<float>(newY), 0, false});
}

void MouseEvents::button(int button, bool down)
{
    if (button < 0 || button >= kButtons) return;
    std::lock_guard lock(mutex);
    pending.push_back({false, 0.0f, 0.0f, button, down});
}

void MouseEvents::letGo()
{
    std::lock_guard lock(mutex);
    for (int b = 0; b < kButtons; ++b) pending.push_back({false, 0.0f, 0.0f, b, false});
}

bool MouseEvents::busy()
{
    std::lock_guard lock(mutex);
    return !pending.empty() || held != 0;
}

void MouseEvents::feed(ImGuiIO& io, float scale)
{
    {
        std::lock_guard lock(mutex);
        if (!pending.empty() && pending.front().isMove) {
            x = pending.front().x;
            y = pending.front().y;
            placed = true;
            pending.pop_front();
        } else {
            unsigned changed = 0;
            while (!pending.empty() && !pending.front().isMove) {
                const Event& event = pending.front();
                const unsigned bit = 1u << event.button;
                if (((held & bit) != 0) != event.down) {
                    if ((changed & bit) != 0) break;  // the next frame takes it
                    held ^= bit;
                    changed |= bit;
                }
                pending.pop_front();
            }
        }
    }
    io.MousePos = placed ? ImVec2(x / scale, y / scale) : ImVec2(-FLT_MAX, -FLT_MAX);
    for (int b = 0; b < kButtons; ++b) io.MouseDown[b] = (held & (1u << b)) != 0;
}

}  // namespace kx::imgui
