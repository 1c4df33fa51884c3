// The host against modules it did not come with: ZamTube (one in, one out, names
// longer than 8 characters) and LSP's modules, loaded through tw07-host itself.

#include "tests/host/HostRun.h"
#include "tools/audio/AudioFile.h"
#include "tools/host/HostModule.h"
#include "tools/audio/Levels.h"
#include "tools/render/RenderOptions.h"
#include "tools/audio/Signals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace {

using hosttest::HostRun;
using hosttest::runHost;
using tools::AudioBuffer;
using tools::AudioFile;

const std::string kZamTube = "/usr/lib/vst/ZamTube-vst.so";
const std::string kLspDirectory = "/usr/lib/vst/lsp-plugins";

class TempDir {
public:
    TempDir() : path(std::filesystem::temp_directory_path() / ("tw07-host-module-" + std::to_string(getpid())))
    {
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }

private:
    std::filesystem::path path;
};

TEST(ThirdPartyModules, ZamTubeInfo)
{
    ASSERT_TRUE(std::filesystem::exists(kZamTube)) << kZamTube << " is missing: run scripts/setup.sh";

    tools::HostModule module(kZamTube);
    tools::HostContext context;
    auto effect = module.instantiate(context);
    EXPECT_EQ(effect->effectName(), "ZamTube");
    EXPECT_FALSE(effect->vendorString().empty());
    EXPECT_EQ(effect->numInputs(), 1);
    EXPECT_EQ(effect->numOutputs(), 1);
    ASSERT_GT(effect->numParams(), 0);
    for (int i = 0; i < effect->numParams(); ++i) EXPECT_FALSE(effect->paramName(i).empty()) << i;
    // Longer than the 8 characters a host is promised: the large buffer keeps it whole.
    EXPECT_EQ(effect->paramName(0), "Tube Drive");
    EXPECT_EQ(tools::RenderOptions::findParameter({effect->paramName(0)}, "tube drive"), 0);

    const HostRun json = runHost("info " + kZamTube + " --json");
    EXPECT_EQ(json.status, 0) << json.out;
    EXPECT_NE(json.out.find("\"effectName\": \"ZamTube\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"name\": \"Tube Drive\""), std::string::npos) << json.out;
    const HostRun text = runHost("info " + kZamTube);
    EXPECT_EQ(text.status, 0) << text.out;
    EXPECT_NE(text.out.find("ZamTube"), std::string::npos) << text.out;
}

TEST(ThirdPartyModules, ZamTubeRender)
{
    ASSERT_TRUE(std::filesystem::exists(kZamTube)) << kZamTube << " is missing: run scripts/setup.sh";
    TempDir dir;
    const AudioBuffer input = tools::Signals::guitarRiff(4, 44100, 44100 * 2, 2);
    AudioFile::write(dir.file("in.wav"), input);

    const HostRun run = runHost("render " + kZamTube + " " + dir.file("in.wav") + " " + dir.file("out.wav") +
                                " --set \"Tube Drive=0.9\" --block 37,128,1000 --set-at 1s:Bass=1");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, "");  // quiet without -v
    const AudioBuffer output = AudioFile::read(dir.file("out.wav"));
    EXPECT_EQ(output.sampleRate, 44100);
    ASSERT_EQ(output.numChannels(), 1);
    ASSERT_EQ(output.numFrames(), input.numFrames());
    const auto level = tools::Levels::measure(output)[0];
    EXPECT_TRUE(level.finite);
    EXPECT_GT(level.rms, 1e-4);
    double difference = 0.0;
    for (std::int64_t i = 0; i < output.numFrames(); ++i) {
        difference += std::fabs(output.channels[0][i] - input.channels[0][i]);
    }
    EXPECT_GT(difference / static_cast<double>(output.numFrames()), 1e-3);

    const HostRun verbose =
        runHost("render " + kZamTube + " " + dir.file("in.wav") + " " + dir.file("out2.wav") + " -v");
    EXPECT_EQ(verbose.status, 0) << verbose.out;
    EXPECT_NE(verbose.out.find("ZamTube"), std::string::npos);

    // Mistakes are refused before anything is written.
    for (const char* bad : {" --set Nonexistent=0.5", " --set 99=0.5", " --set-at 10s:0=1", " --block 0"}) {
        const HostRun refused =
            runHost("render " + kZamTube + " " + dir.file("in.wav") + " " + dir.file("bad.wav") + bad);
        EXPECT_EQ(refused.status, 2) << bad << ": " << refused.out;
        EXPECT_FALSE(std::filesystem::exists(dir.file("bad.wav"))) << bad;
    }
    EXPECT_EQ(runHost("render /nonexistent.so " + dir.file("in.wav") + " " + dir.file("bad.wav")).status, 1);
}

TEST(ThirdPartyModules, DemoWritesBothFiles)
{
    ASSERT_TRUE(std::filesystem::exists(kZamTube)) << kZamTube << " is missing: run scripts/setup.sh";
    TempDir dir;
    const HostRun run = runHost("demo " + kZamTube + " --seconds 1 --out-dir " + dir.file("demo"));
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("realtime"), std::string::npos) << run.out;
    EXPECT_EQ(AudioFile::read(dir.file("demo/demo-in.wav")).numFrames(), 48000);
    EXPECT_EQ(AudioFile::read(dir.file("demo/demo-out.wav")).numFrames(), 48000);
}

TEST(ThirdPartyModules, LspModulesLoad)
{
    ASSERT_TRUE(std::filesystem::is_directory(kLspDirectory)) << kLspDirectory << " is missing: run scripts/setup.sh";
    int checked = 0;
    for (const char* name : {"compressor-stereo.so", "graph-equalizer-x16-mono.so", "limiter-stereo.so"}) {
        const std::string path = kLspDirectory + "/" + name;
        SCOPED_TRACE(path);
        ASSERT_TRUE(std::filesystem::exists(path));
        // These modules leave allocations behind at unloading; that is not the host's to report.
        const HostRun run = runHost("info " + path + " --json", "LSAN_OPTIONS=detect_leaks=0");
        EXPECT_EQ(run.status, 0) << run.out;
        EXPECT_NE(run.out.find("\"vendor\": \"LSP"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("\"parameters\": [\n"), std::string::npos);
        ++checked;
    }
    EXPECT_EQ(checked, 3);
}

}  // namespace
