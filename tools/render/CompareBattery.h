#pragma once
// The fixed set of renders that `tw07-host compare` runs through two modules:
// sample rates, parameter settings, signals, host block-size sequences, shared
// or separate buffers and parameter changes during the render, and each of a
// module's own presets. Settings name parameters by index (and Stereo by name,
// when the module has it), so the battery fits any effect.

#include "tools/audio/AudioBuffer.h"
#include "RenderOptions.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

enum class TestSignal { Riff, MonoRiff, Noise, Sweep, BurstThenSilence };

struct CompareCase {
    int sampleRate = 48000;
    std::int64_t frames = 0;
    TestSignal signal = TestSignal::Riff;
    std::string settingsName;  // "defaults", "all 0", "Stereo 0.5", ...
    std::string blocksName;    // "512", "64,96,160,32", "random", ...
    std::string changesName;   // "none", "on grid", "off grid"
    std::string preset;        // a preset's name: loaded by a module that has it, else set to its values
    RenderOptions options;     // settings, changes at frames, host blocks, in place, announced maximum

    // Every host call the renderer makes is a whole number of 32-frame blocks:
    // block sizes, change frames and the length are multiples of 32.
    bool onGrid() const;
    AudioBuffer input() const;
    std::string signalName() const;
};

// The battery for a module with these parameter names and presets; with
// `gridOnly` just the cases that are onGrid().
std::vector<CompareCase> compareBattery(const std::vector<std::string>& parameterNames,
                                        const std::vector<std::string>& presetNames, bool gridOnly);

}  // namespace tools
