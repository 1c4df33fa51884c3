// Real LV2 hosts: jalv runs the bundle as a JACK client on jackd's dummy driver with audio
// flowing through it, and jalv.gtk3 embeds its editor (on the virtual X server).

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

#include "tools/audio/AudioFile.h"
#include "tools/audio/Levels.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUri = "https://tarnwell.com/plugins/tw07";

std::string output(const std::string& command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
    std::string text;
    char buffer[1024];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get())) text += buffer;
    return text;
}

// A JACK server of the test's own on the dummy driver, a folder for LV2_PATH with only the
// bundle, and whatever the test starts in the background, all ended with the fixture.
struct JackRun : ::testing::Test {
    fs::path root = fs::temp_directory_path() / ("tw07-jalv-" + std::to_string(getpid()));
    // Exported, so that every command of a pipeline sees them.
    std::string environment = "export JACK_DEFAULT_SERVER=tw07test" + std::to_string(getpid()) + " LV2_PATH='" +
                              (root / "lv2").string() + "'; ";

    void SetUp() override
    {
        for (const char* program : {"/usr/bin/jackd", "/usr/bin/jalv", "/usr/bin/jack_rec", "/usr/bin/jack_metro"})
            if (!fs::exists(program))
                GTEST_SKIP() << program << " is absent: install jalv and jackd2 (scripts/setup.sh does)";
        fs::create_directories(root / "lv2");
        fs::create_directory_symlink(TW07_LV2_BUNDLE, root / "lv2" / "tw07.lv2");
        background("jackd --no-realtime -d dummy -r 48000 -p 256");
        ASSERT_EQ(std::system((environment + "jack_wait -w -t 10 > /dev/null").c_str()), 0)
            << "jackd did not start: " << output("cat '" + (root / "log.txt").string() + "'");
    }
    void TearDown() override
    {
        // Clients first, then the server: SIGTERM ends each cleanly.
        for (const char* program : {"jalv.gtk3", "jalv", "jack_metro", "jackd"})
            std::system(("pkill -f '^" + std::string(program) + " .*' > /dev/null 2>&1; sleep 0.3").c_str());
        fs::remove_all(root);
    }
    void background(const std::string& command) const
    {
        std::system((environment + "(" + command + ") >> '" + (root / "log.txt").string() + "' 2>&1 &").c_str());
    }
    void run(const std::string& command) const { std::system((environment + command + " > /dev/null 2>&1").c_str()); }
};

TEST_F(JackRun, JalvRunsTheBundleWithAudioFlowingThroughIt)
{
    // Stdin held open for the run: jalv's console ends when it closes.
    background("sleep 30 | jalv -n tw07 " + std::string(kUri));
    background("jack_metro -b 240 -n metro");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const std::string ports = output(environment + "jack_lsp");
    ASSERT_NE(ports.find("tw07:in_l"), std::string::npos) << ports;
    ASSERT_NE(ports.find("tw07:out_r"), std::string::npos) << ports;
    for (const char* input : {"tw07:in_l", "tw07:in_r"}) run("jack_connect metro:240_bpm " + std::string(input));
    const fs::path recording = root / "out.wav";
    run("timeout 20 jack_rec -f '" + recording.string() + "' -d 48000 tw07:out_l tw07:out_r");
    ASSERT_TRUE(fs::exists(recording)) << output("cat '" + (root / "log.txt").string() + "'");
    const tools::AudioBuffer audio = tools::AudioFile::read(recording.string());
    EXPECT_GE(audio.numFrames(), 24000);
    for (const tools::ChannelLevel& level : tools::Levels::measure(audio)) {
        EXPECT_TRUE(level.finite);
        EXPECT_GT(level.peak, 0.01);
    }
}

// jalv's console lists the bundle's presets and loads one by its URI: the controls take its values.
TEST_F(JackRun, JalvListsAndLoadsTheFactoryPresets)
{
    const std::string console =
        output(environment + "(sleep 1; echo presets; sleep 0.5; echo 'preset " + std::string(kUri) +
               "#preset-crunch'; sleep 1; echo controls; sleep 0.5) | timeout 10 jalv -n tw07 " + std::string(kUri) +
               " 2>&1");
    for (const char* text : {"#preset-crunch (Crunch)", "#preset-doom (Doom)", "#preset-default (Default)"})
        EXPECT_NE(console.find(text), std::string::npos) << text << "\n" << console;
    const std::size_t loaded = console.rfind("drive = ");
    ASSERT_NE(loaded, std::string::npos) << console;
    for (const char* text : {"drive = 0.500000", "tone_lo = 0.550000", "post_gain = 0.330000"})
        EXPECT_NE(console.find(text, loaded - 1), std::string::npos) << text << "\n" << console;
}

TEST_F(JackRun, JalvGtkEmbedsTheEditor)
{
    if (std::getenv("DISPLAY") == nullptr || !fs::exists("/usr/bin/jalv.gtk3"))
        GTEST_SKIP() << "needs an X display and jalv.gtk3";
    background("jalv.gtk3 -s " + std::string(kUri));
    // The editor's window inside jalv's, at the editor's size and on screen.
    std::string window;
    for (int i = 0; i < 100 && window.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const std::string tree = output("xwininfo -root -tree");
        const std::size_t at = tree.find("\"GLFW-Application\")  910x237");
        if (at != std::string::npos)
            window = tree.substr(tree.rfind("0x", at), tree.find(' ', tree.rfind("0x", at)) - tree.rfind("0x", at));
    }
    ASSERT_FALSE(window.empty()) << output("xwininfo -root -tree");
    bool viewable = false;
    for (int i = 0; i < 50 && !viewable; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        viewable = output("xwininfo -id " + window).find("IsViewable") != std::string::npos;
    }
    ASSERT_TRUE(viewable);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const fs::path shot = root / "editor.png";
    run("import -window " + window + " '" + shot.string() + "'");
    // Drawn: the editor's many colours, not one cleared background.
    const std::string colours = output("identify -format %k '" + shot.string() + "'");
    EXPECT_GT(std::atoi(colours.c_str()), 50) << colours;
}

}  // namespace
