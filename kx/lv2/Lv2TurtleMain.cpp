// Writes the bundle's Turtle files at build time: lv2-turtle OUT_DIR BINARY_NAME UI_BINARY_NAME.

#include <cstdio>
#include <fstream>
#include <string>

#include "kx/AudioPlugin.h"
#include "kx/lv2/Lv2Turtle.h"

namespace {

class NoHost final : public kx::HostCallback {
public:
    void automate(int, float) override {}
    void automateNow(int, float) override {}
    kx::HostInfo hostInfo() override { return {}; }
};

bool write(const std::string& path, const std::string& text)
{
    std::ofstream out(path);
    out << text;
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: lv2-turtle OUT_DIR BINARY_NAME UI_BINARY_NAME\n");
        return 2;
    }
    const std::string folder = argv[1];
    NoHost host;
    const auto effect = kx::createPlugin(host, 48000.0f);
    const kx::PluginDescriptor& descriptor = effect->descriptor();
    const auto presets = kx::pluginPresets();
    if (!write(folder + "/manifest.ttl", kx::lv2::manifest(descriptor, argv[2], argv[3], "tw07.ttl", presets)) ||
        !write(folder + "/tw07.ttl", kx::lv2::description(descriptor, effect->parameters, presets))) {
        std::fprintf(stderr, "lv2-turtle: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
