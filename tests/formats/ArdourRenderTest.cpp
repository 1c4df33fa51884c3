// A real host renders through the VST 3 and LV2 bundles: Ardour 7, headless (ardour7-lua builds
// a session with the plug-in on a track, ardour7-export renders it), against our host's render
// of the same input. The input comes from a small Lua DSP generator on the track: a square
// wave from the session's start. Ardour runs the plug-in on silence while it starts, so our
// render is given a long silence first. The filters' tails of that silence differ by a few
// 1e-11 (Ardour's start-up is not ours); a few frames into the signal, where they no longer
// count, the two renders agree bit for bit.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "tools/audio/AudioFile.h"
#include "tools/host/HostContext.h"
#include "tools/host/Plugin.h"
#include "tools/render/Renderer.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 48000;
constexpr int kFrames = kRate;       // the session range: one second
constexpr int kSilence = 5 * kRate;  // before our render: Ardour's start-up runs the plug-in on silence
constexpr int kSettle = 64;          // frames into the signal after which the renders are equal

constexpr const char* kGenerator = R"(ardour { ["type"] = "dsp", name = "TW07 test signal", category = "Utility",
  license = "MIT", description = [[A square wave of 0.5 with a period of 200 samples from the session start]] }
function dsp_ioconfig () return { { audio_in = 2, audio_out = 2 } } end
function dsp_run (ins, outs, n_samples)
  local pos = Session:transport_sample ()
  local rolling = Session:transport_rolling ()
  for c = 1, #outs do
    local o = outs[c]:array ()
    for s = 1, n_samples do
      local t = pos + s - 1
      if rolling and t >= 0 then
        if (t // 100) % 2 == 0 then o[s] = 0.5 else o[s] = -0.5 end
      else
        o[s] = 0
      end
    end
  end
end
)";

// A session with the generator and, when asked, the plug-in after it, on one stereo track.
std::string sessionScript(const fs::path& session, const char* pluginType)
{
    std::string script =
        "AudioEngine:set_backend(\"None (Dummy)\", \"\", \"\")\n"
        "local s = create_session(\"" +
        session.string() + "\", \"render\", " + std::to_string(kRate) +
        ")\n"
        "assert(s)\n"
        "local t = s:new_audio_track(2, 2, nil, 1, \"T\", ARDOUR.PresentationInfo.max_order, "
        "ARDOUR.TrackMode.Normal, true):front()\n"
        "local gen = ARDOUR.LuaAPI.new_luaproc(s, \"TW07 test signal\")\n"
        "assert(not gen:isnil())\n"
        "assert(t:add_processor_by_index(gen, 0, nil, true))\n";
    if (pluginType != nullptr) {
        script += "local fx = ARDOUR.LuaAPI.new_plugin(s, \"TW07 - distortion/sustainer\", ARDOUR.PluginType." +
                  std::string(pluginType) +
                  ", \"\")\n"
                  "assert(not fx:isnil())\n"
                  "assert(t:add_processor_by_index(fx, 1, nil, true))\n";
    }
    script += "s:save_state(\"\", false, false, false, false, false)\nclose_session()\nquit()\n";
    return script;
}

