#pragma once
// The output of a run of host blocks, frame by frame with the block each frame
// came in, and the blocks of it that were not wholly processed, judged against
// a run of the same input in other blocks.
//
// A module may differ a little between partitions (parameter smoothing per
// call), so values are not compared for identity. A sample counts as lost when
// it was left unwritten, or when the reference has sound there and the sample
// is exact silence, or is far from the reference and repeats a value the
// output had shortly before (where the reference had another). A module that
// processes whole internal blocks only loses the end of a host block, in every
// block of a size that is not a multiple of its own: a block counts as lossy
// when its last frame is lost, and a block size is named when at least two of
// its blocks are. A single coincidence is not a fault.

#include "GuardedAudio.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tools::validate {

struct LostFrames {
    std::map<int, int> bySize;  // named host block size -> its lossy blocks
    // Lost samples in the lossy blocks of the named sizes, by kind.
    std::int64_t unwritten = 0;
    std::int64_t silent = 0;
    std::int64_t stale = 0;
    std::int64_t firstFrame = -1;  // the first lost sample among them: frame of the run,
    int firstOffset = 0;           // frame within its block,
    int firstSize = 0;             // and the size of that block

    bool any() const { return !bySize.empty(); }
    // "1, 7 and 33", at most `shown` sizes and a count of the rest.
    std::string sizes(std::size_t shown = 12) const;
};

class BlockRecording {
public:
    // Appends the first `frames` output frames of the call just made.
    void add(const GuardedAudio& audio, int frames);

    std::int64_t frames() const { return channels.empty() ? 0 : static_cast<std::int64_t>(channels[0].size()); }

    LostFrames lostAgainst(const BlockRecording& reference) const;

private:
    struct Block {
        std::int64_t start;
        int size;
    };
    enum class Loss { None, Unwritten, Silent, Stale };

    Loss lossAt(const BlockRecording& reference, std::size_t channel, std::int64_t frame) const;

    std::vector<Block> blocks;
    std::vector<std::vector<float>> channels;
};

}  // namespace tools::validate
