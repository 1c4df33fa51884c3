#pragma once
// Cuts host blocks into the plug-in's fixed block grid without adding latency. The grid runs on
// across host blocks: a host block that ends inside a plug-in block hands the plug-in that part
// of it, and the next host block hands the rest, each ProcessBlock saying where it starts in its
// plug-in block (blockOffset). Every host frame is processed exactly once, whatever the block
// sizes, and the plug-in starts each of its blocks at the same stream frame however the host
// partitions the stream.

#include <vector>

#include "kx/BlockSizeAdapter.h"

namespace kx {

class SkipBlockAdapter final : public BlockSizeAdapter {
public:
    void setBlockSizes(int pluginBlock, int hostMaxBlock) override;
    void beginHostBlock(float** inputs, float** outputs, int frames) override;
    void addEvent(const MidiEvent& event) override;
    bool nextBlock(ProcessBlock& out) override;
    void restart() override;

private:
    void keepLateEvents();

    static constexpr int kEventRoom = 16;  // per block, reserved off the audio thread
    static constexpr int32_t kMaxPreparedFrames = 8192;

    int32_t maxBlocks = 0;  // event lists prepared so far: pieces of the largest host block
    int32_t hostFrames = 0;
    int32_t consumed = 0;      // frames of the current host block handed out so far
    int32_t gridPosition = 0;  // frames of the current plug-in block already processed
    int32_t nextIndex = 0;     // piece of the current host block handed out next
    float** hostInputs = nullptr;
    float** hostOutputs = nullptr;
    std::vector<MidiEventList> eventLists;  // one per piece of a host block
    MidiEventList noEvents;
};

}  // namespace kx
