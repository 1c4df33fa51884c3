// The effect as a host sees it: the module loaded through the host library, its
// exported entry point called, driven through the VST 2.4 record.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tools/host/HostContext.h"
#include "tools/host/HostModule.h"
#include "tools/render/Renderer.h"
#include "tools/audio/Signals.h"
#include "kx/vst2/VstInterface.h"

namespace {

using namespace kx::vst2;

struct ModuleFixture : ::testing::Test {
    tools::HostContext host;
    tools::HostModule module{TW07_MODULE_PATH};
    std::unique_ptr<tools::Effect> effect = module.instantiate(host);

    // Each render uses a fresh instance: the sustainer and the DC filter keep state across resumes.
    tools::AudioBuffer render(const tools::AudioBuffer& input, tools::RenderPlan plan)
    {
        tools::HostContext renderHost;
        auto fresh = module.instantiate(renderHost);
        fresh->setSampleRate(float(input.sampleRate));
        tools::Renderer renderer(std::move(plan));
        return renderer.run(*fresh, input);
    }
};

TEST_F(ModuleFixture, RecordAndNamesDescribeTheEffect)
{
    EXPECT_EQ(effect->uniqueId(), 12345699);
    EXPECT_EQ(effect->numInputs(), 2);
    EXPECT_EQ(effect->numOutputs(), 2);
    EXPECT_EQ(effect->numPrograms(), 0);
    EXPECT_EQ(effect->flags() & ~effFlagsHasEditor, effFlagsCanReplacing);
    EXPECT_EQ(effect->effectName(), "TW07 - distortion/sustainer");
    EXPECT_EQ(effect->productString(), "TW07 - distortion/sustainer");
    EXPECT_EQ(effect->vendorString(), "Tarnwell Industries");
    EXPECT_EQ(effect->vendorVersion(), 80);
    EXPECT_EQ(effect->category(), kPlugCategEffect);
}

TEST_F(ModuleFixture, HostSeesTheEightParametersWithTheirDefaults)
{
    struct Row {
        const char* name;
        const char* label;
        const char* text;
        float value;
    };
    const Row rows[] = {
        {"Drive", "dB", "1.00", 0.35f},  {"Compress", "", "0.60", 0.6f},     {"Speed", "", "0.75", 0.75f},
        {"Stereo", "", "Stereo", 0.0f},  {"Tone Lo", "dB", "0.00", 0.5f},    {"Tone Mid", "dB", "0.00", 0.5f},
        {"Tone Hi", "dB", "0.00", 0.5f}, {"Post gai", "dB", "-26.00", 0.4f},
    };
    ASSERT_EQ(effect->numParams(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(effect->paramName(i), rows[i].name) << i;
        EXPECT_EQ(effect->paramLabel(i), rows[i].label) << i;
        EXPECT_EQ(effect->paramDisplay(i), rows[i].text) << i;
        EXPECT_EQ(effect->getParameter(i), rows[i].value) << i;
        EXPECT_TRUE(effect->canBeAutomated(i)) << i;
    }

    const std::pair<float, const char*> modes[] = {{0.0f, "Stereo"}, {0.5f, "Linked"}, {1.0f, "Mono"}};
    for (auto [value, text] : modes) {
        effect->setParameter(3, value);
        EXPECT_EQ(effect->paramDisplay(3), text);
    }
    effect->setParameter(0, 1.0f);
    EXPECT_EQ(effect->paramDisplay(0), "40.00");
    effect->setParameter(7, 0.0f);
    EXPECT_EQ(effect->paramDisplay(7), "-50.00");
}

// Drives a fresh instance straight through processReplacing: host blocks taken in turn from
// `blocks`, whatever the announced maximum, with one or two input channels, in place or not.
struct Stream {
    std::vector<int> blocks;
    int announced = 512;
    int inputs = 2;
    bool inPlace = false;
    std::vector<tools::ParameterChange> changes = {};  // set before the host block that starts at their frame
};

tools::AudioBuffer renderStream(tools::HostModule& module, const tools::AudioBuffer& input, const Stream& stream,
                                const std::vector<std::pair<int, float>>& parameters)
{
    tools::HostContext host;
    auto fx = module.instantiate(host);
    fx->setSampleRate(float(input.sampleRate));
    fx->setBlockSize(stream.announced);
    VstSpeakerArrangement in{}, out{};
    in.type = stream.inputs == 1 ? kSpeakerArrMono : kSpeakerArrStereo;
    in.numChannels = stream.inputs;
    out.type = kSpeakerArrStereo;
    out.numChannels = 2;
    EXPECT_EQ(fx->dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr>(&in), &out), 1);
    for (auto [index, value] : parameters) fx->setParameter(index, value);
    fx->mainsChanged(true);

    const long frames = long(input.numFrames());
    tools::AudioBuffer output = tools::AudioBuffer::zeros(input.sampleRate, 2, frames);
    std::vector<float> scratch[2];
    for (long start = 0, k = 0; start < frames; ++k) {
        const int n = int(std::min<long>(stream.blocks[std::size_t(k) % stream.blocks.size()], frames - start));
        for (const tools::ParameterChange& change : stream.changes) {
            if (change.frame == start) fx->setParameter(change.index, change.value);
        }
        float* outputs[2] = {output.channels[0].data() + start, output.channels[1].data() + start};
        float* inputs[2];
        for (int c = 0; c < stream.inputs; ++c) {
            const float* source = input.channels[std::size_t(c)].data() + start;
            if (stream.inPlace) {
                std::copy(source, source + n, outputs[c]);
                inputs[c] = outputs[c];
            } else {
                scratch[c].assign(source, source + n);
                inputs[c] = scratch[c].data();
            }
        }
        fx->processReplacing(inputs, outputs, n);
        start += n;
    }
    fx->mainsChanged(false);
    return output;
}

// Seeded host block sequences: single frames, sizes around the 32-frame grid, large ones above
// the announced maximum of 512, and everything between.
std::vector<int> randomBlocks(unsigned seed)
{
    std::mt19937 random(seed);
    const int picks[] = {1, 1, 2, 3, 7, 31, 32, 33, 100, 511, 513, 1000, 4097};
    std::vector<int> blocks;
    for (int i = 0; i < 400; ++i) {
        blocks.push_back(random() % 2 ? picks[random() % std::size(picks)] : 1 + int(random() % 700));
    }
    return blocks;
}

void expectSameOutput(const tools::AudioBuffer& out, const tools::AudioBuffer& reference, const std::string& what)
{
    ASSERT_EQ(out.numFrames(), reference.numFrames());
    for (int c = 0; c < 2; ++c) {
        for (long i = 0; i < long(out.numFrames()); ++i) {
            ASSERT_EQ(out.channels[std::size_t(c)][std::size_t(i)], reference.channels[std::size_t(c)][std::size_t(i)])
                << what << " channel " << c << " frame " << i;
        }
    }
}

TEST_F(ModuleFixture, EveryHostBlockPartitionGivesTheOutputOfBlocksOf512)
{
    EXPECT_EQ(effect->initialDelay(), 0);
    for (int rate : {44100, 96000}) {
        const tools::AudioBuffer input = tools::Signals::guitarRiff(3, rate, rate * 3 / 2);
        // Drive up and the channels linked at one rate, mono sustain at the other.
        const std::vector<std::pair<int, float>> parameters = {{0, 0.7f}, {3, rate == 44100 ? 0.5f : 1.0f}};
        for (int inputs : {1, 2}) {
            const tools::AudioBuffer reference = renderStream(module, input, {{512}, 512, inputs, false}, parameters);
            float peak = 0.0f;
            for (float v : reference.channels[0]) peak = std::max(peak, std::fabs(v));
            EXPECT_GT(peak, 0.05f);  // real output, not silence
            for (unsigned seed : {1u, 2u, 3u}) {
                for (bool inPlace : {false, true}) {
                    const std::string what = "rate " + std::to_string(rate) + " inputs " + std::to_string(inputs) +
                                             " seed " + std::to_string(seed) + (inPlace ? " in place" : "");
                    expectSameOutput(
                        renderStream(module, input, {randomBlocks(seed), 512, inputs, inPlace}, parameters), reference,
                        what);
                }
            }
        }
    }
}

TEST_F(ModuleFixture, ParameterChangesTakeEffectWhereTheNextBlockOfTheGridBegins)
{
    // Set between host blocks at frame 4000 + 20, inside the effect's 32-frame block that starts
    // at 4000: the change must apply at 4032, as if it had been set there.
    const tools::AudioBuffer input = tools::Signals::guitarRiff(6, 48000, 12000);
    const std::vector<tools::ParameterChange> atGrid = {{4032, 0, 0.9f}, {4032, 1, 0.1f}, {4032, 5, 0.8f}};
    const std::vector<tools::ParameterChange> inside = {{4020, 0, 0.9f}, {4020, 1, 0.1f}, {4020, 5, 0.8f}};
    const tools::AudioBuffer reference = renderStream(module, input, {{32}, 512, 2, false, atGrid}, {});
    std::vector<int> blocks = {4000, 20};
    for (int i = 0; i < 40; ++i) blocks.push_back(1 + i * 37 % 300);
    expectSameOutput(renderStream(module, input, {blocks, 512, 2, false, inside}, {}), reference, "inside a block");
    // And the change is heard from there on.
    const tools::AudioBuffer unchanged = renderStream(module, input, {{32}, 512, 2, false}, {});
    EXPECT_EQ(unchanged.channels[0][4031], reference.channels[0][4031]);
    EXPECT_NE(unchanged.channels[0][4100], reference.channels[0][4100]);
}

TEST_F(ModuleFixture, OutputFramesDependOnlyOnInputUpToThem)
{
    // Two inputs equal up to frame 1000 and apart from it, in host blocks of 7 frames: the outputs
    // agree before frame 1000 and part within the next frames, so nothing looks ahead and no
    // latency is added (the anti-alias filter's pipeline delays by three internal samples).
    const int rate = 48000;
    const tools::AudioBuffer first = tools::Signals::guitarRiff(4, rate, 4000);
    tools::AudioBuffer second = first;
    for (auto& channel : second.channels) {
        for (std::size_t i = 1000; i < channel.size(); ++i) channel[i] = channel[i] * 0.5f + 0.25f;
    }
    const Stream stream{{7}, 512, 2, false};
    const tools::AudioBuffer a = renderStream(module, first, stream, {});
    const tools::AudioBuffer b = renderStream(module, second, stream, {});
    for (int c = 0; c < 2; ++c) {
        for (std::size_t i = 0; i < 1000; ++i)
            ASSERT_EQ(a.channels[std::size_t(c)][i], b.channels[std::size_t(c)][i]) << i;
        EXPECT_NE(a.channels[std::size_t(c)][1001], b.channels[std::size_t(c)][1001]);
    }
}

TEST_F(ModuleFixture, MonoInAndMonoOutUseOnlyTheFirstChannel)
{
    VstSpeakerArrangement mono{};
    mono.type = kSpeakerArrMono;
    mono.numChannels = 1;

    // Reference: stereo in and out with a silent right input (channels are independent in "Stereo" mode).
    tools::HostContext otherHost;
    auto reference = module.instantiate(otherHost);
    for (auto* e : {effect.get(), reference.get()}) {
        e->setSampleRate(44100.0f);
        e->setBlockSize(256);
        e->mainsChanged(true);
    }
    ASSERT_EQ(effect->dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr>(&mono), &mono), 1);

