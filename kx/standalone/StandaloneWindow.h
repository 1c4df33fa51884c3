#pragma once
// The standalone program's window on X11: a top-level frame of the editor's size with the
// product's name as its title, the editor embedded in it as in a host's window. Closing the
// frame (the window manager's close button) ends the program.

#include <string>

#include "kx/AudioPluginEditor.h"

typedef struct _XDisplay Display;

namespace kx::standalone {

class StandaloneWindow {
public:
    // Throws std::runtime_error when there is no display or the editor cannot open in it.
    // The window manager groups windows by the instance and class names.
    StandaloneWindow(AudioPluginEditor& editor, const std::string& title, const std::string& instanceName,
                     const std::string& className);
    ~StandaloneWindow();

    StandaloneWindow(const StandaloneWindow&) = delete;
    StandaloneWindow& operator=(const StandaloneWindow&) = delete;

    // Handles the frame's events and idles the editor. Main thread, a few times a second or
    // more. Returns false once the user has closed the window.
    bool poll();

private:
    AudioPluginEditor& editor;
    Display* display = nullptr;
    unsigned long frame = 0;
    unsigned long deleteWindow = 0;
    bool editorOpen = false;
    bool frameAlive = true;  // until someone else destroys it
};

}  // namespace kx::standalone
