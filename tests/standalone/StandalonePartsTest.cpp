// The standalone program's parts without a server: its command line, its settings file, when
// it saves, and the engine taking up a new sample rate.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "kx/Settings.h"
#include "kx/standalone/SettingsFile.h"
#include "kx/standalone/StandaloneEngine.h"
#include "kx/standalone/StandaloneOptions.h"

namespace fs = std::filesystem;
using namespace kx::standalone;

namespace {

constexpr float kRate = 48000.0f;

TEST(StandaloneOptions, TakeNamesSymbolsNormalisedAndShownValuesAndRefuseTheRest)
{
    const StandaloneOptions options = parseOptions(
        {"--input", "2", "--set", "post_gain=-10 dB", "--no-editor", "--set", "Stereo=linked", "--set", "SPEED=0.5"});
    EXPECT_TRUE(options.connect);  // --input only means something with it
    EXPECT_EQ(options.captureInputs, 2);
    EXPECT_FALSE(options.editor);
    StandaloneEngine engine(kRate);
    applyAssignments(options.assignments, engine.parameters());
    EXPECT_FLOAT_EQ(engine.parameters().value(7), 40.0f / 60.0f);  // -50..10 dB
    EXPECT_FLOAT_EQ(engine.parameters().value(3), 0.5f);
    EXPECT_FLOAT_EQ(engine.parameters().value(2), 0.5f);

    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"--input", "3"}, {"--set"}, {"--set", "=1"}, {"--set", "Drive"}, {"--bogus"}})
        EXPECT_THROW(parseOptions(words), UsageError) << words[0];
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"Drive", "1.5"}, {"Drive", "-0.1"}, {"Drive", "nan"}, {"Drive", "loud"}, {"Volume", "0.5"}})
        EXPECT_THROW(applyAssignments({{name, value}}, engine.parameters()), UsageError) << name << "=" << value;
    EXPECT_FLOAT_EQ(engine.parameters().value(0), 0.35f);  // untouched by the refused ones
}

// --preset takes a key or a name over the saved settings and under --set; a name no preset has
// is refused with nothing changed; --list-presets gives one line per preset, key first.
TEST(StandaloneOptions, TakePresetsByKeyOrNameAndListThem)
{
    const StandaloneOptions options = parseOptions({"--preset", "Singing Lead", "--set", "Drive=0.5", "--list-presets"});
    EXPECT_EQ(options.preset, "Singing Lead");
    EXPECT_TRUE(options.listPresets);
    EXPECT_THROW(parseOptions({"--preset"}), UsageError);

    const auto presets = kx::pluginPresets();
    StandaloneEngine engine(kRate);
    for (const std::string name : {"crunch", "CRUNCH", "Crunch"}) {
        applyPreset(name, presets, engine.parameters());
        EXPECT_FLOAT_EQ(engine.parameters().value(0), 0.5f) << name;  // Crunch's drive
    }
    applyPreset(options.preset, presets, engine.parameters());
    applyAssignments(options.assignments, engine.parameters());
    EXPECT_FLOAT_EQ(engine.parameters().value(3), 1.0f);  // the preset's Mono
    EXPECT_FLOAT_EQ(engine.parameters().value(0), 0.5f);  // and --set over it
    for (const std::string name : {"", "crunchy", "Crunch ", "default\n"}) {
        EXPECT_THROW(applyPreset(name, presets, engine.parameters()), UsageError) << name;
        EXPECT_FLOAT_EQ(engine.parameters().value(3), 1.0f);
    }

    const std::string list = presetList(presets);
    EXPECT_EQ(static_cast<std::size_t>(std::count(list.begin(), list.end(), '\n')), presets.size());
    EXPECT_EQ(list.rfind("default ", 0), 0u) << list;
    EXPECT_NE(list.find("\ncrunch "), std::string::npos) << list;
    EXPECT_NE(helpText("tw07", engine.effect().descriptor(), engine.parameters()).find("--list-presets"),
              std::string::npos);
}

struct SettingsFolder : ::testing::Test {
    fs::path folder = fs::temp_directory_path() / ("tw07-settings-" + std::to_string(getpid()));
    fs::path path = folder / "tw07" / "settings";
    StandaloneEngine engine{kRate};
    uint32_t id = static_cast<uint32_t>(engine.effect().descriptor().uniqueId);

    void SetUp() override { fs::remove_all(folder); }
    void TearDown() override { fs::remove_all(folder); }
    std::vector<fs::path> aside() const
    {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(path.parent_path()))
            if (entry.path().filename().string().rfind("settings.damaged-", 0) == 0) found.push_back(entry.path());
        return found;
    }
};

