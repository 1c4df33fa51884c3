// editor.scale: what a module answers about its editor's size at the display's scale and
// about resizing, in the module's own format: CLAP's gui set_scale, get_size, can_resize,
// get_resize_hints and adjust_size; VST 3's content scale factor, getSize, canResize and
// checkSizeConstraint; VST 2's effEditGetRect (its editor takes the desktop's scale itself).
// Formats leave most of this to the plug-in, so the answers are reported; what fails is an
// answer that contradicts itself: a scale accepted that is no scale, a size that does not
// follow a scale the plug-in accepted, or an adjusted size that is none.

#include "tools/validate/CheckRegistry.h"

#include "EditorSupport.h"
#include "tools/host/ClapHost.h"
#include "tools/host/Plugin.h"
#include "tools/host/Vst3Host.h"

#include <cmath>
#include <limits>
#include <string>

namespace tools::validate {

namespace {

constexpr double kScales[] = {1.0, 1.5, 2.0};
const double kNotScales[] = {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()};
constexpr double kSizeSlack = 2.0;  // pixels a scaled size may be off by rounding

std::string sizeText(long width, long height) { return std::to_string(width) + "x" + std::to_string(height); }

// Whether `width` x `height` is the base size `scale` times, give or take rounding.
bool scaled(long baseWidth, long baseHeight, double scale, long width, long height)
{
    return std::fabs(static_cast<double>(baseWidth) * scale - static_cast<double>(width)) <= kSizeSlack &&
           std::fabs(static_cast<double>(baseHeight) * scale - static_cast<double>(height)) <= kSizeSlack;
}

void clapScale(CheckContext& context)
{
    using namespace tools::clap;
    ClapInstance instance(context.clapModule());
    const auto* gui = instance.extension<clap_plugin_gui>(kExtGui);
    const clap_plugin* p = instance.plugin();
    if (gui == nullptr || !gui->is_api_supported(p, kWindowApiX11, false)) {
        context.skip("no editor embedded through x11");
        return;
    }
    if (!gui->create(p, kWindowApiX11, false)) {
        context.skip("gui create refused");
        return;
    }
    uint32_t baseWidth = 0;
    uint32_t baseHeight = 0;
    gui->get_size(p, &baseWidth, &baseHeight);
    std::string report = "get_size " + sizeText(baseWidth, baseHeight);
    for (const double scale : kScales) {
        const bool taken = gui->set_scale(p, scale);
        uint32_t width = 0;
        uint32_t height = 0;
        gui->get_size(p, &width, &height);
        report += "; set_scale(" + std::to_string(scale).substr(0, 3) + ") " + (taken ? "true " : "false ") +
                  sizeText(width, height);
        if (taken && !scaled(baseWidth, baseHeight, scale, width, height))
            context.fail("set_scale(%.1f) accepted, but get_size answers %s for %s at 1", scale,
                         sizeText(width, height).c_str(), sizeText(baseWidth, baseHeight).c_str());
    }
    gui->set_scale(p, 1.0);
    int notScalesTaken = 0;
    for (const double bad : kNotScales) {
        if (gui->set_scale(p, bad)) {
            ++notScalesTaken;
            context.fail("set_scale(%g) accepted", bad);
        }
    }
    const bool resizable = gui->can_resize(p);
    report += std::string("; can_resize ") + (resizable ? "true" : "false");
    if (resizable) {
        clap_gui_resize_hints hints{};
        if (gui->get_resize_hints(p, &hints)) {
            report += hints.preserve_aspect_ratio ? "; aspect " + std::to_string(hints.aspect_ratio_width) + ":" +
                                                        std::to_string(hints.aspect_ratio_height)
                                                  : "; aspect free";
        }
        uint32_t width = baseWidth * 2;
        uint32_t height = baseHeight;
        if (gui->adjust_size(p, &width, &height)) {
            report += "; adjust_size(" + sizeText(baseWidth * 2, baseHeight) + ") " + sizeText(width, height);
            if (width == 0 || height == 0) context.fail("adjust_size answered %s", sizeText(width, height).c_str());
        } else {
            report += "; adjust_size refused";
        }
    }
    gui->destroy(p);
    context.measured("%s; %d of %zu non-scales accepted", report.c_str(), notScalesTaken, std::size(kNotScales));
}

void vst3Scale(CheckContext& context)
{
    using namespace tools::vst3;
    Vst3Instance instance(context.vst3Module());
    IPlugView* view = instance.controller().createView("editor");
    if (view == nullptr) {
        context.skip("no editor view");
        return;
    }
    const auto sizeOf = [&] {
        ViewRect rect{};
        view->getSize(&rect);
        return rect;
    };
    const ViewRect base = sizeOf();
    const long baseWidth = base.right - base.left;
    const long baseHeight = base.bottom - base.top;
    std::string report = "getSize " + sizeText(baseWidth, baseHeight);
    IPlugViewContentScaleSupport* scaling = nullptr;
    if (view->queryInterface(kIPlugViewContentScaleSupportIid.bytes, reinterpret_cast<void**>(&scaling)) !=
            kResultOk ||
        scaling == nullptr) {
        report += "; no content scale support";
        scaling = nullptr;
    }
    int notScalesTaken = 0;
    if (scaling != nullptr) {
        for (const double scale : kScales) {
            const bool taken = scaling->setContentScaleFactor(static_cast<float>(scale)) == kResultOk;
            const ViewRect rect = sizeOf();
            report += "; factor " + std::to_string(scale).substr(0, 3) + (taken ? " ok " : " refused ") +
                      sizeText(rect.right - rect.left, rect.bottom - rect.top);
        }
        scaling->setContentScaleFactor(1.0f);
        for (const double bad : kNotScales) {
            if (scaling->setContentScaleFactor(static_cast<float>(bad)) == kResultOk) {
                ++notScalesTaken;
                context.fail("setContentScaleFactor(%g) accepted", bad);
            }
        }
        scaling->setContentScaleFactor(1.0f);
        scaling->release();
    }
    const bool resizable = view->canResize() == kResultTrue;
    report += std::string("; canResize ") + (resizable ? "true" : "false");
    if (resizable) {
        ViewRect wide{0, 0, static_cast<int32>(baseWidth * 2), static_cast<int32>(baseHeight)};
        if (view->checkSizeConstraint(&wide) == kResultTrue) {
            report += "; checkSizeConstraint(" + sizeText(baseWidth * 2, baseHeight) + ") " +
                      sizeText(wide.right - wide.left, wide.bottom - wide.top);
            if (wide.right <= wide.left || wide.bottom <= wide.top)
                context.fail("checkSizeConstraint gave %s", sizeText(wide.right - wide.left, wide.bottom - wide.top).c_str());
        }
    }
    view->release();
    context.measured("%s; %d of %zu non-scales accepted", report.c_str(), notScalesTaken, std::size(kNotScales));
}

void vst2Scale(CheckContext& context)
{
    PluginInstance plugin(context.module());
    if (!plugin.hasEditor()) {
        context.skip("the module has no editor");
        return;
    }
    int width = 0;
    int height = 0;
    if (!editorRectangle(context, plugin, "before open", width, height)) return;
    context.measured("effEditGetRect %s (VST 2 gives an editor no scale)",
                     sizeText(width, height).c_str());
}

void scale(CheckContext& context)
{
    if (isClapModule(context.modulePath()))
        clapScale(context);
    else if (isVst3Bundle(context.modulePath()))
        vst3Scale(context);
    else
        vst2Scale(context);
}

}  // namespace

void addEditorScaleCheck(CheckList& checks)
{
    checks.push_back({"editor.scale", "the editor's size at scales 1, 1.5 and 2, refused non-scales, resizing answers",
                      scale, 30});
}

}  // namespace tools::validate