void writeFile(const fs::path& path, const std::string& text)
{
    std::ofstream out(path);
    out << text;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct ArdourRun : ::testing::Test {
    fs::path root = fs::temp_directory_path() / ("tw07-ardour-" + std::to_string(getpid()));
    std::string environment = "HOME='" + (root / "home").string() + "' ";

    void SetUp() override
    {
        for (const char* program :
             {"/usr/bin/ardour7-lua", "/usr/bin/ardour7-export", "/usr/lib/ardour7/ardour-vst3-scanner"}) {
            if (!fs::exists(program))
                GTEST_SKIP() << program << " is absent: install Debian's ardour (scripts/setup.sh does)";
        }
        fs::remove_all(root);
        fs::create_directories(root / "home" / ".vst3");
        fs::create_directory_symlink(fs::absolute(TW07_VST3_PATH), root / "home" / ".vst3" / "tw07.vst3");
        fs::create_directories(root / "home" / ".lv2");
        fs::create_directory_symlink(fs::absolute(TW07_LV2_PATH), root / "home" / ".lv2" / "tw07.lv2");
        // Ardour's configuration first, then its plug-in cache, as its scanner writes it.
        writeFile(root / "quit.lua", "quit()\n");
        run("ardour7-lua '" + (root / "quit.lua").string() + "'");
        ASSERT_EQ(run("LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner -f '" +
                      (root / "home" / ".vst3" / "tw07.vst3").string() + "'"),
                  0)
            << readFile(root / "log.txt");
        std::string cache;
        for (const auto& entry : fs::recursive_directory_iterator(root / "home" / ".cache"))
            if (entry.path().extension() == ".v3i") cache = readFile(entry.path());
        ASSERT_NE(cache.find(
                      "name=\"TW07 - distortion/sustainer\" vendor=\"Tarnwell Industries\" category=\"Fx|Distortion\""),
                  std::string::npos)
            << "Ardour's scanner wrote: " << cache;
        EXPECT_NE(cache.find("n_inputs=\"2\" n_outputs=\"2\""), std::string::npos) << cache;
        fs::create_directories(root / "home" / ".config" / "ardour7" / "scripts");
        writeFile(root / "home" / ".config" / "ardour7" / "scripts" / "tw07_test_signal.lua", kGenerator);
    }
    void TearDown() override { fs::remove_all(root); }

    int run(const std::string& command) const
    {
        return std::system((environment + command + " > '" + (root / "log.txt").string() + "' 2>&1").c_str());
    }

    // Ardour's render of a session built by the script, as 32-bit float.
    tools::AudioBuffer render(const std::string& name, const char* pluginType)
    {
        const fs::path session = root / name;
        writeFile(root / (name + ".lua"), sessionScript(session, pluginType));
        EXPECT_EQ(run("ardour7-lua '" + (root / (name + ".lua")).string() + "'"), 0) << readFile(root / "log.txt");
        // No Lua call sets the session range: it goes into the session file.
        const fs::path file = session / "render.ardour";
        std::string xml = readFile(file);
        const std::string empty = "<Locations/>";
        const std::size_t at = xml.find(empty);
        if (at == std::string::npos) {
            ADD_FAILURE() << "no empty <Locations/> in " << file;
            return {};
        }
        xml.replace(at, empty.size(),
                    "<Locations><Location id=\"99999\" name=\"session\" start=\"0\" end=\"" + std::to_string(kFrames) +
                        "\" flags=\"IsSessionRange\" locked=\"no\" time-domain=\"AudioTime\"/></Locations>");
        writeFile(file, xml);
        const fs::path out = root / (name + ".wav");
        EXPECT_EQ(run("ardour7-export -b float -o '" + out.string() + "' '" + session.string() + "' render"), 0)
            << readFile(root / "log.txt");
        return tools::AudioFile::read(out.string());
    }
};

// Ardour's render through the bundle of a format against ours through the same bundle.
void expectOurRender(const tools::AudioBuffer& input, const tools::AudioBuffer& ardour, const char* bundle)
{
    ASSERT_EQ(input.numFrames(), kFrames);
    ASSERT_EQ(ardour.numFrames(), kFrames);
    ASSERT_EQ(ardour.numChannels(), 2);

    // Our render: the same input after a long silence.
    tools::AudioBuffer ours = tools::AudioBuffer::zeros(kRate, 2, kSilence + kFrames);
    for (int c = 0; c < 2; ++c)
        std::copy(input.channels[c].begin(), input.channels[c].end(), ours.channels[c].begin() + kSilence);
    tools::HostContext context;
    const auto plugin = tools::openPlugin(bundle, context);
    tools::RenderPlan plan;
    plan.blockSizes = {256};
    ours = tools::Renderer(plan).run(*plugin, ours);

    int64_t firstSignal = -1;
    for (int64_t i = 0; i < kFrames && firstSignal < 0; ++i)
        if (input.channels[0][static_cast<std::size_t>(i)] != 0.0f) firstSignal = i;
    ASSERT_GE(firstSignal, 0) << "Ardour's generator gave no signal";
    int64_t differing = 0;
    double largest = 0.0;
    for (int c = 0; c < 2; ++c) {
        for (int64_t i = 0; i < kFrames; ++i) {
            const float a = ardour.channels[c][static_cast<std::size_t>(i)];
            const float b = ours.channels[c][static_cast<std::size_t>(kSilence + i)];
            largest = std::max(largest, double(std::fabs(a - b)));
            if (i >= firstSignal + kSettle) differing += std::memcmp(&a, &b, sizeof a) != 0;
        }
    }
    std::printf("%s: Ardour against our render: %lld differing samples from frame %lld on; largest difference %.3g\n",
                fs::path(bundle).filename().c_str(), static_cast<long long>(differing),
                static_cast<long long>(firstSignal + kSettle), largest);
    EXPECT_EQ(differing, 0);
    EXPECT_LT(largest, 1e-9);
}

// Ardour's preset menu for both bundles: it finds the factory presets by name and loads one;
// its controls then show the preset's values (a VST 3 program once the processor has run).
TEST_F(ArdourRun, FindsAndLoadsTheFactoryPresetsOfTheVst3AndLv2Bundles)
{
    for (const char* type : {"VST3", "LV2"}) {
        const fs::path script = root / (std::string("presets-") + type + ".lua");
        writeFile(script, "AudioEngine:set_backend(\"None (Dummy)\", \"\", \"\")\n"
                          "local s = create_session(\"" + (root / (std::string("presets-") + type)).string() +
                              "\", \"p\", " + std::to_string(kRate) +
                              ")\n"
                              "local t = s:new_audio_track(2, 2, nil, 1, \"T\", ARDOUR.PresentationInfo.max_order, "
                              "ARDOUR.TrackMode.Normal, true):front()\n"
                              "local fx = ARDOUR.LuaAPI.new_plugin(s, \"TW07 - distortion/sustainer\", "
                              "ARDOUR.PluginType." + type + ", \"\")\n"
                              "assert(not fx:isnil())\n"
                              "assert(t:add_processor_by_index(fx, 0, nil, true))\n"
                              "local p = fx:to_insert():plugin(0)\n"
                              "for _, n in ipairs({\"Default\", \"Crunch\", \"Singing Lead\", \"Full Saturation\"}) do\n"
                              "  print(\"preset \" .. n .. \": \" .. tostring(p:preset_by_label(n) ~= nil))\n"
                              "end\n"
                              "print(\"loaded: \" .. tostring(p:load_preset(p:preset_by_label(\"Doom\"))))\n"
                              "ARDOUR.LuaAPI.usleep(1000000)\n"
                              "local values = \"\"\n"
                              "for i = 0, 7 do values = values .. string.format(\" %.3f\", "
                              "ARDOUR.LuaAPI.get_processor_param(fx, i, true)) end\n"
                              "print(\"values:\" .. values)\n"
                              "close_session()\nquit()\n");
        EXPECT_EQ(run("ardour7-lua '" + script.string() + "'"), 0) << readFile(root / "log.txt");
        const std::string log = readFile(root / "log.txt");
        for (const char* line : {"preset Default: true", "preset Crunch: true", "preset Singing Lead: true",
                                 "preset Full Saturation: true", "loaded: true",
                                 "values: 0.900 0.800 0.300 2.000 0.650 0.400 0.300 0.465"})
            EXPECT_NE(log.find(line), std::string::npos) << type << ": " << line << "\n" << log;
    }
}

TEST_F(ArdourRun, RendersThroughTheVst3AndLv2BundlesAsOurHostDoes)
{
    const tools::AudioBuffer input = render("input", nullptr);
    expectOurRender(input, render("vst3", "VST3"), TW07_VST3_PATH);
    expectOurRender(input, render("lv2", "LV2"), TW07_LV2_PATH);
}

}  // namespace
