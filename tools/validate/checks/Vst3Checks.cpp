// Checks of VST 3 bundles: the factory, state round trips and damaged state, texts both ways,
// parameter points at every offset of a block, activation and processing cycles, the editor
// view's parents, and calls from a thread other than the host's UI thread.

#include "tools/validate/CheckRegistry.h"
#include "tools/validate/probes/ElfExports.h"
#include "tools/validate/probes/HostDisplay.h"
#include "kx/vst3/Utf16.h"
#include "tools/host/Vst3Host.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace tools::validate {

namespace {

using namespace tools::vst3;

constexpr int32 kBlock = 64;
constexpr double kRate = 48000.0;

std::vector<ParameterInfo> parameters(const Vst3Instance& instance)
{
    std::vector<ParameterInfo> list;
    IEditController& controller = instance.controller();
    for (int32 i = 0; i < controller.getParameterCount(); ++i) {
        ParameterInfo info{};
        if (controller.getParameterInfo(i, info) == kResultOk) list.push_back(info);
    }
    return list;
}

std::string titleOf(const ParameterInfo& info) { return kx::vst3::fromUtf16(info.title, 128); }

bool automatable(const ParameterInfo& info)
{
    return (info.flags & kCanAutomate) != 0 && (info.flags & (kIsReadOnly | kIsProgramChange)) == 0;
}

// A normalised value some way from the default, on a step where the parameter has steps.
double otherValue(const ParameterInfo& info, double share)
{
    return info.stepCount > 0 ? std::round(share * info.stepCount) / info.stepCount : share;
}

// Channels for the first bus of each direction, a test tone in.
struct Buffers {
    std::vector<std::vector<float>> samples;
    std::vector<float*> inputs;
    std::vector<float*> outputs;

