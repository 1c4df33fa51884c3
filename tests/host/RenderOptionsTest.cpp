#include "tools/render/RenderOptions.h"
#include "tools/render/UsageError.h"

#include <gtest/gtest.h>

namespace {

using tools::RenderOptions;
using tools::UsageError;

const std::vector<std::string> kNames = {"Drive",   "Compress", "Speed",   "Stereo",
                                         "Tone Lo", "Tone Mid", "Tone Hi", "Post gain"};

TEST(RenderOptions, BlockSizes)
{
    EXPECT_EQ(RenderOptions::parseBlockSizes("512"), std::vector<int>{512});
    EXPECT_EQ(RenderOptions::parseBlockSizes("37,128,1000"), (std::vector<int>{37, 128, 1000}));
    for (const char* bad : {"", "0", "-5", "12,", ",12", "1.5", "abc", "12 ,3", "99999999999", "2000000"}) {
        EXPECT_THROW(RenderOptions::parseBlockSizes(bad), UsageError) << bad;
    }
}

TEST(RenderOptions, ParametersByIndexAndName)
{
    EXPECT_EQ(RenderOptions::findParameter(kNames, "0"), 0);
    EXPECT_EQ(RenderOptions::findParameter(kNames, "7"), 7);
    EXPECT_THROW(RenderOptions::findParameter(kNames, "8"), UsageError);
    EXPECT_THROW(RenderOptions::findParameter(kNames, "99999999999999"), UsageError);

    EXPECT_EQ(RenderOptions::findParameter(kNames, "Drive"), 0);
    EXPECT_EQ(RenderOptions::findParameter(kNames, "post GAIN"), 7);
    // The module cut "Compression" to 8 characters; the full name still finds it.
    EXPECT_EQ(RenderOptions::findParameter(kNames, "Compression"), 1);
    EXPECT_EQ(RenderOptions::findParameter(kNames, "Tone M"), 5);
    EXPECT_EQ(RenderOptions::findParameter(kNames, "Spe"), 2);
    EXPECT_THROW(RenderOptions::findParameter(kNames, "Tone"), UsageError);    // three fit
    EXPECT_THROW(RenderOptions::findParameter(kNames, "S"), UsageError);       // Speed and Stereo
    EXPECT_THROW(RenderOptions::findParameter(kNames, "Drivel"), UsageError);  // short names are not cut names
    EXPECT_THROW(RenderOptions::findParameter(kNames, "Volume"), UsageError);

    // An exact name wins over a prefix of a longer one.
    EXPECT_EQ(RenderOptions::findParameter({"Gain 2", "Gain"}, "Gain"), 1);
}

TEST(RenderOptions, Assignments)
{
    auto a = RenderOptions::parseAssignment("Drive=0.8");
    EXPECT_EQ(a.parameter, "Drive");
    EXPECT_FLOAT_EQ(a.value, 0.8f);
    EXPECT_EQ(RenderOptions::parseAssignment("Tone Lo=1").parameter, "Tone Lo");
    EXPECT_EQ(RenderOptions::parseAssignment("3=0").value, 0.0f);
    for (const char* bad :
         {"Drive", "=0.5", "Drive=", "Drive=1.5", "Drive=-0.1", "Drive=nan", "Drive=0.5x", "Drive= 0.5"}) {
        EXPECT_THROW(RenderOptions::parseAssignment(bad), UsageError) << bad;
    }
}

TEST(RenderOptions, TimesToTheFrame)
{
    auto seconds = RenderOptions::parseTimedAssignment("1.5s:Drive=0.2");
    EXPECT_EQ(seconds.assignment.parameter, "Drive");
    EXPECT_EQ(seconds.frameAt(48000), 72000);
    EXPECT_EQ(seconds.frameAt(44100), 66150);
    EXPECT_EQ(RenderOptions::parseTimedAssignment("250ms:3=1").frameAt(44100), 11025);
    EXPECT_EQ(RenderOptions::parseTimedAssignment("0.00001s:3=1").frameAt(48000), 0);  // rounds to the nearest frame
    auto frames = RenderOptions::parseTimedAssignment("48000:3=1");
    EXPECT_EQ(frames.frameAt(44100), 48000);
    EXPECT_EQ(frames.assignment.parameter, "3");
    for (const char* bad :
         {"Drive=0.2", "1.5:Drive=0.2", "-1s:Drive=0.2", "s:Drive=0.2", "ms:Drive=0.2", "1h:Drive=0.2", "2s:Drive=3"}) {
        EXPECT_THROW(RenderOptions::parseTimedAssignment(bad), UsageError) << bad;
    }
}

TEST(RenderOptions, CommandLineTaking)
{
    const std::vector<std::string> args = {"in.wav", "--set",    "Drive=0.8", "--block", "37,128", "--in-place",
                                           "--host-flushes", "--set-at", "1s:0=1", "-v", "--set"};
    RenderOptions options;
    std::vector<std::string> rest;
    std::size_t i = 0;
    auto step = [&] {
        if (!options.take(args, i)) rest.push_back(args[i++]);
    };
    for (int n = 0; n < 7; ++n) step();
    EXPECT_EQ(rest, (std::vector<std::string>{"in.wav", "-v"}));
    EXPECT_EQ(options.blockSizes, (std::vector<int>{37, 128}));
    EXPECT_TRUE(options.inPlace);
    EXPECT_TRUE(options.hostFlushes);
    ASSERT_EQ(options.settings.size(), 1u);
    ASSERT_EQ(options.timedSettings.size(), 1u);
    EXPECT_THROW(step(), UsageError);  // --set without its value
}

}  // namespace
