// The whole module through processReplacing, as a host drives it: stereo,
// blocks of 512 frames, a plucked-string riff. Reports ns per frame and the
// realtime factor (audio seconds per CPU second) at three rates and at host
// blocks from single frames up, silence against sound with and without a host
// that flushes subnormal numbers, and the cost of the worst block against the
// median over a loud burst followed by 10 s of silence.
// TW07_MODULE names another build of the module to measure (an older one, say).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iterator>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "tools/host/HostContext.h"
#include "kx/DenormalsFlushed.h"
#include "kx/HostCallback.h"
#include "plug/Plug.h"
#include "tools/host/HostModule.h"
#include "tools/audio/Signals.h"

#include <xmmintrin.h>

namespace {

constexpr int kBlock = 512;

const char* modulePath()
{
    const char* path = std::getenv("TW07_MODULE");
    return path != nullptr && *path != '\0' ? path : TW07_MODULE_PATH;
}

double threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
}

struct Rig {
    tools::HostContext host;
    tools::HostModule module{modulePath()};
    std::unique_ptr<tools::Effect> effect = module.instantiate(host);
    std::vector<float> out0 = std::vector<float>(kBlock), out1 = std::vector<float>(kBlock);

    explicit Rig(int rate)
    {
        effect->setSampleRate(float(rate));
        effect->setBlockSize(kBlock);
        effect->mainsChanged(true);
    }
    ~Rig() { effect->mainsChanged(false); }

    void process(const tools::AudioBuffer& in, long frame, int frames = kBlock)
    {
        float* ins[2] = {const_cast<float*>(in.channels[0].data()) + frame,
                         const_cast<float*>(in.channels[1].data()) + frame};
        float* outs[2] = {out0.data(), out1.data()};
        effect->processReplacing(ins, outs, frames);
    }
};

// Host blocks of `block` frames through a four-second riff, round and round;
// with `moving`, the tone controls move on every block, as under automation,
// so that the gains and the filters glide all the time.
void runRiff(benchmark::State& state, int rate, int block, bool moving = false)
{
    Rig rig(rate);
    const tools::AudioBuffer riff = tools::Signals::guitarRiff(1, rate, rate * 4 / kBlock * kBlock);
    long frame = 0;
    for (auto _ : state) {
        if (moving) {
            const float sweep = float(frame % (rate / 2)) / float(rate / 2);
            rig.effect->setParameter(plug::kToneLo, sweep);
            rig.effect->setParameter(plug::kToneHi, 1.0f - sweep);
            rig.effect->setParameter(plug::kPostGain, 0.3f + 0.2f * sweep);
        }
        rig.process(riff, frame, block);
        benchmark::DoNotOptimize(rig.out0.data());
        frame += block;
        if (frame + block > riff.numFrames()) frame = 0;
    }
    const double frames = double(state.iterations()) * block;
    state.SetItemsProcessed(int64_t(frames));
    // Seconds per frame, and seconds of audio per second of processing.
    state.counters["s_per_frame"] =
        benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_x"] = benchmark::Counter(frames / rate, benchmark::Counter::kIsRate);
}

void BM_ModuleStereo(benchmark::State& state) { runRiff(state, int(state.range(0)), kBlock); }
BENCHMARK(BM_ModuleStereo)->Arg(44100)->Arg(48000)->Arg(96000)->Unit(benchmark::kMicrosecond);

// 48 kHz, blocks of 512, the tone and output controls swept all the time.
void BM_ModuleAutomated(benchmark::State& state) { runRiff(state, 48000, kBlock, true); }
BENCHMARK(BM_ModuleAutomated)->Unit(benchmark::kMicrosecond);

// What a call costs beyond its frames: 48 kHz, host blocks of 1, 7, 100 and 512 frames.
void BM_ModuleHostBlock(benchmark::State& state) { runRiff(state, 48000, int(state.range(0))); }
BENCHMARK(BM_ModuleHostBlock)->Arg(1)->Arg(7)->Arg(100)->Arg(512)->Unit(benchmark::kMicrosecond);

