#include "kx/BlockSizeAdapter.h"

namespace kx {

void BlockSizeAdapter::setChannels(int inputs, int outputs)
{
    numInputs = inputs < 0 ? 0 : (inputs > 2 ? 2 : inputs);
    numOutputs = outputs < 0 ? 0 : (outputs > 2 ? 2 : outputs);
}

}  // namespace kx
