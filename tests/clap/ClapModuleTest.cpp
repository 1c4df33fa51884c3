// The CLAP module as a host sees it: loaded with dlopen, its entry and factory called, the
// plug-in driven through its record and extensions; and its sound against the VST 2 module's.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "kx/Presets.h"
#include "tests/formats/Vst2Reference.h"
#include "tools/host/ClapHost.h"
#include "tools/audio/Signals.h"
#include "tools/host/HostContext.h"
#include "tools/host/HostModule.h"
#if !defined(_WIN32)
#include "tools/validate/probes/ElfExports.h"
#endif

namespace {

using namespace tools::clap;
using namespace formatstest;

constexpr clap_id kDrive = 0;
constexpr clap_id kStereo = 3;
constexpr clap_id kPostGain = 7;
constexpr double kRates[] = {44100.0, 96000.0};

struct ClapFixture : ::testing::Test {
    ClapModule module{TW07_CLAP_PATH};
    ClapInstance plugin{module};
};

TEST_F(ClapFixture, ExportsOnlyTheEntryAndOffersOnePluginWithItsDescriptor)
{
#if !defined(_WIN32)  // the Windows build checks its export table with objdump
    EXPECT_EQ(tools::validate::exportedSymbols(TW07_CLAP_PATH), std::vector<std::string>{"clap_entry"});
#endif
    EXPECT_GE(module.entry().clap_version.major, 1u);
    EXPECT_EQ(module.entry().get_factory("clap.preset-discovery-factory"), nullptr);

    const clap_plugin_factory& factory = module.factory();
    ASSERT_EQ(factory.get_plugin_count(&factory), 1u);
    EXPECT_EQ(factory.get_plugin_descriptor(&factory, 1), nullptr);
    const clap_plugin_descriptor& d = *factory.get_plugin_descriptor(&factory, 0);
    EXPECT_STREQ(d.id, "com.tarnwell.tw07");
    EXPECT_STREQ(d.name, "TW07 - distortion/sustainer");
    EXPECT_STREQ(d.vendor, "Tarnwell Industries");
    EXPECT_STREQ(d.version, TW07_VERSION);
    std::vector<std::string> features;
    for (const char* const* f = d.features; *f != nullptr; ++f) features.emplace_back(*f);
    EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "distortion", "stereo"}));

    clap_host host{};
    host.clap_version = kClapVersion;
    EXPECT_EQ(factory.create_plugin(&factory, &host, "com.tarnwell.other"), nullptr);
    EXPECT_EQ(factory.create_plugin(&factory, nullptr, d.id), nullptr);
    host.clap_version = {0, 9, 0};
    EXPECT_EQ(factory.create_plugin(&factory, &host, d.id), nullptr);

    EXPECT_EQ(plugin.extension<clap_plugin_latency>(kExtLatency)->get(plugin.plugin()), 0u);
    EXPECT_EQ(plugin.extension<void>("clap.note-ports"), nullptr);
}

