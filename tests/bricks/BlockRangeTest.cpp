// A block processed in parts must give the bits of the same block processed at once, and the
// controls must take effect where a block begins, whatever they do in the middle of it.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "BrickTestSupport.h"
#include "bricks/AASaturationBrick.h"
#include "bricks/AudioMixerBrick.h"
#include "bricks/FixedFilterBrick.h"
#include "bricks/MeterBrick.h"
#include "bricks/OscilloscopeBrick.h"
#include "bricks/PipelinedFilterBrick.h"
#include "bricks/SVFFilterBrick.h"
#include "bricks/SustainerBrick.h"
#include "bricks/VcaBrick.h"

using namespace bricks;
using brickstest::AlignedBlock;
using brickstest::firstBitDifference;

namespace {

constexpr int kMaxPorts = 4;

struct ControlRange {
    float low;
    float high;
};

// Two bricks of a kind per side, wired alike to shared audio inputs and to control values of
// their own. `whole` processes every block at once through process(); `parts` processes it in
// pieces cut at seeded random multiples of kRangeStep through the range form under test, and has
// its control values scrambled after the first piece.
template<class Brick>
struct Rig {
    using PartRunner = std::function<void(Brick& first, Brick& second, int begin, int end)>;

    Brick whole[2];
    Brick parts[2];
    AlignedBlock inputs[2][kMaxPorts];
    float wholeControls[2][kMaxPorts] = {};
    float partControls[2][kMaxPorts] = {};

    Rig()
    {
        for (int b = 0; b < 2; ++b) {
            for (Brick* brick : {&whole[b], &parts[b]}) {
                for (int i = 0; i < brick->numAudioInputs(); ++i) brick->connectAudioInput(i, inputs[b][i].data());
            }
            for (int k = 0; k < whole[b].numControlInputs(); ++k) {
                whole[b].connectControlInput(k, &wholeControls[b][k]);
                parts[b].connectControlInput(k, &partControls[b][k]);
            }
        }
    }

    // Runs `blocks` blocks; `compare` checks the two sides after each.
    void run(int blocks, const std::vector<ControlRange>& controls, float level, const PartRunner& runParts,
             const std::function<void(int block)>& compare)
    {
        std::mt19937 random(2024);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        brickstest::Noise noise(7);
        for (int block = 0; block < blocks; ++block) {
            // Quiet stretches and loud ones, so that detectors rise and fall.
            const float gain = level * (block % 20 < 12 ? 1.0f : 0.02f);
            for (auto& brickInputs : inputs) {
                for (AlignedBlock& input : brickInputs) {
                    for (int n = 0; n < kBlockSize; ++n) input[n] = gain * noise.next();
                }
            }
            for (int b = 0; b < 2; ++b) {
                for (std::size_t k = 0; k < controls.size(); ++k) {
                    const float v = controls[k].low + (controls[k].high - controls[k].low) * unit(random);
                    wholeControls[b][k] = block % 3 == 0 ? v : wholeControls[b][k];
                    partControls[b][k] = wholeControls[b][k];
                }
            }
            whole[0].process();
            whole[1].process();
            int begin = 0;
            while (begin < kBlockSize) {
                const int steps = 1 + int(random() % (block % 4 == 0 ? 32u : 6u));
                const int end = std::min(kBlockSize, begin + steps * kRangeStep);
                runParts(parts[0], parts[1], begin, end);
                for (auto& brickControls : partControls) {
                    for (std::size_t k = 0; k < controls.size(); ++k) brickControls[k] = controls[k].high * 3.0f + 1.0f;
                }
                begin = end;
            }
            compare(block);
            if (::testing::Test::HasFailure()) return;
        }
    }

    void expectSameAudio(int block)
    {
        for (int b = 0; b < 2; ++b) {
            for (int o = 0; o < whole[b].numAudioOutputs(); ++o) {
                ASSERT_EQ(firstBitDifference(whole[b].audioOutput(o), parts[b].audioOutput(o)), -1)
                    << "block " << block << " brick " << b << " output " << o;
            }
        }
    }
};

template<class Brick>
typename Rig<Brick>::PartRunner eachInTurn()
{
    return [](Brick& first, Brick& second, int begin, int end) {
        first.processRange(begin, end);
        second.processRange(begin, end);
    };
}

// The two bricks as two lanes of the brick's lane form.
template<class Brick>
typename Rig<Brick>::PartRunner sideBySide()
{
    return [](Brick& first, Brick& second, int begin, int end) {
        Brick* const lanes[2] = {&first, &second};
        Brick::processLanes(lanes, 2, begin, end);
    };
}

}  // namespace

