#include "kx/SkipBlockAdapter.h"

#include <cstddef>

namespace kx {

void SkipBlockAdapter::setBlockSizes(int pluginBlock, int hostMax)
{
    blockLength = pluginBlock;
    hostMaxBlock = hostMax;
    if (blockLength < 1) {
        return;
    }
    // Event offsets are 8-bit, so lists beyond the first few blocks stay empty anyway; the
    // cap keeps an absurd announced maximum from allocating without bound.
    const int32_t ratio = (hostMax < kMaxPreparedFrames ? hostMax : kMaxPreparedFrames) / blockLength;
    if (ratio > maxBlocks) {
        maxBlocks = ratio;
        eventLists.resize(static_cast<std::size_t>(ratio));
        for (MidiEventList& list : eventLists) {
            list.reserve(kEventRoom);
        }
    }
}

void SkipBlockAdapter::beginHostBlock(float** inputs, float** outputs, int frames)
{
    hostInputs = inputs;
    hostOutputs = outputs;
    hostFrames = frames;
    numBlocks = blockLength >= 1 && frames > 0 ? frames / blockLength : 0;
    nextIndex = 0;
    // The frames left over are silenced: no block reads them, so this is safe in place,
    // and the host never gets back stale or uninitialised samples.
    const int32_t processed = numBlocks * blockLength;
    for (int c = 0; c < numOutputs && c < 2 && frames > processed; ++c) {
        if (outputs[c] == nullptr) {
            continue;
        }
        for (int32_t i = processed; i < frames; ++i) {
            outputs[c][i] = 0.0f;
        }
    }
}

void SkipBlockAdapter::addEvent(const MidiEvent& event)
{
    if (blockLength < 1 || eventLists.empty()) {
        return;  // no list prepared yet
    }
    MidiEvent filed = event;
    std::size_t list = event.offset / static_cast<std::size_t>(blockLength);
    filed.offset = static_cast<uint8_t>(event.offset % blockLength);
    if (list >= eventLists.size()) {
        // Beyond the announced host block: keep it with the last prepared block, at its end.
        list = eventLists.size() - 1;
        filed.offset = static_cast<uint8_t>(blockLength - 1 < 255 ? blockLength - 1 : 255);
    }
    eventLists[list].push_back(filed);
}

bool SkipBlockAdapter::nextBlock(ProcessBlock& out)
{
    if (nextIndex >= numBlocks) {
        for (MidiEventList& list : eventLists) {
            list.clear();
        }
        return false;
    }
    const int32_t start = nextIndex * blockLength;
    for (int c = 0; c < 2; ++c) {
        out.inputs[c] = c < numInputs ? hostInputs[c] + start : nullptr;
        out.outputs[c] = c < numOutputs ? hostOutputs[c] + start : nullptr;
    }
    out.frames = blockLength;
    out.events = static_cast<std::size_t>(nextIndex) < eventLists.size() ? &eventLists[static_cast<std::size_t>(nextIndex)] : &noEvents;
    ++nextIndex;
    return true;
}

}  // namespace kx
