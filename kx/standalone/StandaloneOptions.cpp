#include "kx/standalone/StandaloneOptions.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace kx::standalone {

namespace {

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int parameterNamed(const Parameters& parameters, std::string_view name)
{
    for (int i = 0; i < parameters.count(); ++i) {
        const ParameterDescriptor& d = parameters.descriptors[static_cast<std::size_t>(i)];
        if (sameName(d.name, name) || d.symbol == name) return i;
    }
    return -1;
}

// A number and nothing else, as strtod reads it in the C locale.
bool plainNumber(const std::string& text, float& value)
{
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return false;
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return false;
    value = static_cast<float>(parsed);
    return true;
}

std::string names(const Parameters& parameters)
{
    std::string list;
    for (const ParameterDescriptor& d : parameters.descriptors) list += (list.empty() ? "" : ", ") + d.name;
    return list;
}

// The options that take no value: each sets one member.
struct Flag {
    std::string_view word;
    bool StandaloneOptions::*member;
    bool value;
};
constexpr Flag kFlags[] = {
    {"--help", &StandaloneOptions::help, true},         {"-h", &StandaloneOptions::help, true},
    {"--version", &StandaloneOptions::version, true},   {"--connect", &StandaloneOptions::connect, true},
    {"--no-editor", &StandaloneOptions::editor, false}, {"--reset", &StandaloneOptions::reset, true},
    {"--list-presets", &StandaloneOptions::listPresets, true},
};

const Flag* flagNamed(std::string_view word)
{
    for (const Flag& flag : kFlags)
        if (flag.word == word) return &flag;
    return nullptr;
}

}  // namespace

StandaloneOptions parseOptions(const std::vector<std::string>& arguments)
{
    StandaloneOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= arguments.size()) throw UsageError(word + " needs a value");
            return arguments[++i];
        };
        if (const Flag* flag = flagNamed(word)) {
            options.*(flag->member) = flag->value;
        } else if (word == "--input") {
            const std::string& count = value();
            if (count != "1" && count != "2") throw UsageError("--input takes 1 or 2, not \"" + count + "\"");
            options.captureInputs = count[0] - '0';
            options.connect = true;
        } else if (word == "--preset") {
            options.preset = value();
        } else if (word == "--set") {
            const std::string& assignment = value();
            const std::size_t equals = assignment.find('=');
            if (equals == std::string::npos || equals == 0)
                throw UsageError("--set takes NAME=VALUE, not \"" + assignment + "\"");
            options.assignments.emplace_back(assignment.substr(0, equals), assignment.substr(equals + 1));
        } else {
            throw UsageError("unknown option \"" + word + "\"");
        }
    }
    return options;
}

void applyAssignments(const std::vector<std::pair<std::string, std::string>>& assignments, Parameters& parameters)
{
    for (const auto& [name, text] : assignments) {
        const int index = parameterNamed(parameters, name);
        if (index < 0) throw UsageError("no parameter \"" + name + "\"; the parameters are " + names(parameters));
        float value = 0.0f;
        if (plainNumber(text, value)) {
            if (!(value >= 0.0f && value <= 1.0f))
                throw UsageError("a plain number for " + name + " is its normalised value, within 0..1: \"" + text +
                                 "\"");
        } else if (const std::optional<float> parsed = parameters.parse(index, text)) {
            value = *parsed;
        } else {
            throw UsageError("\"" + text + "\" is no value of " + name);
        }
        parameters.setValue(index, value);
    }
}

void applyPreset(const std::string& name, std::span<const Preset> presets, Parameters& parameters)
{
    const int index = findPreset(presets, name);
    if (index < 0) throw UsageError("no preset \"" + name + "\"; --list-presets lists them");
    kx::applyPreset(presets[static_cast<std::size_t>(index)], parameters);
}

std::string presetList(std::span<const Preset> presets)
{
    std::size_t width = 0;
    for (const Preset& preset : presets) width = std::max(width, preset.key.size());
    std::string text;
    for (const Preset& preset : presets) {
        text += std::string(preset.key) + std::string(width + 2 - preset.key.size(), ' ') + std::string(preset.name) +
                ": " + std::string(preset.purpose) + "\n";
    }
    return text;
}

std::string helpText(const std::string& program, const PluginDescriptor& descriptor, const Parameters& parameters)
{
    std::string text = std::string(descriptor.name) + " " + std::string(descriptor.version) +
                       ", standalone: plays its inputs through the effect, live, as a JACK client.\n\n"
                       "usage: " +
                       program +
                       " [OPTION]...\n\n"
                       "  --connect        connect the first physical capture port to both inputs (a guitar is\n"
                       "                   mono) and the outputs to the first two playback ports\n"
                       "  --input 2        with --connect: the first two capture ports, one per input\n"
                       "  --no-editor      run without a window (no display needed)\n"
                       "  --set NAME=VALUE set a parameter for this run, over the saved settings; VALUE is a\n"
                       "                   plain number within 0..1 (normalised) or as the editor shows it,\n"
                       "                   with its unit or an option's name: --set Drive=12dB --set Stereo=Mono\n"
                       "  --reset          start from the defaults instead of the saved settings\n"
                       "  --preset NAME    start from a factory preset (its key or its name), over the saved\n"
                       "                   settings and under --set: --preset crunch --set Drive=0.6\n"
                       "  --list-presets   print the factory presets and exit\n"
                       "  --version        print the version and exit\n"
                       "  --help           print this and exit\n\n"
                       "Ports: in_1, in_2, out_1, out_2. The sample rate and period are the server's, and\n"
                       "follow its changes. Closing the window, Ctrl-C or SIGTERM end the program.\n\n"
                       "The settings are saved in " +
                       "$XDG_CONFIG_HOME/" + program + "/settings (or ~/.config/" + program +
                       "/settings)\n"
                       "at the end and a few seconds after each change, and restored at the start. A file that\n"
                       "cannot be read is reported, moved aside (settings.damaged-DATE) and the defaults used.\n\n"
                       "The JACK server: jackd (JACK 2), or PipeWire's, through pw-jack " +
                       program +
                       " or with\npipewire-jack's libraries configured for all programs. JACK_DEFAULT_SERVER "
                       "names a server\nother than the default one.\n\n"
                       "Exit status: 0 at a normal end, 1 when the server went away while running, 2 when no\n"
                       "server is running or the command line is wrong.\n\nParameters: ";
    text += names(parameters) + ".\n";
    return text;
}

}  // namespace kx::standalone
