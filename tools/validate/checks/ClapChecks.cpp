// Checks of CLAP modules: the entry and factory, state round trips and damaged state, texts
// both ways, value events at every offset of a block, activation and processing cycles, the
// editor's creation and parents, and calls on threads CLAP forbids them on.

#include "tools/validate/CheckRegistry.h"
#include "tools/validate/probes/ElfExports.h"
#include "tools/validate/probes/HostDisplay.h"
#include "tools/host/ClapHost.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace tools::validate {

namespace {

using namespace tools::clap;

constexpr uint32_t kBlock = 64;
constexpr double kRate = 48000.0;

std::vector<clap_param_info> parameters(const ClapInstance& instance)
{
    std::vector<clap_param_info> list;
    const auto* params = instance.extension<clap_plugin_params>(kExtParams);
    const uint32_t count = params != nullptr ? params->count(instance.plugin()) : 0;
    for (uint32_t i = 0; i < count; ++i) {
        clap_param_info info{};
        if (params->get_info(instance.plugin(), i, &info)) {
            info.name[sizeof(info.name) - 1] = '\0';
            list.push_back(info);
        }
    }
    return list;
}

std::vector<double> valuesOf(const ClapInstance& instance, const std::vector<clap_param_info>& infos)
{
    std::vector<double> values;
    for (const clap_param_info& info : infos) values.push_back(instance.value(info.id));
    return values;
}

bool automatable(const clap_param_info& info)
{
    return (info.flags & CLAP_PARAM_IS_AUTOMATABLE) != 0 && (info.flags & CLAP_PARAM_IS_READONLY) == 0;
}

// A value in the range, some way from the default, on a step where the parameter has steps.
double otherValue(const clap_param_info& info, double share)
{
    double value = info.min_value + share * (info.max_value - info.min_value);
    if ((info.flags & CLAP_PARAM_IS_STEPPED) != 0) value = std::round(value);
    return value;
}

// Buffers for every port of the plug-in, a test tone in, for blocks of up to kBlock frames.
class PortBuffers {
public:
    explicit PortBuffers(const ClapInstance& instance)
    {
        const auto* ports = instance.extension<clap_plugin_audio_ports>(kExtAudioPorts);
        for (bool input : {true, false}) {
            const uint32_t count = ports != nullptr ? ports->count(instance.plugin(), input) : 0;
            for (uint32_t p = 0; p < count; ++p) {
                clap_audio_port_info info{};
                if (!ports->get(instance.plugin(), p, input, &info)) info.channel_count = 0;
                (input ? inputChannels : outputChannels).push_back(info.channel_count);
            }
        }
        for (uint32_t channels : inputChannels) samples.resize(samples.size() + channels);
        for (uint32_t channels : outputChannels) samples.resize(samples.size() + channels);
        for (std::vector<float>& channel : samples) channel.assign(kBlock, 0.0f);
        std::size_t next = 0;
        for (std::vector<uint32_t>* side : {&inputChannels, &outputChannels}) {
            for (uint32_t channels : *side) {
                pointers.emplace_back();
                for (uint32_t c = 0; c < channels; ++c) pointers.back().push_back(samples[next++].data());
            }
        }
        std::size_t port = 0;
        for (uint32_t channels : inputChannels) inputs.push_back({pointers[port++].data(), nullptr, channels, 0, 0});
        for (uint32_t channels : outputChannels) outputs.push_back({pointers[port++].data(), nullptr, channels, 0, 0});
    }

    clap_process_status process(ClapInstance& instance, uint32_t frames, const InputEvents& events)
    {
        std::size_t in = 0;
        for (uint32_t channels : inputChannels) {
            for (uint32_t c = 0; c < channels; ++c, ++in) {
                for (uint32_t i = 0; i < kBlock; ++i)
                    samples[in][i] = 0.4f * std::sin(0.05f * float(phase + i) + float(c));
            }
        }
        phase += frames;
        return instance.process(inputs.data(), static_cast<uint32_t>(inputs.size()), outputs.data(),
                                static_cast<uint32_t>(outputs.size()), frames, events);
    }

