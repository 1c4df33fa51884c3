#pragma once
// One block of audio handed to AudioPlugin::process; it points into the host's buffers.

#include <cstdint>

#include "kx/MidiEvent.h"

namespace kx {

struct ProcessBlock {
    int32_t frames;
    const MidiEventList* events;  // never null, possibly empty
    const float* inputs[2];       // null for channels the host does not use
    float* outputs[2];
    // Where the first frame lies in the plug-in's fixed block: 0 starts a block, a larger value
    // continues the block the previous call left unfinished. Always 0 with host-sized blocks.
    int32_t blockOffset = 0;
};

}  // namespace kx
