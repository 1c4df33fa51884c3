#include "kx/BlockSizeAdapter.h"

#include "kx/AudioPlugin.h"
#include "kx/DenormalsFlushed.h"
#include "kx/PassThroughAdapter.h"
#include "kx/SkipBlockAdapter.h"

namespace kx {

void BlockSizeAdapter::setChannels(int inputs, int outputs)
{
    numInputs = inputs < 0 ? 0 : (inputs > 2 ? 2 : inputs);
    numOutputs = outputs < 0 ? 0 : (outputs > 2 ? 2 : outputs);
}

void BlockSizeAdapter::run(AudioPlugin& plugin)
{
    const DenormalsFlushed flushed;
    ProcessBlock block;
    while (nextBlock(block)) plugin.process(block);
}

std::unique_ptr<BlockSizeAdapter> makeBlockSizeAdapter(const PluginDescriptor& descriptor)
{
    if (descriptor.blockMode == kBlockModeSkip) return std::make_unique<SkipBlockAdapter>();
    return std::make_unique<PassThroughAdapter>();
}

}  // namespace kx
