// tw07-host with every format: ours against the VST 2 module, and a third party's CLAP module.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "tests/host/HostRun.h"
#include "tools/audio/AudioFile.h"
#include "tools/audio/Levels.h"

namespace {

using hosttest::HostRun;
using hosttest::runHost;

TEST(HostTool, CompareFindsNoDifferenceBetweenTheVst2ModuleAndEveryOtherFormat)
{
    for (const char* other : {TW07_CLAP_PATH, TW07_VST3_PATH, TW07_LV2_PATH}) {
        const HostRun run = runHost(std::string("compare ") + TW07_MODULE_PATH + " " + other);
        EXPECT_EQ(run.status, 0) << run.out;
        // 130 cases, and one per factory preset: loaded the format's own way, the VST 2 module given its values.
        EXPECT_TRUE(run.has("total  0 of 142 cases differ; 0 of")) << other << "\n" << run.out;
        EXPECT_TRUE(run.has("preset Full Saturation")) << other << "\n" << run.out;
    }
}

TEST(HostTool, InfoShowsTheClapDescriptorPortsConfigurationsAndParameters)
{
    const HostRun run = runHost(std::string("info ") + TW07_CLAP_PATH);
    EXPECT_EQ(run.status, 0) << run.out;
    for (const char* line :
         {"id              com.tarnwell.tw07", "name            TW07 - distortion/sustainer",
          "features        audio-effect, distortion, stereo", "audio inputs    Main in (2 channels, stereo, main)",
          "Mono to stereo (1 in, 2 out)", "latency         0", "parameters      8",
          "3  Stereo                   0 .. 2 stepped, default 0: Stereo",
          "7  Post gain                0 .. 1, default 0.4: -26.00 dB"})
        EXPECT_TRUE(run.has(line)) << line << "\n" << run.out;
}

// Debian's zam-plugins: a stereo compressor with a side-chain port, which the tool feeds silence.
TEST(HostTool, RendersThroughAThirdPartyClapModuleWithASideChain)
{
    const std::string module = "/usr/lib/clap/ZamCompX2.clap";
    if (!std::filesystem::exists(module)) GTEST_SKIP() << module << " is absent: install zam-plugins";
    const auto folder = std::filesystem::temp_directory_path() / ("tw07-clap-tool-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const HostRun demo = runHost("demo " + module + " --seconds 1 --out-dir " + folder.string());
    ASSERT_EQ(demo.status, 0) << demo.out;
    const tools::AudioBuffer out = tools::AudioFile::read((folder / "demo-out.wav").string());
    std::filesystem::remove_all(folder);
    ASSERT_EQ(out.numChannels(), 2);
    for (const tools::ChannelLevel& level : tools::Levels::measure(out)) {
        EXPECT_TRUE(level.finite);
        EXPECT_GT(level.peak, 0.01);
        EXPECT_LT(level.peak, 2.0);
    }
    const HostRun info = runHost("info " + module);
    EXPECT_TRUE(info.has("Sidechain Input (1 channels)")) << info.out;
}

}  // namespace
