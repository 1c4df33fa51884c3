#include "kx/lv2/Lv2Ui.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "kx/lv2/Lv2PlugAdapter.h"

namespace kx::lv2 {

namespace {

// How long instantiate waits for the editor's window, which its own thread makes.
constexpr auto kWindowWait = std::chrono::seconds(5);

}  // namespace

Lv2Ui::Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch,
             Lv2PlugAdapter* instance, const LV2_URID_Map* map, const LV2UI_Resize* hostResize)
    : write(write), controller(controller), touch(touch), hostResize(hostResize), instance(instance)
{
    if (map != nullptr && map->map != nullptr) {
        scaleFactorKey = map->map(map->handle, kUiScaleFactor);
        floatType = map->map(map->handle, kAtomFloat);
    }
    if (instance != nullptr) {
        editor = instance->editor();
        parameters = &instance->parameterSet();
        edits = &instance->editsForUi();
        instance->attachUi(true);
    } else {
        own = createPlugin(*this, 48000.0f);
        editor = own->descriptor().hasEditor ? own->editor() : nullptr;
        parameters = &own->parameters;
        ownEdits = std::make_unique<ParameterEdits>(parameters->count());
        edits = ownEdits.get();
    }
}

Lv2Ui::~Lv2Ui()
{
    if (opened) editor->close();
    idle();  // closing ends a held knob's gesture: that, too, reaches the host
    if (instance != nullptr) instance->attachUi(false);
}

bool Lv2Ui::open(void* parent, LV2UI_Widget* widget)
{
    if (editor == nullptr || parent == nullptr || !editor->open(parent)) return false;
    opened = true;
    const auto end = std::chrono::steady_clock::now() + kWindowWait;
    while (editor->nativeWindow() == 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (widget != nullptr) *widget = reinterpret_cast<LV2UI_Widget>(editor->nativeWindow());
    return editor->nativeWindow() != 0;
}

void Lv2Ui::tellSize() const
{
    if (hostResize != nullptr && hostResize->ui_resize != nullptr)
        hostResize->ui_resize(hostResize->handle, editor->getSize()->width, editor->getSize()->height);
}

uint32_t Lv2Ui::setOptions(const LV2_Options_Option* options)
{
    uint32_t status = kOptionsSuccess;
    for (; options != nullptr && options->key != 0; ++options) {
        if (scaleFactorKey == 0 || options->key != scaleFactorKey) {
            status |= kOptionsBadKey;
            continue;
        }
        const bool isFloat = options->type == floatType && options->size == sizeof(float) && options->value != nullptr;
        if (!isFloat || editor == nullptr || !editor->setScale(*static_cast<const float*>(options->value))) {
            status |= kOptionsBadValue;
            continue;
        }
        if (opened) tellSize();
    }
    return status;
}

uint32_t Lv2Ui::getOptions(LV2_Options_Option* options)
{
    uint32_t status = kOptionsSuccess;
    for (; options != nullptr && options->key != 0; ++options) {
        if (scaleFactorKey == 0 || options->key != scaleFactorKey || editor == nullptr) {
            status |= kOptionsBadKey;
            continue;
        }
        scaleAnswer = static_cast<float>(editor->scale());
        options->size = sizeof(float);
        options->type = floatType;
        options->value = &scaleAnswer;
    }
    return status;
}

int Lv2Ui::resize(int width, int height)
{
    if (editor == nullptr || !editor->canResize()) return 1;
    editor->setSize(width, height);
    return 0;
}

void Lv2Ui::portEvent(uint32_t port, float value)
{
    // With the running instance, its ports are the values already.
    if (own == nullptr || !parameters->contains(static_cast<int>(port))) return;
    parameters->setValue(static_cast<int>(port), Lv2PlugAdapter::normalisedValue(parameters->descriptors[port], value));
}

int Lv2Ui::idle()
{
    edits->drain([this](const ParameterEdit& edit) {
        const auto port = static_cast<uint32_t>(edit.index);
        if (edit.kind == ParameterEdit::Kind::kValue) {
            const float value =
                Lv2PlugAdapter::portValue(parameters->descriptors[port], std::fmin(std::fmax(edit.value, 0.0f), 1.0f));
            write(controller, port, sizeof(float), 0, &value);
        } else if (touch != nullptr && touch->touch != nullptr) {
            touch->touch(touch->handle, port, edit.kind == ParameterEdit::Kind::kBegin);
        }
    });
    // Closed once the editor's window, which its thread makes after open, has come and gone.
    if (editor->windowIsOpen()) windowSeen = true;
    return opened && !(windowSeen && !editor->windowIsOpen()) ? 0 : 1;
}

void Lv2Ui::automate(int index, float value)
{
    if (!parameters->contains(index) || std::isnan(value)) return;
    parameters->setValue(index, value);
    edits->push({ParameterEdit::Kind::kValue, index, value});
}

void Lv2Ui::automateNow(int index, float value) { automate(index, value); }

void Lv2Ui::beginEdit(int index)
{
    if (parameters->contains(index)) edits->push({ParameterEdit::Kind::kBegin, index, 0.0f});
}

void Lv2Ui::endEdit(int index)
{
    if (parameters->contains(index)) edits->push({ParameterEdit::Kind::kEnd, index, 0.0f});
}

}  // namespace kx::lv2