    bool outputFinite() const
    {
        std::size_t first = 0;
        for (uint32_t channels : inputChannels) first += channels;
        for (std::size_t c = first; c < samples.size(); ++c) {
            if (!std::all_of(samples[c].begin(), samples[c].end(), [](float x) { return std::isfinite(x); }))
                return false;
        }
        return true;
    }

private:
    std::vector<uint32_t> inputChannels;
    std::vector<uint32_t> outputChannels;
    std::vector<std::vector<float>> samples;
    std::vector<std::vector<float*>> pointers;
    std::vector<clap_audio_buffer> inputs;
    std::vector<clap_audio_buffer> outputs;
    uint32_t phase = 0;
};

void entry(CheckContext& context)
{
    const std::vector<std::string> names = exportedSymbols(context.modulePath());
    if (names != std::vector<std::string>{"clap_entry"}) {
        std::string list;
        for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
        context.fail("exports %s, where a CLAP module needs only clap_entry", list.c_str());
    }
    const ClapModule& module = context.clapModule();
    const clap_plugin_factory& factory = module.factory();
    const uint32_t count = factory.get_plugin_count(&factory);
    if (count == 0) context.fail("the factory offers no plug-in");
    for (uint32_t i = 0; i < count; ++i) {
        const clap_plugin_descriptor* d = factory.get_plugin_descriptor(&factory, i);
        if (d == nullptr || d->id == nullptr || d->name == nullptr || d->id[0] == '\0')
            context.fail("plug-in %u has no descriptor with an id and a name", i);
    }
    const clap_host host{kClapVersion,
                         nullptr,
                         "tw07-host validate",
                         "",
                         "",
                         "",
                         [](const clap_host*, const char*) -> const void* { return nullptr; },
                         [](const clap_host*) {},
                         [](const clap_host*) {},
                         [](const clap_host*) {}};
    if (const clap_plugin* stray = factory.create_plugin(&factory, &host, "validator.no-such-plugin")) {
        context.fail("create_plugin made a plug-in for an id the factory does not offer");
        stray->destroy(stray);
    }
    context.measured("%u plug-in(s)", count);
}

void state(CheckContext& context)
{
    ClapInstance first(context.clapModule());
    const std::vector<clap_param_info> infos = parameters(first);
    if (first.extension<clap_plugin_state>(kExtState) == nullptr) {
        context.skip("the plug-in has no state extension");
        return;
    }
    InputEvents changes;
    for (std::size_t i = 0; i < infos.size(); ++i) {
        if (automatable(infos[i])) changes.addValue(0, infos[i].id, otherValue(infos[i], 0.3 + 0.05 * double(i % 8)));
    }
    first.flush(changes);
    const std::vector<uint8_t> record = first.save();
    if (first.save(1) != record) context.fail("a stream taking one byte at a time gets another record");

    ClapInstance second(context.clapModule());
    if (!second.load(record, 3)) context.fail("a record just saved does not load through a stream of 3-byte reads");
    if (valuesOf(second, infos) != valuesOf(first, infos)) context.fail("the loaded values differ from the saved ones");

    // Damaged records: refused, or at least without any value moving from where it was.
    ClapInstance third(context.clapModule());
    const std::vector<double> before = valuesOf(third, infos);
    std::vector<std::vector<uint8_t>> damaged = {{}, std::vector<uint8_t>(record.size(), 0xA5)};
    if (record.size() > 1) damaged.emplace_back(record.begin(), record.begin() + record.size() / 2);
    int accepted = 0;
    for (const std::vector<uint8_t>& bytes : damaged) {
        context.note("loading a damaged record of %zu bytes", bytes.size());
        const bool loaded = third.load(bytes);
        accepted += loaded;
        if (!loaded && valuesOf(third, infos) != before)
            context.fail("a refused record of %zu bytes still changed values", bytes.size());
    }
    context.measured("%zu-byte record; %d of %zu damaged records accepted", record.size(), accepted, damaged.size());
}

void texts(CheckContext& context)
{
    ClapInstance instance(context.clapModule());
    const auto* params = instance.extension<clap_plugin_params>(kExtParams);
    const std::vector<clap_param_info> infos = parameters(instance);
    if (infos.empty()) {
        context.skip("the plug-in has no parameters");
        return;
    }
    int readBack = 0;
    for (const clap_param_info& info : infos) {
        for (int step = 0; step <= 10; ++step) {
            const double value = otherValue(info, step / 10.0);
            char text[256] = {};
            if (!params->value_to_text(instance.plugin(), info.id, value, text, sizeof text)) continue;
            if (strnlen(text, sizeof text) == sizeof text) context.fail("\"%s\": a text without its end", info.name);
            double back = 0.0;
            if (!params->text_to_value(instance.plugin(), info.id, text, &back)) continue;
            ++readBack;
            char again[256] = {};
            params->value_to_text(instance.plugin(), info.id, back, again, sizeof again);
            if (std::strncmp(text, again, sizeof text) != 0)
                context.fail("\"%s\": \"%s\" reads back as %g, shown as \"%s\"", info.name, text, back, again);
        }
    }
    context.measured("%d texts read back", readBack);
}

void events(CheckContext& context)
{
    ClapInstance instance(context.clapModule());
    const std::vector<clap_param_info> infos = parameters(instance);
    const auto target = std::find_if(infos.begin(), infos.end(), automatable);
    if (target == infos.end()) {
        context.skip("the plug-in has no automatable parameter");
        return;
    }
    if (!instance.activate(kRate, kBlock)) {
        context.fail("activate at %g Hz with blocks of %u refused", kRate, kBlock);
        return;
    }
    PortBuffers buffers(instance);
    for (uint32_t offset = 0; offset < kBlock; ++offset) {
        context.note("a value event at frame %u of %u", offset, kBlock);
        InputEvents events;
        const double value = otherValue(*target, (offset % 2) != 0 ? 0.8 : 0.2);
        events.addValue(offset, target->id, value);
        if (buffers.process(instance, kBlock, events) == CLAP_PROCESS_ERROR)
            context.fail("process with an event at frame %u answered an error", offset);
        if (!buffers.outputFinite()) context.fail("output not finite after an event at frame %u", offset);
        // A plug-in may keep values in single precision.
        if (!(std::fabs(instance.value(target->id) - value) <= 1e-6 * (target->max_value - target->min_value)))
            context.fail("\"%s\" is %g after an event at frame %u set %g", target->name, instance.value(target->id),
                         offset, value);
        if (context.failures() > 3) return;
    }
    context.measured("events at frames 0..%u on \"%s\"", kBlock - 1, target->name);
}

void cycles(CheckContext& context)
{
    ClapInstance instance(context.clapModule());
    int blocks = 0;
    for (double rate : {44100.0, 96000.0, 48000.0, 22050.0, 192000.0}) {
        context.note("activate at %g Hz", rate);
        if (!instance.activate(rate, kBlock)) {
            context.fail("activate at %g Hz refused", rate);
            continue;
        }
        PortBuffers buffers(instance);
        for (int round = 0; round < 3; ++round) {
            const clap_plugin* p = instance.plugin();
            p->stop_processing(p);
            p->reset(p);
            if (!p->start_processing(p)) context.fail("start_processing refused after a stop at %g Hz", rate);
            for (uint32_t frames : {kBlock, 1u, 17u}) {
                if (buffers.process(instance, frames, {}) == CLAP_PROCESS_ERROR)
                    context.fail("process of %u frames answered an error at %g Hz", frames, rate);
                ++blocks;
            }
            if (!buffers.outputFinite()) context.fail("output not finite at %g Hz", rate);
        }
        instance.deactivate();
    }
    context.measured("5 activations, 15 start/stop cycles, %d blocks", blocks);
}

void editor(CheckContext& context)
{
    ClapInstance instance(context.clapModule());
    const auto* gui = instance.extension<clap_plugin_gui>(kExtGui);
    if (gui == nullptr || !gui->is_api_supported(instance.plugin(), kWindowApiX11, false)) {
        context.skip("no editor embedded through x11");
        return;
    }
    HostDisplay display;
    if (!display.available()) {
        context.skip("%s", display.problem().c_str());
        return;
    }
    const clap_plugin* p = instance.plugin();
    const int topLevels = display.viewableTopLevels();
    if (!gui->create(p, kWindowApiX11, false)) {
        context.skip("gui create refused (the plug-in may need host extensions this host does not offer)");
        return;
    }
    gui->destroy(p);
    for (int round = 0; round < 3; ++round) {
        context.note("create and destroy without a parent, round %d", round + 1);
        if (!gui->create(p, kWindowApiX11, false)) context.fail("gui create refused in round %d", round + 1);
        gui->destroy(p);
    }
    context.note("a parent that does not exist");
    if (!gui->create(p, kWindowApiX11, false)) context.fail("gui create refused");
    clap_window bogus{};
    bogus.api = kWindowApiX11;
    bogus.x11 = display.staleWindow();
    if (gui->set_parent(p, &bogus)) context.fail("set_parent accepted a window that no longer exists");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (display.viewableTopLevels() != topLevels) context.fail("a window of its own appeared after the bogus parent");
    gui->destroy(p);
    for (int round = 0; round < 3; ++round) {
        context.note("embedded in a host window, round %d", round + 1);
        const Window parent = display.create(900, 300);
        clap_window window{};
        window.api = kWindowApiX11;
        window.x11 = parent;
        if (!gui->create(p, kWindowApiX11, false) || !gui->set_parent(p, &window))
            context.fail("the editor did not embed in round %d", round + 1);
        gui->show(p);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        gui->destroy(p);
        display.destroy(parent);
    }
    if (display.viewableTopLevels() != topLevels) context.fail("windows were left on screen after destroy");
}

// CLAP gives activate, state and the gui to the main thread. A host must not call them
// elsewhere; a plug-in may refuse when it does, but must not crash or stop working.
void threads(CheckContext& context)
{
    ClapInstance instance(context.clapModule());
    const clap_plugin* p = instance.plugin();
    const std::vector<uint8_t> record = instance.save();
    bool activated = false;
    bool loaded = false;
    context.note("activate and load state on a thread that is not the main one");
    std::thread([&] {
        activated = p->activate(p, kRate, 1, kBlock);
        loaded = instance.load(record);
    }).join();
    if (activated) p->deactivate(p);
    context.note("the same on the main thread afterwards");
    if (!instance.activate(kRate, kBlock)) context.fail("activate on the main thread refused after a call elsewhere");
    instance.deactivate();
    context.measured("elsewhere: activate %s, state load %s; %zu log line(s)", activated ? "accepted" : "refused",
                     loaded ? "accepted" : "refused", instance.logLines.size());
}

}  // namespace

void addClapChecks(CheckList& checks)
{
    checks.push_back(
        {"clap.entry", "exports only clap_entry; the factory's descriptors; unknown ids refused", entry, 20});
    checks.push_back(
        {"clap.state", "state round trip through short reads and writes; damaged records change nothing", state, 20});
    checks.push_back({"clap.texts", "every parameter's texts read back as the values they show", texts, 20});
    checks.push_back({"clap.events", "a value event at every frame of a block takes effect", events, 30});
    checks.push_back({"clap.cycles", "activate/deactivate at five rates, start/stop/reset cycles", cycles, 30});
    checks.push_back(
        {"clap.editor", "gui create/destroy, a bogus parent refused without a stray window, embedding", editor, 30});
    checks.push_back({"clap.threads", "main-thread calls made elsewhere: refused or harmless", threads, 20});
}

}  // namespace tools::validate