    const int frames = 256;
    const tools::AudioBuffer riff = tools::Signals::guitarRiff(9, 44100, frames * 40, 1);
    std::vector<float> silent(frames, 0.0f), out(frames), refLeft(frames), refRight(frames);
    for (int b = 0; b < 40; ++b) {
        float* in = const_cast<float*>(riff.channels[0].data()) + b * frames;
        float* monoIn[1] = {in};  // exactly one channel pointer: nothing may read a second
        float* monoOut[1] = {out.data()};
        effect->processReplacing(monoIn, monoOut, frames);
        float* stereoIn[2] = {in, silent.data()};
        float* stereoOut[2] = {refLeft.data(), refRight.data()};
        reference->processReplacing(stereoIn, stereoOut, frames);
        ASSERT_EQ(out, refLeft) << "block " << b;
    }
    VstPinProperties pin{};
    EXPECT_EQ(effect->dispatch(effGetInputProperties, 0, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Mono");
    EXPECT_EQ(effect->dispatch(effGetInputProperties, 1, 0, &pin), 0);
}

// A quarter of a second of the riff through a fresh instance told `rates` in turn.
std::vector<float> renderAtRates(const tools::HostModule& module, std::initializer_list<float> rates)
{
    constexpr int kBlock = 512;
    const tools::AudioBuffer input = tools::Signals::guitarRiff(3, 48000, kBlock * 24);
    tools::HostContext host;
    auto fx = module.instantiate(host);
    for (float rate : rates) fx->setSampleRate(rate);
    fx->setBlockSize(kBlock);
    fx->mainsChanged(true);
    std::vector<float> output;
    std::vector<float> left(kBlock), right(kBlock);
    for (long frame = 0; frame + kBlock <= input.numFrames(); frame += kBlock) {
        float* inputs[2] = {const_cast<float*>(input.channels[0].data()) + frame,
                            const_cast<float*>(input.channels[1].data()) + frame};
        float* outputs[2] = {left.data(), right.data()};
        fx->processReplacing(inputs, outputs, kBlock);
        output.insert(output.end(), left.begin(), left.end());
        output.insert(output.end(), right.begin(), right.end());
    }
    return output;
}

TEST_F(ModuleFixture, EveryRateAHostCanSendGivesFiniteOutput)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Not taken: the instance keeps the rate it had, or stays as if it had been told none.
    const std::vector<float> untold = renderAtRates(module, {});
    const std::vector<float> at96000 = renderAtRates(module, {96000.0f});
    for (float rate : {0.0f, -48000.0f, nan, inf, -inf}) {
        EXPECT_EQ(renderAtRates(module, {rate}), untold) << rate;
        EXPECT_EQ(renderAtRates(module, {96000.0f, rate}), at96000) << rate;
    }
    // Positive but beyond what the filters are designed for: the nearest end of 8000..384000 Hz.
    const std::vector<float> at8000 = renderAtRates(module, {8000.0f});
    const std::vector<float> at384000 = renderAtRates(module, {384000.0f});
    for (float rate : {1e-30f, 1.0f, 1234.5678f, 4000.0f, 7999.0f})
        EXPECT_EQ(renderAtRates(module, {rate}), at8000) << rate;
    for (float rate : {384001.0f, 768000.0f, 1e9f, 3e38f}) EXPECT_EQ(renderAtRates(module, {rate}), at384000) << rate;
    for (const std::vector<float>* output : {&at8000, &at384000, &at96000}) {
        float peak = 0.0f;
        for (float v : *output) {
            ASSERT_TRUE(std::isfinite(v));
            peak = std::max(peak, std::fabs(v));
        }
        EXPECT_GT(peak, 0.05f);
    }
}

TEST(ModuleExports, OnlyTheEntryPoints)
{
    const std::string command = "nm -D --defined-only '" TW07_MODULE_PATH "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_TRUE(pipe);
    std::vector<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe.get())) {
        char type = 0;
        char name[400] = {};
        if (std::sscanf(line, "%*s %c %399s", &type, name) == 2) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"VSTPluginMain", "main"}));
}

}  // namespace
