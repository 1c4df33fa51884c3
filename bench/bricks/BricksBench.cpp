// Time per 128-sample block of every brick, and the cost of denormal
// numbers in a decaying low-frequency band-pass.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

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

namespace {

struct alignas(32) Signal {
    float samples[kBlockSize];
};

// Guitar-like input: a decaying tone plus some noise, reused every block.
const Signal& testSignal(int variant = 0)
{
    static const auto signals = [] {
        std::vector<Signal> out(3);
        std::uint32_t seed = 1u;
        for (int v = 0; v < 3; ++v)
            for (int n = 0; n < kBlockSize; ++n) {
                seed = seed * 1664525u + 1013904223u;
                const double noise = double(seed) / 4294967296.0 - 0.5;
                out[v].samples[n] = float(0.6 * std::sin(0.05 * n * (v + 1)) + 0.1 * noise);
            }
        return out;
    }();
    return signals[variant];
}

template<class Brick>
void run(benchmark::State& state, Brick& brick)
{
    for (auto _ : state) {
        brick.process();
        benchmark::DoNotOptimize(brick.audioOutput(0)[0]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlockSize);
}

void BM_FixedFilterBrick(benchmark::State& state)
{
    auto brick = std::make_unique<FixedFilterBrick>();
    brick->setSampleRate(44100.0f);
    brick->setBandPass(477.46484f, 0.70422536f, true);
    brick->connectAudioInput(0, testSignal().samples);
    run(state, *brick);
}
BENCHMARK(BM_FixedFilterBrick);

// Four filters side by side in SSE lanes, as the effect's band splitters run.
void BM_FixedFilterLanes(benchmark::State& state)
{
    auto bricks = std::make_unique<FixedFilterBrick[]>(4);
    FixedFilterBrick* group[4];
    for (int k = 0; k < 4; ++k) {
        bricks[k].setSampleRate(44100.0f);
        bricks[k].setBandPass(k < 2 ? 31.830988f : 477.46484f, 0.70422536f, true);
        bricks[k].connectAudioInput(0, testSignal(k % 2).samples);
        group[k] = &bricks[k];
    }
    for (auto _ : state) {
        FixedFilterBrick::processLanes(group, 4);
        benchmark::DoNotOptimize(bricks[3].audioOutput(0)[0]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlockSize * 4);
}
BENCHMARK(BM_FixedFilterLanes);

void BM_PipelinedFilterBrick(benchmark::State& state)
{
    auto brick = std::make_unique<PipelinedFilterBrick<4, float>>();
    const BiquadCoefficients stages[4] = {
        {-1.67276812f, 0.725848556f, 0.00122968329f, 0.00107652578f, 0.00122968329f},
        {-1.61048973f, 0.824892998f, 1.0f, -0.905136347f, 1.0f},
        {-1.55698025f, 0.919905305f, 1.0f, -1.30406845f, 1.0f},
        {-1.54300547f, 0.97818017f, 1.0f, -1.40540564f, 1.0f},
    };
    for (int k = 0; k < 4; ++k) brick->stageCoefficients(k) = stages[k];
    brick->connectAudioInput(0, testSignal().samples);
    run(state, *brick);
}
BENCHMARK(BM_PipelinedFilterBrick);

// For comparison: the same eighth-order filter as four separate sections.
void BM_FourFixedFiltersInSeries(benchmark::State& state)
{
    auto bricks = std::make_unique<FixedFilterBrick[]>(4);
    for (int k = 0; k < 4; ++k) {
        bricks[k].setSampleRate(176400.0f);
        bricks[k].setLowPass(18000.0f, 0.5f + 0.3f * float(k), true);
        bricks[k].connectAudioInput(0, k == 0 ? testSignal().samples : bricks[k - 1].audioOutput(0));
    }
    for (auto _ : state) {
        for (int k = 0; k < 4; ++k) bricks[k].process();
        benchmark::DoNotOptimize(bricks[3].audioOutput(0)[0]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlockSize);
}
BENCHMARK(BM_FourFixedFiltersInSeries);

void BM_SVFFilterBrick(benchmark::State& state)
{
    auto brick = std::make_unique<SVFFilterBrick>();
    static float cutoff[2] = {0.3f, 0.35f};
    static const float resonance = 0.2f;
    brick->setSampleRate(44100.0f);
    brick->connectControlInput(1, &resonance);
    brick->connectAudioInput(0, testSignal().samples);
    // Alternate the cutoff so that every block glides.
    int i = 0;
    for (auto _ : state) {
        brick->connectControlInput(0, &cutoff[i ^= 1]);
        brick->process();
        benchmark::DoNotOptimize(brick->audioOutput(0)[0]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlockSize);
}
BENCHMARK(BM_SVFFilterBrick);

// Both channels' filters side by side in SSE lanes, gliding every block.
void BM_SVFFilterPair(benchmark::State& state)
{
    auto bricks = std::make_unique<SVFFilterBrick[]>(2);
    static float cutoff[2] = {0.3f, 0.35f};
    static const float resonance = 0.2f;
    SVFFilterBrick* pair[2] = {&bricks[0], &bricks[1]};
    for (int k = 0; k < 2; ++k) {
        bricks[k].setSampleRate(44100.0f);
        bricks[k].connectControlInput(1, &resonance);
        bricks[k].connectAudioInput(0, testSignal(k).samples);
    }
    int i = 0;
    for (auto _ : state) {
        i ^= 1;
        for (int k = 0; k < 2; ++k) bricks[k].connectControlInput(0, &cutoff[i]);
        SVFFilterBrick::processLanes(pair, 2);
        benchmark::DoNotOptimize(bricks[1].audioOutput(0)[0]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlockSize * 2);
}
BENCHMARK(BM_SVFFilterPair);

void BM_SustainerBrick(benchmark::State& state)
{
    auto brick = std::make_unique<SustainerBrick>();
    static const float controls[4] = {0.8f, 0.7f, float(state.range(0)) / 2.0f, 0.6f};
    for (int k = 0; k < 4; ++k) brick->connectControlInput(k, &controls[k]);
    brick->connectAudioInput(0, testSignal(0).samples);
    brick->connectAudioInput(1, testSignal(1).samples);
    brick->setSampleRate(44100.0f);
    run(state, *brick);
}
BENCHMARK(BM_SustainerBrick)->Arg(0)->Arg(1)->Arg(2)->ArgName("mode");

void BM_AASaturationBrick(benchmark::State& state)
{
    auto brick = std::make_unique<AASaturationBrick>();
    static const float drive = 3.0f;
    brick->connectControlInput(0, &drive);
    brick->connectAudioInput(0, testSignal().samples);
    run(state, *brick);
}
BENCHMARK(BM_AASaturationBrick);

void BM_VcaBrick(benchmark::State& state)
{
    auto brick = std::make_unique<VcaBrick>();
    static float gain[2] = {0.7f, 0.75f};
    brick->connectAudioInput(0, testSignal().samples);
    int i = 0;
    for (auto _ : state) {
        brick->connectControlInput(0, &gain[i ^= 1]);
        brick->process();
        benchmark::DoNotOptimize(brick->audioOutput(0)[0]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlockSize);
}
BENCHMARK(BM_VcaBrick);

void BM_AudioMixerBrick(benchmark::State& state)
{
    auto brick = std::make_unique<AudioMixerBrick<3>>();
    static float gains[2][3] = {{1.0f, 3.0f, -1.0f}, {1.0f, 2.5f, -0.5f}};
    for (int k = 0; k < 3; ++k) brick->connectAudioInput(k, testSignal(k).samples);
    int i = 0;
    for (auto _ : state) {
        i ^= 1;
        for (int k = 0; k < 3; ++k) brick->connectControlInput(k, &gains[i][k]);
        brick->process();
        benchmark::DoNotOptimize(brick->audioOutput(0)[0]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlockSize);
}
BENCHMARK(BM_AudioMixerBrick);

void BM_MeterBrick(benchmark::State& state)
{
    auto brick = std::make_unique<MeterBrick<8>>();
    brick->connectAudioInput(0, testSignal().samples);
    for (auto _ : state) {
        brick->process();
        benchmark::DoNotOptimize(*brick->controlOutput(0));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlockSize);
}
BENCHMARK(BM_MeterBrick);

void BM_OscilloscopeBrick(benchmark::State& state)
{
    auto brick = std::make_unique<OscilloscopeBrick<256, 1>>();
    static const float level = 0.1f;
    static const float timeScale = 0.0f;  // densest capture: a frame every 6 blocks
    brick->connectControlInput(0, &level);
    brick->connectControlInput(1, &timeScale);
    brick->connectAudioInput(0, testSignal().samples);
    for (auto _ : state) {
        brick->process();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlockSize);
}
BENCHMARK(BM_OscilloscopeBrick);

// Band-pass at 31.83 Hz, q 1, 44100 Hz: four loud blocks, then digital
// silence. The argument is the block index; each iteration restores the
// filter as it was before that block and processes it.
constexpr int kBurstBlocks = 4;
constexpr int kDecayBlocks = 400;

struct Decay {
    std::vector<FixedFilterBrick> snapshots;
    std::vector<float> largest;  // largest |output| of each block
};

const Decay& decay()
{
    static Signal silence{};
    static const Decay d = [] {
        Decay out;
        auto brick = std::make_unique<FixedFilterBrick>();
        brick->setSampleRate(44100.0f);
        brick->setBandPass(31.830988f, 1.0f, true);
        for (int b = 0; b < kDecayBlocks; ++b) {
            brick->connectAudioInput(0, b < kBurstBlocks ? testSignal(b % 3).samples : silence.samples);
            out.snapshots.push_back(*brick);
            brick->process();
            float largest = 0.0f;
            for (int n = 0; n < kBlockSize; ++n) largest = std::max(largest, std::fabs(brick->audioOutput(0)[n]));
            out.largest.push_back(largest);
        }
        return out;
    }();
    return d;
}

void BM_FixedFilterDenormalDecay(benchmark::State& state)
{
    const int block = int(state.range(0));
    const Decay& d = decay();
    auto brick = std::make_unique<FixedFilterBrick>(d.snapshots[block]);
    for (auto _ : state) {
        *brick = d.snapshots[block];
        brick->process();
        benchmark::DoNotOptimize(brick->audioOutput(0)[0]);
        benchmark::ClobberMemory();
    }
    // log10 of the largest |output| of the block: below -38 the values are denormal.
    state.counters["log10Out"] = d.largest[block] > 0.0f ? std::log10(d.largest[block]) : -99.0f;
    state.SetItemsProcessed(state.iterations() * kBlockSize);
}
BENCHMARK(BM_FixedFilterDenormalDecay)
    ->Arg(0)
    ->Arg(5)
    ->Arg(100)
    ->Arg(140)
    ->DenseRange(150, 170, 5)
    ->Arg(200)
    ->Arg(399)
    ->ArgName("block");

}  // namespace
