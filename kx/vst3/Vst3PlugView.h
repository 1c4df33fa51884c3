#pragma once
// The effect's editor as a VST 3 view: embedded in the host's window (an X11 window id on
// Linux, an HWND on Windows) at the display's scale, resizable keeping its aspect ratio. While attached, a timer on the host's UI
// thread (the host's run loop on Linux, a thread timer on Windows) hands the editor's edits
// to the host; the editor itself draws on a thread of its own, so nothing here blocks the
// host's UI thread.

#include <atomic>
#include <functional>

#include "kx/AudioPluginEditor.h"
#include "kx/vst3/Vst3Interface.h"

namespace kx::vst3 {

class Vst3PlugAdapter;

class Vst3PlugView final : public IPlugView, public IPlugViewContentScaleSupport, public ITimerHandler {
public:
    // `onGone` runs when the host releases the view for the last time.
    Vst3PlugView(Vst3PlugAdapter& owner, std::function<void()> onGone);
    ~Vst3PlugView();
    Vst3PlugView(const Vst3PlugView&) = delete;
    Vst3PlugView& operator=(const Vst3PlugView&) = delete;

    tresult queryInterface(const TUID iid, void** object) override;
    uint32 addRef() override;
    uint32 release() override;

    tresult isPlatformTypeSupported(FIDString type) override;
    tresult attached(void* parent, FIDString type) override;
    tresult removed() override;
    tresult onWheel(float) override { return kResultFalse; }
    tresult onKeyDown(char16, int16, int16) override { return kResultFalse; }
    tresult onKeyUp(char16, int16, int16) override { return kResultFalse; }
    tresult getSize(ViewRect* size) override;
    tresult onSize(ViewRect* newSize) override;
    tresult onFocus(TBool) override { return kResultOk; }
    tresult setFrame(IPlugFrame* frame) override;
    tresult canResize() override;
    tresult checkSizeConstraint(ViewRect* rect) override;

    tresult setContentScaleFactor(float factor) override;

    // ITimerHandler: the host's UI thread.
    void onTimer() override;

private:
    void startTimer();
    void stopTimer();
    // Asks the frame for the editor's size, where the view is attached to one.
    void askForSize();

    std::atomic<uint32> references{1};
    Vst3PlugAdapter& owner;
    std::function<void()> onGone;
    IPlugFrame* frame = nullptr;
    IRunLoop* runLoop = nullptr;  // the frame's, while the timer runs on it
    uintptr_t timer = 0;          // Windows: the thread timer's id
    bool attachedToParent = false;
    bool scaleGiven = false;  // by the host
    EditorSize shownSize{};   // the size the host's window was last given or asked for
};

}  // namespace kx::vst3
