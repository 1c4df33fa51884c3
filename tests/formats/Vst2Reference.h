#pragma once
// What the format tests share: renders through the VST 2 module, the reference every other
// format must equal bit for bit, over host block partitions with parameter changes.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "tools/audio/AudioBuffer.h"

namespace formatstest {

struct Change {
    int64_t frame;
    int index;
    float normalised;
};

struct RenderRun {
    double rate;
    int channels;                 // 1: mono in and out; 2: stereo
    std::vector<int> blocks;      // host block sizes, used in turn
    std::vector<Change> changes;  // sorted by frame
    bool inPlace;
};

// 64 host blocks of 1 to 700 frames.
std::vector<int> randomBlocks(uint32_t seed);
// 24 changes of any parameter ("Stereo" to one of its options) at frames within `frames`.
std::vector<Change> someChanges(int64_t frames, uint32_t seed);
// The VST 2 module's render: a change splits the host's block where it lies, as a host sends
// it between two calls.
tools::AudioBuffer renderVst2(const tools::AudioBuffer& input, const RenderRun& run);
int64_t differingSamples(const tools::AudioBuffer& a, const tools::AudioBuffer& b);

// Blocks of the run over the whole input: the host's buffers, in place or not.
template<class Process>
tools::AudioBuffer renderInBlocks(const tools::AudioBuffer& input, const RenderRun& run, Process&& process)
{
    tools::AudioBuffer output = tools::AudioBuffer::zeros(input.sampleRate, run.channels, input.numFrames());
    tools::AudioBuffer scratch = input;
    int64_t position = 0;
    for (std::size_t b = 0; position < input.numFrames(); ++b) {
        const int frames =
            static_cast<int>(std::min<int64_t>(run.blocks[b % run.blocks.size()], input.numFrames() - position));
        float* in[2] = {};
        float* out[2] = {};
        for (int c = 0; c < run.channels; ++c) {
            in[c] = (run.inPlace ? output : scratch).channels[static_cast<std::size_t>(c)].data() + position;
            out[c] = output.channels[static_cast<std::size_t>(c)].data() + position;
            if (run.inPlace) std::copy_n(input.channels[static_cast<std::size_t>(c)].data() + position, frames, in[c]);
        }
        process(position, frames, in, out);
        position += frames;
    }
    return output;
}

}  // namespace formatstest
