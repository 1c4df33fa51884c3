#pragma once
// Hands every host block on as one ProcessBlock, including blocks of 0 frames.

#include "kx/BlockSizeAdapter.h"

namespace kx {

class PassThroughAdapter final : public BlockSizeAdapter {
public:
    void setBlockSizes(int pluginBlock, int hostMaxBlock) override;
    void beginHostBlock(float** inputs, float** outputs, int frames) override;
    void addEvent(const MidiEvent& event) override;
    bool nextBlock(ProcessBlock& out) override;

private:
    static constexpr int kEventRoom = 256;

    float* hostInputs[2] = {nullptr, nullptr};
    float* hostOutputs[2] = {nullptr, nullptr};
    MidiEventList events;
    bool delivered = true;  // the current host block has been handed on
};

}  // namespace kx
