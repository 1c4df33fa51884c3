// The UI module's exported entry: the descriptor of the effect's editor as an X11 UI.
// Compiled into each UI module, not into a library, so that the linker keeps it.

#include <cstdint>
#include <string>

#include "kx/AudioPlugin.h"
#include "kx/lv2/Lv2Interface.h"
#include "kx/lv2/Lv2Turtle.h"
#include "kx/lv2/Lv2Ui.h"

namespace kx::lv2 {
namespace {

Lv2Ui& of(LV2UI_Handle ui) { return *static_cast<Lv2Ui*>(ui); }

const LV2UI_Idle_Interface kIdle{.idle = [](LV2UI_Handle ui) { return of(ui).idle(); }};
const LV2_Options_Interface kOptions{
    .get = [](LV2UI_Handle ui, LV2_Options_Option* options) { return of(ui).getOptions(options); },
    .set = [](LV2UI_Handle ui, const LV2_Options_Option* options) { return of(ui).setOptions(options); },
};
const LV2UI_Resize kResize{
    .handle = nullptr,
    .ui_resize = [](void* ui, int width, int height) { return of(ui).resize(width, height); },
};

const LV2UI_Descriptor& descriptor()
{
    static const std::string uri = uiUri(pluginDescriptor());
    static const LV2UI_Descriptor record{
        .URI = uri.c_str(),
        .instantiate = [](const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write,
                          LV2UI_Controller controller, LV2UI_Widget* widget,
                          const LV2_Feature* const* features) -> LV2UI_Handle {
            // A UI opened without a parent window, or without a way to write the ports, is refused.
            void* parent = const_cast<void*>(featureData(features, kUiParent));
            if (parent == nullptr || write == nullptr) return nullptr;
            auto* instance = static_cast<Lv2PlugAdapter*>(const_cast<void*>(featureData(features, kInstanceAccess)));
            const auto* touch = static_cast<const LV2UI_Touch*>(featureData(features, kUiTouch));
            const auto* resize = static_cast<const LV2UI_Resize*>(featureData(features, kUiResize));
            const auto* map = static_cast<const LV2_URID_Map*>(featureData(features, kUridMap));
            const auto* options = static_cast<const LV2_Options_Option*>(featureData(features, kOptionsFeature));
            try {
                auto ui = std::make_unique<Lv2Ui>(write, controller, touch, instance, map, resize);
                ui->setOptions(options);  // the scale, before the window is made
                if (!ui->open(parent, widget)) return nullptr;
                // Hosts that wrap the window in their own toolkit size it from this.
                ui->tellSize();
                return ui.release();
            } catch (...) {
                return nullptr;  // no exception may cross into the host
            }
        },
        .cleanup = [](LV2UI_Handle ui) { delete &of(ui); },
        .port_event =
            [](LV2UI_Handle ui, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
                if (format == 0 && size == sizeof(float) && buffer != nullptr)
                    of(ui).portEvent(port, *static_cast<const float*>(buffer));
            },
        .extension_data = [](const char* uri) -> const void* {
            if (uri == nullptr) return nullptr;
            const std::string name = uri;
            if (name == kUiIdleInterface) return &kIdle;
            if (name == kOptionsInterface) return &kOptions;
            if (name == kUiResize) return &kResize;
            return nullptr;
        },
    };
    return record;
}

}  // namespace
}  // namespace kx::lv2

extern "C" __attribute__((visibility("default"))) const kx::lv2::LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return index == 0 ? &kx::lv2::descriptor() : nullptr;
}
