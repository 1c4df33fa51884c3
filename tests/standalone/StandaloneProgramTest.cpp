// The standalone program as a user runs it, on a JACK server of the test's own (the dummy
// driver: no sound card): its ports and connections, its sound against the offline render,
// its settings between runs, and how it ends.

#include <gtest/gtest.h>

#include <jack/jack.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tests/editor/EmptyWorkingFolder.h"
#include "JackServer.h"
#include "StandaloneWindowProbe.h"
#include "kx/Presets.h"
#include "kx/Settings.h"
#include "kx/standalone/StandaloneEngine.h"
#include "tests/formats/Vst2Reference.h"
#include "tools/audio/Signals.h"

namespace fs = std::filesystem;
using namespace standalonetest;
using namespace std::chrono_literals;

namespace {

// Every editor here opens in an empty folder it may not write to.
[[maybe_unused]] const auto* const workingFolder =
    ::testing::AddGlobalTestEnvironment(new editortest::EmptyWorkingFolder);

constexpr int kRate = 48000;
constexpr int kPeriod = 256;

struct StandaloneRun : ::testing::Test {
    fs::path folder = fs::temp_directory_path() / ("tw07-standalone-" + std::to_string(getpid()) + "-" +
                                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::path settingsFile = folder / "config" / "tw07" / "settings";
    std::unique_ptr<JackServer> server;

    void SetUp() override
    {
        for (const char* program : {"/usr/bin/jackd", "/usr/bin/jack_lsp", "/usr/bin/jack_wait"})
            if (!fs::exists(program)) GTEST_SKIP() << program << " is absent: install jackd2 (scripts/setup.sh does)";
        fs::remove_all(folder);
        fs::create_directories(folder);
        server = std::make_unique<JackServer>("tw07test-" + std::to_string(getpid()), kRate, kPeriod);
    }
    void TearDown() override
    {
        server.reset();
        fs::remove_all(folder);
    }
    std::unique_ptr<Program> start(std::vector<std::string> arguments,
                                   const std::vector<std::string>& environment = {}) const
    {
        return std::make_unique<Program>(TW07_STANDALONE, arguments, server->name(), folder, environment);
    }
    bool portsAppear() const
    {
        return eventually([&] { return server->connections().find("tw07:out_2") != std::string::npos; });
    }
    // Every parameter's value in the saved settings, by index.
    std::vector<float> saved() const
    {
        kx::standalone::StandaloneEngine engine(kRate);
        const std::string text = readText(settingsFile);
        std::vector<float> values;
        const std::vector<uint8_t> bytes(text.begin(), text.end());
        const kx::SettingsStatus status = kx::Settings::read(
            engine.parameters(), static_cast<uint32_t>(engine.effect().descriptor().uniqueId), bytes, values);
        EXPECT_EQ(status, kx::SettingsStatus::kLoaded) << kx::describe(status);
        return values;
    }
    static std::vector<float> defaults()
    {
        kx::standalone::StandaloneEngine engine(kRate);
        std::vector<float> values;
        for (int i = 0; i < engine.parameters().count(); ++i) values.push_back(engine.parameters().value(i));
        return values;
    }
};

// Lines of jack_lsp -c: the ports connected to `port`.
std::vector<std::string> connectedTo(const std::string& listing, const std::string& port)
{
    std::vector<std::string> peers;
    const std::size_t at = listing.find("\n" + port + "\n");
    if (at == std::string::npos) return peers;
    std::size_t line = at + port.size() + 2;
    while (line < listing.size() && listing[line] == ' ') {
        const std::size_t end = listing.find('\n', line);
        peers.push_back(
            listing.substr(listing.find_first_not_of(' ', line), end - listing.find_first_not_of(' ', line)));
        line = end + 1;
    }
    return peers;
}

TEST_F(StandaloneRun, ConnectsAGuitarToBothInputsOrTwoCapturePortsToOneEach)
{
    using Peers = std::vector<std::string>;
    {
        auto program = start({"--no-editor", "--connect"});
        ASSERT_TRUE(portsAppear()) << program->err();
        std::string listing;
        eventually([&] { return connectedTo(listing = "\n" + server->connections(), "tw07:out_2").size() == 1; });
        EXPECT_EQ(connectedTo(listing, "tw07:in_1"), Peers{"system:capture_1"});
        EXPECT_EQ(connectedTo(listing, "tw07:in_2"), Peers{"system:capture_1"});
        EXPECT_EQ(connectedTo(listing, "tw07:out_1"), Peers{"system:playback_1"});
        EXPECT_EQ(connectedTo(listing, "tw07:out_2"), Peers{"system:playback_2"});
        program->signal(SIGTERM);
        EXPECT_EQ(program->wait(10s), 0) << program->err();
        EXPECT_NE(program->out().find("48000 Hz, period 256 frames"), std::string::npos) << program->out();
        EXPECT_NE(program->out().find("round trip"), std::string::npos) << program->out();
    }
    {
        auto program = start({"--no-editor", "--connect", "--input", "2"});
        ASSERT_TRUE(portsAppear()) << program->err();
        std::string listing;
        eventually([&] { return connectedTo(listing = "\n" + server->connections(), "tw07:out_2").size() == 1; });
        EXPECT_EQ(connectedTo(listing, "tw07:in_1"), Peers{"system:capture_1"});
        EXPECT_EQ(connectedTo(listing, "tw07:in_2"), Peers{"system:capture_2"});
        program->signal(SIGINT);
        EXPECT_EQ(program->wait(10s), 0) << program->err();
    }
}

TEST_F(StandaloneRun, KeepsItsSettingsBetweenRunsAndStartsAfreshOnReset)
{
    auto first = start({"--no-editor", "--set", "Drive=12dB", "--set", "stereo=Mono", "--set", "Tone Hi=0.25"});
    ASSERT_TRUE(portsAppear()) << first->err();
    first->signal(SIGTERM);
    ASSERT_EQ(first->wait(10s), 0) << first->err();
    std::vector<float> expected = defaults();
    expected[0] = (12.0f + 20.0f) / 60.0f;  // Drive spans -20..40 dB
    expected[3] = 1.0f;                     // Stereo's last option
    expected[6] = 0.25f;
    ASSERT_EQ(saved(), expected);

    // Restored: saved again unchanged at the end.
    auto second = start({"--no-editor"});
    ASSERT_TRUE(portsAppear()) << second->err();
    second->signal(SIGINT);
    ASSERT_EQ(second->wait(10s), 0) << second->err();
    EXPECT_EQ(second->err(), "");
    EXPECT_EQ(saved(), expected);

    auto third = start({"--no-editor", "--reset", "--set", "Speed=1"});
    ASSERT_TRUE(portsAppear()) << third->err();
    third->signal(SIGTERM);
    ASSERT_EQ(third->wait(10s), 0) << third->err();
    expected = defaults();
    expected[2] = 1.0f;
    EXPECT_EQ(saved(), expected);
}

// A preset is where the run starts, under --set, and what the settings keep at the end.
TEST_F(StandaloneRun, StartsFromAPresetAndKeepsIt)
{
    auto program = start({"--no-editor", "--preset", "doom", "--set", "Speed=1"});
    ASSERT_TRUE(portsAppear()) << program->err();
    program->signal(SIGTERM);
    ASSERT_EQ(program->wait(10s), 0) << program->err();
    std::vector<float> expected(8);
    const kx::Preset& doom = kx::pluginPresets()[static_cast<std::size_t>(kx::findPreset(kx::pluginPresets(), "doom"))];
    for (const kx::PresetValue& v : doom.values) expected[v.id] = v.value;
    expected[2] = 1.0f;
    EXPECT_EQ(saved(), expected);

    auto refused = start({"--no-editor", "--preset", "nothing_like_it"});
    EXPECT_EQ(refused->wait(10s), 2);
    EXPECT_NE(refused->err().find("no preset \"nothing_like_it\""), std::string::npos) << refused->err();
    EXPECT_EQ(saved(), expected);

    auto list = start({"--list-presets"});
    EXPECT_EQ(list->wait(10s), 0);
    EXPECT_NE(list->out().find("doom"), std::string::npos) << list->out();
}

TEST_F(StandaloneRun, SetsADamagedSettingsFileAsideAndSaysSoInOneLine)
{
    fs::create_directories(settingsFile.parent_path());
    const std::string damaged = "KXST but not much else";
    std::ofstream(settingsFile, std::ios::binary) << damaged;
    auto program = start({"--no-editor"});
    ASSERT_TRUE(portsAppear()) << program->err();
    program->signal(SIGTERM);
    ASSERT_EQ(program->wait(10s), 0) << program->err();

    const std::string err = program->err();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find(settingsFile.string()), std::string::npos) << err;
    std::vector<fs::path> aside;
    for (const auto& entry : fs::directory_iterator(settingsFile.parent_path()))
        if (entry.path().filename().string().rfind("settings.damaged-", 0) == 0) aside.push_back(entry.path());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(readText(aside[0]), damaged);
    EXPECT_NE(err.find(aside[0].string()), std::string::npos) << err;
    EXPECT_EQ(saved(), defaults());
}

TEST_F(StandaloneRun, EndsWithStatus1AndSavedSettingsWhenTheServerGoesAway)
{
    auto program = start({"--no-editor", "--set", "Compression=0.125"});
    ASSERT_TRUE(portsAppear()) << program->err();
    server->stop();
    EXPECT_EQ(program->wait(15s), 1) << program->err();
    EXPECT_NE(program->err().find("the JACK server went away"), std::string::npos) << program->err();
    EXPECT_EQ(saved()[1], 0.125f);
}

TEST_F(StandaloneRun, SaysHowToStartAServerWhenNoneRuns)
{
    auto program = std::make_unique<Program>(TW07_STANDALONE, std::vector<std::string>{"--no-editor"},
                                             "tw07-no-such-server", folder);
    EXPECT_EQ(program->wait(10s), 2);
    const std::string err = program->err();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("jackd"), std::string::npos) << err;
    EXPECT_NE(err.find("PipeWire"), std::string::npos) << err;
}

