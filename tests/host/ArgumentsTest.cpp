// The command line shared by every tw07-host command.

#include "tools/cli/Arguments.h"
#include "tools/render/UsageError.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using tools::Arguments;
using tools::UsageError;

// The message of the UsageError `read` throws, or "" when it throws none.
std::string refusal(std::vector<std::string> words, const std::function<void(Arguments&)>& read)
{
    Arguments args(std::move(words));
    try {
        read(args);
    } catch (const UsageError& error) {
        return error.what();
    }
    return "";
}

TEST(Arguments, OptionsValuesAndPositionalWordsInAnyOrder)
{
    Arguments args({"mod.so", "--seed", "42", "--block", "64,32", "--seconds", "1.5", "in.wav", "--only",
                    "load,,audio.", "-", "--in-place"});
    tools::RenderOptions render;
    std::uint64_t seed = 0;
    double seconds = 0.0;
    std::vector<std::string> only;
    while (args.more()) {
        if (args.take(render)) continue;
        const std::string& word = args.next();
        if (word == "--seed")
            seed = args.wholeNumber();
        else if (word == "--seconds")
            seconds = args.positiveNumber(3600.0);
        else if (word == "--only")
            only = args.list();
        else
            args.positional();
    }
    EXPECT_EQ(seed, 42u);
    EXPECT_EQ(seconds, 1.5);
    EXPECT_EQ(only, (std::vector<std::string>{"load", "audio."}));
    EXPECT_EQ(render.blockSizes, (std::vector<int>{64, 32}));
    EXPECT_TRUE(render.inPlace);
    // A lone dash is a word, not an option.
    EXPECT_EQ(args.positionals(3, 3, "expected three"), (std::vector<std::string>{"mod.so", "in.wav", "-"}));
    EXPECT_EQ(refusal({}, [](Arguments& a) { a.positionals(1, 2, "expected MODULE [IN]"); }), "expected MODULE [IN]");
}

TEST(Arguments, BadNumbersNameTheOption)
{
    const auto seed = [](Arguments& a) {
        a.next();
        a.wholeNumber();
    };
    for (const char* text : {"-1", "+1", "12x", "", " 3", "1.5", "99999999999999999999999"}) {
        EXPECT_EQ(refusal({"--seed", text}, seed), "--seed must be a whole number") << '"' << text << '"';
    }
    EXPECT_EQ(refusal({"--seed", "18446744073709551615"}, seed), "");

    const auto seconds = [](Arguments& a) {
        a.next();
        a.positiveNumber(3600.0);
    };
    for (const char* text : {"0", "-2", "nan", "inf", "1e400", "3600.5", "2s", ""}) {
        EXPECT_EQ(refusal({"--seconds", text}, seconds), "--seconds must be a positive number up to 3600")
            << '"' << text << '"';
    }
    EXPECT_EQ(refusal({"--seconds", "3600"}, seconds), "");
}

TEST(Arguments, MissingValuesAndUnknownOptions)
{
    EXPECT_EQ(refusal({"--seed"},
                      [](Arguments& a) {
                          a.next();
                          a.wholeNumber();
                      }),
              "--seed needs a value");
    EXPECT_EQ(refusal({"--out-dir"},
                      [](Arguments& a) {
                          a.next();
                          a.value();
                      }),
              "--out-dir needs a value");
    tools::RenderOptions render;
    EXPECT_EQ(refusal({"--set"}, [&](Arguments& a) { a.take(render); }), "--set needs a value");
    EXPECT_EQ(refusal({"--bogus", "x"},
                      [](Arguments& a) {
                          a.next();
                          a.positional();
                      }),
              "unknown option --bogus");
    EXPECT_EQ(refusal({"-v"},
                      [](Arguments& a) {
                          a.next();
                          a.positional();
                      }),
              "unknown option -v");
}

}  // namespace
