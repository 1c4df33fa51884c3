#pragma once
// The effect's editor as an LV2 X11 UI, embedded in the host's window (ui:parent). With access
// to the running instance (instance-access) it opens that instance's editor, whose meters and
// scope show what the instance plays; without it, an effect of its own hosts the editor, its
// knobs following the host's port events. Either way the editor's edits go to the host as
// control port writes (with touch gestures where the host offers them), on the host's UI
// thread in idle.

#include <cstdint>
#include <memory>

#include "kx/AudioPlugin.h"
#include "kx/HostCallback.h"
#include "kx/ParameterEdits.h"
#include "kx/lv2/Lv2Interface.h"

namespace kx::lv2 {

class Lv2PlugAdapter;

class Lv2Ui final : public HostCallback {
public:
    Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch, Lv2PlugAdapter* instance);
    ~Lv2Ui() override;
    Lv2Ui(const Lv2Ui&) = delete;
    Lv2Ui& operator=(const Lv2Ui&) = delete;

    // Opens the editor in `parent`; its own window, once it exists, is the widget. False, and
    // nothing open, where that does not work.
    bool open(void* parent, LV2UI_Widget* widget);
    void portEvent(uint32_t port, float value);
    void tellSize(const LV2UI_Resize& resize) const;
    // Hands the editor's edits to the host; non-zero once the editor is no longer open.
    int idle();

    // HostCallback: the edits of an editor of this UI's own effect.
    void automate(int index, float value) override;
    void automateNow(int index, float value) override;
    void beginEdit(int index) override;
    void endEdit(int index) override;
    HostInfo hostInfo() override { return {}; }

private:
    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const LV2UI_Touch* touch;
    Lv2PlugAdapter* instance;          // the running instance, where the host gives access
    std::unique_ptr<AudioPlugin> own;  // otherwise, an effect of the UI's own
    std::unique_ptr<ParameterEdits> ownEdits;
    AudioPluginEditor* editor = nullptr;
    Parameters* parameters = nullptr;
    ParameterEdits* edits = nullptr;
    bool opened = false;
    bool windowSeen = false;
};

}  // namespace kx::lv2
