// Hostile input: non-finite and extreme bursts, and the long silence after a
// loud burst where filter states decay into subnormal numbers.

#include "tools/validate/CheckRegistry.h"
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
    PluginInstance plugin(context.module());
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

// One measurement on two instances, block by block in turn: one keeps playing
// a loud signal, the other plays silence after the same loud start. Costs are
// taken in the same moments, so a busy machine weighs on both alike. Returns
// the ratio of the median costs; `worstSecond` gets the second of silence with
// the largest ratio of its own medians.
double silenceCostRatio(CheckContext& context, int silentSeconds, double& loudNs, double& silentNs, int& worstSecond,
                        double& worstRatio)
{
    PluginInstance loudPlugin(context.module());
    PluginInstance quietPlugin(context.module());
    loudPlugin.prepare(kRate, kBlock);
    quietPlugin.prepare(kRate, kBlock);
    loudPlugin.resume();
    quietPlugin.resume();
    GuardedAudio loudAudio(loudPlugin.numInputs(), loudPlugin.numOutputs(), kBlock);
    GuardedAudio quietAudio(quietPlugin.numInputs(), quietPlugin.numOutputs(), kBlock);
    Random random(context.seed());
    const int blocksPerSecond = static_cast<int>(kRate / kBlock);

    context.note("loud start of both instances");
    for (int b = 0; b < blocksPerSecond; ++b) {
        loudAudio.fillSignal(random, kBlock, 1.8f);
        quietAudio.fillSignal(random, kBlock, 1.8f);
        if (!judgeBlock(context, loudAudio, loudAudio.process(loudPlugin.record(), kBlock), kBlock, "loud block") ||
            !judgeBlock(context, quietAudio, quietAudio.process(quietPlugin.record(), kBlock), kBlock, "loud block")) {
            return 0.0;
        }
    }

    context.note("silence after the loud start, beside a loud instance");
    quietAudio.fillConstant(kBlock, 0.0f);
    std::vector<double> loud;
    std::vector<double> silent;
    worstRatio = 0.0;
    for (int second = 0; second < silentSeconds; ++second) {
        std::vector<double> loudSecond;
        std::vector<double> silentSecond;
        for (int b = 0; b < blocksPerSecond; ++b) {
            loudAudio.fillSignal(random, kBlock, 1.8f);
            double start = threadCpuNanoseconds();
            std::string problem = loudAudio.process(loudPlugin.record(), kBlock);
            loudSecond.push_back(threadCpuNanoseconds() - start);
            if (!judgeBlock(context, loudAudio, problem, kBlock, "loud block")) return 0.0;

            start = threadCpuNanoseconds();
            problem = quietAudio.process(quietPlugin.record(), kBlock);
            silentSecond.push_back(threadCpuNanoseconds() - start);
            if (!judgeBlock(context, quietAudio, problem, kBlock, "silence after a loud burst")) return 0.0;
        }
        const double ratio = median(silentSecond) / std::max(median(loudSecond), 1.0);
        if (ratio > worstRatio) {
            worstRatio = ratio;
            worstSecond = second;
        }
        loud.insert(loud.end(), loudSecond.begin(), loudSecond.end());
        silent.insert(silent.end(), silentSecond.begin(), silentSecond.end());
    }
    loudNs = median(loud);
    silentNs = median(silent);
    return loudNs > 0.0 ? silentNs / loudNs : 0.0;
}

void denormals(CheckContext& context)
{
    const int seconds = context.quick() ? 8 : 20;
    context.repro("48000 Hz, blocks of %d, 1 s loud then %d s of silence beside a loud instance", kBlock, seconds);
    double best = 1e9;
    double loudNs = 0.0;
    double silentNs = 0.0;
    int worstSecond = 0;
    double worstRatio = 0.0;
    // A pass in any of three repetitions counts.
    for (int repetition = 0; repetition < 3 && best > 2.0; ++repetition) {
        double loud = 0.0;
        double silent = 0.0;
        int second = 0;
        double secondRatio = 0.0;
        const double ratio = silenceCostRatio(context, seconds, loud, silent, second, secondRatio);
        if (context.failed()) return;
        if (ratio < best) {
            best = ratio;
            loudNs = loud;
            silentNs = silent;
            worstSecond = second;
            worstRatio = secondRatio;
        }
    }
    context.measured("median block cost: loud %.1f us, silent %.1f us, ratio %.2f (second %d of silence: %.2f)",
                     loudNs / 1000.0, silentNs / 1000.0, best, worstSecond + 1, worstRatio);
    if (best > 2.0) {
        context.fail("a silent block after a loud burst costs %.2f times a loud one (limit 2)", best);
    }
}

}  // namespace

void addSignalChecks(CheckList& checks)
{
    checks.push_back(
        {"signal.non-finite", "NaN, infinite and very loud bursts: finite again within 1 s", nonFinite, 60});
    checks.push_back(
        {"signal.denormals", "silence after a loud burst costs at most 2x; FP control state kept", denormals, 300});
}

}  // namespace tools::validate