TEST_F(SettingsFolder, ComeBackAsSavedAndNeverOverwriteAFileTheyCannotRead)
{
    SettingsFile file(path, id);
    EXPECT_EQ(file.restore(engine.parameters()), "");  // none yet: the defaults, nothing to say
    engine.parameters().setValue(5, 0.8f);
    ASSERT_EQ(file.save(engine.parameters()), "");
    EXPECT_FALSE(fs::exists(path.string() + ".new"));
    StandaloneEngine other(kRate);
    EXPECT_EQ(file.restore(other.parameters()), "");
    EXPECT_FLOAT_EQ(other.parameters().value(5), 0.8f);

    // Another plug-in's record, then an empty file, each kept aside under its own name.
    ASSERT_EQ(SettingsFile(path, id + 1).save(engine.parameters()), "");
    StandaloneEngine third(kRate);
    EXPECT_NE(file.restore(third.parameters()).find("another plug-in"), std::string::npos);
    EXPECT_FLOAT_EQ(third.parameters().value(5), 0.5f);
    std::ofstream(path, std::ios::binary).flush();
    EXPECT_NE(file.restore(third.parameters()), "");
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(aside().size(), 2u);
}

// The editor's size as the user left it: back as saved; none for settings without it and
// for lines that hold no scale.
TEST_F(SettingsFolder, KeepTheEditorsScaleBesideThem)
{
    SettingsFile file(path, id);
    EXPECT_EQ(file.restoreEditorScale(), 0.0);
    ASSERT_EQ(file.saveEditorScale(1.4375), "");
    EXPECT_EQ(file.restoreEditorScale(), 1.4375);
    const fs::path editor = path.parent_path() / "editor";
    for (const char* line : {"scale 9\n", "scale 0\n", "scale nan\n", "scale 1,5\n", "size 1.5\n", "", "scale"}) {
        std::ofstream(editor) << line;
        EXPECT_EQ(file.restoreEditorScale(), 0.0) << line;
    }
}

TEST_F(SettingsFolder, FollowXdgAndIgnoreARelativeConfigHome)
{
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    EXPECT_EQ(SettingsFile::defaultPath("tw07"), path);
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    setenv("HOME", "/home/player", 1);
    EXPECT_EQ(SettingsFile::defaultPath("tw07"), fs::path("/home/player/.config/tw07/settings"));
}

TEST_F(SettingsFolder, AreSavedAFewSecondsAfterAChangeNotAtEveryOne)
{
    SettingsFile file(path, id);
    SettingsKeeper keeper(file, engine.parameters());
    const auto t0 = SettingsKeeper::Clock::now();
    EXPECT_EQ(keeper.poll(t0 + std::chrono::seconds(10)), "");
    EXPECT_FALSE(fs::exists(path));  // nothing changed since the start
    engine.parameters().setValue(1, 0.2f);
    keeper.poll(t0 + std::chrono::seconds(11));
    engine.parameters().setValue(1, 0.3f);  // still turning
    keeper.poll(t0 + std::chrono::milliseconds(12900));
    EXPECT_FALSE(fs::exists(path));
    keeper.poll(t0 + std::chrono::milliseconds(13100));
    ASSERT_TRUE(fs::exists(path));
    StandaloneEngine restored(kRate);
    file.restore(restored.parameters());
    EXPECT_FLOAT_EQ(restored.parameters().value(1), 0.3f);
}

// A rate change while playing restarts the stream at the new rate where the next period
// begins, as a stop and start at that rate between the two periods would.
TEST(StandaloneEngine, TakesUpANewSampleRateWhereTheNextPeriodBegins)
{
    constexpr int kPeriod = 100;
    std::vector<float> input(kPeriod);
    for (int n = 0; n < kPeriod; ++n)
        input[static_cast<std::size_t>(n)] = 0.5f * std::sin(0.05f * static_cast<float>(n));
    const auto play = [&](StandaloneEngine& engine) {
        std::vector<float> left(kPeriod), right(kPeriod);
        const float* in[2] = {input.data(), input.data()};
        float* out[2] = {left.data(), right.data()};
        engine.process(in, out, kPeriod);
        return left;
    };
    StandaloneEngine changed(44100.0f);
    for (int i = 0; i < 5; ++i) play(changed);
    StandaloneEngine restarted(44100.0f);
    for (int i = 0; i < 5; ++i) play(restarted);
    StandaloneEngine unchanged(44100.0f);
    for (int i = 0; i < 5; ++i) play(unchanged);
    changed.requestSampleRate(96000.0f);
    restarted.start(96000.0f);
    for (int i = 0; i < 3; ++i) {
        const std::vector<float> output = play(changed);
        EXPECT_EQ(output, play(restarted)) << "period " << i;
        EXPECT_NE(output, play(unchanged)) << "period " << i;
    }
}

}  // namespace
