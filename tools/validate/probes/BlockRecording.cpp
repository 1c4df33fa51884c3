#include "BlockRecording.h"

#include <algorithm>
#include <cmath>

namespace tools::validate {

namespace {

constexpr float kAudible = 1e-4f;   // -80 dBFS: quieter reference samples are not judged
constexpr int kStaleWindow = 256;   // frames back in which a repeated value counts as stale
constexpr float kStaleGap = 0.05f;  // relative distance from the reference a stale value has at least
constexpr int kLossyBlocksNamed = 2;

bool audible(float sample) { return std::isfinite(sample) && std::fabs(sample) > kAudible; }

// The lost samples of one block, by kind, and the first of them.
struct BlockLoss {
    std::int64_t counts[4] = {};
    int firstOffset = -1;
};

}  // namespace

std::string LostFrames::sizes(std::size_t shown) const
{
    std::string text;
    std::size_t listed = 0;
    for (const auto& entry : bySize) {
        if (listed == shown) break;
        const bool last = listed + 1 == bySize.size();
        text += (listed == 0 ? "" : last ? " and " : ", ") + std::to_string(entry.first);
        ++listed;
    }
    if (listed < bySize.size()) text += " and " + std::to_string(bySize.size() - listed) + " more sizes";
    return text;
}

void BlockRecording::add(const GuardedAudio& audio, int frames)
{
    if (channels.empty()) channels.resize(static_cast<std::size_t>(audio.numOutputs()));
    blocks.push_back({this->frames(), frames});
    for (std::size_t c = 0; c < channels.size(); ++c) {
        const float* out = audio.output(static_cast<int>(c));
        channels[c].insert(channels[c].end(), out, out + frames);
    }
}

BlockRecording::Loss BlockRecording::lossAt(const BlockRecording& reference, std::size_t channel,
                                            std::int64_t frame) const
{
    const std::vector<float>& out = channels[channel];
    const std::vector<float>& ref = reference.channels[channel];
    const auto i = static_cast<std::size_t>(frame);
    if (GuardedAudio::isMarker(out[i])) return Loss::Unwritten;
    if (!audible(ref[i]) || out[i] == ref[i]) return Loss::None;
    if (out[i] == 0.0f) return Loss::Silent;
    if (std::fabs(out[i] - ref[i]) <= kStaleGap * std::fabs(ref[i])) return Loss::None;
    const std::size_t from = i > kStaleWindow ? i - kStaleWindow : 0;
    for (std::size_t j = from; j < i; ++j) {
        if (out[j] == out[i] && ref[j] != ref[i]) return Loss::Stale;
    }
    return Loss::None;
}

LostFrames BlockRecording::lostAgainst(const BlockRecording& reference) const
{
    const std::int64_t judged = std::min(frames(), reference.frames());
    const std::size_t judgedChannels = std::min(channels.size(), reference.channels.size());
    std::map<int, std::vector<std::pair<Block, BlockLoss>>> lossy;
    for (const Block& block : blocks) {
        if (block.size == 0 || block.start + block.size > judged) continue;
        BlockLoss loss;
        bool lastLost = false;
        for (int offset = 0; offset < block.size; ++offset) {
            for (std::size_t c = 0; c < judgedChannels; ++c) {
                const Loss kind = lossAt(reference, c, block.start + offset);
                if (kind == Loss::None) continue;
                ++loss.counts[static_cast<int>(kind)];
                if (loss.firstOffset < 0) loss.firstOffset = offset;
                lastLost |= offset + 1 == block.size;
            }
        }
        if (lastLost) lossy[block.size].push_back({block, loss});
    }

    LostFrames lost;
    for (const auto& [size, list] : lossy) {
        if (static_cast<int>(list.size()) < kLossyBlocksNamed) continue;
        lost.bySize[size] = static_cast<int>(list.size());
        for (const auto& [block, loss] : list) {
            lost.unwritten += loss.counts[static_cast<int>(Loss::Unwritten)];
            lost.silent += loss.counts[static_cast<int>(Loss::Silent)];
            lost.stale += loss.counts[static_cast<int>(Loss::Stale)];
            const std::int64_t frame = block.start + loss.firstOffset;
            if (lost.firstFrame < 0 || frame < lost.firstFrame) {
                lost.firstFrame = frame;
                lost.firstOffset = loss.firstOffset;
                lost.firstSize = size;
            }
        }
    }
    return lost;
}

}  // namespace tools::validate
