#pragma once
// Common base of the fixed-block DSP bricks. A brick processes one block of
// kBlockSize samples at a time, reads its inputs through pointers its owner
// wired once, and keeps its outputs in buffers of its own.
//
// A block may also be processed in consecutive parts, so that an owner can
// answer a host that hands it fewer frames than a block without adding
// latency: processRange(begin, end) continues the block from sample begin to
// end (multiples of kRangeStep). A range that begins at 0 starts a block: the
// brick reads its control inputs and fixes its ramps there, and keeps them for
// the rest of the block; a range that ends at kBlockSize finishes it. Every
// per-sample operation is the one a whole block would do, so any split gives
// the same bits as process(). Resuming costs nothing per call beyond the loop
// set-up, which is why bricks resume rather than the owner replaying a copy of
// its whole state.

#include <array>
#include <bit>
#include <cstdint>

#include "kx/Relaxed.h"

namespace bricks {

constexpr int kBlockSize = 128;
constexpr int kRangeStep = 4;  // processRange bounds are multiples of this
// A control ramped across a block moves by this share of the step each sample.
constexpr float kRampShare = 1.0f / kBlockSize;

// Whether a ramp has come to rest: adding its step no longer changes the
// value's bits, so the rest of the block's steps leave it as it stands.
// Glides end this way, the step too small to move the value, and stay so
// while the control is still.
inline bool rampAtRest(float value, float step)
{
    return std::bit_cast<std::uint32_t>(value + step) == std::bit_cast<std::uint32_t>(value);
}

class DspBrick {
public:
    virtual ~DspBrick() = default;
    virtual void process() = 0;
    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void reset() = 0;
    virtual int numControlInputs() const = 0;
    virtual int numControlOutputs() const = 0;
    virtual int numAudioInputs() const = 0;
    virtual int numAudioOutputs() const = 0;
    virtual void connectControlInput(int index, const float* source) = 0;
    virtual void connectAudioInput(int index, const float* source) = 0;
    // Samples begin .. end - 1 of the current block (see above).
    virtual void processRange(int begin, int end) = 0;
    // The same range with the brick's step on plain floats, one channel and one sample at a
    // time: the same bits, in the straightforward form that the lane forms are measured and
    // checked against. Most bricks' processRange is that form already.
    virtual void processRangePlain(int begin, int end) { processRange(begin, end); }

    float sampleRate = 44100.0f;  // samples per second
};

// Port tables of a brick with CI control inputs, CO control outputs, AI audio
// inputs and AO audio outputs. Indices are not checked.
template<int CI, int CO, int AI, int AO>
class alignas(32) DspBrickImpl : public DspBrick {
public:
    // A brick without audio outputs is a tap (a meter, a scope): it only reads.
    static constexpr int kAudioOutputs = AO;

    int numControlInputs() const override { return CI; }
    int numControlOutputs() const override { return CO; }
    int numAudioInputs() const override { return AI; }
    int numAudioOutputs() const override { return AO; }

    void connectControlInput(int index, const float* source) override
    {
        if constexpr (CI > 0) {
            controlInputs[index] = source;
        } else {
            (void)index;
            (void)source;
        }
    }

    void connectAudioInput(int index, const float* source) override
    {
        if constexpr (AI > 0) {
            audioInputs[index] = source;
        } else {
            (void)index;
            (void)source;
        }
    }

    float* audioOutput(int index) { return audioOutputs[index].data(); }
    const float* audioOutput(int index) const { return audioOutputs[index].data(); }
    // Read from other threads with kx::loadRelaxed.
    const float* controlOutput(int index) const { return &controlOutputs[index]; }

protected:
    // Control inputs point at values other threads may write: read each once
    // per block, whole.
    float controlValue(int index) const { return kx::loadRelaxed(*controlInputs[index]); }

    std::array<const float*, CI> controlInputs{};
    std::array<float, CO> controlOutputs{};
    std::array<const float*, AI> audioInputs{};
    alignas(32) std::array<std::array<float, kBlockSize>, AO> audioOutputs{};
};

}  // namespace bricks
