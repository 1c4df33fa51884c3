#pragma once
// Cuts host buffers into the blocks a plug-in processes, without copying audio, and files the
// host's MIDI events into the block they belong to.
// Per host block: addEvent (zero or more), beginHostBlock, then nextBlock until it returns
// false, or run to hand every block to the plug-in.

#include <cstdint>

#include <memory>

#include "kx/MidiEvent.h"
#include "kx/PluginDescriptor.h"
#include "kx/ProcessBlock.h"

namespace kx {

class AudioPlugin;

class BlockSizeAdapter {
public:
    virtual ~BlockSizeAdapter();
    // 0..2 channels each.
    virtual void setChannels(int inputs, int outputs);
    virtual void setBlockSizes(int pluginBlock, int hostMaxBlock) = 0;
    // The arrays must hold the channels set by setChannels, each with at least frames samples.
    virtual void beginHostBlock(float** inputs, float** outputs, int frames) = 0;
    virtual void addEvent(const MidiEvent& event) = 0;
    virtual bool nextBlock(ProcessBlock& out) = 0;
    // Hands `plugin` every block of the host block begun last, with subnormal numbers taken
    // as zero for the length of the call (DenormalsFlushed): what every binding's process does.
    void run(AudioPlugin& plugin);
    // A new stream begins (the host resumed processing): the next block starts a plug-in block.
    virtual void restart() {}

protected:
    int32_t numInputs = 0;
    int32_t numOutputs = 0;
    int32_t blockLength = 0;  // the plug-in's block, or the current host frame count
};

// The adapter a plug-in's block mode asks for.
std::unique_ptr<BlockSizeAdapter> makeBlockSizeAdapter(const PluginDescriptor& descriptor);

}  // namespace kx
