#include "tools/host/Plugin.h"

#include "tools/host/ClapPlugin.h"
#include "tools/host/HostModule.h"

namespace tools {

Plugin::~Plugin() = default;

bool isClapModule(const std::string& path)
{
    const std::string suffix = ".clap";
    return path.size() > suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::unique_ptr<Plugin> openPlugin(const std::string& path, HostContext& context)
{
    if (isClapModule(path)) return std::make_unique<clap::ClapPlugin>(std::make_shared<const clap::ClapModule>(path));
    return HostModule(path).instantiate(context);
}

}  // namespace tools
