// Sample rates no signal path can run at: not finite, not positive, or far outside
// the usual range. The output must stay finite and bounded whatever the host sends.

#include "tools/validate/CheckRegistry.h"
#include "CheckSupport.h"

#include <cstdio>
#include <limits>

namespace tools::validate {

using namespace kx::vst2;

namespace {

void badRates(CheckContext& context)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float rates[] = {0.0f, -48000.0f, std::numeric_limits<float>::quiet_NaN(), inf, -inf, 1.0f, 1e9f};
    constexpr int kBlock = 256;
    const HostModule& module = context.module();
    const int blocks = context.quick() ? 24 : 96;  // at 48 kHz about 0.13 or 0.5 s
    for (const float rate : rates) {
        for (const bool afterValid : {false, true}) {
            char what[96];
            std::snprintf(what, sizeof what, "told %g Hz%s", static_cast<double>(rate),
                          afterValid ? " after 48000 Hz" : " only");
            context.note("%s", what);
            context.repro("%s, blocks of %d", what, kBlock);
            PluginInstance plugin(module);
            if (afterValid) plugin.prepare(48000.0f, kBlock);
            plugin.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
            plugin.dispatch(effSetBlockSize, 0, kBlock);
            plugin.resume();
            GuardedAudio audio(plugin.numInputs(), plugin.numOutputs(), kBlock);
            Random random(context.seed());
            if (!runSignalBlocks(context, plugin, audio, random, kBlock, blocks, what)) return;
            plugin.suspend();
        }
    }
}

}  // namespace

void addRateChecks(CheckList& checks)
{
    checks.push_back(
        {"audio.bad-rates", "0, negative, NaN, infinite, 1 Hz and 1 GHz rates: output finite", badRates, 240});
}

}  // namespace tools::validate
