#pragma once
// The subcommands of tw07-host. Each takes the arguments after its name and
// returns the process exit status; errors are thrown (UsageError for a bad
// command line, std::runtime_error for everything else).

#include <string>
#include <vector>

namespace tools {

int runInfo(const std::vector<std::string>& args);
// info for a CLAP module; runInfo hands .clap files to it.
int runClapInfo(const std::string& module, bool json);
int runRender(const std::vector<std::string>& args);
int runDemo(const std::vector<std::string>& args);
int runGui(const std::vector<std::string>& args);
int runValidate(const std::vector<std::string>& args);
int runCompare(const std::vector<std::string>& args);

}  // namespace tools
