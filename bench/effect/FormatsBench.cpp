// The CLAP, VST 3 and LV2 modules against the VST 2 module, as hosts drive them: stereo, the
// plucked-string riff at 48 kHz, host blocks of 512 and of 7 frames. The four take turns
// every 4096 frames within one run, so that the machine's load weighs on all alike; each turn
// is timed in thread CPU time. Reports ns per frame for each and each one's cost over VST 2's.

#include <benchmark/benchmark.h>

#include <time.h>

#include <memory>
#include <vector>

#include "tools/audio/Signals.h"
#include "tools/host/HostContext.h"
#include "tools/host/Plugin.h"

namespace {

constexpr int kRate = 48000;
constexpr int kTurn = 4096;  // frames per format per turn

double cpuNanoseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
}

void BM_FormatsAgainstVst2(benchmark::State& state)
{
    const int block = int(state.range(0));
    tools::HostContext context;
    std::unique_ptr<tools::Plugin> formats[] = {
        tools::openPlugin(TW07_MODULE_PATH, context), tools::openPlugin(TW07_CLAP_PATH, context),
        tools::openPlugin(TW07_VST3_PATH, context), tools::openPlugin(TW07_LV2_PATH, context)};
    constexpr int kFormats = 4;
    for (auto& plugin : formats) {
        plugin->prepare(float(kRate), block);
        plugin->start();
    }
    const tools::AudioBuffer riff = tools::Signals::guitarRiff(1, kRate, kRate * 4 / kTurn * kTurn);
    std::vector<float> out0(kTurn), out1(kTurn);
    double ns[kFormats] = {};
    long frame = 0;
    long frames = 0;
    for (auto _ : state) {
        for (int f = 0; f < kFormats; ++f) {
            const double start = cpuNanoseconds();
            for (int done = 0; done + block <= kTurn; done += block) {
                float* ins[2] = {const_cast<float*>(riff.channels[0].data()) + frame + done,
                                 const_cast<float*>(riff.channels[1].data()) + frame + done};
                float* outs[2] = {out0.data() + done, out1.data() + done};
                formats[f]->process(ins, outs, block);
            }
            benchmark::DoNotOptimize(out0.data());
            ns[f] += cpuNanoseconds() - start;
        }
        frames += kTurn / block * block;
        frame += kTurn;
        if (frame + kTurn > riff.numFrames()) frame = 0;
    }
    for (auto& plugin : formats) plugin->stop();
    state.counters["vst2_ns_per_frame"] = ns[0] / double(frames);
    state.counters["clap_ns_per_frame"] = ns[1] / double(frames);
    state.counters["vst3_ns_per_frame"] = ns[2] / double(frames);
    state.counters["clap_over_vst2"] = ns[1] / ns[0];
    state.counters["vst3_over_vst2"] = ns[2] / ns[0];
    state.counters["lv2_ns_per_frame"] = ns[3] / double(frames);
    state.counters["lv2_over_vst2"] = ns[3] / ns[0];
}
BENCHMARK(BM_FormatsAgainstVst2)->Arg(512)->Arg(7)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
