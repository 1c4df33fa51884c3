#include "CompareBattery.h"

#include "tools/audio/Random.h"
#include "tools/audio/Signals.h"
#include "UsageError.h"

#include <algorithm>

namespace tools {

namespace {

constexpr int kGrid = 32;
constexpr std::uint64_t kSignalSeed = 7;
constexpr std::uint64_t kSequenceSeed = 0x7707;
constexpr int kRandomAnnounced = 1024;  // the random sequences go past it now and then

struct BlockSequence {
    std::string name;
    std::vector<int> sizes;
    int announced = 0;  // 0: the largest size
};

struct Setting {
    std::string name;
    std::vector<ParameterAssignment> values;
};

// Host blocks from 1 to 1100 frames, every eighth up to 4500; on the grid, the
// same in multiples of 32.
std::vector<int> randomSizes(bool onGrid)
{
    Random random(kSequenceSeed);
    std::vector<int> sizes;
    for (int i = 0; i < 64; ++i) {
        const int largest = i % 8 == 7 ? 4500 : 1100;
        const int size = 1 + static_cast<int>(random.nextBits() % static_cast<std::uint64_t>(largest));
        sizes.push_back(onGrid ? kGrid * std::max(1, size / kGrid) : size);
    }
    return sizes;
}

std::vector<BlockSequence> blockSequences()
{
    std::vector<BlockSequence> sequences = {
        {"512", {512}},
        {"32", {32}},
        {"64,96,160,32", {64, 96, 160, 32}},
    };
    for (int size : {1, 7, 31, 33, 100, 1000, 4097}) sequences.push_back({std::to_string(size), {size}});
    sequences.push_back({"random on grid", randomSizes(true), kRandomAnnounced});
    sequences.push_back({"random", randomSizes(false), kRandomAnnounced});
    return sequences;
}

const BlockSequence& sequenceNamed(const std::vector<BlockSequence>& sequences, const std::string& name)
{
    return *std::find_if(sequences.begin(), sequences.end(),
                         [&name](const BlockSequence& sequence) { return sequence.name == name; });
}

Setting everyParameter(const std::string& name, int count, float value)
{
    Setting setting{name, {}};
    for (int i = 0; i < count; ++i) setting.values.push_back({std::to_string(i), value});
    return setting;
}

std::vector<Setting> settings(const std::vector<std::string>& names)
{
    const int count = static_cast<int>(names.size());
    std::vector<Setting> list = {
        {"defaults", {}},
        everyParameter("all 0", count, 0.0f),
        everyParameter("all 1", count, 1.0f),
        everyParameter("all 0.5", count, 0.5f),
    };
    try {
        const std::string stereo = std::to_string(RenderOptions::findParameter(names, "Stereo"));
        for (const char* value : {"0", "0.5", "1"}) {
            list.push_back({std::string("Stereo ") + value, {RenderOptions::parseAssignment(stereo + "=" + value)}});
        }
    } catch (const UsageError&) {
        // A module without a Stereo parameter has no modes to go through.
    }
    return list;
}

// Every parameter to 1 at a quarter of the length, to 0 at half and to 0.5 at
// three quarters; on the grid at multiples of 32 frames, else a few frames after.
std::vector<TimedAssignment> changes(int count, std::int64_t frames, bool onGrid)
{
    std::vector<TimedAssignment> list;
    const std::pair<int, float> steps[] = {{1, 1.0f}, {2, 0.0f}, {3, 0.5f}};
    for (const auto& [quarter, value] : steps) {
        std::int64_t frame = frames * quarter / 4 / kGrid * kGrid;
        if (!onGrid) frame += 2 * quarter + 5;
        for (int i = 0; i < count; ++i) {
            TimedAssignment timed;
            timed.frame = frame;
            timed.assignment = {std::to_string(i), value};
            list.push_back(timed);
        }
    }
    return list;
}

CompareCase makeCase(int rate, TestSignal signal, const Setting& setting, const BlockSequence& blocks, bool inPlace)
{
    CompareCase c;
    c.sampleRate = rate;
    c.frames = rate / kGrid * kGrid;  // one second, cut to the grid
    c.signal = signal;
    c.settingsName = setting.name;
    c.blocksName = blocks.name;
    c.changesName = "none";
    c.options.settings = setting.values;
    c.options.blockSizes = blocks.sizes;
    c.options.announcedBlockSize = blocks.announced;
    c.options.inPlace = inPlace;
    return c;
}

}  // namespace

bool CompareCase::onGrid() const
{
    auto onGridFrame = [](std::int64_t frame) { return frame % kGrid == 0; };
    return onGridFrame(frames) && std::all_of(options.blockSizes.begin(), options.blockSizes.end(), onGridFrame) &&
           std::all_of(options.timedSettings.begin(), options.timedSettings.end(),
                       [&](const TimedAssignment& timed) { return onGridFrame(timed.frameAt(sampleRate)); });
}

AudioBuffer CompareCase::input() const
{
    switch (signal) {
    case TestSignal::Riff:
        return Signals::guitarRiff(kSignalSeed, sampleRate, frames, 2);
    case TestSignal::MonoRiff:
        return Signals::guitarRiff(kSignalSeed, sampleRate, frames, 1);
    case TestSignal::Noise:
        return Signals::burst(kSignalSeed, sampleRate, frames, 2);
    case TestSignal::Sweep:
        return Signals::sweep(sampleRate, frames, 2);
    case TestSignal::BurstThenSilence:
        break;
    }
    // 20 ms of full-scale noise, then the tail the module makes of it.
    AudioBuffer audio = Signals::burst(kSignalSeed, sampleRate, sampleRate / 50, 2);
    for (auto& channel : audio.channels) channel.resize(static_cast<std::size_t>(frames), 0.0f);
    return audio;
}

std::string CompareCase::signalName() const
{
    switch (signal) {
    case TestSignal::Riff:
        return "riff";
    case TestSignal::MonoRiff:
        return "riff mono";
    case TestSignal::Noise:
        return "noise";
    case TestSignal::Sweep:
        return "sweep";
    case TestSignal::BurstThenSilence:
        break;
    }
    return "burst+silence";
}

std::vector<CompareCase> compareBattery(const std::vector<std::string>& parameterNames,
                                        const std::vector<std::string>& presetNames, bool gridOnly)
{
    const std::vector<BlockSequence> sequences = blockSequences();
    const std::vector<Setting> allSettings = settings(parameterNames);
    const Setting& defaults = allSettings[0];
    const TestSignal signals[] = {TestSignal::Riff, TestSignal::MonoRiff, TestSignal::Noise, TestSignal::Sweep,
                                  TestSignal::BurstThenSilence};
    std::vector<CompareCase> cases;

    // Every partition at every rate.
    for (int rate : {44100, 48000, 96000}) {
        for (const auto& blocks : sequences) cases.push_back(makeCase(rate, TestSignal::Riff, defaults, blocks, false));
    }
    // Every setting with every signal, in random partitions on and off the grid.
    for (const auto& setting : allSettings) {
        for (TestSignal signal : signals) {
            for (const char* blocks : {"random on grid", "random"}) {
                cases.push_back(makeCase(48000, signal, setting, sequenceNamed(sequences, blocks), false));
            }
        }
    }
    // Every partition in place, the signals in turn.
    for (std::size_t i = 0; i < sequences.size(); ++i) {
        cases.push_back(makeCase(44100, signals[i % std::size(signals)], allSettings[3], sequences[i], true));
    }
    // Parameter changes during the render, on the grid and off it.
    const int count = static_cast<int>(parameterNames.size());
    for (bool onGrid : {true, false}) {
        for (const char* blocks : {"512", "64,96,160,32", "33", "1000", "random on grid", "random"}) {
            CompareCase c = makeCase(48000, TestSignal::Riff, defaults, sequenceNamed(sequences, blocks), !onGrid);
            c.changesName = onGrid ? "on grid" : "off grid";
            c.options.timedSettings = changes(count, c.frames, onGrid);
            cases.push_back(c);
        }
    }

    // Each preset, on the riff, in random partitions off the grid.
    for (const std::string& preset : presetNames) {
        CompareCase c = makeCase(48000, TestSignal::Riff, defaults, sequenceNamed(sequences, "random"), false);
        c.settingsName = "preset " + preset;
        c.preset = preset;
        cases.push_back(c);
    }

    if (gridOnly) std::erase_if(cases, [](const CompareCase& c) { return !c.onGrid(); });
    return cases;
}

}  // namespace tools
