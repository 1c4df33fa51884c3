#include "kx/vst3/Vst3PlugView.h"

#include <cstring>
#include <map>
#include <utility>

#include "kx/vst3/Vst3PlugAdapter.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace kx::vst3 {

namespace {

constexpr uint64 kTimerMilliseconds = 16;  // about a frame of the editor

#if defined(_WIN32)
constexpr const char* kPlatformType = kPlatformTypeHWND;

// Thread timers call back with their id only; the UI thread's views by id.
std::map<UINT_PTR, Vst3PlugView*>& viewsByTimer()
{
    static std::map<UINT_PTR, Vst3PlugView*> views;
    return views;
}

void CALLBACK onThreadTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    const auto found = viewsByTimer().find(id);
    if (found != viewsByTimer().end()) found->second->onTimer();
}
#else
constexpr const char* kPlatformType = kPlatformTypeX11EmbedWindowID;
#endif

}  // namespace

Vst3PlugView::Vst3PlugView(Vst3PlugAdapter& owner, std::function<void()> onGone)
    : owner(owner), onGone(std::move(onGone))
{
    owner.addRef();
}

Vst3PlugView::~Vst3PlugView()
{
    removed();
    onGone();
    owner.release();
}

tresult Vst3PlugView::queryInterface(const TUID iid, void** object)
{
    if (object == nullptr) return kInvalidArgument;
    void* found = nullptr;
    if (kFUnknownIid == iid || kIPlugViewIid == iid)
        found = static_cast<IPlugView*>(this);
    else if (kIPlugViewContentScaleSupportIid == iid)
        found = static_cast<IPlugViewContentScaleSupport*>(this);
    else if (kITimerHandlerIid == iid)
        found = static_cast<ITimerHandler*>(this);
    *object = found;
    if (found == nullptr) return kNoInterface;
    addRef();
    return kResultOk;
}

uint32 Vst3PlugView::addRef() { return ++references; }

uint32 Vst3PlugView::release()
{
    const uint32 left = --references;
    if (left == 0) delete this;
    return left;
}

tresult Vst3PlugView::isPlatformTypeSupported(FIDString type)
{
    return type != nullptr && std::strcmp(type, kPlatformType) == 0 ? kResultTrue : kResultFalse;
}

tresult Vst3PlugView::attached(void* parent, FIDString type)
{
    if (attachedToParent || parent == nullptr || isPlatformTypeSupported(type) != kResultTrue) return kResultFalse;
    AudioPluginEditor* editor = owner.editor();
    if (editor == nullptr) return kResultFalse;
    const EditorSize answered = *editor->getSize();  // what the host sized its window by
#if defined(_WIN32)
    // A host that gives no scale: the DPI of the monitor its window is on. The timer asks
    // the host for the size that comes of it.
    if (!scaleGiven) editor->useDesktopScale(parent);
#endif
    if (!editor->open(parent)) return kResultFalse;
    attachedToParent = true;
    shownSize = answered;
    startTimer();
    return kResultOk;
}

tresult Vst3PlugView::removed()
{
    if (!attachedToParent) return kResultFalse;
    stopTimer();
    owner.editor()->close();
    attachedToParent = false;
    // Closing ends a held knob's gesture: that, too, reaches the host.
    owner.tellHostOfEdits();
    return kResultOk;
}

tresult Vst3PlugView::getSize(ViewRect* size)
{
    AudioPluginEditor* editor = owner.editor();
    if (size == nullptr || editor == nullptr) return kInvalidArgument;
    *size = ViewRect{0, 0, editor->getSize()->width, editor->getSize()->height};
    return kResultOk;
}

// The host's window has this size now: the editor takes the nearest it can have.
tresult Vst3PlugView::onSize(ViewRect* newSize)
{
    AudioPluginEditor* editor = owner.editor();
    if (newSize == nullptr || editor == nullptr) return kInvalidArgument;
    editor->setSize(newSize->right - newSize->left, newSize->bottom - newSize->top);
    shownSize = *editor->getSize();
    return kResultOk;
}

tresult Vst3PlugView::canResize()
{
    const AudioPluginEditor* editor = owner.editor();
    return editor != nullptr && editor->canResize() ? kResultTrue : kResultFalse;
}

tresult Vst3PlugView::checkSizeConstraint(ViewRect* rect)
{
    const AudioPluginEditor* editor = owner.editor();
    if (rect == nullptr || editor == nullptr) return kInvalidArgument;
    const EditorSize adjusted = editor->adjustSize(rect->right - rect->left, rect->bottom - rect->top);
    rect->right = rect->left + adjusted.width;
    rect->bottom = rect->top + adjusted.height;
    return kResultTrue;
}

tresult Vst3PlugView::setContentScaleFactor(float factor)
{
    AudioPluginEditor* editor = owner.editor();
    if (editor == nullptr || !editor->setScale(factor)) return kResultFalse;
    scaleGiven = true;
    if (attachedToParent) askForSize();
    return kResultOk;
}

void Vst3PlugView::askForSize()
{
    ViewRect rect{};
    if (getSize(&rect) != kResultOk) return;
    shownSize = {rect.right, rect.bottom, 0};
    if (frame != nullptr) frame->resizeView(this, &rect);
}

tresult Vst3PlugView::setFrame(IPlugFrame* newFrame)
{
    frame = newFrame;
    return kResultOk;
}

void Vst3PlugView::onTimer()
{
    owner.tellHostOfEdits();
    // The editor follows the desktop's scale where the host gives none (Windows: moved to
    // a monitor of another scale).
    const AudioPluginEditor* editor = owner.editor();
    if (editor != nullptr && (editor->getSize()->width != shownSize.width || editor->getSize()->height != shownSize.height))
        askForSize();
}

void Vst3PlugView::startTimer()
{
#if defined(_WIN32)
    timer = SetTimer(nullptr, 0, static_cast<UINT>(kTimerMilliseconds), onThreadTimer);
    if (timer != 0) viewsByTimer()[timer] = this;
#else
    if (frame == nullptr) return;
    IRunLoop* loop = nullptr;
    if (frame->queryInterface(kIRunLoopIid.bytes, reinterpret_cast<void**>(&loop)) != kResultOk || loop == nullptr)
        return;
    if (loop->registerTimer(this, kTimerMilliseconds) == kResultOk)
        runLoop = loop;
    else
        loop->release();
#endif
}

void Vst3PlugView::stopTimer()
{
#if defined(_WIN32)
    if (timer != 0) {
        KillTimer(nullptr, timer);
        viewsByTimer().erase(timer);
        timer = 0;
    }
#else
    if (runLoop != nullptr) {
        runLoop->unregisterTimer(this);
        runLoop->release();
        runLoop = nullptr;
    }
#endif
}

}  // namespace kx::vst3
