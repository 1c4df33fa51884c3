#pragma once
// A small X11 window that shows the program's reason for not playing, for a user who started it
// from a desktop menu and so sees no terminal: the text, wrapped, and an OK button. The button,
// Return, Escape or the window manager's close button close it.

#include <string>
#include <vector>

typedef struct _XDisplay Display;
typedef struct _XGC* GC;

namespace kx::standalone {

class MessageWindow {
public:
    // Throws std::runtime_error when there is no display. The window manager groups windows by
    // the instance and class names.
    MessageWindow(const std::string& title, const std::string& text, const std::string& instanceName,
                  const std::string& className);
    ~MessageWindow();

    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    // Handles the window's events. Main thread, a few times a second or more. Returns false once
    // the user has closed it.
    bool poll();

private:
    struct Box {
        int x, y, width, height;
        bool contains(int px, int py) const { return px >= x && px < x + width && py >= y && py < y + height; }
    };

    void draw() const;

    Display* display = nullptr;
    unsigned long font = 0;
    int ascent = 0;      // pixels from a line's top to its baseline
    int lineHeight = 0;  // pixels
    int labelX = 0;      // where the button's label begins
    GC gc = nullptr;
    unsigned long window = 0;
    unsigned long deleteWindow = 0;
    std::vector<std::string> lines;
    Box button{};
};

}  // namespace kx::standalone
