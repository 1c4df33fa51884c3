#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "kx/CircularFifo.h"
#include "kx/ParameterEdits.h"
#include "tests/framework/TestHost.h"

namespace {

using Fifo = memory_relaxed_aquire_release::CircularFifo<int, 12>;

TEST(QueueThreads, EveryEntryArrivesOnceAndInOrder)
{
    constexpr int kCount = 20000;
    Fifo fifo;
    std::thread producer([&] {
        for (int i = 0; i < kCount; ++i) {
            while (!fifo.push(i)) {
                std::this_thread::yield();
            }
        }
    });
    int expected = 0;
    int item = -1;
    while (expected < kCount) {
        if (fifo.pop(item)) {
            ASSERT_EQ(item, expected);
            ++expected;
        } else {
            std::this_thread::yield();
        }
    }
    producer.join();
    EXPECT_FALSE(fifo.pop(item));
}

// However often the ring fills, the consumer sees one parameter's values in the order they
// were sent and ends with the last: an edit never overtakes an older one.
TEST(QueueThreads, EditsNeverOvertakeOlderOnesWhenTheRingFills)
{
    constexpr int kCount = 200000;
    kx::ParameterEdits edits(2);
    std::atomic<bool> done{false};
    std::thread producer([&] {
        for (int i = 1; i <= kCount; ++i) edits.push({kx::ParameterEdit::Kind::kValue, i % 2, float(i)});
        done.store(true);
    });
    float last[2] = {0.0f, 0.0f};
    int backwards = 0;
    const auto apply = [&](const kx::ParameterEdit& edit) {
        backwards += edit.value < last[edit.index];
        last[edit.index] = edit.value;
    };
    while (!done.load()) edits.drain(apply);
    producer.join();
    edits.drain(apply);
    EXPECT_EQ(backwards, 0);
    EXPECT_EQ(last[0], float(kCount));
    EXPECT_EQ(last[1], float(kCount - 1));
}

TEST(QueueThreads, EditorAutomatesWhileAudioRuns)
{
    using namespace testhost;
    resetHost();
    Module module(TESTFX_PATH);
    Instance fx(module);
    fx.start(44100.0f, 128);
    constexpr int kChanges = 20000;
    std::vector<float> sent(kChanges);
    for (int i = 0; i < kChanges; ++i) {
        sent[i] = float(i) / kChanges;
    }
    std::atomic<bool> done{false};
    std::thread editor([&] {
        for (float v : sent) {
            probe().host->automate(0, v);
        }
        done = true;
    });
    std::vector<float> in(128, 1.0f), out0(128), out1(128);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {out0.data(), out1.data()};
    while (!done) {
        fx.process(inputs, outputs, 128);
    }
    editor.join();
    fx.process(inputs, outputs, 128);

    // Values arrive whole: every value the effect saw is one that was sent (or the default).
    const std::set<float> known(sent.begin(), sent.end());
    for (int k = 0; k < testfx::kMaxBlocks && k < probe().blockCount; ++k) {
        const float seen = probe().blocks[k].gain;
        EXPECT_TRUE(seen == 0.5f || known.count(seen)) << seen;
    }
    EXPECT_TRUE(known.count(fx.effect->getParameter(fx.effect, 0)));
    EXPECT_EQ(host().requestsOf(audioMasterAutomate).size(), size_t(kChanges));
}

}  // namespace
