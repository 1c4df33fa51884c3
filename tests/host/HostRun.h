#pragma once
// Runs tw07-host with arguments (and environment assignments) through the
// shell, and keeps its exit status and everything it printed.

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace hosttest {

struct HostRun {
    int status;
    std::string out;

    bool has(const std::string& text) const { return out.find(text) != std::string::npos; }
};

inline HostRun runHost(const std::string& arguments, const std::string& environment = "")
{
    const std::string command = environment + " " + std::string(TW07_HOST_EXECUTABLE) + " " + arguments + " 2>&1";
    HostRun run{-1, {}};
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace hosttest