TEST_F(ClapFixture, ParametersCarryTheirIdsRangesDefaultsAndTextsBothWays)
{
    struct Row {
        const char* name;
        double max;
        double defaultValue;
        const char* defaultText;
    };
    const Row rows[] = {
        {"Drive", 1, 0.35f, "1.00 dB"}, {"Compression", 1, 0.6f, "0.60"},    {"Speed", 1, 0.75f, "0.75"},
        {"Stereo", 2, 0, "Stereo"},     {"Tone Lo", 1, 0.5, "0.00 dB"},      {"Tone Mid", 1, 0.5, "0.00 dB"},
        {"Tone Hi", 1, 0.5, "0.00 dB"}, {"Post gain", 1, 0.4f, "-26.00 dB"},
    };
    const clap_plugin_params& params = plugin.params();
    ASSERT_EQ(params.count(plugin.plugin()), 8u);
    for (uint32_t i = 0; i < 8; ++i) {
        clap_param_info info{};
        ASSERT_TRUE(params.get_info(plugin.plugin(), i, &info));
        EXPECT_EQ(info.id, i);
        EXPECT_STREQ(info.name, rows[i].name);
        EXPECT_EQ(info.min_value, 0.0);
        EXPECT_EQ(info.max_value, rows[i].max);
        EXPECT_EQ(info.default_value, rows[i].defaultValue) << i;
        EXPECT_EQ(plugin.value(info.id), info.default_value) << i;
        const uint32_t stepped = CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM;
        EXPECT_EQ(info.flags, CLAP_PARAM_IS_AUTOMATABLE | (i == kStereo ? stepped : 0u)) << i;
        char text[64];
        ASSERT_TRUE(params.value_to_text(plugin.plugin(), info.id, info.default_value, text, sizeof(text)));
        EXPECT_STREQ(text, rows[i].defaultText);

        // Every text the plug-in shows reads back as a value that shows the same text.
        for (int step = 0; step <= 20; ++step) {
            const double value = info.max_value * step / 20.0;
            if (i == kStereo && std::fmod(value, 1.0) != 0.0) continue;
            ASSERT_TRUE(params.value_to_text(plugin.plugin(), info.id, value, text, sizeof(text)));
            double back = -1.0;
            ASSERT_TRUE(params.text_to_value(plugin.plugin(), info.id, text, &back)) << text;
            char again[64];
            ASSERT_TRUE(params.value_to_text(plugin.plugin(), info.id, back, again, sizeof(again)));
            EXPECT_STREQ(again, text) << i << " at " << value;
        }
    }
    clap_param_info info{};
    EXPECT_FALSE(params.get_info(plugin.plugin(), 8, &info));
    double value = 0.0;
    EXPECT_FALSE(params.get_value(plugin.plugin(), 99, &value));
    EXPECT_FALSE(params.text_to_value(plugin.plugin(), kDrive, "loud", &value));
    EXPECT_TRUE(params.text_to_value(plugin.plugin(), kStereo, " mono ", &value));
    EXPECT_EQ(value, 2.0);
    char tiny[4];
    ASSERT_TRUE(params.value_to_text(plugin.plugin(), kPostGain, 0.4, tiny, sizeof(tiny)));
    EXPECT_STREQ(tiny, "-26");
}

TEST_F(ClapFixture, OffersStereoMonoAndMonoToStereoAndChangesOnlyWhileInactive)
{
    const auto* ports = plugin.extension<clap_plugin_audio_ports>(kExtAudioPorts);
    const auto* configs = plugin.extension<clap_plugin_audio_ports_config>(kExtAudioPortsConfig);
    const auto channels = [&](bool input) {
        clap_audio_port_info info{};
        EXPECT_TRUE(ports->get(plugin.plugin(), 0, input, &info));
        EXPECT_EQ(info.flags, CLAP_AUDIO_PORT_IS_MAIN);
        EXPECT_STREQ(info.port_type, info.channel_count == 1 ? "mono" : "stereo");
        return info.channel_count;
    };
    EXPECT_EQ(ports->count(plugin.plugin(), true), 1u);
    EXPECT_EQ(ports->count(plugin.plugin(), false), 1u);
    clap_audio_port_info info{};
    EXPECT_FALSE(ports->get(plugin.plugin(), 1, true, &info));
    EXPECT_EQ(channels(true), 2u);
    EXPECT_EQ(channels(false), 2u);

    ASSERT_EQ(configs->count(plugin.plugin()), 3u);
    const uint32_t expected[3][2] = {{2, 2}, {1, 1}, {1, 2}};
    for (uint32_t i = 0; i < 3; ++i) {
        clap_audio_ports_config config{};
        ASSERT_TRUE(configs->get(plugin.plugin(), i, &config));
        EXPECT_EQ(config.main_input_channel_count, expected[i][0]);
        EXPECT_EQ(config.main_output_channel_count, expected[i][1]);
        ASSERT_TRUE(configs->select(plugin.plugin(), config.id));
        EXPECT_EQ(channels(true), expected[i][0]);
        EXPECT_EQ(channels(false), expected[i][1]);
    }
    EXPECT_FALSE(configs->select(plugin.plugin(), 3));
    ASSERT_TRUE(plugin.activate(48000.0, 256));
    EXPECT_FALSE(configs->select(plugin.plugin(), 0));
    EXPECT_EQ(channels(false), 2u);
}

