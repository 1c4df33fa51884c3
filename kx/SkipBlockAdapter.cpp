#include "kx/SkipBlockAdapter.h"

#include <algorithm>
#include <cstddef>

namespace kx {

void SkipBlockAdapter::setBlockSizes(int pluginBlock, int hostMax)
{
    blockLength = pluginBlock;
    if (blockLength < 1) {
        return;
    }
    // A host block of h frames starting anywhere in the grid touches at most h / B + 2 plug-in
    // blocks. Event offsets are 8-bit, so lists beyond the first few stay empty anyway; the cap
    // keeps an absurd announced maximum from allocating without bound.
    const int32_t frames = hostMax < 0 ? 0 : (hostMax < kMaxPreparedFrames ? hostMax : kMaxPreparedFrames);
    const int32_t pieces = frames / blockLength + 2;
    if (pieces > maxBlocks) {
        maxBlocks = pieces;
        eventLists.resize(static_cast<std::size_t>(pieces));
        for (MidiEventList& list : eventLists) {
            list.reserve(kEventRoom);
        }
    }
}

void SkipBlockAdapter::restart() { gridPosition = 0; }

void SkipBlockAdapter::beginHostBlock(float** inputs, float** outputs, int frames)
{
    hostInputs = inputs;
    hostOutputs = outputs;
    hostFrames = blockLength >= 1 && frames > 0 ? frames : 0;
    consumed = 0;
    nextIndex = 0;
    if (hostFrames > 0) {
        keepLateEvents();
    }
}

// Events filed beyond the host block's last frame (offsets past its end, as a host may send when
// its block is shorter than announced) go with that last frame rather than being lost.
void SkipBlockAdapter::keepLateEvents()
{
    const auto frame = static_cast<std::size_t>(gridPosition + hostFrames - 1);
    const std::size_t last = frame / static_cast<std::size_t>(blockLength);
    const auto lastOffset = static_cast<uint8_t>(frame % static_cast<std::size_t>(blockLength));
    if (last >= eventLists.size()) {
        return;  // longer than announced: every filed event lies within the host block
    }
    for (MidiEvent& event : eventLists[last]) {
        if (event.offset > lastOffset) {
            event.offset = lastOffset;
        }
    }
    for (std::size_t list = last + 1; list < eventLists.size(); ++list) {
        for (MidiEvent event : eventLists[list]) {
            event.offset = lastOffset;
            eventLists[last].push_back(event);
        }
        eventLists[list].clear();
    }
}

void SkipBlockAdapter::addEvent(const MidiEvent& event)
{
    if (blockLength < 1 || eventLists.empty()) {
        return;  // no list prepared yet
    }
    // Events arrive before their host block, which starts where the grid stands now.
    const std::size_t frame = static_cast<std::size_t>(gridPosition) + event.offset;
    MidiEvent filed = event;
    std::size_t list = frame / static_cast<std::size_t>(blockLength);
    filed.offset = static_cast<uint8_t>(frame % static_cast<std::size_t>(blockLength));
    if (list >= eventLists.size()) {
        // Beyond the announced host block: keep it with the last prepared block, at its end.
        list = eventLists.size() - 1;
        filed.offset = static_cast<uint8_t>(blockLength - 1 < 255 ? blockLength - 1 : 255);
    }
    eventLists[list].push_back(filed);
}

bool SkipBlockAdapter::nextBlock(ProcessBlock& out)
{
    if (consumed >= hostFrames) {
        // Only the pieces handed out can hold events (later ones were moved into the last), unless
        // the host block had no frames and every filed event is let go.
        const std::size_t used =
            nextIndex == 0 ? eventLists.size() : std::min(static_cast<std::size_t>(nextIndex), eventLists.size());
        for (std::size_t list = 0; list < used; ++list) eventLists[list].clear();
        return false;
    }
    const int32_t room = blockLength - gridPosition;
    const int32_t frames = hostFrames - consumed < room ? hostFrames - consumed : room;
    for (int c = 0; c < 2; ++c) {
        out.inputs[c] = c < numInputs ? hostInputs[c] + consumed : nullptr;
        out.outputs[c] = c < numOutputs ? hostOutputs[c] + consumed : nullptr;
    }
    out.frames = frames;
    out.blockOffset = gridPosition;
    out.events = static_cast<std::size_t>(nextIndex) < eventLists.size()
                     ? &eventLists[static_cast<std::size_t>(nextIndex)]
                     : &noEvents;
    consumed += frames;
    gridPosition = frames == room ? 0 : gridPosition + frames;
    ++nextIndex;
    return true;
}

}  // namespace kx
