#include "Arguments.h"

#include "tools/render/UsageError.h"

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace tools {

Arguments::Arguments(std::vector<std::string> words) : words(std::move(words)) {}

const std::string& Arguments::next()
{
    if (!more()) throw UsageError("missing argument");
    return words[position++];
}

const std::string& Arguments::option() const
{
    static const std::string none;
    return position > 0 ? words[position - 1] : none;
}

const std::string& Arguments::value()
{
    if (!more()) throw UsageError(option() + " needs a value");
    return words[position++];
}

std::uint64_t Arguments::wholeNumber()
{
    const std::string& name = option();
    const std::string& text = value();
    errno = 0;
    char* end = nullptr;
    const unsigned long long number = std::strtoull(text.c_str(), &end, 10);
    const bool digitFirst = !text.empty() && text[0] >= '0' && text[0] <= '9';
    if (!digitFirst || errno != 0 || *end != '\0') throw UsageError(name + " must be a whole number");
    return number;
}

double Arguments::positiveNumber(double limit)
{
    const std::string& name = option();
    const std::string& text = value();
    errno = 0;
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (text.empty() || errno != 0 || *end != '\0' || !(number > 0.0) || number > limit) {
        throw UsageError(name + " must be a positive number up to " + std::to_string(static_cast<long>(limit)));
    }
    return number;
}

std::vector<std::string> Arguments::list()
{
    const std::string& text = value();
    std::vector<std::string> items;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        if (comma > start) items.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return items;
}

bool Arguments::take(RenderOptions& options, bool& verbose)
{
    if (!more()) return false;
    if (words[position] == "-v" || words[position] == "--verbose") {
        verbose = true;
        ++position;
        return true;
    }
    return options.take(words, position);
}

void Arguments::positional()
{
    const std::string& word = option();
    if (isOption(word)) throw UsageError("unknown option " + word);
    kept.push_back(word);
}

const std::vector<std::string>& Arguments::positionals(std::size_t least, std::size_t most,
                                                       const std::string& expected) const
{
    if (kept.size() < least || kept.size() > most) throw UsageError(expected);
    return kept;
}

bool Arguments::isOption(const std::string& word) { return word.size() > 1 && word[0] == '-'; }

}  // namespace tools
