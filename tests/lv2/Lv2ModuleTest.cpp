// The LV2 bundle as hosts see it: its data checked by Debian's LV2 tools, the module driven
// through lv2_descriptor as a host does, and its sound against the VST 2 module's, through
// our own runs and through lilv's lv2apply, which runs it one frame per call.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "kx/lv2/Lv2Interface.h"
#include "kx/Presets.h"
#include "tests/formats/Vst2Reference.h"
#include "tools/host/Lv2Plugin.h"
#include "tools/audio/AudioFile.h"
#include "tools/audio/Signals.h"
#include "tools/host/SharedLibrary.h"
#include "tools/validate/probes/ElfExports.h"

namespace {

using namespace kx::lv2;
using namespace formatstest;
namespace fs = std::filesystem;

constexpr const char* kUri = "https://tarnwell.com/plugins/tw07";
constexpr uint32_t kParameters = 8;
constexpr uint32_t kStereoPort = 3;

std::pair<std::string, int> run(const std::string& command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
    std::string output;
    char buffer[1024];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get())) output += buffer;
    const int status = pipe ? pclose(pipe.release()) : -1;
    return {output, status};
}

// A folder holding only the bundle, for LV2_PATH: lilv reads every folder in it as a bundle.
std::string lv2Path()
{
    static const fs::path folder = [] {
        const fs::path made = fs::temp_directory_path() / ("tw07-lv2-path-" + std::to_string(getpid()));
        fs::create_directories(made);
        fs::create_directory_symlink(TW07_LV2_BUNDLE, made / "tw07.lv2");
        return made;
    }();
    return "LV2_PATH='" + folder.string() + "' ";
}

// lv2_validate, lv2info and lv2apply come from Debian's lv2-dev and lilv-utils.
bool haveLv2Tools()
{
    return fs::exists("/usr/bin/lv2_validate") && fs::exists("/usr/bin/lv2info") && fs::exists("/usr/bin/lv2apply");
}

TEST(Lv2Bundle, ItsTurtleIsValidAndDescribesTheControlsAndPorts)
{
    if (!haveLv2Tools()) GTEST_SKIP() << "install lv2-dev and lilv-utils (scripts/setup.sh does)";
    const std::string bundle = TW07_LV2_BUNDLE;
    const auto [validation, status] = run("lv2_validate '" + bundle + "/manifest.ttl' '" + bundle + "/tw07.ttl'");
    EXPECT_EQ(status, 0) << validation;
    EXPECT_NE(validation.find("Found 0 errors"), std::string::npos) << validation;
    EXPECT_EQ(validation.find("warning"), std::string::npos) << validation;

    const auto [info, infoStatus] = run(lv2Path() + "lv2info " + kUri);
    ASSERT_EQ(infoStatus, 0) << info;
    for (const char* text :
         {"Name:              TW07 - distortion/sustainer", "Symbol:      drive", "Symbol:      post_gain",
          "Symbol:      in_l", "Symbol:      out_r", "Default:     0.350000",
          "http://lv2plug.in/ns/lv2core#hardRTCapable", "https://tarnwell.com/plugins/tw07#ui",
          "http://lv2plug.in/ns/extensions/ui#X11UI", "tw07_ui.so"})
        EXPECT_NE(info.find(text), std::string::npos) << text << "\n" << info;
    // "Stereo": an integer list of its three options.
    const std::size_t stereo = info.find("Port 3:");
    ASSERT_NE(stereo, std::string::npos) << info;
    const std::string port = info.substr(stereo, info.find("Port 4:") - stereo);
    for (const char* text : {"Symbol:      stereo", "Maximum:     2.000000", "0.0 = \"Stereo\"", "1.0 = \"Linked\"",
                             "2.0 = \"Mono\"", "lv2core#integer", "lv2core#enumeration"})
        EXPECT_NE(port.find(text), std::string::npos) << text << "\n" << port;
    EXPECT_EQ(tools::validate::exportedSymbols(bundle + "/tw07.so"), std::vector<std::string>{"lv2_descriptor"});
}

