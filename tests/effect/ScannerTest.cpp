// Real hosts' scanners read the modules: Ardour 7's, run as Ardour runs it, and Qtractor's.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

namespace {

// What a command prints on its standard output and error, and its exit status.
std::pair<std::string, int> run(const std::string& command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
    if (!pipe) return {"cannot start " + command, -1};
    std::string output;
    char buffer[1024];
    while (std::fgets(buffer, sizeof buffer, pipe.get())) output += buffer;
    return {output, pclose(pipe.release())};
}

std::string attribute(const std::string& xml, const std::string& name)
{
    const std::string key = " " + name + "=\"";
    const auto start = xml.find(key);
    if (start == std::string::npos) return "<missing>";
    const auto from = start + key.size();
    return xml.substr(from, xml.find('"', from) - from);
}

TEST(ArdourScanner, ReadsNameCreatorCategoryAndChannels)
{
    const char* scanner = "/usr/lib/ardour7/ardour-vst-scanner";
    ASSERT_TRUE(std::filesystem::exists(scanner)) << "install Debian's ardour (scripts/setup.sh does)";

    // The scanner writes its cache below $HOME; keep it out of the user's.
    const auto home = std::filesystem::temp_directory_path() / ("tw07-scan-" + std::to_string(getpid()));
    std::filesystem::create_directories(home);
    const auto [output, status] =
        run("HOME='" + home.string() + "' XDG_CACHE_HOME='" + home.string() +
            "/cache' LD_LIBRARY_PATH=/usr/lib/ardour7 " + scanner + " -f '" TW07_MODULE_PATH "'");
    ASSERT_EQ(status, 0) << output;

    std::string xml;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home)) {
        if (entry.path().extension() == ".v2i") {
            std::ifstream file(entry.path());
            std::stringstream text;
            text << file.rdbuf();
            xml = text.str();
        }
    }
    std::filesystem::remove_all(home);
    ASSERT_FALSE(xml.empty()) << "no cache file written; scanner said:\n" << output;

    EXPECT_EQ(attribute(xml, "name"), "TW07 - distortion/sustainer");
    EXPECT_EQ(attribute(xml, "creator"), "Tarnwell Industries");
    EXPECT_EQ(attribute(xml, "category"), "Effect");
    EXPECT_EQ(attribute(xml, "id"), "12345699");
    EXPECT_EQ(attribute(xml, "n_inputs"), "2");
    EXPECT_EQ(attribute(xml, "n_outputs"), "2");
    EXPECT_EQ(attribute(xml, "is_instrument"), "0");
    EXPECT_EQ(attribute(xml, "can_process_replace"), "1");
}

// The scanner reads "FORMAT:path" lines and prints, per plug-in, a line of fields split by
// '|': format, name, audio ins:outs, MIDI ins:outs, parameters in:out, features, path.
TEST(QtractorScanner, ListsBothModulesWithNameChannelsParametersAndEditor)
{
    const char* scanner = "/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan";
    ASSERT_TRUE(std::filesystem::exists(scanner)) << "install Debian's qtractor (scripts/setup.sh does)";
    const std::pair<const char*, const char*> modules[] = {{"VST", TW07_MODULE_PATH}, {"CLAP", TW07_CLAP_PATH}};
    for (const auto& [format, path] : modules) {
        const auto [output, status] =
            run(std::string("echo '") + format + ":" + path + "' | env -u DISPLAY " + scanner);
        ASSERT_EQ(status, 0) << output;
        const std::string expected = std::string(format) + "|TW07 - distortion/sustainer|2:2|0:0|8:0|GUI,";
        EXPECT_EQ(output.rfind(expected, 0), 0u) << output;
        EXPECT_NE(output.find(std::string("|") + path + "|"), std::string::npos) << output;
    }
}

}  // namespace