// Started from a desktop menu, its messages reach no terminal (here they go to files): without a
// server it shows why in a window where the editor would have been, until the user closes it.
TEST_F(StandaloneRun, ShowsWhyItCannotPlayInTheEditorsPlaceWhenNoServerRuns)
{
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X display (the test runs under xvfb-run)";
    auto program =
        std::make_unique<Program>(TW07_STANDALONE, std::vector<std::string>{}, "tw07-no-such-server", folder);
    WindowProbe probe;
    unsigned long window = 0;
    ASSERT_TRUE(eventually([&] { return (window = probe.find("TW07 - distortion/sustainer")) != 0; }))
        << program->err();
    EXPECT_NE(program->err().find("no JACK server"), std::string::npos) << program->err();
    // Drawn: the background, the text and the button's face.
    ASSERT_TRUE(eventually([&] {
        const std::vector<uint32_t> pixels = probe.pixels(window);
        return std::set<uint32_t>(pixels.begin(), pixels.end()).size() >= 3;
    })) << "the window shows no text";
    probe.close(window);
    EXPECT_EQ(program->wait(10s), 2) << program->err();
}

// A player feeding the program and a recorder taking its output, two clients of the test's
// own. The server runs them in the order of the connections, player, program, recorder, in
// each period: the player notes where in the recording its signal begins.
class PlayAndRecord {
public:
    PlayAndRecord(const std::string& server, const tools::AudioBuffer& signal, int64_t capacity)
        : signal(signal), recording(tools::AudioBuffer::zeros(kRate, 2, capacity))
    {
        setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
        player = jack_client_open("player", JackNoStartServer, nullptr);
        recorder = jack_client_open("recorder", JackNoStartServer, nullptr);
        if (player == nullptr || recorder == nullptr) throw std::runtime_error("no test clients");
        for (int c = 0; c < 2; ++c) {
            const std::string n = std::to_string(c + 1);
            outs[c] = jack_port_register(player, ("out_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
            ins[c] = jack_port_register(recorder, ("in_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        }
        jack_set_process_callback(
            player, [](jack_nframes_t n, void* self) { return static_cast<PlayAndRecord*>(self)->play(n); }, this);
        jack_set_process_callback(
            recorder, [](jack_nframes_t n, void* self) { return static_cast<PlayAndRecord*>(self)->record(n); }, this);
        jack_set_xrun_callback(
            player, [](void* self) { return ++static_cast<PlayAndRecord*>(self)->xruns, 0; }, this);
        jack_activate(player);
        jack_activate(recorder);
        for (int c = 0; c < 2; ++c) {
            const std::string n = std::to_string(c + 1);
            jack_connect(player, ("player:out_" + n).c_str(), ("tw07:in_" + n).c_str());
            jack_connect(recorder, ("tw07:out_" + n).c_str(), ("recorder:in_" + n).c_str());
        }
    }
    ~PlayAndRecord()
    {
        jack_client_close(player);
        jack_client_close(recorder);
    }
    void go() { playing.store(true); }
    bool done() const { return recorded.load() >= signalStart.load() + signal.numFrames() && started.load(); }
    jack_client_t* client() const { return player; }
    int lateCycles() const { return xruns.load(); }
    // The recording from where the signal began, as long as the signal.
    tools::AudioBuffer take() const
    {
        tools::AudioBuffer out = tools::AudioBuffer::zeros(kRate, 2, signal.numFrames());
        for (int c = 0; c < 2; ++c)
            std::copy_n(recording.channels[c].begin() + signalStart.load(), signal.numFrames(),
                        out.channels[c].begin());
        return out;
    }

private:
    int play(jack_nframes_t frames)
    {
        if (playing.load() && !started.load()) {
            signalStart.store(recorded.load());
            started.store(true);
        }
        for (int c = 0; c < 2; ++c) {
            auto* out = static_cast<float*>(jack_port_get_buffer(outs[c], frames));
            for (jack_nframes_t n = 0; n < frames; ++n) {
                const int64_t at = position + static_cast<int64_t>(n);
                out[n] =
                    started.load() && at < signal.numFrames() ? signal.channels[c][static_cast<std::size_t>(at)] : 0.0f;
            }
        }
        if (started.load()) position += frames;
        return 0;
    }
    int record(jack_nframes_t frames)
    {
        const int64_t at = recorded.load();
        if (at + frames > recording.numFrames()) return 0;
        for (int c = 0; c < 2; ++c) {
            const auto* in = static_cast<const float*>(jack_port_get_buffer(ins[c], frames));
            std::copy_n(in, frames, recording.channels[c].begin() + at);
        }
        recorded.store(at + frames);
        return 0;
    }

    const tools::AudioBuffer& signal;
    tools::AudioBuffer recording;
    jack_client_t* player = nullptr;
    jack_client_t* recorder = nullptr;
    jack_port_t* outs[2] = {};
    jack_port_t* ins[2] = {};
    std::atomic<bool> playing{false};
    std::atomic<bool> started{false};
    int64_t position = 0;  // player's thread
    std::atomic<int64_t> recorded{0};
    std::atomic<int64_t> signalStart{0};
    std::atomic<int> xruns{0};
};

// The signal after `silence` frames of silence, through the VST 2 module in blocks of a period.
tools::AudioBuffer offlineRender(const tools::AudioBuffer& signal, int64_t silence)
{
    tools::AudioBuffer input = tools::Signals::silence(kRate, silence + signal.numFrames(), 2);
    for (int c = 0; c < 2; ++c)
        std::copy(signal.channels[c].begin(), signal.channels[c].end(), input.channels[c].begin() + silence);
    const tools::AudioBuffer rendered = formatstest::renderVst2(input, {kRate, 2, {kPeriod}, {}, false});
    tools::AudioBuffer output = tools::AudioBuffer::zeros(kRate, 2, signal.numFrames());
    for (int c = 0; c < 2; ++c)
        std::copy(rendered.channels[c].begin() + silence, rendered.channels[c].end(), output.channels[c].begin());
    return output;
}

// The program ran on silence for a time the test knows only roughly. The effect eases its
// controls in from its start and rests where it stays after a few seconds (the offline renders
// after 3 and 6 s of silence are equal), but its filters' last traces of silence may differ in
// the lowest bits of the first samples. From half a second into the signal it is bit for bit.
TEST_F(StandaloneRun, PlaysWhatTheOfflineRenderGivesThroughAPeriodChange)
{
    constexpr int64_t kSettled = 3 * kRate;
    constexpr int64_t kHalfSecond = kRate / 2;
    const tools::AudioBuffer signal = tools::Signals::guitarRiff(7, kRate, kRate * 3, 2);
    const tools::AudioBuffer expected = offlineRender(signal, kSettled);
    ASSERT_EQ(formatstest::differingSamples(offlineRender(signal, 2 * kSettled), expected), 0);

    auto program = start({"--no-editor", "--reset"});
    ASSERT_TRUE(portsAppear()) << program->err();
    PlayAndRecord clients(server->name(), signal, kRate * 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000 * kSettled / kRate));
    clients.go();
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(jack_set_buffer_size(clients.client(), 128), 0);
    ASSERT_TRUE(eventually([&] { return clients.done(); }, 15s));
    program->signal(SIGTERM);
    EXPECT_EQ(program->wait(10s), 0) << program->err();
    EXPECT_NE(program->out().find("period 128 frames"), std::string::npos) << program->out();

    const tools::AudioBuffer recorded = clients.take();
    for (std::size_t c = 0; c < 2; ++c) {
        for (int64_t n = 0; n < signal.numFrames(); ++n) {
            const float got = recorded.channels[c][static_cast<std::size_t>(n)];
            const float want = expected.channels[c][static_cast<std::size_t>(n)];
            if (n < kHalfSecond)
                ASSERT_NEAR(got, want, 1e-3)
                    << "channel " << c << " frame " << n << ", " << clients.lateCycles() << " late cycles";
            else
                ASSERT_EQ(got, want) << "channel " << c << " frame " << n << ", " << clients.lateCycles()
                                     << " late cycles";
        }
    }
}

// The editor in a window of its own, on the virtual X server: its title and size, meters and
// scope moving with the sound, and closing it ending the program with its settings saved.
TEST_F(StandaloneRun, ShowsTheEditorLiveAndEndsWhenItsWindowIsClosed)
{
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X display (the test runs under xvfb-run)";
    // The OpenGL driver, unloaded when the editor's last window closes, leaves memory behind that
    // LeakSanitizer counts; the runs without the editor check the program's own.
    auto program = start({"--set", "Drive=0.75"}, {"LSAN_OPTIONS=detect_leaks=0"});
    ASSERT_TRUE(portsAppear()) << program->err();
    WindowProbe probe;
    unsigned long window = 0;
    ASSERT_TRUE(eventually([&] { return (window = probe.find("TW07 - distortion/sustainer")) != 0; }))
        << program->err();
    EXPECT_EQ(probe.size(window), std::make_pair(910, 237));
    ASSERT_TRUE(eventually([&] { return probe.hasChild(window); }));

    const tools::AudioBuffer riff = tools::Signals::guitarRiff(3, kRate, kRate * 10, 2);
    PlayAndRecord clients(server->name(), riff, kRate * 20);
    clients.go();
    std::this_thread::sleep_for(1s);
    const std::vector<uint32_t> before = probe.pixels(window);
    std::this_thread::sleep_for(500ms);
    const std::vector<uint32_t> after = probe.pixels(window);
    ASSERT_EQ(before.size(), after.size());
    std::size_t changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i) changed += before[i] != after[i] ? 1 : 0;
    EXPECT_GT(changed, 100u) << "the meters and scope stood still";

    probe.close(window);
    EXPECT_EQ(program->wait(10s), 0) << program->err();
    EXPECT_EQ(saved()[0], 0.75f);
}

// The window opens at the desktop's scale (Xft.dpi 144: 1.5x), takes the size the user drags
// it to keeping its aspect ratio, and the next run opens at that size whatever the desktop says.
TEST_F(StandaloneRun, ShowsTheEditorAtTheDesktopsScaleAndKeepsTheUsersSize)
{
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X display (the test runs under xvfb-run)";
    WindowProbe probe;
    probe.setResources("Xft.dpi:\t144\n");
    const auto openWindow = [&](std::unique_ptr<Program>& program) {
        program = start({}, {"LSAN_OPTIONS=detect_leaks=0"});
        unsigned long window = 0;
        EXPECT_TRUE(eventually([&] { return (window = probe.find("TW07 - distortion/sustainer")) != 0; }))
            << program->err();
        return window;
    };
    std::unique_ptr<Program> program;
    unsigned long window = openWindow(program);
    ASSERT_NE(window, 0u);
    EXPECT_EQ(probe.size(window), std::make_pair(1365, 356));
    EXPECT_TRUE(eventually([&] { return probe.childSize(window) == std::make_pair(1365, 356); }));
    probe.resize(window, 1820, 600);
    EXPECT_TRUE(eventually([&] { return probe.childSize(window) == std::make_pair(1820, 474); }));
    probe.close(window);
    EXPECT_EQ(program->wait(10s), 0) << program->err();

    probe.setResources(nullptr);
    window = openWindow(program);
    ASSERT_NE(window, 0u);
    EXPECT_EQ(probe.size(window), std::make_pair(1820, 474));
    probe.close(window);
    EXPECT_EQ(program->wait(10s), 0) << program->err();
}

}  // namespace
