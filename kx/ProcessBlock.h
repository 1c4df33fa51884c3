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
};

}  // namespace kx
