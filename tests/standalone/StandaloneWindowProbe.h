#pragma once
// Looks at the program's window from outside, as a user's desktop does.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

typedef struct _XDisplay Display;

namespace standalonetest {

class WindowProbe {
public:
    WindowProbe();
    ~WindowProbe();
    WindowProbe(const WindowProbe&) = delete;
    WindowProbe& operator=(const WindowProbe&) = delete;

    // A top-level window with this title, or 0.
    unsigned long find(const std::string& title);
    std::pair<int, int> size(unsigned long window);
    bool hasChild(unsigned long window);
    // The size of its first child (the editor's); 0 x 0 without one.
    std::pair<int, int> childSize(unsigned long window);
    // A new size, as the window manager gives when the user drags the frame.
    void resize(unsigned long window, int width, int height);
    // The desktop's resources, as xrdb sets them (null removes them).
    void setResources(const char* resources);
    // The window's contents with its children, one value per pixel.
    std::vector<uint32_t> pixels(unsigned long window);
    // What the window manager's close button does.
    void close(unsigned long window);

private:
    Display* display;
};

}  // namespace standalonetest