// Values set through events, so that the record differs from the defaults everywhere.
void setEveryParameter(ClapInstance& instance, double shift)
{
    InputEvents events;
    for (clap_id id = 0; id < 8; ++id) events.addValue(0, id, id == kStereo ? 1.0 : std::fmod(0.17 * id + shift, 1.0));
    instance.flush(events);
}

std::vector<double> valuesOf(const ClapInstance& instance)
{
    std::vector<double> values;
    for (clap_id id = 0; id < 8; ++id) values.push_back(instance.value(id));
    return values;
}

TEST_F(ClapFixture, StateTravelsThroughStreamsThatMoveOneByteAtATime)
{
    setEveryParameter(plugin, 0.3);
    const std::vector<uint8_t> whole = plugin.save();
    EXPECT_EQ(plugin.save(1), whole);

    ClapInstance other(module);
    ASSERT_TRUE(other.load(whole, 1));
    EXPECT_EQ(valuesOf(other), valuesOf(plugin));
    EXPECT_EQ(other.rescans.load(), 1);
}

TEST_F(ClapFixture, HostileStateIsRefusedAndChangesNothing)
{
    setEveryParameter(plugin, 0.55);
    const std::vector<uint8_t> good = plugin.save();
    ClapInstance other(module);
    setEveryParameter(other, 0.1);
    const std::vector<double> before = valuesOf(other);

    std::vector<std::vector<uint8_t>> hostile = {{}, {'K', 'X'}, std::vector<uint8_t>(good.size(), 0xA5)};
    for (std::size_t cut : {std::size_t{15}, std::size_t{16}, good.size() - 1})
        hostile.emplace_back(good.begin(), good.begin() + cut);
    std::vector<uint8_t> foreign = good;
    foreign[8] ^= 0x01;  // another plug-in's id
    hostile.push_back(foreign);
    std::vector<uint8_t> oversized = good;
    oversized.resize(70 * 1024, 0);
    hostile.push_back(oversized);
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        EXPECT_FALSE(other.load(hostile[i], 7)) << "record " << i;
        EXPECT_EQ(valuesOf(other), before) << "record " << i;
    }
    EXPECT_EQ(other.logLines.size(), hostile.size());
    EXPECT_EQ(other.rescans.load(), 0);
}

// The plain values a preset sets, by id, as the plug-in reports them (Stereo from 0 to 2).
std::vector<double> plainValuesOf(const kx::Preset& preset)
{
    std::vector<double> values(8, -1.0);
    for (const kx::PresetValue& v : preset.values) values[v.id] = v.id == kStereo ? 2.0 * v.value : v.value;
    return values;
}

