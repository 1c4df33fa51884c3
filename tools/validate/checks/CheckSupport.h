#pragma once
// Small helpers the checks share: process probes and a run of audio blocks.

#include "tools/validate/CheckContext.h"
#include "tools/validate/probes/GuardedAudio.h"
#include "tools/validate/PluginInstance.h"
#include "tools/audio/Random.h"

#include <string>
#include <vector>

namespace tools::validate {

// Output magnitudes above this (+40 dB over full scale, for input peaks of
// 0.5) count as unbounded.
constexpr float kOutputBound = 100.0f;

// Threads of this process, and their names.
int threadCount();
std::vector<std::string> threadNames();
// File descriptors of the sockets this process has open.
std::vector<int> openSockets();
double milliseconds();

// Whether an output peak above kOutputBound is a fault. Parameters may ask for
// any gain, so checks that move them judge finiteness alone.
enum class Bound { Checked, Ignored };

// Runs `blocks` blocks of `frames` frames of the test signal and checks each
// call's buffers, output finiteness and bound. Fails the check (naming `what`)
// and returns false at the first problem.
bool runSignalBlocks(CheckContext& context, PluginInstance& plugin, GuardedAudio& audio, Random& random, int frames,
                     int blocks, const char* what, Bound bound = Bound::Checked);

// Checks one processed block: buffers, finite output, bound. Fails the check and returns false.
bool judgeBlock(CheckContext& context, const GuardedAudio& audio, const std::string& problem, int frames,
                const char* what, Bound bound = Bound::Checked);

}  // namespace tools::validate
