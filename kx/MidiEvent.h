#pragma once
// A decoded MIDI message, positioned within the block it belongs to.

#include <cstdint>
#include <vector>

namespace kx {

enum class MidiEventKind : uint8_t {
    NoteOn = 0,
    NoteOff = 1,
    PolyPressure = 2,
    ChannelPressure = 3,
    PitchBend = 4,
    ModWheel = 5,          // controller 1
    SustainPedal = 6,      // controller 64
    BreathController = 7,  // controller 2
    Controller = 8,        // every other controller
};

struct MidiEvent {
    uint8_t kind;    // a MidiEventKind
    uint8_t offset;  // frame within its block
    int32_t number;  // note or controller number, 0..127
    float value;
};

using MidiEventList = std::vector<MidiEvent>;

}  // namespace kx
