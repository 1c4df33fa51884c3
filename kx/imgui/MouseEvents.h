#pragma once
// The mouse as the window library reports it, event by event, handed to the GUI one
// frame at a time so that no press, release or motion is lost however long a frame
// takes. A frame takes either the moves that come next (as one) or the button changes
// that come next, at most one per button: a press and its release never share a frame,
// and motion while a button is held is seen with the button down.

#include <deque>
#include <mutex>

struct ImGuiIO;

namespace kx::imgui {

class MouseEvents {
public:
    // At each opening: forgets what the last one left and places the pointer.
    void start(double x, double y);
    void moved(double x, double y);
    void button(int button, bool down);
    // Releases every button held: the pointer was taken away without a release reaching
    // the window (it was hidden).
    void letGo();
    // Whether events wait for a frame or a button is held.
    bool busy();
    // Sets the mouse position and buttons of the GUI's next frame, in units `scale` of the
    // window system's pixels.
    void feed(ImGuiIO& io, float scale);

private:
    struct Event {
        bool isMove;
        float x;
        float y;
        int button;
        bool down;
    };

    std::mutex mutex;  // events come from whichever render thread polls the window system
    std::deque<Event> pending;
    float x = 0.0f;
    float y = 0.0f;
    unsigned held = 0;  // bit per button
    bool placed = false;
};

}  // namespace kx::imgui
