#include "Renderer.h"

#include <time.h>
#include <xmmintrin.h>

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace tools {

namespace {

constexpr unsigned kFlushToZeroAndDenormalsAreZero = 0x8040u;  // MXCSR bits 15 and 6

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

double RenderStats::realtimeFactor(int sampleRate) const
{
    if (cpuSeconds <= 0.0 || sampleRate <= 0) return 0.0;
    return static_cast<double>(frames) / static_cast<double>(sampleRate) / cpuSeconds;
}

Renderer::Renderer(RenderPlan plan) : plan(std::move(plan))
{
    if (this->plan.blockSizes.empty()) throw std::invalid_argument("no host block size");
    for (int size : this->plan.blockSizes) {
        if (size < 1) throw std::invalid_argument("host block sizes must be positive");
    }
    // By frame; changes on the same frame keep their order, so the last one given wins.
    auto& changes = this->plan.changes;
    std::vector<std::size_t> order(changes.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&changes](std::size_t a, std::size_t b) {
        return changes[a].frame < changes[b].frame || (changes[a].frame == changes[b].frame && a < b);
    });
    std::vector<ParameterChange> sorted;
    sorted.reserve(changes.size());
    for (std::size_t i : order) sorted.push_back(changes[i]);
    changes = std::move(sorted);
}

AudioBuffer Renderer::run(Plugin& effect, const AudioBuffer& input)
{
    const int numInputs = effect.numInputs();
    const int numOutputs = effect.numOutputs();
    if (numOutputs < 1) throw std::runtime_error("the effect has no outputs");
    if (numInputs < 0) throw std::runtime_error("the effect reports a negative number of inputs");
    if (numInputs > 0 && input.numChannels() < 1) throw std::runtime_error("the input has no channels");

    const std::int64_t frames = input.numFrames();
    const auto length = static_cast<std::size_t>(frames);

    // Input channel c takes file channel c modulo the file's channel count.
    std::vector<std::vector<float>> inputs(static_cast<std::size_t>(numInputs));
    for (int c = 0; c < numInputs; ++c) {
        inputs[static_cast<std::size_t>(c)] = input.channels[static_cast<std::size_t>(c % input.numChannels())];
    }

    std::vector<std::vector<float>> outputs;
    std::vector<float*> inputPointers(static_cast<std::size_t>(std::max(numInputs, 1)), nullptr);
    std::vector<float*> outputPointers(static_cast<std::size_t>(numOutputs), nullptr);
    float** inputArray = inputPointers.data();
    float** outputArray = outputPointers.data();
    if (plan.inPlace) {
        // The first channels are shared; outputs beyond the inputs get buffers of their own.
        outputs = std::move(inputs);
        outputs.resize(static_cast<std::size_t>(std::max(numInputs, numOutputs)), std::vector<float>(length, 0.0f));
        if (numInputs == numOutputs) inputArray = outputArray;
    } else {
        outputs.assign(static_cast<std::size_t>(numOutputs), std::vector<float>(length, 0.0f));
    }
    std::vector<std::vector<float>>& feed = plan.inPlace ? outputs : inputs;

    const int maxBlock = plan.announcedBlockSize > 0
                             ? plan.announcedBlockSize
                             : *std::max_element(plan.blockSizes.begin(), plan.blockSizes.end());
    effect.prepare(static_cast<float>(input.sampleRate), maxBlock);
    if (plan.preset >= 0 && !effect.loadPreset(plan.preset))
        throw std::runtime_error("the plug-in did not load its preset " + std::to_string(plan.preset));
    for (const auto& setting : plan.initial) effect.setParameter(setting.index, setting.value);
    effect.start();

    renderStats = {};
    std::size_t nextChange = 0;
    std::size_t cycle = 0;
    std::int64_t position = 0;
    while (position < frames) {
        const std::int64_t blockEnd = std::min(frames, position + plan.blockSizes[cycle % plan.blockSizes.size()]);
        ++cycle;
        while (position < blockEnd) {
            while (nextChange < plan.changes.size() && plan.changes[nextChange].frame <= position) {
                effect.setParameter(plan.changes[nextChange].index, plan.changes[nextChange].value);
                ++nextChange;
            }
            std::int64_t callEnd = blockEnd;
            if (nextChange < plan.changes.size()) callEnd = std::min(callEnd, plan.changes[nextChange].frame);

            const auto offset = static_cast<std::size_t>(position);
            for (int c = 0; c < numInputs; ++c) {
                inputPointers[static_cast<std::size_t>(c)] = feed[static_cast<std::size_t>(c)].data() + offset;
            }
            for (int c = 0; c < numOutputs; ++c) {
                outputPointers[static_cast<std::size_t>(c)] = outputs[static_cast<std::size_t>(c)].data() + offset;
            }

            const unsigned hostMode = _mm_getcsr();
            if (plan.hostFlushes) _mm_setcsr(hostMode | kFlushToZeroAndDenormalsAreZero);
            const double start = threadCpuSeconds();
            effect.process(inputArray, outputArray, static_cast<int>(callEnd - position));
            renderStats.cpuSeconds += threadCpuSeconds() - start;
            if (plan.hostFlushes) _mm_setcsr(hostMode);
            ++renderStats.calls;
            renderStats.frames += callEnd - position;
            position = callEnd;
            if (progress) progress(static_cast<double>(position) / static_cast<double>(frames));
        }
    }

    effect.stop();

    AudioBuffer result;
    result.sampleRate = input.sampleRate;
    outputs.resize(static_cast<std::size_t>(numOutputs));
    result.channels = std::move(outputs);
    return result;
}

}  // namespace tools