// The factory presets are in the bundle: lv2info lists them by name, and a host that restores
// one (through lilv, as the host tool does) gets every control's value of it.
TEST(Lv2Bundle, HoldsTheFactoryPresetsWithEveryControlsValue)
{
    const auto presets = kx::pluginPresets();
    if (haveLv2Tools()) {
        const auto [info, status] = run(lv2Path() + "lv2info " + kUri);
        ASSERT_EQ(status, 0) << info;
        const std::size_t listed = info.find("Presets:");
        ASSERT_NE(listed, std::string::npos) << info;
        for (const kx::Preset& preset : presets)
            EXPECT_NE(info.find(std::string(preset.name), listed), std::string::npos) << preset.name;
    }
    tools::lv2::Lv2Plugin host(TW07_LV2_BUNDLE);
    const std::vector<std::string> names = host.presets();
    ASSERT_EQ(names.size(), presets.size());
    for (const kx::Preset& preset : presets) {
        const auto found = std::find(names.begin(), names.end(), preset.name);
        ASSERT_NE(found, names.end()) << preset.name;
        ASSERT_TRUE(host.loadPreset(static_cast<int>(found - names.begin())));
        for (const kx::PresetValue& v : preset.values)
            EXPECT_EQ(host.getParameter(static_cast<int>(v.id)), v.value) << preset.key << " " << v.id;
    }
    EXPECT_FALSE(host.loadPreset(-1));
    EXPECT_FALSE(host.loadPreset(static_cast<int>(presets.size())));
}

// The module through its descriptor: an instance with all its ports connected.
class Instance {
public:
    explicit Instance(double rate = 48000.0) : library(std::string(TW07_LV2_BUNDLE) + "/tw07.so")
    {
        using Entry = const LV2_Descriptor* (*)(uint32_t);
        descriptor = library.function<Entry>("lv2_descriptor")(0);
        const LV2_Feature* const none[] = {nullptr};
        handle = descriptor->instantiate(descriptor, rate, TW07_LV2_BUNDLE "/", none);
        if (handle == nullptr) throw std::runtime_error("no instance");
        for (uint32_t p = 0; p < kParameters; ++p) descriptor->connect_port(handle, p, &controls[p]);
        controls = {0.35f, 0.6f, 0.75f, 0.0f, 0.5f, 0.5f, 0.5f, 0.4f};
        descriptor->activate(handle);
    }
    ~Instance()
    {
        descriptor->deactivate(handle);
        descriptor->cleanup(handle);
    }
    void connectAudio(const float* inL, const float* inR, float* outL, float* outR)
    {
        descriptor->connect_port(handle, kParameters, const_cast<float*>(inL));
        descriptor->connect_port(handle, kParameters + 1, const_cast<float*>(inR));
        descriptor->connect_port(handle, kParameters + 2, outL);
        descriptor->connect_port(handle, kParameters + 3, outR);
    }
    void run(uint32_t frames) { descriptor->run(handle, frames); }

    tools::SharedLibrary library;
    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle handle = nullptr;
    std::array<float, kParameters> controls{};
};

TEST(Lv2Module, RefusesRatesNoSignalPathRunsAtAndSurvivesOddRuns)
{
    tools::SharedLibrary library(std::string(TW07_LV2_BUNDLE) + "/tw07.so");
    const auto entry = library.function<const LV2_Descriptor* (*)(uint32_t)>("lv2_descriptor");
    ASSERT_NE(entry(0), nullptr);
    EXPECT_STREQ(entry(0)->URI, kUri);
    EXPECT_EQ(entry(1), nullptr);
    const LV2_Feature* const none[] = {nullptr};
    for (double rate : {0.0, -44100.0, std::nan(""), 1.0e12})
        EXPECT_EQ(entry(0)->instantiate(entry(0), rate, TW07_LV2_BUNDLE "/", none), nullptr) << rate;
    EXPECT_EQ(entry(0)->extension_data("http://lv2plug.in/ns/ext/state#interface"), nullptr);

    Instance plugin;
    std::vector<float> left(5000, 0.25f), right(5000, -0.25f), outL(5000), outR(5000);
    plugin.run(64);  // audio ports left unconnected: the controls only
    plugin.connectAudio(left.data(), right.data(), outL.data(), outR.data());
    plugin.controls[0] = std::nan("");
    plugin.controls[kStereoPort] = 7.0f;  // past the last option
    plugin.controls[7] = -3.0f;           // below the range
    for (uint32_t frames : {1u, 31u, 0u, 5000u}) plugin.run(frames);
    EXPECT_TRUE(std::all_of(outL.begin(), outL.end(), [](float x) { return std::isfinite(x); }));
    // In place: inputs and outputs share buffers.
    plugin.connectAudio(left.data(), right.data(), left.data(), right.data());
    plugin.run(512);
    EXPECT_TRUE(std::all_of(left.begin(), left.end(), [](float x) { return std::isfinite(x); }));
}