// The factory presets as a host's preset browser indexes them: one location inside the plug-in,
// every preset with its name, key, description and this plug-in's id, marked factory content.
TEST_F(ClapFixture, PresetDiscoveryDeclaresTheFactoryPresetsAsThePluginsOwn)
{
    std::vector<std::string> errors;
    const std::vector<DiscoveredPreset> found = module.discoverPresets(&errors);
    const auto presets = kx::pluginPresets();
    ASSERT_EQ(found.size(), presets.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].name, presets[i].name);
        EXPECT_EQ(found[i].key, presets[i].key);
        EXPECT_EQ(found[i].description, presets[i].purpose);
        EXPECT_EQ(found[i].locationKind, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN);
        EXPECT_TRUE(found[i].location.empty());
        EXPECT_EQ(found[i].flags, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
        EXPECT_EQ(found[i].pluginIds, std::vector<std::string>{"clap:com.tarnwell.tw07"});
    }
    EXPECT_TRUE(errors.empty());

    // One provider; no other, none without an indexer; a file location, which it never
    // declared, is refused with a reason and no preset.
    const auto* factory = static_cast<const clap_preset_discovery_factory*>(
        module.entry().get_factory(kPresetDiscoveryFactoryId));
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(factory->count(factory), 1u);
    EXPECT_EQ(factory->get_descriptor(factory, 1), nullptr);
    const char* id = factory->get_descriptor(factory, 0)->id;
    EXPECT_EQ(factory->create(factory, nullptr, id), nullptr);
    clap_preset_discovery_indexer indexer{};
    indexer.declare_location = [](const clap_preset_discovery_indexer*, const clap_preset_discovery_location*) {
        return true;
    };
    EXPECT_EQ(factory->create(factory, &indexer, "another.provider"), nullptr);
    const clap_preset_discovery_provider* provider = factory->create(factory, &indexer, id);
    ASSERT_NE(provider, nullptr);
    ASSERT_TRUE(provider->init(provider));
    int calls[2] = {0, 0};  // errors, presets
    clap_preset_discovery_metadata_receiver receiver{};
    receiver.receiver_data = calls;
    receiver.on_error = [](const clap_preset_discovery_metadata_receiver* r, int32_t, const char*) {
        ++static_cast<int*>(r->receiver_data)[0];
    };
    receiver.begin_preset = [](const clap_preset_discovery_metadata_receiver* r, const char*, const char*) {
        ++static_cast<int*>(r->receiver_data)[1];
        return true;
    };
    EXPECT_FALSE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp", &receiver));
    EXPECT_EQ(calls[0], 1);
    EXPECT_EQ(calls[1], 0);
    provider->destroy(provider);
}

