#include "tools/host/Plugin.h"

#include "tools/host/ClapPlugin.h"
#include "tools/host/HostModule.h"

namespace tools {

Plugin::~Plugin() = default;

std::unique_ptr<Plugin> openPlugin(const std::string& path, HostContext& context)
{
    const std::string clapSuffix = ".clap";
    if (path.size() > clapSuffix.size() &&
        path.compare(path.size() - clapSuffix.size(), clapSuffix.size(), clapSuffix) == 0)
        return std::make_unique<clap::ClapPlugin>(std::make_shared<const clap::ClapModule>(path));
    return HostModule(path).instantiate(context);
}

}  // namespace tools
