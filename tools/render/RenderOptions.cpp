#include "RenderOptions.h"

#include "UsageError.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace tools {

namespace {

constexpr long kMaxBlockSize = 1 << 20;

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool isDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

double parseNumber(const std::string& text, const std::string& what)
{
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) {
        throw UsageError("missing number in " + what);
    }
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(value)) {
        throw UsageError("not a number: \"" + text + "\" in " + what);
    }
    return value;
}

}  // namespace

std::int64_t TimedAssignment::frameAt(int sampleRate) const
{
    return inSeconds ? static_cast<std::int64_t>(std::llround(seconds * sampleRate)) : frame;
}

bool RenderOptions::take(const std::vector<std::string>& args, std::size_t& i)
{
    const std::string& option = args[i];
    if (option == "--in-place" || option == "--host-flushes") {
        (option == "--in-place" ? inPlace : hostFlushes) = true;
        ++i;
        return true;
    }
    if (option != "--set" && option != "--set-at" && option != "--block" && option != "--preset") return false;
    if (i + 1 >= args.size()) throw UsageError(option + " needs a value");
    const std::string& value = args[i + 1];
    if (option == "--set")
        settings.push_back(parseAssignment(value));
    else if (option == "--set-at")
        timedSettings.push_back(parseTimedAssignment(value));
    else if (option == "--preset")
        preset = value;
    else
        blockSizes = parseBlockSizes(value);
    i += 2;
    return true;
}

std::vector<int> RenderOptions::parseBlockSizes(const std::string& text)
{
    std::vector<int> sizes;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!isDigits(item)) {
            throw UsageError("block sizes are positive whole numbers separated by commas: \"" + text + "\"");
        }
        const long size = item.size() > 7 ? kMaxBlockSize + 1 : std::strtol(item.c_str(), nullptr, 10);
        if (size < 1 || size > kMaxBlockSize) {
            throw UsageError("block size " + item + " is outside 1.." + std::to_string(kMaxBlockSize));
        }
        sizes.push_back(static_cast<int>(size));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return sizes;
}

ParameterAssignment RenderOptions::parseAssignment(const std::string& text)
{
    const std::size_t equals = text.rfind('=');
    if (equals == std::string::npos || equals == 0) throw UsageError("expected PARAMETER=VALUE, got \"" + text + "\"");
    ParameterAssignment assignment;
    assignment.parameter = text.substr(0, equals);
    const double value = parseNumber(text.substr(equals + 1), "\"" + text + "\"");
    if (value < 0.0 || value > 1.0) throw UsageError("parameter values are normalised to 0..1: \"" + text + "\"");
    assignment.value = static_cast<float>(value);
    return assignment;
}

TimedAssignment RenderOptions::parseTimedAssignment(const std::string& text)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) throw UsageError("expected TIME:PARAMETER=VALUE, got \"" + text + "\"");
    const std::string time = text.substr(0, colon);
    TimedAssignment timed;
    timed.assignment = parseAssignment(text.substr(colon + 1));
    if (isDigits(time)) {
        if (time.size() > 15) throw UsageError("frame number too large: " + time);
        timed.frame = std::strtoll(time.c_str(), nullptr, 10);
        return timed;
    }
    double scale = 0.0;
    std::string number;
    if (time.size() > 2 && time.ends_with("ms")) {
        scale = 1e-3;
        number = time.substr(0, time.size() - 2);
    } else if (time.size() > 1 && time.ends_with('s')) {
        scale = 1.0;
        number = time.substr(0, time.size() - 1);
    } else {
        throw UsageError("times are frames (48000), seconds (1.5s) or milliseconds (250ms): \"" + time + "\"");
    }
    const double seconds = parseNumber(number, "time \"" + time + "\"") * scale;
    if (seconds < 0.0 || seconds > 1e7) throw UsageError("time out of range: \"" + time + "\"");
    timed.inSeconds = true;
    timed.seconds = seconds;
    return timed;
}

int RenderOptions::findParameter(const std::vector<std::string>& names, const std::string& reference)
{
    const int count = static_cast<int>(names.size());
    if (isDigits(reference)) {
        const long index = reference.size() > 9 ? -1 : std::strtol(reference.c_str(), nullptr, 10);
        if (index < 0 || index >= count) {
            throw UsageError("parameter index " + reference + " is out of range (the module has " +
                             std::to_string(count) + ")");
        }
        return static_cast<int>(index);
    }

    const std::string wanted = lower(trimmed(reference));
    auto matches = [&](auto&& fits) {
        std::vector<int> found;
        for (int i = 0; i < count; ++i) {
            if (fits(trimmed(names[static_cast<std::size_t>(i)]))) found.push_back(i);
        }
        return found;
    };
    const std::vector<std::vector<int>> rounds = {
        matches([&](const std::string& name) { return name == trimmed(reference); }),
        matches([&](const std::string& name) { return lower(name) == wanted; }),
        matches([&](const std::string& name) {
            const std::string have = lower(name);
            if (have.empty() || wanted.empty()) return false;
            // A cut name is a prefix of the full one; an abbreviation is a prefix of the name.
            const bool cut = have.size() >= 8 && wanted.starts_with(have);
            return cut || have.starts_with(wanted);
        }),
    };
    for (const auto& found : rounds) {
        if (found.size() == 1) return found[0];
        if (found.size() > 1) {
            std::string list;
            for (int index : found) {
                list += (list.empty() ? "" : ", ") + std::to_string(index) + " \"" +
                        names[static_cast<std::size_t>(index)] + "\"";
            }
            throw UsageError("parameter \"" + reference + "\" is ambiguous: " + list);
        }
    }
    throw UsageError("the module has no parameter \"" + reference + "\"");
}

RenderPlan RenderOptions::resolve(Plugin& effect, int sampleRate, std::int64_t frames) const
{
    std::vector<std::string> names;
    for (int i = 0; i < effect.numParams(); ++i) names.push_back(effect.paramName(i));

    RenderPlan plan;
    plan.blockSizes = blockSizes;
    plan.inPlace = inPlace;
    plan.hostFlushes = hostFlushes;
    plan.announcedBlockSize = announcedBlockSize;
    if (!preset.empty()) {
        const std::vector<std::string> presets = effect.presets();
        if (presets.empty()) throw UsageError("--preset: the module offers no presets");
        try {
            plan.preset = findParameter(presets, preset);
        } catch (const UsageError&) {
            std::string list;
            for (const std::string& name : presets) list += (list.empty() ? "" : ", ") + name;
            throw UsageError("--preset: no preset \"" + preset + "\"; the module's are " + list);
        }
    }
    for (const auto& setting : settings) {
        plan.initial.push_back({findParameter(names, setting.parameter), setting.value});
    }
    for (const auto& timed : timedSettings) {
        const std::int64_t frame = timed.frameAt(sampleRate);
        if (frame >= frames) {
            throw UsageError("--set-at " + timed.assignment.parameter + " at frame " + std::to_string(frame) +
                             " lies past the end of the input (" + std::to_string(frames) + " frames)");
        }
        plan.changes.push_back({frame, findParameter(names, timed.assignment.parameter), timed.assignment.value});
    }
    return plan;
}

}  // namespace tools
