// The Windows module's audio under Wine: sane output at the rates hosts use most, and the
// same output as the Linux module on the same input up to the C libraries' rounding.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/audio/AudioFile.h"
#include "tools/render/RenderJob.h"
#include "tools/render/RenderOptions.h"
#include "tools/audio/Signals.h"

namespace {

TEST(WindowsOutput, FiniteBoundedAndAudibleAtTheCommonRates)
{
    for (const int rate : {44100, 48000, 96000}) {
        SCOPED_TRACE(rate);
        const tools::AudioBuffer input = tools::Signals::guitarRiff(7, rate, rate * 2);
        for (const float drive : {0.35f, 1.0f}) {
            tools::RenderOptions options;
            options.settings.push_back({"Drive", drive});
            const tools::RenderOutcome outcome = tools::renderThroughModule(TW07_MODULE_PATH, input, options, false);
            ASSERT_EQ(outcome.output.numChannels(), 2);
            float peak = 0.0f;
            for (const auto& channel : outcome.output.channels) {
                for (const float v : channel) {
                    ASSERT_TRUE(std::isfinite(v));
                    peak = std::max(peak, std::fabs(v));
                }
            }
            // The final clipper holds about +-1; the anti-alias filter overshoots a little.
            EXPECT_LE(peak, 4.0f) << "drive " << drive;
            EXPECT_GT(peak, 0.05f) << "drive " << drive;
        }
    }
}

// Within the C maths libraries' rounding of the Linux module's output.
void expectCloseToLinux(const tools::AudioBuffer& linuxOut, const tools::AudioBuffer& windowsOut)
{
    ASSERT_EQ(windowsOut.numChannels(), linuxOut.numChannels());
    ASSERT_EQ(windowsOut.numFrames(), linuxOut.numFrames());

    double maxDiff = 0.0;
    double worstLevelDb = 0.0;
    double diffSquares = 0.0;
    for (int c = 0; c < linuxOut.numChannels(); ++c) {
        double linuxSquares = 0.0;
        double windowsSquares = 0.0;
        for (long i = 0; i < linuxOut.numFrames(); ++i) {
            const double a = linuxOut.channels[c][i];
            const double b = windowsOut.channels[c][i];
            maxDiff = std::max(maxDiff, std::fabs(a - b));
            diffSquares += (a - b) * (a - b);
            linuxSquares += a * a;
            windowsSquares += b * b;
        }
        const double levelDb = 10.0 * std::log10(windowsSquares / linuxSquares);
        worstLevelDb = std::max(worstLevelDb, std::fabs(levelDb));
    }
    const double rmsDiff = std::sqrt(diffSquares / (double(linuxOut.numFrames()) * linuxOut.numChannels()));
    std::printf("Windows vs Linux: max |diff| %.3g, RMS diff %.3g, level difference %.3g dB\n", maxDiff, rmsDiff,
                worstLevelDb);
    ::testing::Test::RecordProperty("max_abs_diff", std::to_string(maxDiff));
    ::testing::Test::RecordProperty("rms_diff", std::to_string(rmsDiff));
    EXPECT_LE(maxDiff, 2e-3);
    EXPECT_LE(worstLevelDb, 0.05);
}

// The Linux module's render of the demo riff, in the folder named by TW07_LINUX_REFERENCE
// (tw07-host demo writes demo-in.wav and demo-out.wav there), rendered again here through
// each Windows module.
TEST(WindowsOutput, MatchesTheLinuxModule)
{
    const char* folder = std::getenv("TW07_LINUX_REFERENCE");
    if (folder == nullptr) GTEST_SKIP() << "TW07_LINUX_REFERENCE names no folder with the Linux module's render";
    const tools::AudioBuffer input = tools::AudioFile::read(std::string(folder) + "/demo-in.wav");
    const tools::AudioBuffer linuxOut = tools::AudioFile::read(std::string(folder) + "/demo-out.wav");
    for (const char* module : {TW07_MODULE_PATH, TW07_CLAP_PATH, TW07_VST3_PATH}) {
        SCOPED_TRACE(module);
        expectCloseToLinux(linuxOut, tools::renderThroughModule(module, input, tools::RenderOptions{}, false).output);
    }
}

}  // namespace
