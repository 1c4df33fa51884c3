// The comparison battery as plans: what it covers, and that --grid keeps every
// host call the renderer makes on multiples of 32 frames.

#include "tools/render/CompareBattery.h"
#include "tools/host/Effect.h"
#include "tools/host/HostContext.h"
#include "tools/render/Renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace kx::vst2;
using tools::CompareCase;

const std::vector<std::string> kNames = {"Drive", "Compression", "Speed", "Stereo", "Tone Lo"};

// A stereo record that copies input to output and keeps the sizes of its calls.
struct CallRecorder {
    AEffect record{};
    std::vector<int> calls;

    CallRecorder()
    {
        record.magic = kEffectMagic;
        record.numInputs = 2;
        record.numOutputs = 2;
        record.numParams = static_cast<int32>(kNames.size());
        record.flags = effFlagsCanReplacing;
        record.object = this;
        record.dispatcher = [](AEffect*, int32, int32, intptr, void*, float) -> intptr { return 0; };
        record.setParameter = [](AEffect*, int32, float) {};
        record.processReplacing = [](AEffect* e, float** in, float** out, int32 frames) {
            static_cast<CallRecorder*>(e->object)->calls.push_back(frames);
            for (int c = 0; c < 2; ++c) std::copy(in[c], in[c] + frames, out[c]);
        };
    }
};

std::vector<int> callSizes(const CompareCase& c)
{
    CallRecorder recorder;
    tools::HostContext context;
    tools::Effect effect(&recorder.record, context);
    tools::Renderer renderer(c.options.resolve(effect, c.sampleRate, c.frames));
    renderer.run(effect, c.input());
    return recorder.calls;
}

TEST(CompareBattery, CoversRatesPartitionsSettingsSignalsAndChanges)
{
    const std::vector<CompareCase> cases = tools::compareBattery(kNames, {}, false);
    std::set<int> rates;
    std::set<int> sizes;
    std::set<std::string> settings;
    std::set<std::string> signals;
    bool inPlace = false;
    bool separate = false;
    bool pastAnnounced = false;
    bool changesOffGrid = false;
    for (const CompareCase& c : cases) {
        rates.insert(c.sampleRate);
        sizes.insert(c.options.blockSizes.begin(), c.options.blockSizes.end());
        settings.insert(c.settingsName);
        signals.insert(c.signalName());
        (c.options.inPlace ? inPlace : separate) = true;
        const int largest = *std::max_element(c.options.blockSizes.begin(), c.options.blockSizes.end());
        pastAnnounced |= c.options.announcedBlockSize > 0 && largest > c.options.announcedBlockSize;
        changesOffGrid |= !c.options.timedSettings.empty() && !c.onGrid();
        // A few seconds of audio at most, and changes inside it.
        EXPECT_LE(c.frames, 3 * c.sampleRate);
        for (const auto& timed : c.options.timedSettings) EXPECT_LT(timed.frameAt(c.sampleRate), c.frames);
    }
    EXPECT_EQ(rates, (std::set<int>{44100, 48000, 96000}));
    for (int size : {1, 7, 31, 32, 33, 64, 96, 100, 160, 512, 1000, 4097}) EXPECT_TRUE(sizes.count(size)) << size;
    EXPECT_EQ(settings,
              (std::set<std::string>{"defaults", "all 0", "all 1", "all 0.5", "Stereo 0", "Stereo 0.5", "Stereo 1"}));
    EXPECT_EQ(signals.size(), 5u);
    EXPECT_TRUE(inPlace && separate && pastAnnounced && changesOffGrid);

    // The same battery, the same input: the comparison is repeatable.
    EXPECT_EQ(cases[40].input().channels, tools::compareBattery(kNames, {}, false)[40].input().channels);

    // Without a Stereo parameter there are no Stereo settings; settings name parameters by index.
    for (const CompareCase& c : tools::compareBattery({"Gain", "Tone"}, {}, false)) {
        EXPECT_FALSE(c.settingsName.starts_with("Stereo"));
        for (const auto& setting : c.options.settings) {
            EXPECT_TRUE(setting.parameter == "0" || setting.parameter == "1");
        }
    }
}

// A module's presets add one case each, on the riff, named after the preset and setting nothing
// else; the rest of the battery stays as it was.
TEST(CompareBattery, EachPresetIsACase)
{
    const std::vector<CompareCase> plain = tools::compareBattery(kNames, {}, false);
    const std::vector<CompareCase> with = tools::compareBattery(kNames, {"Crunch", "Doom"}, false);
    ASSERT_EQ(with.size(), plain.size() + 2);
    for (std::size_t i = 0; i < plain.size(); ++i) EXPECT_TRUE(with[i].preset.empty());
    EXPECT_EQ(with[plain.size()].preset, "Crunch");
    EXPECT_EQ(with[plain.size() + 1].settingsName, "preset Doom");
    EXPECT_TRUE(with.back().options.settings.empty());
    EXPECT_EQ(with.back().signal, tools::TestSignal::Riff);
}

TEST(CompareBattery, GridKeepsEveryHostCallOnMultiplesOf32Frames)
{
    const std::vector<CompareCase> all = tools::compareBattery(kNames, {}, false);
    const std::vector<CompareCase> grid = tools::compareBattery(kNames, {}, true);
    ASSERT_GT(grid.size(), 30u);
    EXPECT_LT(grid.size(), all.size());
    EXPECT_EQ(static_cast<std::size_t>(
                  std::count_if(all.begin(), all.end(), [](const CompareCase& c) { return c.onGrid(); })),
              grid.size());
    bool inPlace = false;
    bool changes = false;
    for (const CompareCase& c : grid) {
        SCOPED_TRACE(c.blocksName + " " + c.settingsName + " " + c.changesName);
        inPlace |= c.options.inPlace;
        changes |= !c.options.timedSettings.empty();
        for (int size : callSizes(c)) ASSERT_EQ(size % 32, 0);
    }
    EXPECT_TRUE(inPlace && changes);

    // The off-grid cases are there to make calls that are not.
    const auto odd =
        std::find_if(all.begin(), all.end(), [](const CompareCase& c) { return c.changesName == "off grid"; });
    ASSERT_NE(odd, all.end());
    const std::vector<int> calls = callSizes(*odd);
    EXPECT_TRUE(std::any_of(calls.begin(), calls.end(), [](int size) { return size % 32 != 0; }));
}

}  // namespace
