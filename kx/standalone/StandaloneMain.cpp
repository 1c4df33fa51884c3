// The standalone program: the effect played live on a JACK server, with its editor in a
// window of its own and its settings kept between runs.

#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "kx/AudioPlugin.h"
#include "kx/Presets.h"
#include "kx/standalone/JackClient.h"
#include "kx/standalone/SettingsFile.h"
#include "kx/standalone/StandaloneEngine.h"
#include "kx/standalone/StandaloneOptions.h"
#if TW07_STANDALONE_WINDOW
#include "kx/standalone/MessageWindow.h"
#include "kx/standalone/StandaloneWindow.h"
#endif

namespace {

using namespace kx::standalone;

constexpr float kRateBeforeServer = 48000.0f;  // the effect exists before the server is asked
constexpr auto kPollPeriod = std::chrono::milliseconds(20);

enum ExitStatus { kExitNormal = 0, kExitServerGone = 1, kExitUsage = 2 };

volatile std::sig_atomic_t stopSignal = 0;

void onStopSignal(int signal) { stopSignal = signal; }

void catchStopSignals()
{
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

// The program's name, for messages and the settings folder: the effect's short name in lower case.
std::string programName(const kx::PluginDescriptor& descriptor)
{
    std::string name(descriptor.shortName);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

class Messages {
public:
    explicit Messages(std::string program) : program(std::move(program)) {}
    // Each line of `text` on its own line, after the program's name.
    void problem(const std::string& text) const { print(stderr, text); }
    void info(const std::string& text) const { print(stdout, text); }

private:
    void print(FILE* stream, const std::string& text) const
    {
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::fprintf(stream, "%s: %s\n", program.c_str(), text.substr(start, end - start).c_str());
            start = end + 1;
        }
        std::fflush(stream);
    }

    std::string program;
};

// "256 frames (5.3 ms)"
std::string describeFrames(int frames, float rate)
{
    char text[64];
    std::snprintf(text, sizeof text, "%d frames (%.1f ms)", frames, 1000.0 * frames / static_cast<double>(rate));
    return text;
}

std::string describeStream(float rate, int period)
{
    return std::to_string(static_cast<long>(rate)) + " Hz, period " + describeFrames(period, rate);
}

#if TW07_STANDALONE_WINDOW
// Started from a desktop menu, the program's messages reach no terminal: the reason it cannot
// play is shown in a window too, until the user closes it.
void showWhereNoTerminal(const StandaloneOptions& options, const kx::PluginDescriptor& descriptor,
                         const std::string& program, const std::string& reason)
{
    if (!options.editor || isatty(STDERR_FILENO) != 0) return;
    try {
        MessageWindow window(std::string(descriptor.name), reason, program, std::string(descriptor.shortName));
        while (stopSignal == 0 && window.poll()) std::this_thread::sleep_for(kPollPeriod);
    } catch (const std::exception&) {
        // No display: the message went to stderr, as without a window.
    }
}
#endif

int run(const StandaloneOptions& options, StandaloneEngine& engine, const std::string& program, const Messages& say)
{
    kx::AudioPlugin& effect = engine.effect();
    const kx::PluginDescriptor& descriptor = effect.descriptor();
    const SettingsFile settings(SettingsFile::defaultPath(program), static_cast<uint32_t>(descriptor.uniqueId));
    if (!options.reset) say.problem(settings.restore(engine.parameters()));
    if (!options.preset.empty()) applyPreset(options.preset, kx::pluginPresets(), engine.parameters());
    applyAssignments(options.assignments, engine.parameters());

    std::unique_ptr<JackClient> jack;
    try {
        jack = std::make_unique<JackClient>(program, engine);
    } catch (const std::exception& error) {
        say.problem(error.what());
#if TW07_STANDALONE_WINDOW
        std::string reason = "Cannot play: " + std::string(error.what()) + ".";
        // Started from the menu, it runs on PipeWire's JACK where that library is installed.
        if (dynamic_cast<const JackUnavailable*>(&error) != nullptr)
            reason += "\n\nOn a desktop with PipeWire, install pipewire-jack (its JACK library) and start " +
                      std::string(descriptor.shortName) + " again.";
        showWhereNoTerminal(options, descriptor, program, reason);
#endif
        return kExitUsage;
    }
    jack->activate();
    float rate = jack->sampleRate();
    int period = jack->period();
    say.info("playing as JACK client \"" + jack->clientName() + "\" at " + describeStream(rate, period));
    if (options.connect) {
        say.problem(jack->connectPhysical(options.captureInputs));
        say.info("round trip from capture to playback: " + describeFrames(jack->roundTripFrames(), rate));
    }

#if TW07_STANDALONE_WINDOW
    std::unique_ptr<StandaloneWindow> window;
    if (options.editor && descriptor.hasEditor && effect.editor() != nullptr) {
        try {
            const double scale = options.reset ? 0.0 : settings.restoreEditorScale();
            window = std::make_unique<StandaloneWindow>(*effect.editor(), std::string(descriptor.name), program,
                                                        std::string(descriptor.shortName), scale);
        } catch (const std::exception& error) {
            say.problem(std::string(error.what()) + "; playing without the editor");
        }
    }
#endif

    SettingsKeeper keeper(settings, engine.parameters());
    int status = kExitNormal;
    while (stopSignal == 0) {
        if (jack->serverGone()) {
            status = kExitServerGone;
            break;
        }
#if TW07_STANDALONE_WINDOW
        if (window && !window->poll()) break;
#endif
        if (jack->sampleRate() != rate || jack->period() != period) {
            rate = jack->sampleRate();
            period = jack->period();
            say.info("the server now runs at " + describeStream(rate, period));
        }
        say.problem(keeper.poll(SettingsKeeper::Clock::now()));
        std::this_thread::sleep_for(kPollPeriod);
    }

#if TW07_STANDALONE_WINDOW
    if (window && window->userScale() > 0.0) say.problem(settings.saveEditorScale(window->userScale()));
    window.reset();
#endif
    const std::string gone = jack->reason();
    jack.reset();
    const std::string saveProblem = keeper.saveNow();
    say.problem(saveProblem);
    if (status == kExitServerGone)
        say.problem("the JACK server went away" + (gone.empty() ? std::string() : " (" + gone + ")") +
                    (saveProblem.empty() ? "; the settings are saved" : ""));
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    catchStopSignals();
    const std::string program = programName(kx::pluginDescriptor());
    const Messages say(program);
    try {
        const StandaloneOptions options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
        StandaloneEngine engine(kRateBeforeServer);
        const kx::PluginDescriptor& descriptor = engine.effect().descriptor();
        if (options.help) {
            std::fputs(helpText(program, descriptor, engine.parameters()).c_str(), stdout);
            return kExitNormal;
        }
        if (options.listPresets) {
            std::fputs(presetList(kx::pluginPresets()).c_str(), stdout);
            return kExitNormal;
        }
        if (options.version) {
            std::printf("%s %.*s\n", program.c_str(), static_cast<int>(descriptor.version.size()),
                        descriptor.version.data());
            return kExitNormal;
        }
        return run(options, engine, program, say);
    } catch (const UsageError& error) {
        say.problem(std::string(error.what()) + "\n" + "try \"" + program + " --help\"");
        return kExitUsage;
    } catch (const std::exception& error) {
        say.problem(error.what());  // the server refused to start the client
        return kExitUsage;
    }
}
