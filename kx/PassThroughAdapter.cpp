#include "kx/PassThroughAdapter.h"

namespace kx {

void PassThroughAdapter::setBlockSizes(int pluginBlock, int)
{
    blockLength = pluginBlock;
    events.reserve(kEventRoom);
}

void PassThroughAdapter::beginHostBlock(float** inputs, float** outputs, int frames)
{
    for (int c = 0; c < 2; ++c) {
        hostInputs[c] = c < numInputs ? inputs[c] : nullptr;
        hostOutputs[c] = c < numOutputs ? outputs[c] : nullptr;
    }
    blockLength = frames;
    delivered = false;
}

void PassThroughAdapter::addEvent(const MidiEvent& event) { events.push_back(event); }

bool PassThroughAdapter::nextBlock(ProcessBlock& out)
{
    if (delivered) {
        events.clear();
        return false;
    }
    out.frames = blockLength;
    out.blockOffset = 0;
    out.events = &events;
    for (int c = 0; c < 2; ++c) {
        out.inputs[c] = hostInputs[c];
        out.outputs[c] = hostOutputs[c];
    }
    delivered = true;
    return true;
}

}  // namespace kx
