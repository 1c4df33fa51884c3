#include "kx/BlockSizeAdapter.h"

#include "kx/PassThroughAdapter.h"
#include "kx/SkipBlockAdapter.h"

namespace kx {

void BlockSizeAdapter::setChannels(int inputs, int outputs)
{
    numInputs = inputs < 0 ? 0 : (inputs > 2 ? 2 : inputs);
    numOutputs = outputs < 0 ? 0 : (outputs > 2 ? 2 : outputs);
}

std::unique_ptr<BlockSizeAdapter> makeBlockSizeAdapter(const PluginDescriptor& descriptor)
{
    if (descriptor.blockMode == kBlockModeSkip) return std::make_unique<SkipBlockAdapter>();
    return std::make_unique<PassThroughAdapter>();
}

}  // namespace kx
