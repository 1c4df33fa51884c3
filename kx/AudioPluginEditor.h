#pragma once
// The host-independent editor interface an effect may offer.

#include <cstdint>

namespace kx {

struct EditorSize {
    int32_t width;   // pixels
    int32_t height;  // pixels
    int32_t reserved;
};

class AudioPluginEditor {
public:
    virtual ~AudioPluginEditor();
    virtual const EditorSize* getSize() const = 0;  // owned by the editor, valid for its life
    virtual bool open(void* parent) = 0;            // parent: the host's native window
    virtual void close() = 0;
    virtual void idle() = 0;
    virtual void setSize(int width, int height) = 0;
    // Whether the editor's own window exists yet (it may be created later on another thread).
    virtual bool windowIsOpen() const = 0;
    // That window's native handle (X11: its Window id; Win32: its HWND) while it is open, else 0.
    virtual uintptr_t nativeWindow() const { return 0; }
};

}  // namespace kx
