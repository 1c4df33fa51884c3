// tw07-host demo: renders a guitar riff (or a given file) through a module and
// prints the levels before and after and how fast the module ran.

#include "Arguments.h"
#include "Commands.h"
#include "tools/audio/AudioFile.h"
#include "tools/audio/Levels.h"
#include "tools/audio/Signals.h"
#include "tools/render/RenderJob.h"
#include "tools/render/RenderOptions.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

namespace tools {

namespace {

constexpr int kDemoRate = 48000;
constexpr double kDefaultSeconds = 6.0;

std::string channelName(int channel, int count)
{
    if (count == 2) return channel == 0 ? "L" : "R";
    return std::to_string(channel + 1);
}

std::string level(double linear)
{
    char text[48];
    const double db = Levels::toDbfs(linear);
    if (std::isinf(db))
        std::snprintf(text, sizeof text, "  -inf dBFS (%.4f)", linear);
    else
        std::snprintf(text, sizeof text, "%6.1f dBFS (%.4f)", db, linear);
    return text;
}

void printLevels(const char* name, const AudioBuffer& audio)
{
    const auto levels = Levels::measure(audio);
    for (int c = 0; c < audio.numChannels(); ++c) {
        const ChannelLevel& l = levels[static_cast<std::size_t>(c)];
        std::printf("  %-3s %-2s  %s   %s%s\n", name, channelName(c, audio.numChannels()).c_str(),
                    level(l.peak).c_str(), level(l.rms).c_str(), l.finite ? "" : "   NOT FINITE");
    }
}

}  // namespace

int runDemo(const std::vector<std::string>& words)
{
    RenderOptions options;
    bool verbose = false;
    std::string outDir = ".";
    double seconds = kDefaultSeconds;
    std::uint64_t seed = 1;
    Arguments args(words);
    while (args.more()) {
        if (args.take(options, verbose)) continue;
        const std::string& word = args.next();
        if (word == "--out-dir")
            outDir = args.value();
        else if (word == "--seconds")
            seconds = args.positiveNumber(3600.0);
        else if (word == "--seed")
            seed = args.wholeNumber();
        else
            args.positional();
    }
    const auto& positional = args.positionals(1, 2, "expected MODULE [IN]");
    const std::string& modulePath = positional[0];

    std::filesystem::create_directories(outDir);
    const std::filesystem::path inPath =
        positional.size() == 2 ? std::filesystem::path(positional[1]) : std::filesystem::path(outDir) / "demo-in.wav";
    const std::filesystem::path outPath = std::filesystem::path(outDir) / "demo-out.wav";

    AudioBuffer input;
    std::string source;
    if (positional.size() == 2) {
        input = AudioFile::read(inPath.string());
        source = "file";
    } else {
        const auto frames = static_cast<std::int64_t>(std::llround(seconds * kDemoRate));
        input = Signals::guitarRiff(seed, kDemoRate, frames, 2);
        AudioFile::write(inPath.string(), input);
        source = "plucked-string riff, seed " + std::to_string(seed);
    }

    const RenderOutcome outcome = renderThroughModule(modulePath, input, options, verbose);
    AudioFile::write(outPath.string(), outcome.output);

    const double audioSeconds = static_cast<double>(input.numFrames()) / input.sampleRate;
    std::printf("module   %s\n", modulePath.c_str());
    std::printf("effect   %s (%s)\n", outcome.effectName.c_str(), outcome.vendor.c_str());
    std::printf("input    %s  [%s] %.2f s, %d Hz, %d ch\n", inPath.string().c_str(), source.c_str(), audioSeconds,
                input.sampleRate, input.numChannels());
    std::printf("output   %s  %.2f s, %d ch\n", outPath.string().c_str(), audioSeconds, outcome.output.numChannels());
    for (const auto& setting : options.settings) {
        std::printf("set      %s = %g\n", setting.parameter.c_str(), static_cast<double>(setting.value));
    }
    for (const auto& timed : options.timedSettings) {
        std::printf("set at   frame %lld: %s = %g\n", static_cast<long long>(timed.frameAt(input.sampleRate)),
                    timed.assignment.parameter.c_str(), static_cast<double>(timed.assignment.value));
    }
    std::printf("levels          peak                      rms\n");
    printLevels("in", input);
    printLevels("out", outcome.output);
    std::printf("speed    %.2f s of audio in %.4f s CPU inside its process calls (%lld calls): %.1fx realtime\n",
                audioSeconds, outcome.stats.cpuSeconds, static_cast<long long>(outcome.stats.calls),
                outcome.stats.realtimeFactor(input.sampleRate));
    return 0;
}

}  // namespace tools
