// The VST 3 bundle as a host sees it: its factory, buses, parameters, state and odd calls
// through the exported entry, and its sound against the VST 2 module's.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kx/Presets.h"
#include "kx/vst3/Utf16.h"
#include "tools/audio/Signals.h"
#include "tools/host/HostContext.h"
#include "tools/host/HostModule.h"
#include "tests/formats/Vst2Reference.h"
#include "tools/host/Vst3Host.h"
#if !defined(_WIN32)
#include "tools/validate/probes/ElfExports.h"
#endif

namespace {

using namespace tools::vst3;
using kx::vst3::fromUtf16;
using namespace formatstest;

constexpr ParamID kDrive = 0;
constexpr ParamID kStereo = 3;
constexpr ParamID kPostGain = 7;

struct Vst3Fixture : ::testing::Test {
    Vst3Module module{TW07_VST3_PATH};
    Vst3Instance plugin{module};
};

TEST_F(Vst3Fixture, ExportsTheEntryPointsAndOffersOneDistortionEffect)
{
#if !defined(_WIN32)  // the Windows build checks its export table with objdump
    EXPECT_EQ(tools::validate::exportedSymbols(vst3ModulePath(TW07_VST3_PATH)),
              (std::vector<std::string>{"GetPluginFactory", "ModuleEntry", "ModuleExit"}));
#endif
    IPluginFactory& factory = module.factory();
    PFactoryInfo info{};
    ASSERT_EQ(factory.getFactoryInfo(&info), kResultOk);
    EXPECT_STREQ(info.vendor, "Tarnwell Industries");
    ASSERT_EQ(factory.countClasses(), 1);
    void* object = nullptr;
    ASSERT_EQ(factory.queryInterface(kIPluginFactory3Iid.bytes, &object), kResultOk);
    auto& factory3 = *static_cast<IPluginFactory3*>(object);
    PClassInfo2 second{};
    ASSERT_EQ(factory3.getClassInfo2(0, &second), kResultOk);
    EXPECT_STREQ(second.category, "Audio Module Class");
    EXPECT_STREQ(second.name, "TW07 - distortion/sustainer");
    EXPECT_STREQ(second.subCategories, "Fx|Distortion");
    EXPECT_STREQ(second.version, TW07_VERSION);
    EXPECT_EQ(std::string(second.sdkVersion).rfind("VST 3", 0), 0u);
    PClassInfoW wide{};
    ASSERT_EQ(factory3.getClassInfoUnicode(0, &wide), kResultOk);
    EXPECT_EQ(fromUtf16(wide.name, 64), "TW07 - distortion/sustainer");
    EXPECT_EQ(std::memcmp(wide.cid, second.cid, sizeof wide.cid), 0);
    EXPECT_EQ(factory3.getClassInfo2(1, &second), kInvalidArgument);

    // Unknown classes and interfaces are refused.
    TUID other{};
    EXPECT_NE(factory.createInstance(other, kIComponentIid.bytes, &object), kResultOk);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(plugin.component().queryInterface(kIPlugFrameIid.bytes, &object), kNoInterface);
    EXPECT_EQ(plugin.processor().getLatencySamples(), 0u);
    EXPECT_EQ(plugin.processor().getTailSamples(), 0u);
}

TEST_F(Vst3Fixture, BusesTakeStereoMonoAndMonoToStereoAndRefuseTheRest)
{
    IAudioProcessor& processor = plugin.processor();
    IComponent& component = plugin.component();
    EXPECT_EQ(component.getBusCount(kAudio, kInput), 1);
    EXPECT_EQ(component.getBusCount(kEvent, kInput), 0);
    BusInfo bus{};
    ASSERT_EQ(component.getBusInfo(kAudio, kOutput, 0, bus), kResultOk);
    EXPECT_EQ(bus.channelCount, 2);
    EXPECT_EQ(bus.busType, kMain);
    EXPECT_EQ(component.getBusInfo(kAudio, kOutput, 1, bus), kInvalidArgument);

    const auto arrange = [&](SpeakerArrangement in, SpeakerArrangement out) {
        return processor.setBusArrangements(&in, 1, &out, 1);
    };
    const SpeakerArrangement eight = 0xFF;
    EXPECT_EQ(arrange(kArrMono, kArrMono), kResultTrue);
    SpeakerArrangement got = 0;
    ASSERT_EQ(processor.getBusArrangement(kInput, 0, got), kResultOk);
    EXPECT_EQ(got, kArrMono);
    EXPECT_EQ(arrange(kArrMono, kArrStereo), kResultTrue);
    EXPECT_EQ(arrange(kArrStereo, kArrMono), kResultFalse);
    EXPECT_EQ(arrange(eight, eight), kResultFalse);
    EXPECT_EQ(processor.setBusArrangements(nullptr, 0, nullptr, 0), kResultFalse);
    EXPECT_EQ(arrange(kArrStereo, kArrStereo), kResultTrue);
    ASSERT_TRUE(plugin.start(48000.0, 64));
    EXPECT_EQ(arrange(kArrMono, kArrMono), kResultFalse);  // not while active
    EXPECT_EQ(processor.canProcessSampleSize(kSample64), kResultFalse);
}

TEST_F(Vst3Fixture, ParametersCarryIdsTitlesUnitsStepsAndTextsBothWays)
{
    struct Row {
        const char* title;
        const char* shortTitle;
        const char* units;
        int32 steps;
        double defaultValue;
    };
    const Row rows[] = {
        {"Drive", "Drive", "dB", 0, 0.35f},   {"Compression", "Compress", "", 0, 0.6f},
        {"Speed", "Speed", "", 0, 0.75f},     {"Stereo", "Stereo", "", 2, 0.0},
        {"Tone Lo", "Tone Lo", "dB", 0, 0.5}, {"Tone Mid", "Tone Mid", "dB", 0, 0.5},
        {"Tone Hi", "Tone Hi", "dB", 0, 0.5}, {"Post gain", "Post gai", "dB", 0, 0.4f},
    };
    IEditController& controller = plugin.controller();
    ASSERT_EQ(controller.getParameterCount(), 9);  // and the program-change parameter
    for (int32 i = 0; i < 8; ++i) {
        ParameterInfo info{};
        ASSERT_EQ(controller.getParameterInfo(i, info), kResultOk);
        EXPECT_EQ(info.id, ParamID(i));
        EXPECT_EQ(fromUtf16(info.title, 128), rows[i].title);
        EXPECT_EQ(fromUtf16(info.shortTitle, 128), rows[i].shortTitle);
        EXPECT_EQ(fromUtf16(info.units, 128), rows[i].units);
        EXPECT_EQ(info.stepCount, rows[i].steps);
        EXPECT_EQ(info.defaultNormalizedValue, rows[i].defaultValue);
        EXPECT_EQ(info.flags, kCanAutomate | (i == int32(kStereo) ? kIsList : 0));
        EXPECT_EQ(controller.getParamNormalized(info.id), info.defaultNormalizedValue);
        // Every text shown reads back as a value that shows the same text.
        for (int step = 0; step <= 20; ++step) {
            const double value =
                info.stepCount > 0 ? std::round(step / 20.0 * info.stepCount) / info.stepCount : step / 20.0;
            String128 text{};
            ASSERT_EQ(controller.getParamStringByValue(info.id, value, text), kResultOk);
            double back = -1.0;
            ASSERT_EQ(controller.getParamValueByString(info.id, text, back), kResultOk) << fromUtf16(text, 128);
            String128 again{};
            controller.getParamStringByValue(info.id, back, again);
            EXPECT_EQ(fromUtf16(again, 128), fromUtf16(text, 128)) << i;
        }
    }
    ParameterInfo info{};
    EXPECT_EQ(controller.getParameterInfo(9, info), kInvalidArgument);
    EXPECT_EQ(controller.normalizedParamToPlain(kStereo, 0.5), 1.0);
    EXPECT_EQ(controller.plainParamToNormalized(kStereo, 2.0), 1.0);
    String128 mono{};
    kx::vst3::toUtf16("mono", mono, 128);
    double value = 0.0;
    EXPECT_EQ(controller.getParamValueByString(kStereo, mono, value), kResultOk);
    EXPECT_EQ(value, 1.0);
    EXPECT_EQ(controller.setParamNormalized(99, 0.5), kInvalidArgument);
    EXPECT_EQ(controller.setParamNormalized(kDrive, std::nan("")), kInvalidArgument);
    EXPECT_EQ(controller.setParamNormalized(kDrive, 7.0), kResultOk);
    EXPECT_EQ(controller.getParamNormalized(kDrive), 1.0);
}

std::vector<double> valuesOf(IEditController& controller)
{
    std::vector<double> values;
    for (ParamID id = 0; id < 8; ++id) values.push_back(controller.getParamNormalized(id));
    return values;
}

TEST_F(Vst3Fixture, StateTravelsAndHostileStreamsChangeNothing)
{
    ASSERT_TRUE(plugin.start(48000.0, 64));
    for (ParamID id = 0; id < 8; ++id) plugin.change(id, 0, id == kStereo ? 0.5 : 0.1 * id + 0.05);
    float silence[64] = {};
    float* channels[2] = {silence, silence};
    ASSERT_EQ(plugin.process(channels, 2, channels, 2, 0), kResultOk);  // a flush: the changes only
    const std::vector<uint8_t> record = plugin.saveState();
    ASSERT_FALSE(record.empty());

    Vst3Instance other(module);
    ASSERT_TRUE(other.loadState(record));
    EXPECT_EQ(other.saveState(), record);
    EXPECT_EQ(valuesOf(other.controller())[kStereo], 0.5);

    Vst3Instance third(module);
    const std::vector<double> before = valuesOf(third.controller());
    std::vector<uint8_t> foreign = record;
    foreign[8] ^= 1;
    for (const std::vector<uint8_t>& hostile :
         {std::vector<uint8_t>{}, std::vector<uint8_t>(record.begin(), record.begin() + 20),
          std::vector<uint8_t>(record.size(), 0x5A), foreign, std::vector<uint8_t>(70000, 0)}) {
        EXPECT_FALSE(third.loadState(hostile)) << hostile.size();
        EXPECT_EQ(third.saveState(), Vst3Instance(module).saveState());
        EXPECT_EQ(valuesOf(third.controller()), before);
    }
    EXPECT_EQ(third.component().setState(nullptr), kInvalidArgument);
}

constexpr ParamID kProgram = 1000;

double programValue(std::size_t program) { return static_cast<double>(program) / (kx::pluginPresets().size() - 1); }

std::vector<double> valuesOf(const kx::Preset& preset)
{
    std::vector<double> values(8, -1.0);
    for (const kx::PresetValue& v : preset.values) values[v.id] = v.value;
    return values;
}

// The factory presets are the one program list, of the root unit, with a program-change
// parameter whose steps are the programs and whose texts are their names.
TEST_F(Vst3Fixture, TheFactoryPresetsAreAProgramList)
{
    IEditController& controller = plugin.controller();
    const auto presets = kx::pluginPresets();
    const auto last = static_cast<int32>(presets.size()) - 1;
    ParameterInfo info{};
    ASSERT_EQ(controller.getParameterInfo(8, info), kResultOk);
    EXPECT_EQ(info.id, kProgram);
    EXPECT_EQ(fromUtf16(info.title, 128), "Program");
    EXPECT_EQ(info.stepCount, last);
    EXPECT_EQ(info.flags, kCanAutomate | kIsList | kIsProgramChange);
    EXPECT_EQ(info.unitId, kRootUnitId);

    IUnitInfo* units = nullptr;
    ASSERT_EQ(controller.queryInterface(kIUnitInfoIid.bytes, reinterpret_cast<void**>(&units)), kResultOk);
    EXPECT_EQ(units->getUnitCount(), 1);
    UnitInfo unit{};
    ASSERT_EQ(units->getUnitInfo(0, unit), kResultOk);
    EXPECT_EQ(unit.parentUnitId, kNoParentUnitId);
    ASSERT_EQ(units->getProgramListCount(), 1);
    ProgramListInfo list{};
    ASSERT_EQ(units->getProgramListInfo(0, list), kResultOk);
    EXPECT_EQ(unit.programListId, list.id);
    EXPECT_EQ(list.programCount, last + 1);
    for (int32 p = 0; p <= last; ++p) {
        String128 name{};
        ASSERT_EQ(units->getProgramName(list.id, p, name), kResultOk);
        EXPECT_EQ(fromUtf16(name, 128), presets[static_cast<std::size_t>(p)].name);
        String128 text{};
        ASSERT_EQ(controller.getParamStringByValue(kProgram, programValue(static_cast<std::size_t>(p)), text), kResultOk);
        EXPECT_EQ(fromUtf16(text, 128), fromUtf16(name, 128));
        double back = -1.0;
        ASSERT_EQ(controller.getParamValueByString(kProgram, name, back), kResultOk);
        EXPECT_EQ(back, programValue(static_cast<std::size_t>(p)));
        EXPECT_EQ(controller.normalizedParamToPlain(kProgram, back), p);
    }
    // Indices past the list, other lists, units and names no program has are refused.
    String128 name{};
    for (int32 p : {-1, last + 1, 1 << 30}) EXPECT_EQ(units->getProgramName(list.id, p, name), kInvalidArgument);
    EXPECT_EQ(units->getProgramName(list.id + 1, 0, name), kInvalidArgument);
    EXPECT_EQ(units->getProgramListInfo(1, list), kInvalidArgument);
    EXPECT_EQ(units->getUnitInfo(1, unit), kInvalidArgument);
    kx::vst3::toUtf16("No such program", name, 128);
    double value = 0.25;
    EXPECT_EQ(controller.getParamValueByString(kProgram, name, value), kResultFalse);
    EXPECT_EQ(value, 0.25);
    units->release();
}

// A host switches programs by setting the parameter on the controller, which shows the values,
// and sending it to the processor, which loads them where the change comes and reports them as
// its own changes. The host is asked to read the values again from the UI thread later, not
// inside the switch (hosts hold locks there that a restart takes). The saved state then holds
// them, in the record every version reads (the effect's ids 0 to 7 only). A program sent again
// does not undo a knob turned since.
TEST_F(Vst3Fixture, SwitchingProgramsLoadsThemWhereTheHostSendsThem)
{
    const auto presets = kx::pluginPresets();
    IEditController& controller = plugin.controller();
    ASSERT_TRUE(plugin.start(48000.0, 64));
    float left[64] = {}, right[64] = {};
    float* channels[2] = {left, right};
    for (std::size_t p : {std::size_t{5}, presets.size() - 1, std::size_t{0}, std::size_t{3}}) {
        const std::size_t edits = plugin.edits().size();
        ASSERT_EQ(controller.setParamNormalized(kProgram, programValue(p)), kResultOk);
        EXPECT_EQ(valuesOf(controller), valuesOf(presets[p])) << presets[p].key;
        EXPECT_EQ(plugin.edits().size(), edits);
        plugin.change(kProgram, 17, programValue(p));
        ASSERT_EQ(plugin.process(channels, 2, channels, 2, 64), kResultOk);
        std::vector<double> reported(8, -1.0);
        for (const Vst3Instance::ReportedChange& change : plugin.reported()) {
            ASSERT_LT(change.id, 8u);
            EXPECT_EQ(change.frame, 17);
            reported[change.id] = change.value;
        }
        EXPECT_EQ(reported, valuesOf(presets[p])) << presets[p].key;
        Vst3Instance restored(module);
        ASSERT_TRUE(restored.loadState(plugin.saveState()));
        EXPECT_EQ(valuesOf(restored.controller()), valuesOf(presets[p])) << presets[p].key;
        EXPECT_EQ(plugin.saveState().size(), 16u + 8u * 8u);
    }
    plugin.change(kDrive, 0, 0.9);
    plugin.change(kProgram, 0, programValue(3));
    ASSERT_EQ(plugin.process(channels, 2, channels, 2, 64), kResultOk);
    EXPECT_TRUE(plugin.reported().empty());
    Vst3Instance restored(module);
    ASSERT_TRUE(restored.loadState(plugin.saveState()));
    EXPECT_EQ(valuesOf(restored.controller())[kDrive], 0.9f);

    // Out of range is the nearest end; not a number is refused.
    EXPECT_EQ(controller.setParamNormalized(kProgram, 7.0), kResultOk);
    EXPECT_EQ(controller.getParamNormalized(kProgram), 1.0);
    EXPECT_EQ(controller.setParamNormalized(kProgram, std::nan("")), kInvalidArgument);
    EXPECT_EQ(controller.getParamNormalized(kProgram), 1.0);
    plugin.stop();
}

// While nothing processes, the controller's switch is the effect's at once: the state saved
// next holds it.
TEST_F(Vst3Fixture, AProgramChosenBeforeProcessingIsInTheNextState)
{
    const auto presets = kx::pluginPresets();
    ASSERT_EQ(plugin.controller().setParamNormalized(kProgram, programValue(2)), kResultOk);
    Vst3Instance restored(module);
    ASSERT_TRUE(restored.loadState(plugin.saveState()));
    EXPECT_EQ(valuesOf(restored.controller()), valuesOf(presets[2]));
}

TEST_F(Vst3Fixture, OddCallsAreRefusedOrHarmless)
{
    float left[5000] = {};
    float right[5000] = {};
    float* channels[2] = {left, right};
    EXPECT_EQ(plugin.process(channels, 2, channels, 2, 64), kNotInitialized);  // before setupProcessing and setActive
    ProcessSetup bad{kRealtime, kSample32, 64, 0.0};
    EXPECT_EQ(plugin.processor().setupProcessing(bad), kResultFalse);
    bad.sampleRate = std::nan("");
    EXPECT_EQ(plugin.processor().setupProcessing(bad), kResultFalse);
    bad = ProcessSetup{kRealtime, kSample64, 64, 48000.0};
    EXPECT_EQ(plugin.processor().setupProcessing(bad), kResultFalse);
    ASSERT_TRUE(plugin.start(48000.0, 64));
    for (int round = 0; round < 3; ++round) {  // setActive and setProcessing any number of times
        plugin.stop();
        ASSERT_TRUE(plugin.start(48000.0, 64));
    }
    plugin.change(kPostGain, 10, 0.25);
    plugin.change(kPostGain, 3, 0.75);  // out of order
    plugin.change(kDrive, 900, 0.5);    // past the block
    plugin.change(kStereo, 0, std::nan(""));
    plugin.change(77, 0, 0.5);
    EXPECT_EQ(plugin.process(channels, 2, channels, 2, 64), kResultOk);
    EXPECT_EQ(plugin.controller().getParamNormalized(kPostGain), 0.4f);  // the controller follows the host
    plugin.change(kDrive, 0, 1.5);
    EXPECT_EQ(plugin.process(channels, 2, channels, 2, 5000), kResultOk);  // more than announced
    EXPECT_TRUE(std::all_of(left, left + 5000, [](float x) { return std::isfinite(x); }));
    EXPECT_EQ(plugin.process(nullptr, 0, nullptr, 0, 64), kResultOk);
}

// --- the same sound as the VST 2 module ------------------------------------------------------

// The changes as points of the host's parameter queues, at their offsets in the block.
tools::AudioBuffer renderVst3(const Vst3Module& module, const tools::AudioBuffer& input, const RenderRun& run)
{
    Vst3Instance instance(module);
    const int channels = run.channels;
    if (channels == 1) {
        SpeakerArrangement mono = kArrMono;
        SpeakerArrangement monoOut = kArrMono;
        EXPECT_EQ(instance.processor().setBusArrangements(&mono, 1, &monoOut, 1), kResultTrue);
    }
    EXPECT_TRUE(instance.start(run.rate, *std::max_element(run.blocks.begin(), run.blocks.end())));
    std::size_t next = 0;
    const std::vector<Change>& changes = run.changes;
    return renderInBlocks(input, run, [&](int64_t position, int frames, float** in, float** out) {
        for (; next < changes.size() && changes[next].frame < position + frames; ++next)
            instance.change(ParamID(changes[next].index), static_cast<int32>(changes[next].frame - position),
                            changes[next].normalised);
        EXPECT_EQ(instance.process(in, channels, out, channels, frames), kResultOk);
    });
}

TEST(Vst3Sound, EqualsTheVst2ModuleBitForBitForAnyPartition)
{
    Vst3Module module(TW07_VST3_PATH);
    const std::vector<std::vector<int>> partitions = {{1}, {7}, {100}, {512}, {4097}, randomBlocks(7), randomBlocks(8)};
    for (int rate : {44100, 96000}) {
        const int64_t frames = rate * 2 / 5;
        for (int channels : {2, 1}) {
            const tools::AudioBuffer input = tools::Signals::guitarRiff(5, rate, frames, channels);
            for (std::size_t p = 0; p < partitions.size(); ++p) {
                const RenderRun run{double(rate), channels, partitions[p], someChanges(frames, uint32_t(p)),
                                    p % 2 == 0};
                EXPECT_EQ(differingSamples(renderVst2(input, run), renderVst3(module, input, run)), 0)
                    << rate << " Hz, " << channels << " channels, partition " << p;
            }
        }
    }
}

}  // namespace