    explicit Buffers(const Vst3Instance& instance)
    {
        const int32 in = instance.busChannels(kInput);
        const int32 out = instance.busChannels(kOutput);
        samples.assign(static_cast<std::size_t>(in + out), std::vector<float>(kBlock, 0.0f));
        for (int32 c = 0; c < in; ++c) inputs.push_back(samples[static_cast<std::size_t>(c)].data());
        for (int32 c = 0; c < out; ++c) outputs.push_back(samples[static_cast<std::size_t>(in + c)].data());
    }
    tresult process(Vst3Instance& instance, int32 frames)
    {
        for (std::size_t c = 0; c < inputs.size(); ++c)
            for (int32 i = 0; i < kBlock; ++i) inputs[c][i] = 0.4f * std::sin(0.05f * float(i) + float(c));
        return instance.process(inputs.data(), static_cast<int32>(inputs.size()), outputs.data(),
                                static_cast<int32>(outputs.size()), frames);
    }
    bool outputFinite() const
    {
        return std::all_of(outputs.begin(), outputs.end(), [](const float* c) {
            return std::all_of(c, c + kBlock, [](float x) { return std::isfinite(x); });
        });
    }
};

void factory(CheckContext& context)
{
    const std::vector<std::string> names = exportedSymbols(vst3ModulePath(context.modulePath()));
    for (const std::string& name : names) {
        if (name != "GetPluginFactory" && name != "ModuleEntry" && name != "ModuleExit")
            context.fail("exports %s besides the VST 3 entry points", name.c_str());
    }
    const Vst3Module& module = context.vst3Module();
    const PClassInfo effect = module.effectClass();
    Vst3Instance instance(module);
    void* object = nullptr;
    TUID unknown{};
    if (module.factory().createInstance(unknown, kIComponentIid.bytes, &object) == kResultOk) {
        context.fail("createInstance made an object for a class the factory does not offer");
        static_cast<FUnknown*>(object)->release();
    }
    context.measured("\"%s\", %d parameters", effect.name, instance.controller().getParameterCount());
}

void state(CheckContext& context)
{
    Vst3Instance first(context.vst3Module());
    const std::vector<ParameterInfo> infos = parameters(first);
    if (!first.start(kRate, kBlock)) {
        context.fail("setupProcessing or setActive refused at %g Hz", kRate);
        return;
    }
    for (std::size_t i = 0; i < infos.size(); ++i) {
        if (automatable(infos[i])) first.change(infos[i].id, 0, otherValue(infos[i], 0.3 + 0.05 * double(i % 8)));
    }
    Buffers buffers(first);
    buffers.process(first, kBlock);
    const std::vector<uint8_t> record = first.saveState();
    Vst3Instance second(context.vst3Module());
    if (!second.loadState(record)) context.fail("a state just saved does not load");
    if (second.saveState() != record) context.fail("a loaded state saves differently");

    Vst3Instance third(context.vst3Module());
    const std::vector<uint8_t> before = third.saveState();
    std::vector<std::vector<uint8_t>> damaged = {{},
                                                 std::vector<uint8_t>(std::max<std::size_t>(record.size(), 16), 0xA5)};
    if (record.size() > 1) damaged.emplace_back(record.begin(), record.begin() + record.size() / 2);
    int accepted = 0;
    for (const std::vector<uint8_t>& bytes : damaged) {
        context.note("loading a damaged state of %zu bytes", bytes.size());
        const bool loaded = third.loadState(bytes);
        accepted += loaded;
        if (!loaded && third.saveState() != before)
            context.fail("a refused state of %zu bytes still changed the plug-in's state", bytes.size());
    }
    context.measured("%zu-byte state; %d of %zu damaged states accepted", record.size(), accepted, damaged.size());
}

void texts(CheckContext& context)
{
    Vst3Instance instance(context.vst3Module());
    IEditController& controller = instance.controller();
    int readBack = 0;
    for (const ParameterInfo& info : parameters(instance)) {
        for (int step = 0; step <= 10; ++step) {
            const double value = otherValue(info, step / 10.0);
            String128 text{};
            if (controller.getParamStringByValue(info.id, value, text) != kResultOk) continue;
            double back = 0.0;
            if (controller.getParamValueByString(info.id, text, back) != kResultOk) continue;
            ++readBack;
            String128 again{};
            controller.getParamStringByValue(info.id, back, again);
            const std::string shown = kx::vst3::fromUtf16(text, 128);
            if (shown != kx::vst3::fromUtf16(again, 128))
                context.fail("\"%s\": \"%s\" reads back as %g, shown as \"%s\"", titleOf(info).c_str(), shown.c_str(),
                             back, kx::vst3::fromUtf16(again, 128).c_str());
        }
    }
    context.measured("%d texts read back", readBack);
}

void points(CheckContext& context)
{
    Vst3Instance instance(context.vst3Module());
    const std::vector<ParameterInfo> infos = parameters(instance);
    const auto target = std::find_if(infos.begin(), infos.end(), automatable);
    if (target == infos.end()) {
        context.skip("the plug-in has no automatable parameter");
        return;
    }
    if (!instance.start(kRate, kBlock)) {
        context.fail("setupProcessing or setActive refused at %g Hz", kRate);
        return;
    }
    Buffers buffers(instance);
    for (int32 offset = 0; offset < kBlock; ++offset) {
        context.note("a parameter point at frame %d of %d", offset, kBlock);
        instance.change(target->id, offset, otherValue(*target, (offset % 2) != 0 ? 0.8 : 0.2));
        if (buffers.process(instance, kBlock) != kResultOk)
            context.fail("process with a point at frame %d did not answer kResultOk", offset);
        if (!buffers.outputFinite()) context.fail("output not finite after a point at frame %d", offset);
        if (context.failures() > 3) return;
    }
    context.measured("points at frames 0..%d on \"%s\"", kBlock - 1, titleOf(*target).c_str());
}

void cycles(CheckContext& context)
{
    Vst3Instance instance(context.vst3Module());
    int blocks = 0;
    for (double rate : {44100.0, 96000.0, 48000.0, 22050.0, 192000.0}) {
        context.note("setupProcessing and setActive at %g Hz", rate);
        for (int round = 0; round < 3; ++round) {
            if (!instance.start(rate, kBlock)) {
                context.fail("setupProcessing or setActive refused at %g Hz", rate);
                break;
            }
            Buffers buffers(instance);
            for (int32 frames : {kBlock, 1, 17, 0}) {
                if (buffers.process(instance, frames) != kResultOk)
                    context.fail("process of %d frames did not answer kResultOk at %g Hz", frames, rate);
                ++blocks;
            }
            if (!buffers.outputFinite()) context.fail("output not finite at %g Hz", rate);
            instance.stop();
        }
    }
    context.measured("15 activations at five rates, %d blocks", blocks);
}

void editor(CheckContext& context)
{
    Vst3Instance instance(context.vst3Module());
    IPlugView* view = instance.controller().createView("editor");
    if (view == nullptr || view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID) != kResultTrue) {
        if (view != nullptr) view->release();
        context.skip("no editor view embedded through X11");
        return;
    }
    HostDisplay display;
    if (!display.available()) {
        view->release();
        context.skip("%s", display.problem().c_str());
        return;
    }
    Vst3Frame frame;
    view->setFrame(&frame);
    const int topLevels = display.viewableTopLevels();
    context.note("a parent that does not exist");
    if (view->attached(reinterpret_cast<void*>(display.staleWindow()), kPlatformTypeX11EmbedWindowID) == kResultOk) {
        context.fail("attached accepted a window that no longer exists");
        view->removed();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (display.viewableTopLevels() != topLevels) context.fail("a window of its own appeared after the bogus parent");
    for (int round = 0; round < 3; ++round) {
        context.note("attached to a host window, round %d", round + 1);
        const Window parent = display.create(900, 300);
        if (view->attached(reinterpret_cast<void*>(parent), kPlatformTypeX11EmbedWindowID) != kResultOk)
            context.fail("the view did not attach in round %d", round + 1);
        for (int i = 0; i < 10; ++i) {
            frame.runTimers();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        view->removed();
        display.destroy(parent);
    }
    if (frame.timerCount() != 0) context.fail("%zu timer(s) left registered after removed", frame.timerCount());
    view->setFrame(nullptr);
    view->release();
    if (display.viewableTopLevels() != topLevels) context.fail("windows were left on screen after removed");
}

// VST 3 gives the controller and the component's state to the UI thread. A host must not call
// them elsewhere; a plug-in need not refuse, but must not crash or stop working.
void threads(CheckContext& context)
{
    Vst3Instance instance(context.vst3Module());
    const std::vector<uint8_t> record = instance.saveState();
    bool started = false;
    context.note("setupProcessing, setActive and state on a thread that is not the UI thread");
    std::thread([&] {
        started = instance.start(kRate, kBlock);
        instance.loadState(record);
        instance.stop();
    }).join();
    context.note("the same on the UI thread afterwards");
    if (!instance.start(kRate, kBlock)) context.fail("setActive on the UI thread refused after calls elsewhere");
    instance.stop();
    context.measured("elsewhere: activation %s", started ? "accepted" : "refused");
}

}  // namespace

void addVst3Checks(CheckList& checks)
{
    checks.push_back({"vst3.factory", "exports only the entry points; unknown classes refused", factory, 20});
    checks.push_back({"vst3.state", "state round trip; damaged states change nothing", state, 20});
    checks.push_back({"vst3.texts", "every parameter's texts read back as the values they show", texts, 20});
    checks.push_back({"vst3.points", "a parameter point at every frame of a block", points, 30});
    checks.push_back({"vst3.cycles", "setupProcessing/setActive at five rates, three times each", cycles, 30});
    checks.push_back(
        {"vst3.editor", "the view: a bogus parent refused without a stray window, attach and remove", editor, 30});
    checks.push_back({"vst3.threads", "UI-thread calls made elsewhere: harmless", threads, 20});
}

}  // namespace tools::validate
