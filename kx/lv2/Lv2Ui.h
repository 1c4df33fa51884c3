#pragma once
// The effect's editor as an LV2 X11 UI, embedded in the host's window (ui:parent). With access
// to the running instance (instance-access) it opens that instance's editor, whose meters and
// scope show what the instance plays; without it, an effect of its own hosts the editor, its
// knobs following the host's port events. Either way the editor's edits go to the host as
// control port writes (with touch gestures where the host offers them), on the host's UI
// thread in idle. It is drawn at the host's ui:scaleFactor (given at instantiation and through
// the options interface later) and takes the sizes the host's resizing gives it.

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
    Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch, Lv2PlugAdapter* instance,
          const LV2_URID_Map* map, const LV2UI_Resize* hostResize);
    ~Lv2Ui() override;
    Lv2Ui(const Lv2Ui&) = delete;
    Lv2Ui& operator=(const Lv2Ui&) = delete;

    // Opens the editor in `parent`; its own window, once it exists, is the widget. False, and
    // nothing open, where that does not work.
    bool open(void* parent, LV2UI_Widget* widget);
    void portEvent(uint32_t port, float value);
    // Tells the host the editor's size, where it offers ui:resize.
    void tellSize() const;
    // The options interface: ui:scaleFactor is the one known. Answers status bits.
    uint32_t setOptions(const LV2_Options_Option* options);
    uint32_t getOptions(LV2_Options_Option* options);
    // The host resized the UI's window: the editor takes the nearest size it can have.
    int resize(int width, int height);
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
    const LV2UI_Resize* hostResize;
    LV2_URID scaleFactorKey = 0;  // 0: the host maps no URIs
    LV2_URID floatType = 0;
    float scaleAnswer = 1.0f;         // the value getOptions points the host at
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
