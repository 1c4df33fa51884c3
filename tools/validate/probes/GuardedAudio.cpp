#include "GuardedAudio.h"

#include "RealtimeWatch.h"
#include "tools/audio/Random.h"

#include <xmmintrin.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

namespace tools::validate {

using namespace kx::vst2;

namespace {

// A signalling NaN no arithmetic produces: easy to tell from written samples.
constexpr std::uint32_t kMarkerBits = 0x7FA5A5A5u;
const float kMarker = std::bit_cast<float>(kMarkerBits);

// Reports the first changed guard frame of one buffer, if any.
std::string checkGuards(const std::vector<float>& buffer, int capacity, const char* kind, int channel)
{
    const int total = capacity + 2 * GuardedAudio::kGuardFrames;
    for (int i = 0; i < total; ++i) {
        if (i == GuardedAudio::kGuardFrames) i += capacity;
        if (i >= total) break;
        if (!GuardedAudio::isMarker(buffer[static_cast<std::size_t>(i)])) {
            const int offset = i - GuardedAudio::kGuardFrames;
            char text[160];
            std::snprintf(text, sizeof text, "wrote outside the %s buffer of channel %d (frame %d of %d)", kind,
                          channel, offset, capacity);
            return text;
        }
    }
    return {};
}

struct ProcessCall {
    AEffect* effect;
    float** inputs;
    float** outputs;
    int frames;
};

void callProcess(void* context)
{
    auto* call = static_cast<ProcessCall*>(context);
    call->effect->processReplacing(call->effect, call->inputs, call->outputs, call->frames);
}

}  // namespace

bool GuardedAudio::isMarker(float sample) { return std::bit_cast<std::uint32_t>(sample) == kMarkerBits; }

std::uint32_t floatControlState()
{
    std::uint16_t x87 = 0;
    __asm__ volatile("fnstcw %0" : "=m"(x87));
    return ((_mm_getcsr() & 0xFFC0u) << 16) | x87;
}

GuardedAudio::GuardedAudio(int numInputs, int numOutputs, int maxFrames) : capacity(maxFrames)
{
    const auto length = static_cast<std::size_t>(maxFrames + 2 * kGuardFrames);
    inputs.assign(static_cast<std::size_t>(numInputs), std::vector<float>(length, kMarker));
    outputs.assign(static_cast<std::size_t>(numOutputs), std::vector<float>(length, kMarker));
    for (auto& channel : inputs) std::fill_n(channel.begin() + kGuardFrames, maxFrames, 0.0f);
    inputCopy.resize(static_cast<std::size_t>(numInputs) * static_cast<std::size_t>(maxFrames));
    for (auto& channel : inputs) inputPointers.push_back(channel.data() + kGuardFrames);
    for (auto& channel : outputs) outputPointers.push_back(channel.data() + kGuardFrames);
}

void GuardedAudio::fillSignal(Random& random, int frames, float gain)
{
    for (int i = 0; i < frames; ++i) {
        phase += 1.0 / 97.0;
        const float tone = static_cast<float>(0.25 * std::sin(2.0 * std::numbers::pi * phase) +
                                              0.15 * std::sin(2.0 * std::numbers::pi * 7.3 * phase));
        for (auto& channel : inputs) {
            channel[static_cast<std::size_t>(kGuardFrames + i)] = gain * (tone + 0.1f * random.bipolar());
        }
    }
}

void GuardedAudio::fillConstant(int frames, float value)
{
    for (auto& channel : inputs) std::fill_n(channel.begin() + kGuardFrames, frames, value);
}

std::string GuardedAudio::process(AEffect* effect, int frames, bool watchRealtime)
{
    if (frames > capacity) return "validator fault: block larger than its buffers";
    for (std::size_t c = 0; c < inputs.size(); ++c) {
        std::memcpy(inputCopy.data() + c * static_cast<std::size_t>(capacity), input(static_cast<int>(c)),
                    static_cast<std::size_t>(frames) * sizeof(float));
    }
    for (auto& channel : outputs) std::fill(channel.begin(), channel.end(), kMarker);

    ProcessCall call{effect, inputPointers.data(), outputPointers.data(), frames};
    const std::uint32_t before = floatControlState();
    if (watchRealtime) {
        const RealtimeCounts counts = RealtimeWatch::watch(callProcess, &call);
        lastAllocations = counts.allocations;
        lastReleases = counts.releases;
        lastLocks = counts.locks;
    } else {
        callProcess(&call);
    }
    const std::uint32_t after = floatControlState();

    if (before != after) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "changed the floating-point control state "
                      "(MXCSR controls 0x%04X -> 0x%04X, x87 0x%04X -> 0x%04X)",
                      before >> 16, after >> 16, before & 0xFFFFu, after & 0xFFFFu);
        // Restore it so that later calls are judged on their own.
        _mm_setcsr((_mm_getcsr() & 0x3Fu) | (before >> 16));
        const std::uint16_t x87 = static_cast<std::uint16_t>(before & 0xFFFFu);
        __asm__ volatile("fldcw %0" : : "m"(x87));
        return text;
    }
    for (std::size_t c = 0; c < inputs.size(); ++c) {
        std::string problem = checkGuards(inputs[c], capacity, "input", static_cast<int>(c));
        if (!problem.empty()) return problem;
        if (std::memcmp(inputCopy.data() + c * static_cast<std::size_t>(capacity), input(static_cast<int>(c)),
                        static_cast<std::size_t>(frames) * sizeof(float)) != 0) {
            char text[120];
            std::snprintf(text, sizeof text, "changed input channel %d (not processing in place)", static_cast<int>(c));
            return text;
        }
    }
    for (std::size_t c = 0; c < outputs.size(); ++c) {
        std::string problem = checkGuards(outputs[c], capacity, "output", static_cast<int>(c));
        if (!problem.empty()) return problem;
        const float* out = output(static_cast<int>(c));
        for (int i = frames; i < capacity; ++i) {
            if (!isMarker(out[i])) {
                char text[160];
                std::snprintf(text, sizeof text, "wrote output channel %d at frame %d beyond the block of %d frames",
                              static_cast<int>(c), i, frames);
                return text;
            }
        }
    }
    return {};
}

int GuardedAudio::firstNonFinite(int frames) const
{
    for (int i = 0; i < frames; ++i) {
        for (std::size_t c = 0; c < outputs.size(); ++c) {
            if (!std::isfinite(output(static_cast<int>(c))[i])) return i;
        }
    }
    return -1;
}

int GuardedAudio::unwrittenFrames(int frames) const
{
    int count = 0;
    for (int i = 0; i < frames; ++i) {
        count += std::any_of(outputs.begin(), outputs.end(), [i](const std::vector<float>& channel) {
            return isMarker(channel[static_cast<std::size_t>(kGuardFrames + i)]);
        });
    }
    return count;
}

int GuardedAudio::lastNonFinite(int frames) const
{
    for (int i = frames - 1; i >= 0; --i) {
        for (std::size_t c = 0; c < outputs.size(); ++c) {
            if (!std::isfinite(output(static_cast<int>(c))[i])) return i;
        }
    }
    return -1;
}

float GuardedAudio::peak(int frames) const
{
    float largest = 0.0f;
    for (std::size_t c = 0; c < outputs.size(); ++c) {
        const float* out = output(static_cast<int>(c));
        for (int i = 0; i < frames; ++i) {
            if (std::isfinite(out[i])) largest = std::max(largest, std::fabs(out[i]));
        }
    }
    return largest;
}

}  // namespace tools::validate