TEST(BlockRange, FiltersContinueTheirStateAndRamps)
{
    {
        SCOPED_TRACE("fixed filter, lanes");
        Rig<FixedFilterBrick> rig;
        for (FixedFilterBrick* f : {&rig.whole[0], &rig.whole[1], &rig.parts[0], &rig.parts[1]}) {
            f->setBandPass(700.0f, 0.7f, true);
        }
        rig.run(40, {}, 1.0f, sideBySide<FixedFilterBrick>(), [&](int block) { rig.expectSameAudio(block); });
    }
    {
        SCOPED_TRACE("fixed filter");
        Rig<FixedFilterBrick> rig;
        for (FixedFilterBrick* f : {&rig.whole[0], &rig.whole[1], &rig.parts[0], &rig.parts[1]}) {
            f->setHighPass(30.0f, 0.7f, true);
        }
        rig.run(40, {}, 1.0f, eachInTurn<FixedFilterBrick>(), [&](int block) { rig.expectSameAudio(block); });
    }
    {
        SCOPED_TRACE("state-variable filter, lanes: the cutoff glide continues");
        Rig<SVFFilterBrick> rig;
        rig.run(60, {{0.0f, 1.0f}, {0.0f, 0.9f}}, 1.0f, sideBySide<SVFFilterBrick>(),
                [&](int block) { rig.expectSameAudio(block); });
    }
    {
        SCOPED_TRACE("state-variable filter");
        Rig<SVFFilterBrick> rig;
        rig.run(60, {{0.0f, 1.0f}, {0.0f, 0.9f}}, 1.0f, eachInTurn<SVFFilterBrick>(),
                [&](int block) { rig.expectSameAudio(block); });
    }
}

TEST(BlockRange, GainStagesKeepTheRampOfTheBlock)
{
    {
        SCOPED_TRACE("mixer");
        Rig<AudioMixerBrick<3>> rig;
        rig.run(40, {{-15.0f, 15.0f}, {-1.0f, 3.0f}, {1.0f, 1.0f}}, 1.0f, eachInTurn<AudioMixerBrick<3>>(),
                [&](int block) { rig.expectSameAudio(block); });
    }
    {
        SCOPED_TRACE("VCA");
        Rig<VcaBrick> rig;
        rig.run(40, {{0.0f, 1.0f}}, 1.0f, eachInTurn<VcaBrick>(), [&](int block) { rig.expectSameAudio(block); });
    }
    {
        SCOPED_TRACE("saturation: the antiderivative's memory spans the cut");
        Rig<AASaturationBrick> rig;
        rig.run(40, {{0.5f, 4.0f}}, 2.0f, eachInTurn<AASaturationBrick>(),
                [&](int block) { rig.expectSameAudio(block); });
    }
}

TEST(BlockRange, SustainerKeepsItsDetectorsAndChannelMode)
{
    // Drive, compression, channel mode (all three), speed.
    Rig<SustainerBrick> rig;
    for (SustainerBrick* s : {&rig.whole[0], &rig.whole[1], &rig.parts[0], &rig.parts[1]}) s->setSampleRate(176400.0f);
    rig.run(300, {{0.2f, 1.0f}, {0.0f, 1.0f}, {0.0f, 1.0f}, {0.0f, 1.0f}}, 0.8f, eachInTurn<SustainerBrick>(),
            [&](int block) {
                rig.expectSameAudio(block);
                for (int b = 0; b < 2; ++b) {
                    for (int c = 0; c < 2; ++c) {
                        ASSERT_EQ(rig.whole[b].gain(c), rig.parts[b].gain(c)) << block;
                        ASSERT_EQ(rig.whole[b].envelope(c), rig.parts[b].envelope(c)) << block;
                    }
                }
            });
}

TEST(BlockRange, MetersAndScopePublishWhatWholeBlocksWould)
{
    {
        SCOPED_TRACE("meter: levels once the block is complete");
        Rig<MeterBrick<8>> rig;
        rig.run(40, {}, 1.0f, eachInTurn<MeterBrick<8>>(), [&](int block) {
            for (int b = 0; b < 2; ++b) {
                for (int k = 0; k < 2; ++k) {
                    ASSERT_EQ(*rig.whole[b].controlOutput(k), *rig.parts[b].controlOutput(k)) << block;
                }
            }
        });
    }
    {
        SCOPED_TRACE("oscilloscope: frames, trigger and decimation continue");
        Rig<OscilloscopeBrick<256, 1>> rig;
        std::vector<float> wholeFrame(256), partFrame(256);
        int published = 0;
        int lastSlot = 0;
        rig.run(400, {{0.0f, 0.3f}, {0.0f, 1.0f}}, 1.0f, eachInTurn<OscilloscopeBrick<256, 1>>(), [&](int block) {
            for (int b = 0; b < 2; ++b) {
                ASSERT_EQ(rig.whole[b].frameStore().slotIndex(), rig.parts[b].frameStore().slotIndex()) << block;
                rig.whole[b].frameStore().read(wholeFrame.data());
                rig.parts[b].frameStore().read(partFrame.data());
                ASSERT_EQ(wholeFrame, partFrame) << block;
            }
            published += rig.whole[0].frameStore().slotIndex() != lastSlot ? 1 : 0;
            lastSlot = rig.whole[0].frameStore().slotIndex();
        });
        EXPECT_GT(published, 0);  // frames were finished and compared
    }
}
