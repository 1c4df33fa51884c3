#pragma once
// Deinterleaved 32-bit float audio: one vector per channel, all the same length.

#include <cstdint>
#include <vector>

namespace tools {

struct AudioBuffer {
    int sampleRate = 48000;
    std::vector<std::vector<float>> channels;

    int numChannels() const { return static_cast<int>(channels.size()); }
    std::int64_t numFrames() const { return channels.empty() ? 0 : static_cast<std::int64_t>(channels[0].size()); }

    static AudioBuffer zeros(int sampleRate, int numChannels, std::int64_t numFrames)
    {
        AudioBuffer buffer;
        buffer.sampleRate = sampleRate;
        buffer.channels.assign(static_cast<std::size_t>(numChannels),
                               std::vector<float>(static_cast<std::size_t>(numFrames), 0.0f));
        return buffer;
    }
};

}  // namespace tools
