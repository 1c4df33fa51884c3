#include "kx/vst2/Vst2PlugEditorAdapter.h"

#include "kx/vst2/Vst2PlugAdapter.h"

namespace kx::vst2 {

Vst2PlugEditorAdapter::Vst2PlugEditorAdapter(Vst2PlugAdapter* owner, AudioPluginEditor* editor)
    : AEffEditor(owner), editor(editor), owner(owner)
{
    rect.top = 0;
    rect.left = 0;
    takeSize();
}

void Vst2PlugEditorAdapter::takeSize()
{
    size = *editor->getSize();
    rect.bottom = static_cast<int16>(size.height);
    rect.right = static_cast<int16>(size.width);
}

bool Vst2PlugEditorAdapter::getRect(ERect** out)
{
    // Hosts ask before opening: the size at the desktop's scale of the moment.
    if (systemWindow == nullptr) editor->useDesktopScale(nullptr);
    takeSize();
    *out = &rect;
    return true;
}

bool Vst2PlugEditorAdapter::open(void* parent)
{
    systemWindow = parent;
    editor->useDesktopScale(parent);
    takeSize();
    return editor->open(parent);
}

void Vst2PlugEditorAdapter::close()
{
    systemWindow = nullptr;
    editor->close();
    sizeSent = false;
}

void Vst2PlugEditorAdapter::idle()
{
    // The window is created on the editor's own thread; size the host's window once it
    // exists, and again after a change of size.
    const EditorSize* now = editor->getSize();
    if (now->width != size.width || now->height != size.height) {
        takeSize();
        sizeSent = false;
    }
    if (!sizeSent && editor->windowIsOpen()) {
        if (resizeNudge) {
            owner->sizeWindow(size.width + 1, size.height + 1);
        }
        owner->sizeWindow(size.width, size.height);
        sizeSent = true;
    }
    editor->idle();
}

}  // namespace kx::vst2