// The fused chain against the same graph evaluated one brick at a time: on plain floats, one
// channel and one sample at a time (the straightforward reference, `plain`), and through each
// brick's own process, some of which run channels, stages or samples side by side in SSE lanes
// (`brick_by_brick`). All are driven directly in 32-frame blocks, taking turns every 512 frames so
// that machine load weighs on all alike. The fused chain runs in each of its builds this processor
// has (`sse2`, `avx2`, `avx512`); `fused` and the speed-ups are the widest's, the one an instance
// takes, and `widest` says which that is (0, 1, 2).
struct SilentHost final : kx::HostCallback {
    void automate(int, float) override {}
    void automateNow(int, float) override {}
    kx::HostInfo hostInfo() override { return {}; }
};

void BM_ChainAgainstBrickByBrick(benchmark::State& state)
{
    using Set = plug::Plug::InstructionSet;
    const int rate = int(state.range(0));
    const Set widest = plug::Plug::widestInstructionSet();
    SilentHost host;
    // The two references first, then the chain in each build up to the widest.
    std::vector<std::unique_ptr<plug::Plug>> plugs;
    for (auto how : {plug::Plug::Evaluation::kPlain, plug::Plug::Evaluation::kBrickByBrick}) {
        plugs.push_back(std::make_unique<plug::Plug>(host));
        plugs.back()->setEvaluation(how);
    }
    for (int set = 0; set <= int(widest); ++set) {
        plugs.push_back(std::make_unique<plug::Plug>(host));
        plugs.back()->setInstructionSet(Set(set));
    }
    for (auto& p : plugs) p->setSampleRate(float(rate));
    const tools::AudioBuffer riff = tools::Signals::guitarRiff(1, rate, rate * 4 / kBlock * kBlock);
    std::vector<float> out0(plug::Plug::kHostBlock), out1(plug::Plug::kHostBlock);
    static const kx::MidiEventList noEvents;
    std::vector<double> ns(plugs.size());
    long frame = 0, frames = 0;
    const kx::DenormalsFlushed flushed;  // as every binding runs the effect
    for (auto _ : state) {
        for (size_t i = 0; i < plugs.size(); ++i) {
            const double start = threadCpuNs();
            for (long f = frame; f < frame + kBlock; f += plug::Plug::kHostBlock) {
                const kx::ProcessBlock block{plug::Plug::kHostBlock,
                                             &noEvents,
                                             {riff.channels[0].data() + f, riff.channels[1].data() + f},
                                             {out0.data(), out1.data()}};
                plugs[i]->process(block);
                benchmark::DoNotOptimize(out0.data());
            }
            ns[i] += threadCpuNs() - start;
        }
        frames += kBlock;
        frame += kBlock;
        if (frame + kBlock > riff.numFrames()) frame = 0;
    }
    const char* const names[] = {"sse2_ns_per_frame", "avx2_ns_per_frame", "avx512_ns_per_frame"};
    for (int set = 0; set <= int(widest); ++set) state.counters[names[set]] = ns[2 + set] / double(frames);
    state.counters["plain_ns_per_frame"] = ns[0] / double(frames);
    state.counters["brick_by_brick_ns_per_frame"] = ns[1] / double(frames);
    state.counters["fused_ns_per_frame"] = ns.back() / double(frames);
    state.counters["speed_up_over_plain"] = ns[0] / ns.back();
    state.counters["speed_up_over_brick_by_brick"] = ns[1] / ns.back();
    state.counters["fused_realtime_x"] = double(frames) / rate / (ns.back() * 1e-9);
    state.counters["widest"] = double(widest);
}
BENCHMARK(BM_ChainAgainstBrickByBrick)->Arg(44100)->Arg(48000)->Arg(96000)->Unit(benchmark::kMicrosecond);

