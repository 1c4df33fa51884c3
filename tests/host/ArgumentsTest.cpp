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
                    "load,,audio.", "-", "--in-place", "-v"});
    tools::RenderOptions render;
    bool verbose = false;
    std::uint64_t seed = 0;
    double seconds = 0.0;
    std::vector<std::string> only;
    while (args.more()) {
        if (args.take(render, verbose)) continue;
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
    EXPECT_TRUE(verbose);
    // A lone dash is a word, not an option.
    EXPECT_EQ(args.positionals(3, 3, "expected three"), (std::vector<std::string>{"mod.so", "in.wav", "-"}));
    EXPECT_EQ(refusal({}, [](Arguments& a) { a.positionals(1, 2, "expected MODULE [IN]"); }), "expected MODULE [IN]");
}

// Readers of an option and its value, or of one word as a positional one.
void wholeNumber(Arguments& args)
{
    args.next();
    args.wholeNumber();
}

void positiveUpTo3600(Arguments& args)
{
    args.next();
    args.positiveNumber(3600.0);
}

void anyValue(Arguments& args)
{
    args.next();
    args.value();
}

void positional(Arguments& args)
{
    args.next();
    args.positional();
}

TEST(Arguments, BadNumbersNameTheOption)
{
    for (const char* text : {"-1", "+1", "12x", "", " 3", "1.5", "99999999999999999999999"}) {
        EXPECT_EQ(refusal({"--seed", text}, wholeNumber), "--seed must be a whole number") << '"' << text << '"';
    }
    EXPECT_EQ(refusal({"--seed", "18446744073709551615"}, wholeNumber), "");
    for (const char* text : {"0", "-2", "nan", "inf", "1e400", "3600.5", "2s", ""}) {
        EXPECT_EQ(refusal({"--seconds", text}, positiveUpTo3600), "--seconds must be a positive number up to 3600")
            << '"' << text << '"';
    }
    EXPECT_EQ(refusal({"--seconds", "3600"}, positiveUpTo3600), "");
}

TEST(Arguments, MissingValuesAndUnknownOptions)
{
    EXPECT_EQ(refusal({"--seed"}, wholeNumber), "--seed needs a value");
    EXPECT_EQ(refusal({"--out-dir"}, anyValue), "--out-dir needs a value");
    tools::RenderOptions render;
    bool verbose = false;
    EXPECT_EQ(refusal({"--set"}, [&](Arguments& a) { a.take(render, verbose); }), "--set needs a value");
    EXPECT_EQ(refusal({"--bogus", "x"}, positional), "unknown option --bogus");
    EXPECT_EQ(refusal({"-v"}, positional), "unknown option -v");
}

}  // namespace