// Controls change between runs, where a host's run calls end: the VST 2 module's change between
// two calls at the same frame.
TEST(Lv2Sound, EqualsTheVst2ModuleBitForBitForAnyPartition)
{
    const std::vector<std::vector<int>> partitions = {{1}, {7}, {100}, {512}, {4097}, randomBlocks(3), randomBlocks(4)};
    for (int rate : {44100, 96000}) {
        const int64_t frames = rate * 2 / 5;
        const tools::AudioBuffer input = tools::Signals::guitarRiff(9, rate, frames, 2);
        for (std::size_t p = 0; p < partitions.size(); ++p) {
            const RenderRun plan{double(rate), 2, partitions[p], someChanges(frames, uint32_t(p + 10)), p % 2 == 0};
            Instance plugin(rate);
            std::size_t next = 0;
            const tools::AudioBuffer lv2 =
                renderInBlocks(input, plan, [&](int64_t position, int count, float** in, float** out) {
                    int done = 0;
                    while (done < count) {
                        for (; next < plan.changes.size() && plan.changes[next].frame <= position + done; ++next) {
                            const Change& c = plan.changes[next];
                            plugin.controls[static_cast<std::size_t>(c.index)] =
                                c.index == int(kStereoPort) ? c.normalised * 2.0f : c.normalised;
                        }
                        int upTo = count;
                        if (next < plan.changes.size() && plan.changes[next].frame < position + count)
                            upTo = static_cast<int>(plan.changes[next].frame - position);
                        plugin.connectAudio(in[0] + done, in[1] + done, out[0] + done, out[1] + done);
                        plugin.run(static_cast<uint32_t>(upTo - done));
                        done = upTo;
                    }
                });
            EXPECT_EQ(differingSamples(renderVst2(input, plan), lv2), 0) << rate << " Hz, partition " << p;
        }
    }
}

TEST(Lv2Sound, LilvsApplyRendersAsTheVst2ModuleDoesAtBlocksOf512)
{
    if (!haveLv2Tools()) GTEST_SKIP() << "install lilv-utils (scripts/setup.sh does)";
#if defined(TW07_SANITIZED_BUILD)
    GTEST_SKIP() << "lv2apply cannot load a sanitizer build of the bundle";
#endif
    const fs::path folder = fs::temp_directory_path() / ("tw07-lv2apply-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const tools::AudioBuffer input = tools::Signals::guitarRiff(2, 48000, 48000 * 2);
    tools::AudioFile::write((folder / "in.wav").string(), input);
    const auto [output, status] = run(lv2Path() + "lv2apply -i '" + (folder / "in.wav").string() + "' -o '" +
                                      (folder / "out.wav").string() + "' -c drive 0.8 -c stereo 1 " + kUri);
    ASSERT_EQ(status, 0) << output;
    const tools::AudioBuffer lv2apply = tools::AudioFile::read((folder / "out.wav").string());
    fs::remove_all(folder);
    RenderRun plan{48000.0, 2, {512}, {{0, 0, 0.8f}, {0, 3, 0.5f}}, false};
    EXPECT_EQ(differingSamples(renderVst2(input, plan), lv2apply), 0);
}

// The LV2_PATH folder goes with the process.
const struct RemoveLv2Path {
    ~RemoveLv2Path() { fs::remove_all(fs::temp_directory_path() / ("tw07-lv2-path-" + std::to_string(getpid()))); }
} removeLv2Path;

}  // namespace