// Silence against sound, 48 kHz, blocks of 512, five instances taking turns every block so that
// machine load weighs on all alike: the riff, digital silence, the riff 700 dB down (its samples
// around 1e-36, so that the filters work near and in the subnormal range), and silence and the
// riff again through a host that sets the processor's flush-to-zero and denormals-are-zero
// flags around its calls, as some hosts do. Realtime factors by thread CPU time.
void BM_ModuleSilence(benchmark::State& state)
{
    const int rate = 48000;
    const long frames = long(rate) * 4 / kBlock * kBlock;
    const tools::AudioBuffer riff = tools::Signals::guitarRiff(1, rate, frames);
    tools::AudioBuffer silence = riff;
    tools::AudioBuffer quiet = riff;
    for (int c = 0; c < 2; ++c) {
        std::fill(silence.channels[c].begin(), silence.channels[c].end(), 0.0f);
        for (float& x : quiet.channels[c]) x *= 1e-35f;
    }
    struct Case {
        const char* name;
        const tools::AudioBuffer* input;
        bool hostFlushes;
    };
    const Case cases[] = {{"riff", &riff, false},
                          {"silence", &silence, false},
                          {"quiet", &quiet, false},
                          {"silence_host_flushing", &silence, true},
                          {"riff_host_flushing", &riff, true}};
    constexpr int kCases = int(std::size(cases));
    std::vector<std::unique_ptr<Rig>> rigs;
    for (int i = 0; i < kCases; ++i) rigs.push_back(std::make_unique<Rig>(rate));
    std::vector<double> ns(kCases);
    long frame = 0, done = 0;
    const unsigned hostMode = _mm_getcsr();
    for (auto _ : state) {
        for (int i = 0; i < kCases; ++i) {
            if (cases[i].hostFlushes) _mm_setcsr(hostMode | kx::DenormalsFlushed::kBoth);
            const double start = threadCpuNs();
            rigs[i]->process(*cases[i].input, frame);
            ns[i] += threadCpuNs() - start;
            _mm_setcsr(hostMode);
            benchmark::DoNotOptimize(rigs[i]->out0.data());
        }
        done += kBlock;
        frame += kBlock;
        if (frame + kBlock > frames) frame = 0;
    }
    for (int i = 0; i < kCases; ++i)
        state.counters[std::string(cases[i].name) + "_realtime_x"] = double(done) / rate / (ns[i] * 1e-9);
    state.counters["silence_over_riff_speed"] = ns[0] / ns[1];
    state.counters["silence_over_flushing_speed"] = ns[3] / ns[1];
    state.counters["quiet_over_riff_speed"] = ns[0] / ns[2];
}
BENCHMARK(BM_ModuleSilence)->Unit(benchmark::kMicrosecond)->MinTime(10.0);

// Denormals: the filters' tails decay through subnormal numbers after the burst.
void BM_ModuleBurstThenSilence(benchmark::State& state)
{
    const int rate = 48000;
    const long burstFrames = rate / 2 / kBlock * kBlock;
    const long silentFrames = 10L * rate / kBlock * kBlock;
    tools::AudioBuffer input = tools::Signals::burst(3, rate, burstFrames + silentFrames);
    for (auto& channel : input.channels) std::fill(channel.begin() + burstFrames, channel.end(), 0.0f);

    std::vector<double> loud, silent;
    for (auto _ : state) {
        Rig rig(rate);
        loud.clear();
        silent.clear();
        for (long frame = 0; frame + kBlock <= input.numFrames(); frame += kBlock) {
            const auto start = std::chrono::steady_clock::now();
            rig.process(input, frame);
            const double ns =
                std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
            (frame < burstFrames ? loud : silent).push_back(ns);
        }
    }
    auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
        return v[v.size() / 2];
    };
    const double loudMedian = median(loud);
    state.counters["loud_median_us"] = loudMedian / 1e3;
    state.counters["silent_median_us"] = median(silent) / 1e3;
    state.counters["silent_worst_us"] = *std::max_element(silent.begin(), silent.end()) / 1e3;
    state.counters["silent_median_over_loud"] = median(silent) / loudMedian;
}
BENCHMARK(BM_ModuleBurstThenSilence)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
