#include "tools/host/Plugin.h"

#include "tools/host/ClapPlugin.h"
#include "tools/host/HostModule.h"
#if !defined(_WIN32)
#include "tools/host/Lv2Plugin.h"
#endif
#include "tools/host/Vst3Plugin.h"

namespace tools {

Plugin::~Plugin() = default;

namespace {

bool endsWith(std::string path, const std::string& suffix)
{
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    return path.size() > suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

bool isClapModule(const std::string& path) { return endsWith(path, ".clap"); }

bool isVst3Bundle(const std::string& path) { return endsWith(path, ".vst3"); }

bool isLv2Bundle(const std::string& path) { return endsWith(path, ".lv2"); }

std::unique_ptr<Plugin> openPlugin(const std::string& path, HostContext& context)
{
    if (isClapModule(path)) return std::make_unique<clap::ClapPlugin>(std::make_shared<const clap::ClapModule>(path));
    if (isVst3Bundle(path)) return std::make_unique<vst3::Vst3Plugin>(std::make_shared<const vst3::Vst3Module>(path));
#if !defined(_WIN32)
    if (isLv2Bundle(path)) return std::make_unique<lv2::Lv2Plugin>(path);
#endif
    return HostModule(path).instantiate(context);
}

}  // namespace tools
