#pragma once
// The host-independent editor interface an effect may offer.

#include <cstdint>

namespace kx {

struct EditorSize {
    int32_t width;   // pixels
    int32_t height;  // pixels
    int32_t reserved;
};

// Every call but the render thread's own is made on the host's user-interface thread.
class AudioPluginEditor {
public:
    virtual ~AudioPluginEditor();
    // At the current scale, in the display's pixels; owned by the editor, valid for its life.
    virtual const EditorSize* getSize() const = 0;
    virtual bool open(void* parent) = 0;  // parent: the host's native window
    virtual void close() = 0;
    virtual void idle() = 0;
    // Takes the size nearest to width x height that the editor can have (adjustSize).
    virtual void setSize(int width, int height) = 0;
    // Whether the editor's own window exists yet (it may be created later on another thread).
    virtual bool windowIsOpen() const = 0;
    // That window's native handle (X11: its Window id; Win32: its HWND) while it is open, else 0.
    virtual uintptr_t nativeWindow() const { return 0; }

    // Draws the same layout `scale` times larger (1: the layout's own pixels), at once if
    // open. A scale outside EditorScale's limits, or not a number, is refused: false, and
    // nothing changes.
    virtual bool setScale(double) { return false; }
    virtual double scale() const { return 1.0; }
    // The size at scale 1, whose aspect ratio every size keeps.
    virtual EditorSize layoutSize() const { return *getSize(); }
    // Whether the editor takes sizes other than its size at the display's scale.
    virtual bool canResize() const { return false; }
    // The size the editor would take for width x height: its aspect ratio kept, its scale
    // within the limits.
    virtual EditorSize adjustSize(int, int) const { return *getSize(); }
    // For formats that give no scale: takes the one the desktop asks for (X11: the Xft.dpi
    // resource; Windows: the DPI of the monitor `parent` is on, or of the primary one for
    // none), and follows it while open where the desktop says when it changes (Windows:
    // the window moved to another monitor), until setScale or setSize.
    virtual void useDesktopScale(void*) {}
};

}  // namespace kx
