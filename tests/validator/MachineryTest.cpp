// The validator's own machinery, in process: guard zones and control-state
// checks around a processReplacing call, the per-thread real-time watch, the
// export list read from ELF files, check selection and the result record.

#include <gtest/gtest.h>

#include <xmmintrin.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/validate/probes/BlockRecording.h"
#include "tools/validate/CheckContext.h"
#include "tools/validate/CheckRegistry.h"
#include "tools/validate/probes/ElfExports.h"
#include "tools/validate/probes/GuardedAudio.h"
#include "tools/validate/probes/RealtimeWatch.h"
#include "tools/audio/Random.h"

namespace {

using namespace kx::vst2;
using namespace tools::validate;

// A record whose processReplacing halves the input, then commits the fault its `user` field names.
enum class Fault { None, BeforeStart, PastBlock, FarPastEnd, ChangesInput, SetsFlushToZero };

void faultyProcess(AEffect* effect, float** inputs, float** outputs, int32 frames)
{
    for (int c = 0; c < 2; ++c) {
        for (int32 i = 0; i < frames; ++i) outputs[c][i] = 0.5f * inputs[c][i];
    }
    switch (*static_cast<Fault*>(effect->user)) {
    case Fault::None:
        break;
    case Fault::BeforeStart:
        outputs[0][-1] = 0.0f;
        break;
    case Fault::PastBlock:
        outputs[1][frames] = 0.0f;
        break;
    case Fault::FarPastEnd:
        outputs[0][frames + GuardedAudio::kGuardFrames - 1] = 0.0f;
        break;
    case Fault::ChangesInput:
        inputs[1][0] += 1.0f;
        break;
    case Fault::SetsFlushToZero:
        _mm_setcsr(_mm_getcsr() | 0x8040u);
        break;
    }
}

std::string processWith(Fault fault, int frames, int capacity)
{
    AEffect effect{};
    effect.processReplacing = faultyProcess;
    effect.user = &fault;
    GuardedAudio audio(2, 2, capacity);
    tools::Random random(3);
    audio.fillSignal(random, frames);
    return audio.process(&effect, frames);
}

TEST(GuardedAudio, EachKindOfFaultIsNamedAndACleanCallPasses)
{
    EXPECT_EQ(processWith(Fault::None, 64, 64), "");
    EXPECT_EQ(processWith(Fault::None, 0, 64), "");
    EXPECT_NE(processWith(Fault::BeforeStart, 64, 64).find("outside the output buffer of channel 0 (frame -1 of 64)"),
              std::string::npos);
    // One frame past a short block is inside the buffer but outside the block.
    EXPECT_NE(processWith(Fault::PastBlock, 17, 64).find("wrote output channel 1 at frame 17 beyond the block of 17"),
              std::string::npos);
    EXPECT_NE(processWith(Fault::PastBlock, 64, 64).find("outside the output buffer of channel 1 (frame 64 of 64)"),
              std::string::npos);
    EXPECT_NE(processWith(Fault::FarPastEnd, 64, 64).find("outside the output buffer of channel 0 (frame 127 of 64)"),
              std::string::npos);
    EXPECT_NE(processWith(Fault::ChangesInput, 64, 64).find("changed input channel 1"), std::string::npos);
}

TEST(GuardedAudio, ChangedControlStateIsReportedAndRestored)
{
    const std::uint32_t before = floatControlState();
    EXPECT_NE(processWith(Fault::SetsFlushToZero, 32, 32).find("MXCSR controls 0x1F80 -> 0x9FC0"), std::string::npos);
    EXPECT_EQ(floatControlState(), before);
    EXPECT_EQ(processWith(Fault::None, 32, 32), "");
}

TEST(GuardedAudio, NonFiniteAndPeakAreFoundOverAllChannels)
{
    AEffect effect{};
    Fault fault = Fault::None;
    effect.processReplacing = faultyProcess;
    effect.user = &fault;
    GuardedAudio audio(2, 2, 16);
    audio.fillConstant(16, 1.0f);
    audio.input(1)[5] = std::numeric_limits<float>::quiet_NaN();
    audio.input(0)[9] = std::numeric_limits<float>::infinity();
    audio.input(0)[2] = -3.0f;
    ASSERT_EQ(audio.process(&effect, 16), "");
    EXPECT_EQ(audio.firstNonFinite(16), 5);
    EXPECT_EQ(audio.lastNonFinite(16), 9);
    EXPECT_EQ(audio.peak(16), 1.5f);
    EXPECT_EQ(audio.firstNonFinite(5), -1);
}

// A record that writes the next samples of a prepared output to both channels,
// leaving frames from `writtenPerCall` on in each call unwritten.
struct ScriptedOutput {
    std::vector<float> samples;
    std::size_t position = 0;
    int writtenPerCall = 1 << 30;
};

void scriptedProcess(AEffect* effect, float**, float** outputs, int32 frames)
{
    auto* script = static_cast<ScriptedOutput*>(effect->user);
    for (int c = 0; c < 2; ++c) {
        for (int32 i = 0; i < std::min(frames, script->writtenPerCall); ++i) {
            outputs[c][i] = script->samples[script->position + static_cast<std::size_t>(i)];
        }
    }
    script->position += static_cast<std::size_t>(frames);
}

BlockRecording record(ScriptedOutput script, const std::vector<int>& sizes)
{
    AEffect effect{};
    effect.processReplacing = scriptedProcess;
    effect.user = &script;
    GuardedAudio audio(2, 2, *std::max_element(sizes.begin(), sizes.end()));
    BlockRecording recording;
    for (int size : sizes) {
        EXPECT_EQ(audio.process(&effect, size), "");
        recording.add(audio, size);
    }
    return recording;
}

TEST(BlockRecording, BlockSizesWhoseEndsAreLostAreNamedCoincidencesAndRoundingAreNot)
{
    ScriptedOutput reference;
    // 100 different values in 0.2..0.7, in no order.
    for (int i = 0; i < 100; ++i) reference.samples.push_back(0.2f + 0.005f * static_cast<float>(i * 37 % 100));
    reference.samples[50] = 0.0f;  // silence in the reference is not judged
    const BlockRecording whole = record(reference, {64, 36});
    EXPECT_FALSE(record(reference, {7, 33, 60}).lostAgainst(whole).any());

    // Blocks of 25 frames end at 24, 49, 74 and 99.
    ScriptedOutput faulty = reference;
    faulty.samples[24] = 0.0f;                                    // silent
    faulty.samples[49] = faulty.samples[20];                      // a value from 29 frames before: stale
    faulty.samples[50] = 0.5f;                                    // where the reference is silent
    faulty.samples[60] = 0.0f;                                    // silent, inside a lossy block
    faulty.samples[74] = faulty.samples[73];                      // held: stale
    faulty.samples[99] = reference.samples[99] * (1.0f + 1e-6f);  // rounding
    LostFrames lost = record(faulty, {25, 25, 25, 25}).lostAgainst(whole);
    EXPECT_EQ(lost.bySize, (std::map<int, int>{{25, 3}}));
    EXPECT_EQ(lost.silent, 4);  // 24 and 60 on both channels
    EXPECT_EQ(lost.stale, 4);   // 49 and 74
    EXPECT_EQ(lost.unwritten, 0);
    EXPECT_EQ(lost.firstFrame, 24);
    EXPECT_EQ(lost.firstOffset, 24);
    EXPECT_EQ(lost.firstSize, 25);

    // One lossy block of a size is a coincidence, and frames lost inside a block do not make it lossy.
    EXPECT_FALSE(record(faulty, {25, 75}).lostAgainst(whole).any());
    EXPECT_FALSE(record(faulty, {20, 40, 40}).lostAgainst(whole).any());

    // Frames a call leaves unwritten are lost wherever they are.
    faulty = reference;
    faulty.writtenPerCall = 32;
    lost = record(faulty, {1, 33, 33, 33}).lostAgainst(whole);
    EXPECT_EQ(lost.bySize, (std::map<int, int>{{33, 3}}));
    EXPECT_EQ(lost.unwritten, 2 * 3);
    EXPECT_EQ(lost.silent + lost.stale, 0);
    EXPECT_EQ(lost.firstOffset, 32);
    EXPECT_EQ(lost.sizes(), "33");

    lost.bySize = {{1, 2}, {7, 2}, {31, 2}, {33, 2}};
    EXPECT_EQ(lost.sizes(), "1, 7, 31 and 33");
    EXPECT_EQ(lost.sizes(2), "1, 7 and 2 more sizes");
}

struct WatchedWork {
    std::mutex* mutex;
};

void allocateAndLock(void* context)
{
    // Volatile pointer: the pair must not be optimised away.
    void* volatile block = std::malloc(64);
    std::free(block);
    std::lock_guard lock(*static_cast<WatchedWork*>(context)->mutex);
}

void nothing(void*) {}

TEST(RealtimeWatch, CountsTheWatchedCallOnItsOwnThreadOnly)
{
    if (!RealtimeWatch::available() || RealtimeWatch::sanitizerEnforced()) GTEST_SKIP() << "no counting here";
    std::mutex mutex;
    WatchedWork work{&mutex};
    const RealtimeCounts counts = RealtimeWatch::watch(allocateAndLock, &work);
    EXPECT_EQ(counts.allocations, 1);
    EXPECT_EQ(counts.releases, 1);
    EXPECT_EQ(counts.locks, 1);

    // Another thread allocating meanwhile is not charged to the watched call.
    std::atomic<bool> stop{false};
    std::thread busy([&] {
        while (!stop) {
            void* volatile block = std::malloc(32);
            std::free(block);
        }
    });
    for (int i = 0; i < 1000; ++i) EXPECT_TRUE(RealtimeWatch::watch(nothing, nullptr).clean());
    stop = true;
    busy.join();
}

TEST(ElfExports, ListsDefinedGlobalSymbolsOnlyAndRefusesOtherFiles)
{
    const auto good = exportedSymbols(BADFX_GOOD);
    EXPECT_NE(std::find(good.begin(), good.end(), "VSTPluginMain"), good.end());
    EXPECT_EQ(std::find(good.begin(), good.end(), "malloc"), good.end());  // imported, not defined
    const auto extra = exportedSymbols(BADFX_EXTRA_EXPORT);
    EXPECT_NE(std::find(extra.begin(), extra.end(), "badFxHelper"), extra.end());

    const std::string text = testing::TempDir() + "not-elf.so";
    std::ofstream(text) << "plain text, long enough to hold an ELF header's worth of bytes......";
    EXPECT_THROW(exportedSymbols(text), std::runtime_error);
    EXPECT_THROW(exportedSymbols(testing::TempDir() + "missing.so"), std::runtime_error);
}

TEST(CheckSelection, GroupOrWholeNameOnly)
{
    EXPECT_TRUE(matchesPattern("params.values", "params"));
    EXPECT_TRUE(matchesPattern("params.values", "params.values"));
    EXPECT_FALSE(matchesPattern("params.values", "params.val"));
    EXPECT_FALSE(matchesPattern("params.values", "param"));
    EXPECT_FALSE(matchesPattern("params", "params.values"));
    for (const Check& check : allChecks()) EXPECT_TRUE(matchesPattern(check.name, check.name));
}

TEST(CheckContext, ReasonsBeyondTheFirstFewAreCountedAndFailureOutranksSkip)
{
    SharedResult result{};
    CheckContext context("module.so", 1, true, result);
    for (int i = 1; i <= 9; ++i) context.fail("reason %d", i);
    context.skip("not applicable");
    EXPECT_EQ(result.status, CheckStatus::Fail);
    const std::string reasons = result.reasons;
    EXPECT_NE(reasons.find("reason 1\nreason 2"), std::string::npos) << reasons;
    EXPECT_NE(reasons.find("reason 6\n(and 3 more)"), std::string::npos) << reasons;
    EXPECT_EQ(reasons.find("reason 7"), std::string::npos) << reasons;
}

}  // namespace
