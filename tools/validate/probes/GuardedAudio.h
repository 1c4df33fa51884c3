#pragma once
// Host audio buffers with guard zones: every channel lives between two runs of
// a marker pattern, outputs are pre-filled with the marker, and each call is
// checked for writes outside the buffers, changes to the inputs, and a changed
// floating-point control state.

#include "kx/vst2/VstInterface.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tools {
class Random;
}

namespace tools::validate {

class GuardedAudio {
public:
    static constexpr int kGuardFrames = 64;

    GuardedAudio(int numInputs, int numOutputs, int maxFrames);

    int maxFrames() const { return capacity; }
    float* input(int channel) { return inputs[static_cast<std::size_t>(channel)].data() + kGuardFrames; }
    const float* output(int channel) const { return outputs[static_cast<std::size_t>(channel)].data() + kGuardFrames; }
    int numInputs() const { return static_cast<int>(inputs.size()); }
    int numOutputs() const { return static_cast<int>(outputs.size()); }

    // Fills the first `frames` input frames: two sines and some noise, peak 0.5.
    void fillSignal(Random& random, int frames, float gain = 1.0f);
    void fillConstant(int frames, float value);

    // One processReplacing call of `frames` frames. Returns what went wrong
    // with the buffers or the control state, or an empty text. When
    // `watchRealtime` is set, the call runs under the real-time watch and the
    // counts are stored in lastAllocations/lastReleases/lastLocks.
    std::string process(kx::vst2::AEffect* effect, int frames, bool watchRealtime = false);

    // The first output frame (over all channels) in [0, frames) that is not
    // finite, or -1; and the largest magnitude among the finite ones.
    int firstNonFinite(int frames) const;
    // How many of the first `frames` output frames some channel left unwritten.
    int unwrittenFrames(int frames) const;
    int lastNonFinite(int frames) const;
    float peak(int frames) const;

    // Whether an output sample still holds the marker the buffers were filled with.
    static bool isMarker(float sample);

    int lastAllocations = 0;
    int lastReleases = 0;
    int lastLocks = 0;

private:
    std::vector<std::vector<float>> inputs;
    std::vector<std::vector<float>> outputs;
    std::vector<float> inputCopy;
    std::vector<float*> inputPointers;
    std::vector<float*> outputPointers;
    int capacity;
    double phase = 0.0;  // of the test signal, in periods of its lower tone
};

// The SSE control bits (rounding, flush-to-zero, denormals-are-zero, masks)
// and the x87 control word, without the sticky exception flags.
std::uint32_t floatControlState();

}  // namespace tools::validate
