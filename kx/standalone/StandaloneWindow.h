#pragma once
// The standalone program's window on X11: a top-level frame of the editor's size with the
// product's name as its title, the editor embedded in it as in a host's window. The editor
// opens at the desktop's scale (Xft.dpi), or at the scale the user last gave it by resizing
// the frame, which keeps the editor's aspect ratio. Closing the frame (the window manager's
// close button) ends the program.

#include <string>

#include "kx/AudioPluginEditor.h"

typedef struct _XDisplay Display;

namespace kx::standalone {

class StandaloneWindow {
public:
    // Throws std::runtime_error when there is no display or the editor cannot open in it.
    // The window manager groups windows by the instance and class names.
    // `userScale`: the scale the user chose in an earlier run, or 0 for the desktop's.
    StandaloneWindow(AudioPluginEditor& editor, const std::string& title, const std::string& instanceName,
                     const std::string& className, double userScale = 0.0);
    ~StandaloneWindow();

    StandaloneWindow(const StandaloneWindow&) = delete;
    StandaloneWindow& operator=(const StandaloneWindow&) = delete;

    // Handles the frame's events and idles the editor. Main thread, a few times a second or
    // more. Returns false once the user has closed the window.
    bool poll();
    // The scale the user gave the editor by resizing the frame, or 0 when they did not.
    double userScale() const { return resizedScale; }

private:
    void resized(int width, int height);

    AudioPluginEditor& editor;
    Display* display = nullptr;
    unsigned long frame = 0;
    unsigned long deleteWindow = 0;
    bool editorOpen = false;
    bool frameAlive = true;  // until someone else destroys it
    int frameWidth = 0;
    int frameHeight = 0;
    double resizedScale = 0.0;
};

}  // namespace kx::standalone
