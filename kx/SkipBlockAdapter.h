#pragma once
// Cuts a host block into whole blocks of the plug-in's size; the frames left over at the end
// are not processed and their outputs are set to silence.

#include <vector>

#include "kx/BlockSizeAdapter.h"

namespace kx {

class SkipBlockAdapter final : public BlockSizeAdapter {
public:
    void setBlockSizes(int pluginBlock, int hostMaxBlock) override;
    void beginHostBlock(float** inputs, float** outputs, int frames) override;
    void addEvent(const MidiEvent& event) override;
    bool nextBlock(ProcessBlock& out) override;

private:
    static constexpr int kEventRoom = 16;  // per block, reserved off the audio thread
    static constexpr int32_t kMaxPreparedFrames = 8192;

    int32_t numBlocks = 0;  // whole plug-in blocks in the current host block
    int32_t maxBlocks = 0;  // largest host-to-plug-in block ratio prepared so far
    int32_t hostFrames = 0;
    int32_t nextIndex = 0;
    float** hostInputs = nullptr;
    float** hostOutputs = nullptr;
    std::vector<MidiEventList> eventLists;  // one per plug-in block of a host block
    MidiEventList noEvents;
};

}  // namespace kx
