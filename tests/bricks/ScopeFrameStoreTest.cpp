#include "bricks/ScopeFrameStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using bricks::ScopeFrameStore;

namespace {

constexpr int kLength = ScopeFrameStore::kFrameLength;

// Frame number f (counted from 1) holds f * 1000 + i at sample i; 0 is "no frame".
void makeFrame(int f, float* frame)
{
    for (int i = 0; i < kLength; ++i) frame[i] = float(f * 1000 + i);
}

// The frame number read, or -1 when the samples do not form one whole frame.
int frameNumber(const float* frame)
{
    if (frame[0] == 0.0f) {
        for (int i = 0; i < kLength; ++i)
            if (frame[i] != 0.0f) return -1;
        return 0;
    }
    const int f = int(frame[0]) / 1000;
    for (int i = 0; i < kLength; ++i)
        if (frame[i] != float(f * 1000 + i)) return -1;
    return f;
}

}  // namespace

TEST(ScopeFrameStore, ReaderGetsTheFrameBeforeTheLatest)
{
    auto store = std::make_unique<ScopeFrameStore>();
    float frame[kLength];
    float out[kLength];
    store->read(out);
    EXPECT_EQ(frameNumber(out), 0);
    for (int f = 1; f <= 6; ++f) {
        EXPECT_EQ(store->slotIndex(), (f - 1) % 2);  // frame f goes to slot (f - 1) mod 2
        makeFrame(f, frame);
        store->publish(frame);
        store->read(out);
        EXPECT_EQ(frameNumber(out), f - 1);
    }
}

// The audio side publishes many frames while a render side reads as fast as
// it can: every read is one whole published frame, never older than the one
// before the latest at the start of the read nor newer than the one before the
// latest at its end, and never going backwards.
TEST(ScopeFrameStore, ConcurrentReadsGetWholeFrames)
{
    auto store = std::make_unique<ScopeFrameStore>();
    constexpr int kFrames = 20000;
    std::atomic<int> finished{0};
    std::atomic<bool> readerStarted{false};
    std::atomic<int> readsDone{0};

    std::thread writer([&] {
        while (!readerStarted.load()) std::this_thread::yield();
        float frame[kLength];
        int readsSeen = 0;
        for (int f = 1; f <= kFrames; ++f) {
            makeFrame(f, frame);
            store->publish(frame);
            finished.store(f, std::memory_order_release);
            if (f % 64 == 0) std::this_thread::yield();
            // However the threads are scheduled, the reader gets a read in every 1000 frames.
            if (f % 1000 == 0) {
                while (readsDone.load() == readsSeen) std::this_thread::yield();
                readsSeen = readsDone.load();
            }
        }
    });

    std::vector<float> out(kLength);
    int reads = 0;
    int last = 0;
    int distinct = 0;
    readerStarted.store(true);
    for (;;) {
        const int before = finished.load(std::memory_order_acquire);
        store->read(out.data());
        const int after = finished.load(std::memory_order_acquire);
        const int f = frameNumber(out.data());
        ASSERT_GE(f, 0) << "torn frame after " << reads << " reads";
        ASSERT_GE(f, std::max(before - 1, 0));
        ASSERT_LE(f, after);  // publication of `after + 1` may have ended unannounced
        ASSERT_GE(f, last);
        distinct += f != last;
        last = f;
        ++reads;
        readsDone.store(reads);
        if (before == kFrames) break;
    }
    writer.join();
    EXPECT_EQ(last, kFrames - 1);
    EXPECT_GT(distinct, 10);
}
