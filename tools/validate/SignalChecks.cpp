// Hostile input: non-finite and extreme bursts, and the long silence after a
// loud burst where filter states decay into subnormal numbers.

#include "CheckRegistry.h"
#include "CheckSupport.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace tools::validate {

using namespace kx::vst2;

namespace {

constexpr float kRate = 48000.0f;
constexpr int kBlock = 480;  // 10 ms

void burstThenClean(CheckContext& context, float burstValue, const char* name)
{
    PluginInstance plugin(context.entry());
    plugin.prepare(kRate, kBlock);
    plugin.resume();
    GuardedAudio audio(plugin.numInputs(), plugin.numOutputs(), kBlock);
    Random random(context.seed());
    context.repro("48000 Hz, blocks of %d, 0.1 s of signal, 10 ms of %s, 1.5 s of signal", kBlock, name);
    context.note("signal before the %s burst", name);
    if (!runSignalBlocks(context, plugin, audio, random, kBlock, 10, "before the burst")) return;

    context.note("%s burst", name);
    for (int b = 0; b < 1; ++b) {
        audio.fillConstant(kBlock, burstValue);
        // Alternate signs so that the burst is not a DC step alone.
        for (int c = 0; c < audio.numInputs(); ++c) {
            for (int i = 1; i < kBlock; i += 2) audio.input(c)[i] = -burstValue;
        }
        const std::string problem = audio.process(plugin.record(), kBlock);
        if (!problem.empty()) {
            context.fail("during the %s burst: %s", name, problem.c_str());
            return;
        }
    }
    context.note("clean signal after the %s burst", name);
    const int recoveryBlocks = static_cast<int>(kRate / kBlock);  // one second
    const int totalBlocks = recoveryBlocks + 50;
    int lastBad = -1;
    for (int b = 0; b < totalBlocks; ++b) {
        audio.fillSignal(random, kBlock);
        const std::string problem = audio.process(plugin.record(), kBlock);
        if (!problem.empty()) {
            context.fail("after the %s burst: %s", name, problem.c_str());
            return;
        }
        if (audio.lastNonFinite(kBlock) >= 0 || audio.peak(kBlock) > kOutputBound) lastBad = b;
    }
    if (lastBad >= recoveryBlocks) {
        context.fail("after a 10 ms %s burst the output is still not finite or out of bounds %.2f s later", name,
                     (lastBad + 1) * kBlock / static_cast<double>(kRate));
    }
}

void nonFinite(CheckContext& context)
{
    burstThenClean(context, std::numeric_limits<float>::quiet_NaN(), "NaN");
    burstThenClean(context, std::numeric_limits<float>::infinity(), "infinity");
    burstThenClean(context, 1.0e6f, "very loud (+120 dBFS)");
    burstThenClean(context, std::numeric_limits<float>::max(), "largest float");
}

double threadCpuNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// One measurement: the median cost of loud blocks, and the largest median cost
// of one-second stretches of the silence after a loud burst. Returns their ratio.
double silenceCostRatio(CheckContext& context, int silentSeconds, double& loudNs, double& silentNs, int& slowest)
{
    PluginInstance plugin(context.entry());
    plugin.prepare(kRate, kBlock);
    plugin.resume();
    GuardedAudio audio(plugin.numInputs(), plugin.numOutputs(), kBlock);
    Random random(context.seed());
    const int blocksPerSecond = static_cast<int>(kRate / kBlock);

    std::vector<double> loud;
    context.note("loud blocks");
    for (int b = 0; b < 2 * blocksPerSecond; ++b) {
        audio.fillSignal(random, kBlock, 1.8f);
        const double start = threadCpuNanoseconds();
        const std::string problem = audio.process(plugin.record(), kBlock);
        const double cost = threadCpuNanoseconds() - start;
        if (!judgeBlock(context, audio, problem, kBlock, "loud block")) return 0.0;
        if (b >= blocksPerSecond / 2) loud.push_back(cost);
    }
    loudNs = median(loud);

    context.note("silence after the loud burst");
    audio.fillConstant(kBlock, 0.0f);
    silentNs = 0.0;
    std::vector<double> stretch;
    for (int second = 0; second < silentSeconds; ++second) {
        stretch.clear();
        for (int b = 0; b < blocksPerSecond; ++b) {
            const double start = threadCpuNanoseconds();
            const std::string problem = audio.process(plugin.record(), kBlock);
            const double cost = threadCpuNanoseconds() - start;
            if (!judgeBlock(context, audio, problem, kBlock, "silence after a loud burst")) return 0.0;
            stretch.push_back(cost);
        }
        const double cost = median(stretch);
        if (cost > silentNs) {
            silentNs = cost;
            slowest = second;
        }
    }
    return loudNs > 0.0 ? silentNs / loudNs : 0.0;
}

void denormals(CheckContext& context)
{
    const int seconds = context.quick() ? 8 : 20;
    context.repro("48000 Hz, blocks of %d, 2 s loud then %d s of silence", kBlock, seconds);
    double best = 1e9;
    double loudNs = 0.0;
    double silentNs = 0.0;
    int slowestSecond = 0;
    // The machine may be busy: a pass in any of three repetitions counts.
    for (int repetition = 0; repetition < 3 && best > 2.0; ++repetition) {
        double loud = 0.0;
        double silent = 0.0;
        int slowest = 0;
        const double ratio = silenceCostRatio(context, seconds, loud, silent, slowest);
        if (context.failed()) return;
        if (ratio < best) {
            best = ratio;
            loudNs = loud;
            silentNs = silent;
            slowestSecond = slowest;
        }
    }
    context.measured("median block cost: loud %.1f us, slowest second of silence (second %d) %.1f us (ratio %.2f)",
                     loudNs / 1000.0, slowestSecond + 1, silentNs / 1000.0, best);
    if (best > 2.0) {
        context.fail("a silent block after a loud burst costs %.2f times a loud one (limit 2)", best);
    }
}

}  // namespace

void addSignalChecks(CheckList& checks)
{
    checks.push_back({"signal.non-finite", "NaN, infinite and very loud bursts: finite again within 1 s", nonFinite,
                      60});
    checks.push_back({"signal.denormals", "silence after a loud burst costs at most 2x; FP control state kept",
                      denormals, 300});
}

}  // namespace tools::validate
