#pragma once
// Presents the plug-in's host-independent editor to the VST layer and asks the host to size
// its window to the editor: once per opening, and again when the editor's size changes.
// The format gives no display scale: the editor takes the desktop's (Xft.dpi on X11, the
// monitor's DPI on Windows) whenever it opens.

#include "kx/AudioPluginEditor.h"
#include "kx/vst2/AEffEditor.h"

namespace kx::vst2 {

class Vst2PlugAdapter;

class Vst2PlugEditorAdapter final : public AEffEditor {
public:
    Vst2PlugEditorAdapter(Vst2PlugAdapter* owner, AudioPluginEditor* editor);

    bool getRect(ERect** out) override;
    bool open(void* parent) override;
    void close() override;
    void idle() override;

    // Some hosts lay the window out only after a size change: ask one pixel larger first.
    bool resizeNudge = false;

private:
    void takeSize();

    ERect rect;
    AudioPluginEditor* editor;  // owned by the plug-in
    EditorSize size;            // as last given to the host
    Vst2PlugAdapter* owner;
    bool sizeSent = false;  // since the last opening
};

}  // namespace kx::vst2
