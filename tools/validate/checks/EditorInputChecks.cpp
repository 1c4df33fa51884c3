// Real pointer input on the editor (XTest): a drag faster than one frame, and a drag
// during which the host moves the keyboard focus (as GTK hosts do on every click under
// a click-to-focus window manager), must move a control as far as the same drag at a
// normal pace, and with two instances each editor's drags change only its own
// instance. The control is found by dragging at points over the editor until a
// parameter follows.

#include "tools/validate/CheckRegistry.h"
#include "CheckSupport.h"
#include "EditorSupport.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>

namespace tools::validate {

using namespace kx::vst2;

namespace {

constexpr int kDragPixels = 60;

enum class Drag {
    kNormal,      // each step gets a few frames
    kFast,        // the whole drag is over within a millisecond or two
    kFocusMoved,  // at a normal pace; the host takes the focus and passes it to its proxy after the press
};

const char* describe(Drag how)
{
    switch (how) {
    case Drag::kFast:
        return "faster than a frame";
    case Drag::kFocusMoved:
        return "with the focus moved";
    default:
        return "at a normal pace";
    }
}

// Press at (x, y), kDragPixels up in six steps, release.
void drag(HostDisplay& display, OpenEditor& editor, int x, int y, Drag how)
{
    const bool fast = how == Drag::kFast;
    display.pointerTo(editor.parent(), x, y);
    idleFor(editor.plugin(), std::chrono::milliseconds(150));
    display.button(true);
    if (how == Drag::kFocusMoved) {
        idleFor(editor.plugin(), std::chrono::milliseconds(100));
        display.passFocusToProxy(editor.parent());
    }
    for (int step = 1; step <= 6; ++step) {
        if (!fast) idleFor(editor.plugin(), std::chrono::milliseconds(50));
        display.pointerTo(editor.parent(), x, y - kDragPixels * step / 6);
    }
    if (!fast) idleFor(editor.plugin(), std::chrono::milliseconds(50));
    display.button(false);
    idleFor(editor.plugin(), std::chrono::milliseconds(500));
}

struct Control {
    int x;
    int y;
    int parameter;
    float change;  // of a drag at a normal pace
};

// The parameter that moved most between two readings.
std::optional<Control> biggestChange(const std::vector<float>& before, const std::vector<float>& after, int x, int y)
{
    std::optional<Control> found;
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
        const float change = after[i] - before[i];
        if (std::fabs(change) > 1e-4f && (!found || std::fabs(change) > std::fabs(found->change)))
            found = Control{x, y, static_cast<int>(i), change};
    }
    return found;
}

// Sets the parameters back as the host and gives the editor time to show them.
void restore(OpenEditor& editor, const std::vector<float>& values)
{
    for (std::size_t i = 0; i < values.size(); ++i)
        editor.plugin().record()->setParameter(editor.plugin().record(), static_cast<int>(i), values[i]);
    idleFor(editor.plugin(), std::chrono::milliseconds(300));
}

// Drags at normal pace over a grid, middle rows first, until one moves a parameter.
std::optional<Control> findControl(CheckContext& context, HostDisplay& display, OpenEditor& editor)
{
    for (const int row : {1, 2, 0, 3}) {
        for (int column = 0; column < 8; ++column) {
            const int x = editor.width() * (2 * column + 1) / 16;
            const int y = editor.height() * (2 * row + 1) / 8;
            context.note("looking for a control: a drag at %d, %d", x, y);
            const std::vector<float> before = editor.parameters();
            drag(display, editor, x, y, Drag::kNormal);
            const std::optional<Control> control = biggestChange(before, editor.parameters(), x, y);
            restore(editor, before);
            if (control) return control;
        }
    }
    return std::nullopt;
}

// A drag is lost when it moved the parameter the other way from, or less than a quarter
// as far as, the same drag at a normal pace.
bool lost(float change, float normal)
{
    return change * normal <= 0.0f || std::fabs(change) < std::fabs(normal) / 4.0f;
}

// The change of the control's parameter by a drag there; the other instance, if any,
// must keep its parameters.
float changeBy(Drag how, HostDisplay& display, OpenEditor& editor, const Control& control, OpenEditor* other,
               CheckContext& context, const char* what)
{
    const std::vector<float> before = editor.parameters();
    const std::vector<float> otherBefore = other != nullptr ? other->parameters() : std::vector<float>{};
    context.note("%s: a drag %s at %d, %d", what, describe(how), control.x, control.y);
    drag(display, editor, control.x, control.y, how);
    const auto index = static_cast<std::size_t>(control.parameter);
    float change = editor.parameters()[index] - before[index];
    // A busy machine draws slowly: give the editor up to two more seconds to catch up.
    for (int wait = 0; wait < 4 && lost(change, control.change); ++wait) {
        idleFor(editor.plugin(), std::chrono::milliseconds(500));
        change = editor.parameters()[index] - before[index];
    }
    if (other != nullptr && other->parameters() != otherBefore)
        context.fail("%s: a drag on one editor changed the other instance's parameters", what);
    restore(editor, before);
    return change;
}

// Both kinds of drag on `editor`, each judged against the drag at a normal pace.
void judge(CheckContext& context, HostDisplay& display, OpenEditor& editor, const Control& control, OpenEditor* other,
           const char* what)
{
    for (const Drag how : {Drag::kFast, Drag::kFocusMoved}) {
        const float change = changeBy(how, display, editor, control, other, context, what);
        if (lost(change, control.change)) {
            context.fail("%s: a %d px drag %s changed parameter %d by %g, at a normal pace by %g", what, kDragPixels,
                         describe(how), control.parameter, static_cast<double>(change),
                         static_cast<double>(control.change));
        }
    }
}

void drags(CheckContext& context)
{
    HostDisplay display;
    {
        PluginInstance probe(context.module());
        if (!probe.hasEditor()) return context.skip("the module has no editor");
    }
    if (!display.available()) return context.skip("%s", display.problem().c_str());
    if (!display.canFakeInput()) return context.skip("no XTest extension (libXtst.so.6) for pointer input");

    auto first = std::make_unique<OpenEditor>(context, display, context.module(), 0, 0);
    if (!first->isOpen()) return context.fail("effEditOpen answered 0");
    const std::optional<Control> control = findControl(context, display, *first);
    if (!control) return context.skip("no drag anywhere over the editor changed a parameter");
    context.repro("control at %d, %d (parameter %d), drags of %d px up", control->x, control->y, control->parameter,
                  kDragPixels);
    judge(context, display, *first, *control, nullptr, "one editor");

    OpenEditor second(context, display, context.module(), first->width() + 20, 0);
    if (!second.isOpen()) return context.fail("effEditOpen of a second instance answered 0");
    judge(context, display, *first, *control, &second, "first of two editors");
    judge(context, display, second, *control, first.get(), "second of two editors");
    context.note("closing the first instance");
    first.reset();
    judge(context, display, second, *control, nullptr, "the editor left open");
    context.measured("parameter %d at %d, %d: %+.3f by a drag at a normal pace", control->parameter, control->x,
                     control->y, static_cast<double>(control->change));
}

}  // namespace

void addEditorInputChecks(CheckList& checks)
{
    checks.push_back({"editor.drags",
                      "XTest drags faster than a frame and with the focus moved, on one and on two instances", drags,
                      240});
}

}  // namespace tools::validate
