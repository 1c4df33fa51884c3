// The effect as a host sees it: the module loaded with dlopen through its
// exported entry point, driven through the VST 2.4 record.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "HostContext.h"
#include "HostModule.h"
#include "Renderer.h"
#include "Signals.h"
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
        {"Drive", "dB", "1.00", 0.35f},     {"Compress", "", "0.60", 0.6f},   {"Speed", "", "0.75", 0.75f},
        {"Stereo", "", "Stereo", 0.0f},     {"Tone Lo", "dB", "0.00", 0.5f},  {"Tone Mid", "dB", "0.00", 0.5f},
        {"Tone Hi", "dB", "0.00", 0.5f},    {"Post gai", "dB", "-26.00", 0.4f},
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

TEST_F(ModuleFixture, OutputDoesNotDependOnTheHostsBlockPartition)
{
    const int rate = 48000;
    const tools::AudioBuffer input = tools::Signals::guitarRiff(3, rate, 4096 * 24);
    tools::RenderPlan plan;
    plan.blockSizes = {32};
    plan.initial = {{0, 0.7f}, {3, 0.5f}};
    const tools::AudioBuffer reference = render(input, plan);

    const std::vector<std::vector<int>> partitions = {{64}, {512}, {4096}, {32, 64, 512, 4096, 96}, {4096, 32, 160}};
    for (const auto& blocks : partitions) {
        plan.blockSizes = blocks;
        const tools::AudioBuffer out = render(input, plan);
        ASSERT_EQ(out.numFrames(), reference.numFrames());
        for (int c = 0; c < 2; ++c) {
            for (long i = 0; i < out.numFrames(); ++i) {
                ASSERT_EQ(out.channels[c][i], reference.channels[c][i])
                    << "blocks " << ::testing::PrintToString(blocks) << " channel " << c << " frame " << i;
            }
        }
    }
    // The reference is real output, not silence.
    float peak = 0.0f;
    for (float v : reference.channels[0]) peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.05f);
}

TEST_F(ModuleFixture, InPlaceBuffersGiveTheSameOutput)
{
    const tools::AudioBuffer input = tools::Signals::guitarRiff(5, 44100, 1280 * 34);  // whole blocks only
    tools::RenderPlan plan;
    plan.blockSizes = {256, 1024};
    const tools::AudioBuffer separate = render(input, plan);
    plan.inPlace = true;
    const tools::AudioBuffer shared = render(input, plan);
    EXPECT_EQ(separate.channels, shared.channels);
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
    for (float rate : {384001.0f, 768000.0f, 1e9f, 3e38f})
        EXPECT_EQ(renderAtRates(module, {rate}), at384000) << rate;
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
