// Sample rates and block sizes: output finite and bounded, nothing written
// outside the buffers, inputs untouched, and every frame of every host block
// processed, whatever its size.

#include "tools/validate/probes/BlockRecording.h"
#include "tools/validate/CheckRegistry.h"
#include "CheckSupport.h"

#include <algorithm>
#include <cstdio>

namespace tools::validate {

using namespace kx::vst2;

namespace {

void rates(CheckContext& context)
{
    static const float kRates[] = {8000.0f,  11025.0f, 22050.0f,  32000.0f,  44100.0f,  48000.0f,
                                   88200.0f, 96000.0f, 176400.0f, 192000.0f, 384000.0f, 1234.5678f};
    constexpr int kBlock = 512;
    const HostModule& module = context.module();
    float largest = 0.0f;
    for (float rate : kRates) {
        context.note("processing at %g Hz", static_cast<double>(rate));
        context.repro("%g Hz, blocks of %d", static_cast<double>(rate), kBlock);
        PluginInstance plugin(module);
        plugin.prepare(rate, kBlock);
        plugin.resume();
        GuardedAudio audio(plugin.numInputs(), plugin.numOutputs(), kBlock);
        Random random(context.seed());
        const double seconds = context.quick() ? 0.25 : 1.0;
        const int blocks = std::max(4, static_cast<int>(seconds * rate / kBlock));
        char what[64];
        std::snprintf(what, sizeof what, "at %g Hz", static_cast<double>(rate));
        for (int b = 0; b < blocks; ++b) {
            audio.fillSignal(random, kBlock);
            if (!judgeBlock(context, audio, audio.process(plugin.record(), kBlock), kBlock, what)) break;
            largest = std::max(largest, audio.peak(kBlock));
        }
        plugin.suspend();
    }
    context.measured("largest output peak %.3f", static_cast<double>(largest));
}

// Runs `sizes` in turn on a fresh instance that was told `announced`. With a
// `recording`, the output goes into it and blocks with frames left unwritten
// are judged later with the whole run.
bool runSizes(CheckContext& context, int announced, const std::vector<int>& sizes, const char* what,
              BlockRecording* recording = nullptr)
{
    PluginInstance plugin(context.module());
    plugin.prepare(48000.0f, announced);
    plugin.resume();
    const int largest = std::max(1, *std::max_element(sizes.begin(), sizes.end()));
    GuardedAudio audio(plugin.numInputs(), plugin.numOutputs(), largest);
    Random random(context.seed());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const int frames = sizes[i];
        context.note("%s: block %zu of %d frames (announced %d)", what, i, frames, announced);
        audio.fillSignal(random, frames);
        char label[128];
        std::snprintf(label, sizeof label, "%s, block %zu of %d frames (announced %d)", what, i, frames, announced);
        const std::string problem = audio.process(plugin.record(), frames);
        if (recording != nullptr) recording->add(audio, frames);
        const bool judgedLater = recording != nullptr && problem.empty() && audio.unwrittenFrames(frames) > 0;
        if (!judgedLater && !judgeBlock(context, audio, problem, frames, label)) return false;
    }
    return true;
}

// Runs `sizes`, then the same input in blocks of 512 (or the announced size, if
// smaller), and fails when frames of the first run were not processed.
bool runAgainstWholeBlocks(CheckContext& context, int announced, const std::vector<int>& sizes, const char* what)
{
    BlockRecording run;
    if (!runSizes(context, announced, sizes, what, &run)) return false;
    const int block = std::min(512, announced);
    std::vector<int> wholeBlocks(static_cast<std::size_t>(run.frames() / block), block);
    if (run.frames() % block != 0) wholeBlocks.push_back(static_cast<int>(run.frames() % block));
    BlockRecording reference;
    char referenceLabel[64];
    std::snprintf(referenceLabel, sizeof referenceLabel, "the same input in blocks of %d", block);
    if (!runSizes(context, announced, wholeBlocks, referenceLabel, &reference)) return false;

    const LostFrames lost = run.lostAgainst(reference);
    if (!lost.any()) return true;
    context.fail(
        "%s: output not processed in host blocks of %s frames (announced %d): %lld sample(s) left "
        "unwritten, %lld silent and %lld stale where blocks of %d have sound; the first at frame %d of a "
        "block of %d",
        what, lost.sizes().c_str(), announced, static_cast<long long>(lost.unwritten),
        static_cast<long long>(lost.silent), static_cast<long long>(lost.stale), block, lost.firstOffset,
        lost.firstSize);
    return false;
}

void blocks(CheckContext& context)
{
    static const int kSizes[] = {0, 1, 7, 17, 31, 32, 33, 100, 512, 1000, 4096, 8192};
    std::vector<int> fixed;
    for (int size : kSizes) {
        // About 0.1 s of each size, and at least three blocks.
        const int count = std::max(3, 4800 / std::max(size, 1) / (context.quick() ? 4 : 1));
        for (int i = 0; i < count; ++i) fixed.push_back(size);
    }
    context.repro("48000 Hz, announced 8192, sizes 0 1 7 17 31 32 33 100 512 1000 4096 8192 in turn");
    if (!runAgainstWholeBlocks(context, 8192, fixed, "fixed sizes")) return;

    Random random(context.seed());
    std::vector<int> sequence;
    const int count = context.quick() ? 200 : 2000;
    for (int i = 0; i < count; ++i) sequence.push_back(static_cast<int>(random.nextBits() % 1025));
    context.repro("48000 Hz, announced 1024, %d random sizes 0..1024 from the seed", count);
    if (!runAgainstWholeBlocks(context, 1024, sequence, "random sizes")) return;

    // Beyond the announced maximum a module need not process every frame; it must stay safe.
    context.repro("48000 Hz, announced 256, blocks of 512, 4096, 8192, 256");
    runSizes(context, 256, {512, 4096, 8192, 256, 8192}, "blocks larger than announced");
}

}  // namespace

void addAudioChecks(CheckList& checks)
{
    checks.push_back({"audio.rates", "8 kHz to 384 kHz and an odd rate", rates, 120});
    checks.push_back(
        {"audio.blocks", "block sizes 0 to 8192, random, larger than announced: every frame processed", blocks, 120});
}

}  // namespace tools::validate
