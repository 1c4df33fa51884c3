// tw07-host compare on the validator's test effects: one that processes every
// frame and variants that process only whole blocks of 32 frames.

#include "tests/host/HostRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using hosttest::HostRun;
using hosttest::runHost;

const std::string kGood = BADFX_GOOD;

// The counts of the "total" line: cases that differ and differing samples.
std::pair<long, long> totals(const HostRun& run)
{
    const std::size_t at = run.out.find("total  ");
    long cases = -1;
    long samples = -1;
    if (at != std::string::npos) {
        std::sscanf(run.out.c_str() + at, "total  %ld of %*d cases differ; %ld of", &cases, &samples);
    }
    return {cases, samples};
}

TEST(CompareCommand, ModuleAgainstItselfHasNoDifferences)
{
    const HostRun run = runHost("compare " + kGood + " " + kGood);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(totals(run), std::make_pair(0L, 0L)) << run.out;
    EXPECT_TRUE(run.has("   1  44100  riff           defaults    512             separate  none      0 of 88192"))
        << run.out;
}

TEST(CompareCommand, WholeBlocksOnlyDifferOffTheGridAndAgreeOnIt)
{
    for (const char* module : {BADFX_DROPS_REMAINDER, BADFX_STALE_REMAINDER, BADFX_SKIPS_TAIL}) {
        SCOPED_TRACE(module);
        const HostRun all = runHost("compare " + kGood + " " + module);
        EXPECT_EQ(all.status, 1) << all.out;
        const auto [cases, samples] = totals(all);
        EXPECT_GT(cases, 0) << all.out;
        EXPECT_GT(samples, 0) << all.out;
        // Blocks of 33 frames lose one frame in 33 on each channel, and the last 8: 2 x (1336 + 8) samples.
        const std::string line = "44100  riff           defaults    33              separate  none      ";
        const std::size_t at = all.out.find(line);
        ASSERT_NE(at, std::string::npos) << all.out;
        const long differing = std::atol(all.out.c_str() + at + line.size());
        EXPECT_GT(differing, 2000) << all.out;
        EXPECT_LE(differing, 2688) << all.out;

        const HostRun grid = runHost("compare " + kGood + " " + module + " --grid -v");
        EXPECT_EQ(grid.status, 0) << grid.out;
        EXPECT_EQ(totals(grid), std::make_pair(0L, 0L)) << grid.out;
        EXPECT_TRUE(grid.has("cases, host calls in multiples of 32 frames")) << grid.out;
    }
}

TEST(CompareCommand, ModulesOfDifferentShapesAndBadCommandLinesAreRefused)
{
    const HostRun shapes = runHost("compare " + kGood + " " + TESTFX_PATH);
    EXPECT_EQ(shapes.status, 1) << shapes.out;
    EXPECT_TRUE(
        shapes.has("the modules cannot be compared: A has 2 inputs, 2 outputs, 2 parameters, "
                   "B has 2 inputs, 2 outputs, 3 parameters"))
        << shapes.out;
    EXPECT_EQ(runHost("compare /nonexistent.so " + kGood).status, 1);

    const std::string pair = kGood + " " + kGood;
    for (const std::string& arguments :
         {std::string("compare"), "compare " + kGood, "compare " + pair + " --fast", "compare " + pair + " " + kGood}) {
        const HostRun run = runHost(arguments);
        EXPECT_EQ(run.status, 2) << arguments << "\n" << run.out;
        EXPECT_TRUE(run.has("usage: tw07-host compare MODULE_A MODULE_B [--grid] [-v]")) << run.out;
    }
}

}  // namespace
