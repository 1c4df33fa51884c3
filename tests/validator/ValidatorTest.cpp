// The validator against test effects with one known fault each: the fault is
// caught by the check meant for it, a crash is one failed check and the run
// goes on, and a module without faults passes everything.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct Outcome {
    int status = -1;
    std::string output;

    bool has(const std::string& text) const { return output.find(text) != std::string::npos; }
};

Outcome validate(const std::string& module, const std::string& options)
{
    const std::string command =
        std::string(TW07_HOST_EXECUTABLE) + " validate --quick --seed 7 " + options + " " + module + " 2>&1";
    Outcome run;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    std::array<char, 4096> chunk{};
    while (std::fgets(chunk.data(), static_cast<int>(chunk.size()), pipe) != nullptr) run.output += chunk.data();
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(Validator, ModuleWithoutFaultsPassesEveryCheck)
{
    const Outcome run = validate(BADFX_GOOD, "");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_FALSE(run.has("FAIL")) << run.output;
    EXPECT_TRUE(run.has("SKIP  editor.lifecycle")) << run.output;
}

TEST(Validator, BufferAndStateFaultsAreCaughtByTheirChecks)
{
    struct Case {
        const char* module;
        const char* only;
        const char* failure;
    };
    const Case cases[] = {
        {BADFX_OVERRUN, "audio.blocks", "wrote output channel 0 at frame"},
        {BADFX_ALLOCATES, "realtime", "processReplacing (call 0 after resume): 1 allocation(s), 1 free(s)"},
        {BADFX_CHANGES_FPU, "signal.denormals", "changed the floating-point control state"},
        {BADFX_STICKY_NAN, "signal.non-finite", "after a 10 ms NaN burst the output is still not finite"},
        {BADFX_LONG_NAME, "params.texts", "\"Output gain level\" is 17 characters, the limit is 8"},
        {BADFX_THREAD, "load.scan", "loading and construction started 1 thread(s)"},
        {BADFX_X_AT_LOAD, "load.scan", "loading and construction connected to the X server 1 time(s)"},
        {BADFX_SLOW_SCAN, "load.scan", "construct and close took"},
        {BADFX_EXTRA_EXPORT, "load.exports", "exports 1 symbol(s) besides the entry points, e.g. badFxHelper"},
        {BADFX_PADDED_TEXT, "params.texts", "parameter display (index 0): wrote 24 bytes, past the 9-byte limit"},
        {BADFX_SLOW_SILENCE, "signal.denormals", "times a loud one (limit 2)"},
        {BADFX_RATE_UNCHECKED, "audio.bad-rates", "told 0 Hz only: output not finite at frame 0"},
    };
    for (const Case& c : cases) {
        const Outcome run = validate(c.module, std::string("--only ") + c.only);
        // Sanitizer builds cannot count allocations and say so.
        if (run.has(std::string("SKIP  ") + c.only)) continue;
        EXPECT_EQ(run.status, 1) << c.module << "\n" << run.output;
        EXPECT_TRUE(run.has(std::string("FAIL  ") + c.only)) << run.output;
        EXPECT_TRUE(run.has(c.failure)) << run.output;
        EXPECT_TRUE(run.has("reproduce: ")) << run.output;
    }
}

TEST(Validator, FramesBeyondWholeBlocksLeftUnwrittenSilentOrStaleFailNamingTheBlockSizes)
{
    struct Case {
        const char* module;
        int kind;  // which count must be non-zero: unwritten, silent, stale
    };
    const Case cases[] = {{BADFX_SKIPS_TAIL, 0}, {BADFX_DROPS_REMAINDER, 1}, {BADFX_STALE_REMAINDER, 2}};
    for (const Case& c : cases) {
        const Outcome run = validate(c.module, "--only audio.blocks");
        EXPECT_EQ(run.status, 1) << c.module << "\n" << run.output;
        EXPECT_TRUE(run.has("FAIL  audio.blocks")) << run.output;
        EXPECT_TRUE(run.has("reproduce: ")) << run.output;
        // Every size that is not a multiple of 32 is named, and only those.
        const std::string named =
            "fixed sizes: output not processed in host blocks of 1, 7, 17, 31, 33, 100 and 1000 "
            "frames (announced 8192): ";
        const std::size_t at = run.output.find(named);
        ASSERT_NE(at, std::string::npos) << run.output;
        long long counts[3] = {-1, -1, -1};
        ASSERT_EQ(std::sscanf(run.output.c_str() + at + named.size(),
                              "%lld sample(s) left unwritten, %lld silent and %lld stale", &counts[0], &counts[1],
                              &counts[2]),
                  3)
            << run.output;
        EXPECT_GT(counts[c.kind], 0) << run.output;
    }
}

TEST(Validator, CrashIsOneFailedCheckAndTheRunGoesOn)
{
    const Outcome run = validate(BADFX_UNCHECKED_INDEX, "--only params,signal.non-finite");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(run.has("FAIL  params.out-of-range")) << run.output;
    // A plain build reports the signal; under AddressSanitizer the child exits with its report.
    EXPECT_TRUE(run.has("crashed (Segmentation fault) while: setParameter and getParameter with index -1") ||
                run.has("exited with status 1 (-v shows the module's output) while: setParameter and getParameter "
                        "with index -1"))
        << run.output;
    EXPECT_TRUE(run.has("PASS  params.values")) << run.output;
    EXPECT_TRUE(run.has("PASS  signal.non-finite")) << run.output;
    EXPECT_TRUE(run.has("1 failed")) << run.output;
}

// Debian's zam-plugins build their CLAP factory to make a plug-in for any id, and offer no state.
TEST(Validator, ClapChecksRunOnAThirdPartyModuleAndReportWhatItGetsWrong)
{
    const std::string module = "/usr/lib/clap/ZamComp.clap";
    if (access(module.c_str(), R_OK) != 0) GTEST_SKIP() << module << " is absent: install zam-plugins";
    const Outcome run = validate(module, "--skip clap.editor");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(run.has("create_plugin made a plug-in for an id the factory does not offer")) << run.output;
    EXPECT_TRUE(run.has("SKIP  clap.state")) << run.output;
    for (const char* check : {"clap.texts", "clap.events", "clap.cycles", "clap.threads"})
        EXPECT_TRUE(run.has(std::string("PASS  ") + check)) << check << "\n" << run.output;
    EXPECT_FALSE(run.has("crashed")) << run.output;
}

TEST(Validator, UnknownCheckNameIsAUsageError)
{
    const Outcome run = validate(BADFX_GOOD, "--only no-such-check");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_TRUE(run.has("no check is called no-such-check")) << run.output;
}

}  // namespace
