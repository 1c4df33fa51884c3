#include "tests/formats/Vst2Reference.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

#include "tools/host/HostContext.h"
#include "tools/host/HostModule.h"

namespace formatstest {

std::vector<int> randomBlocks(uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> size(1, 700);
    std::vector<int> blocks(64);
    for (int& b : blocks) b = size(random);
    return blocks;
}

std::vector<Change> someChanges(int64_t frames, uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int64_t> at(0, frames - 1);
    std::uniform_int_distribution<int> which(0, 7);
    std::uniform_real_distribution<float> to(0.0f, 1.0f);
    std::vector<Change> changes(24);
    for (Change& c : changes) {
        c.frame = at(random);
        c.index = which(random);
        c.normalised = c.index == 3 ? 0.5f * static_cast<float>(random() % 3) : to(random);
    }
    std::stable_sort(changes.begin(), changes.end(),
                     [](const Change& a, const Change& b) { return a.frame < b.frame; });
    return changes;
}

tools::AudioBuffer renderVst2(const tools::AudioBuffer& input, const RenderRun& run)
{
    using namespace kx::vst2;
    tools::HostContext context;
    tools::HostModule module(TW07_MODULE_PATH);
    std::unique_ptr<tools::Effect> effect = module.instantiate(context);
    if (run.channels == 1) {
        VstSpeakerArrangement in{};
        in.type = kSpeakerArrMono;
        in.numChannels = 1;
        VstSpeakerArrangement out = in;
        effect->dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr>(&in), &out);
    }
    effect->setSampleRate(static_cast<float>(run.rate));
    effect->setBlockSize(*std::max_element(run.blocks.begin(), run.blocks.end()));
    effect->mainsChanged(true);
    std::size_t next = 0;
    return renderInBlocks(input, run, [&](int64_t position, int frames, float** in, float** out) {
        // A change splits the host's block where it lies, as a host sends it between two calls.
        int done = 0;
        while (done < frames) {
            while (next < run.changes.size() && run.changes[next].frame <= position + done) {
                effect->setParameter(run.changes[next].index, run.changes[next].normalised);
                ++next;
            }
            int upTo = frames;
            if (next < run.changes.size() && run.changes[next].frame < position + frames)
                upTo = static_cast<int>(run.changes[next].frame - position);
            float* inPart[2] = {in[0] ? in[0] + done : nullptr, in[1] ? in[1] + done : nullptr};
            float* outPart[2] = {out[0] ? out[0] + done : nullptr, out[1] ? out[1] + done : nullptr};
            effect->processReplacing(inPart, outPart, upTo - done);
            done = upTo;
        }
    });
}

int64_t differingSamples(const tools::AudioBuffer& a, const tools::AudioBuffer& b)
{
    int64_t differing = 0;
    for (std::size_t c = 0; c < a.channels.size(); ++c)
        for (std::size_t i = 0; i < a.channels[c].size(); ++i)
            differing += std::memcmp(&a.channels[c][i], &b.channels[c][i], sizeof(float)) != 0;
    return differing;
}

}  // namespace formatstest