// Loading a preset sets every parameter as a host's changes would: the host reads the values
// again, hears which preset it was and that the project changed, and the state saved next holds
// them (the compare battery checks the sound against the VST 2 module given the same values).
TEST_F(ClapFixture, LoadingAPresetIsAnEditTheHostSeesAndTheStateKeeps)
{
    const auto* load = plugin.extension<clap_plugin_preset_load>(kExtPresetLoad);
    ASSERT_NE(load, nullptr);
    EXPECT_EQ(plugin.extension<clap_plugin_preset_load>(kExtPresetLoadCompat), load);
    int loads = 0;
    for (const kx::Preset& preset : kx::pluginPresets()) {
        const std::string key(preset.key);
        ASSERT_TRUE(load->from_location(plugin.plugin(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, key.c_str()));
        ++loads;
        EXPECT_EQ(valuesOf(plugin), plainValuesOf(preset)) << key;
        EXPECT_EQ(plugin.presetsLoaded.back(), key);
        EXPECT_EQ(plugin.rescans.load(), loads);
        EXPECT_EQ(plugin.dirtyMarks.load(), loads);
        ClapInstance restored(module);
        ASSERT_TRUE(restored.load(plugin.save()));
        EXPECT_EQ(valuesOf(restored), plainValuesOf(preset)) << key;
    }
    EXPECT_TRUE(plugin.presetErrors.empty());
}

// Keys no preset has, other locations, and calls from a thread that is not the main thread are
// refused with a reason, and change nothing; a load while the audio thread processes is taken
// like any change between blocks.
TEST_F(ClapFixture, BadPresetLoadsAreRefusedAndALoadDuringProcessingIsSafe)
{
    const auto* load = plugin.extension<clap_plugin_preset_load>(kExtPresetLoad);
    ASSERT_NE(load, nullptr);
    setEveryParameter(plugin, 0.2);
    const std::vector<double> before = valuesOf(plugin);
    const struct {
        uint32_t kind;
        const char* location;
        const char* key;
    } refused[] = {
        {CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "no_such_preset"},
        {CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, ""},
        {CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, nullptr},
        {CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp/crunch.preset", "crunch"},
        {CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, "somewhere", "crunch"},
        {7, nullptr, "crunch"},
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(load->from_location(plugin.plugin(), r.kind, r.location, r.key)) << (r.key ? r.key : "null");
        EXPECT_EQ(valuesOf(plugin), before);
    }
    EXPECT_EQ(plugin.presetErrors.size(), std::size(refused));
    bool fromElsewhere = true;
    std::thread([&] {
        fromElsewhere = load->from_location(plugin.plugin(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "doom");
    }).join();
    EXPECT_FALSE(fromElsewhere);
    EXPECT_EQ(valuesOf(plugin), before);
    EXPECT_TRUE(plugin.presetsLoaded.empty());
    EXPECT_EQ(plugin.rescans.load(), 0);

    ASSERT_TRUE(plugin.activate(48000.0, 256));
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> left(256, 0.1f), right(256, -0.1f);
        float* channels[2] = {left.data(), right.data()};
        while (!stop.load()) plugin.process(channels, 2, channels, 2, 256);
    });
    for (const kx::Preset& preset : kx::pluginPresets()) {
        const std::string key(preset.key);
        EXPECT_TRUE(load->from_location(plugin.plugin(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, key.c_str()));
    }
    stop = true;
    audio.join();
    plugin.deactivate();
    EXPECT_EQ(valuesOf(plugin), plainValuesOf(kx::pluginPresets().back()));
}

TEST_F(ClapFixture, OddCallsAreRefusedOrHarmless)
{
    float left[64] = {};
    float right[64] = {};
    float* channels[2] = {left, right};
    // Before activation, and at rates no signal path runs at.
    EXPECT_EQ(plugin.process(channels, 2, channels, 2, 64), CLAP_PROCESS_ERROR);
    EXPECT_FALSE(plugin.activate(0.0, 64));
    EXPECT_FALSE(plugin.activate(std::nan(""), 64));
    ASSERT_TRUE(plugin.activate(48000.0, 64));
    EXPECT_FALSE(plugin.plugin()->activate(plugin.plugin(), 48000.0, 1, 64));

    // A flush in a call without frames; events past the end, out of order, unknown or damaged.
    InputEvents events;
    events.addValue(0, kDrive, 0.75);
    EXPECT_EQ(plugin.process(channels, 2, channels, 2, 0, events), CLAP_PROCESS_CONTINUE);
    EXPECT_EQ(plugin.value(kDrive), 0.75);
    events.clear();
    events.addValue(500, kPostGain, 0.25);
    events.addValue(10, kDrive, 0.5);
    events.addValue(3, 77, 0.5);
    events.addValue(4, kStereo, std::nan(""));
    events.addValue(4, kStereo, 1.6);
    clap_event_param_value damaged{};
    damaged.header = {8, 0, kCoreEventSpace, CLAP_EVENT_PARAM_VALUE, 0};
    damaged.param_id = kDrive;
    damaged.value = 0.0;
    events.addRaw(damaged);
    EXPECT_EQ(plugin.process(channels, 2, channels, 2, 64, events), CLAP_PROCESS_CONTINUE);
    EXPECT_EQ(plugin.value(kPostGain), 0.25);
    EXPECT_EQ(plugin.value(kDrive), 0.5);
    EXPECT_EQ(plugin.value(kStereo), 2.0);

    // More frames than announced, and buffers missing: no crash, an error where nothing was done.
    std::vector<float> longLeft(5000, 0.1f);
    std::vector<float> longRight(5000, 0.1f);
    float* longChannels[2] = {longLeft.data(), longRight.data()};
    EXPECT_EQ(plugin.process(longChannels, 2, longChannels, 2, 5000), CLAP_PROCESS_CONTINUE);
    EXPECT_TRUE(std::all_of(longLeft.begin(), longLeft.end(), [](float x) { return std::isfinite(x); }));
    EXPECT_EQ(plugin.process(nullptr, 0, channels, 2, 64), CLAP_PROCESS_ERROR);
    EXPECT_EQ(plugin.process(channels, 1, channels, 2, 64), CLAP_PROCESS_ERROR);
    float* holes[2] = {left, nullptr};
    EXPECT_EQ(plugin.process(channels, 2, holes, 2, 64), CLAP_PROCESS_ERROR);
    plugin.deactivate();

    // Calls on another thread than the host's main one.
    const std::vector<uint8_t> record = plugin.save();
    std::thread([&] {
        EXPECT_FALSE(plugin.activate(48000.0, 64));
        EXPECT_FALSE(plugin.load(record));
    }).join();
    EXPECT_FALSE(plugin.logLines.empty());
    EXPECT_TRUE(plugin.activate(48000.0, 64));
}

// --- the same sound as the VST 2 module ------------------------------------------------------

tools::AudioBuffer renderClap(const ClapModule& module, const tools::AudioBuffer& input, const RenderRun& run)
{
    ClapInstance instance(module);
    if (run.channels == 1) {
        const auto* configs = instance.extension<clap_plugin_audio_ports_config>(kExtAudioPortsConfig);
        EXPECT_TRUE(configs->select(instance.plugin(), 1));
    }
    EXPECT_TRUE(
        instance.activate(run.rate, static_cast<uint32_t>(*std::max_element(run.blocks.begin(), run.blocks.end()))));
    std::size_t next = 0;
    return renderInBlocks(input, run, [&](int64_t position, int frames, float** in, float** out) {
        InputEvents events;
        // The plain value of a normalised one: the same number, or the step of "Stereo".
        for (; next < run.changes.size() && run.changes[next].frame < position + frames; ++next) {
            const Change& c = run.changes[next];
            const double plain = c.index == 3 ? c.normalised * 2.0 : c.normalised;
            events.addValue(static_cast<uint32_t>(c.frame - position), static_cast<clap_id>(c.index), plain);
        }
        EXPECT_EQ(instance.process(in, run.channels, out, run.channels, static_cast<uint32_t>(frames), events),
                  CLAP_PROCESS_CONTINUE);
    });
}

TEST(ClapSound, EqualsTheVst2ModuleBitForBitForAnyPartition)
{
    ClapModule module(TW07_CLAP_PATH);
    const std::vector<std::vector<int>> partitions = {{1}, {7}, {100}, {512}, {4097}, randomBlocks(7), randomBlocks(8)};
    int runs = 0;
    for (double rate : kRates) {
        const int64_t frames = static_cast<int64_t>(rate * 0.4);
        for (int channels : {2, 1}) {
            const tools::AudioBuffer input = tools::Signals::guitarRiff(11, static_cast<int>(rate), frames, channels);
            for (std::size_t p = 0; p < partitions.size(); ++p) {
                const RenderRun run{rate, channels, partitions[p], someChanges(frames, static_cast<uint32_t>(p)),
                                    p % 2 == 1};
                const tools::AudioBuffer expected = renderVst2(input, run);
                const tools::AudioBuffer got = renderClap(module, input, run);
                EXPECT_EQ(differingSamples(expected, got), 0)
                    << rate << " Hz, " << channels << " channels, partition " << p;
                ++runs;
            }
        }
    }
    EXPECT_EQ(runs, 28);
}

// A value event at frame t acts where the effect's next 32-frame block begins: as a change
// between two calls at that block's first frame.
TEST(ClapSound, AnEventTakesEffectWhereTheNextGridBlockBegins)
{
    ClapModule module(TW07_CLAP_PATH);
    const tools::AudioBuffer input = tools::Signals::guitarRiff(3, 48000, 2048);
    for (int64_t at = 1000; at < 1000 + 64; at += 5) {
        const int64_t gridStart = (at + 31) / 32 * 32;
        const RenderRun clapRun{48000.0, 2, {256}, {{at, kPostGain, 0.9f}, {at, kDrive, 0.8f}}, false};
        const RenderRun vst2Run{48000.0, 2, {256}, {{gridStart, kPostGain, 0.9f}, {gridStart, kDrive, 0.8f}}, false};
        const tools::AudioBuffer got = renderClap(module, input, clapRun);
        EXPECT_EQ(differingSamples(renderVst2(input, vst2Run), got), 0) << at;
        // Not where the event lies, when that is inside a block.
        const RenderRun early{
            48000.0, 2, {256}, {{gridStart - 32, kPostGain, 0.9f}, {gridStart - 32, kDrive, 0.8f}}, false};
        EXPECT_GT(differingSamples(renderVst2(input, early), got), 0) << at;
    }
}

}  // namespace
