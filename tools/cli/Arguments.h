#pragma once
// The words after a command's name, read in order. A command asks for the next
// word and, when it is an option that takes a value, for that value in the form
// it needs; every misuse is a UsageError naming the option.
//
//   Arguments args(words);
//   while (args.more()) {
//       const std::string& word = args.next();
//       if (word == "--seed") seed = args.wholeNumber();
//       else args.positional();
//   }
//   const auto& paths = args.positionals(1, 2, "expected MODULE [IN]");

#include "tools/render/RenderOptions.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tools {

class Arguments {
public:
    explicit Arguments(std::vector<std::string> words);

    bool more() const { return position < words.size(); }
    // The next word: an option or a positional word.
    const std::string& next();

    // The value of the option just read; throws when the words end.
    const std::string& value();
    // The value as a decimal whole number (no sign).
    std::uint64_t wholeNumber();
    // The value as a number above 0 and at most `limit`.
    double positiveNumber(double limit);
    // The value as a comma-separated list; empty items are dropped.
    std::vector<std::string> list();

    // Takes what every command that renders accepts when it is next: a render option
    // (--set, --set-at, --block, --in-place) with its value, or -v/--verbose; false
    // when the next word is something else.
    bool take(RenderOptions& options, bool& verbose);

    // Keeps the word just read as positional; throws when it is an option (one
    // the command did not recognise).
    void positional();
    // The positional words; throws UsageError(`expected`) unless there are between `least` and `most`.
    const std::vector<std::string>& positionals(std::size_t least, std::size_t most, const std::string& expected) const;

    // A word that starts with '-' and is more than the dash ("-" alone names standard input).
    static bool isOption(const std::string& word);

private:
    const std::string& option() const;

    std::vector<std::string> words;
    std::size_t position = 0;
    std::vector<std::string> kept;
};

}  // namespace tools
