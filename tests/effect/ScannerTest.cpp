// A real host's scanner reads the module: Ardour 7's, run as Ardour runs it.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

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
    const std::string command = "HOME='" + home.string() + "' XDG_CACHE_HOME='" + home.string() +
                                "/cache' LD_LIBRARY_PATH=/usr/lib/ardour7 " + scanner +
                                " -f '" TW07_MODULE_PATH "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_TRUE(pipe);
    std::string output;
    char buffer[1024];
    while (std::fgets(buffer, sizeof buffer, pipe.get())) output += buffer;
    const int status = pclose(pipe.release());
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

}  // namespace
