#include "bricks/OscilloscopeBrick.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "BrickTestSupport.h"

using bricks::kBlockSize;
using bricks::OscilloscopeBrick;
using brickstest::AlignedBlock;

namespace {

constexpr int kFrame = 256;

// Feeds sample values that name their own position: value(i) = offset + i / 65536.
struct Scope {
    explicit Scope(float scale, float level = 1e30f) : timeScale(scale), triggerLevel(level)
    {
        brick.connectControlInput(0, &triggerLevel);
        brick.connectControlInput(1, &timeScale);
        brick.connectAudioInput(0, in.data());
    }

    // Runs one block; returns whether a frame was published during it.
    bool block(float offset)
    {
        for (int n = 0; n < kBlockSize; ++n) in[n] = offset + float(position + n) / 65536.0f;
        position += kBlockSize;
        const int slot = brick.frameStore().slotIndex();
        brick.process();
        return brick.frameStore().slotIndex() != slot;
    }

    // Positions of the frame the reader gets.
    std::vector<std::int64_t> readPositions(float offset)
    {
        float frame[kFrame];
        brick.frameStore().read(frame);
        std::vector<std::int64_t> out;
        for (float v : frame) out.push_back(std::int64_t((v - offset) * 65536.0f + 0.5f));
        return out;
    }

    float timeScale;
    float triggerLevel;
    AlignedBlock in;
    OscilloscopeBrick<256, 1> brick;
    std::int64_t position = 0;
};

void expectSpacing(const std::vector<std::int64_t>& positions, std::int64_t first, std::int64_t spacing)
{
    for (int i = 0; i < kFrame; ++i) ASSERT_EQ(positions[i], first + spacing * i) << "frame sample " << i;
}

}  // namespace

// Free-running (no trigger): one sample in P + 2 is taken, P = round(29 x + 1),
// and a frame is published every 256 (P + 2) samples into alternating slots.
TEST(OscilloscopeBrick, DecimationAndFreeRunningFrames)
{
    for (auto [scale, every] : {std::pair{0.0f, 3}, std::pair{1.0f, 32}, std::pair{0.6f, 20}}) {
        SCOPED_TRACE(scale);
        Scope s(scale);
        std::vector<std::int64_t> publishedAt;
        while (publishedAt.size() < 3) {
            if (s.block(0.0f)) publishedAt.push_back(s.position);
        }
        // Published in the block holding sample (k + 1) 256 every - 1.
        for (int k = 0; k < 3; ++k) {
            const std::int64_t last = std::int64_t(k + 1) * kFrame * every - 1;
            EXPECT_EQ(publishedAt[k], (last / kBlockSize + 1) * kBlockSize);
        }
        EXPECT_EQ(s.brick.frameStore().slotIndex(), 1);  // 0, 1, 0, 1 after three frames
        // The reader gets frame 1, the one before the latest.
        expectSpacing(s.readPositions(0.0f), std::int64_t(kFrame) * every + every - 1, every);
    }
}

// A rising crossing restarts an armed frame once; the first sample of every
// block counts as following a 0.
TEST(OscilloscopeBrick, TriggerRestartsTheFrameOncePerFrame)
{
    Scope s(0.0f, 0.5f);
    // Silence for 300 samples, then a step above the level: the frame restarts
    // at the crossing and then runs through the following block starts.
    int published = 0;
    while (published < 2) {
        for (int n = 0; n < kBlockSize; ++n) {
            const std::int64_t i = s.position + n;
            s.in[n] = i < 300 ? 0.0f : 1.0f + float(i) / 65536.0f;
        }
        s.position += kBlockSize;
        const int slot = s.brick.frameStore().slotIndex();
        s.brick.process();
        published += s.brick.frameStore().slotIndex() != slot;
    }
    // Frame 0 started at the first taken sample at or after 300 (taken: 2, 5, ... 299, 302).
    expectSpacing(s.readPositions(1.0f), 302, 3);
}

TEST(OscilloscopeBrick, BlockStartRetriggersAnArmedFrame)
{
    // Silent for 10 samples, then above the level for good. Frame 0 starts at
    // the crossing (taken: 2, 5, 8, 11, ...) and is published at sample 776,
    // inside block 6. The frame after it is armed and has captured from 779
    // on when block 7 starts at 896; that first sample counts as a crossing
    // and restarts the frame, which then ignores the later block starts.
    Scope s(0.0f, 0.5f);
    int published = 0;
    while (published < 3) {
        for (int n = 0; n < kBlockSize; ++n) {
            const std::int64_t i = s.position + n;
            s.in[n] = i < 10 ? 0.0f : 1.0f + float(i) / 65536.0f;
        }
        s.position += kBlockSize;
        const int slot = s.brick.frameStore().slotIndex();
        s.brick.process();
        published += s.brick.frameStore().slotIndex() != slot;
    }
    expectSpacing(s.readPositions(1.0f), 896, 3);
}

TEST(OscilloscopeBrick, ResetClearsOnlyTheDisplayBuffer)
{
    Scope s(0.0f);
    for (int i = 0; i < kFrame; ++i) s.brick.displayBuffer()[i] = 1.0f;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(s.brick.displayBuffer()) % 32, 0u);
    s.block(0.0f);
    s.block(0.0f);
    s.brick.reset();
    for (int i = 0; i < kFrame; ++i) ASSERT_EQ(s.brick.displayBuffer()[i], 0.0f);
    int published = 0;
    while (published < 2) published += s.block(0.0f);
    expectSpacing(s.readPositions(0.0f), 2, 3);  // capture went on through the reset
}
