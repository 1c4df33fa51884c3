#include "CheckSupport.h"

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace tools::validate {

int threadCount()
{
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(tasks)) {
            if (entry->d_name[0] != '.') ++count;
        }
        closedir(tasks);
    }
    return count;
}

std::vector<std::string> threadNames()
{
    std::vector<std::string> names;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(tasks)) {
            if (entry->d_name[0] == '.') continue;
            char name[64] = {};
            const std::string path = std::string("/proc/self/task/") + entry->d_name + "/comm";
            if (std::FILE* file = std::fopen(path.c_str(), "r")) {
                if (std::fgets(name, sizeof name, file) != nullptr) name[std::strcspn(name, "\n")] = '\0';
                std::fclose(file);
            }
            names.emplace_back(name);
        }
        closedir(tasks);
    }
    return names;
}

std::vector<int> openSockets()
{
    std::vector<int> sockets;
    if (DIR* fds = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(fds)) {
            if (entry->d_name[0] == '.') continue;
            char link[64];
            const std::string path = std::string("/proc/self/fd/") + entry->d_name;
            const ssize_t length = readlink(path.c_str(), link, sizeof link - 1);
            if (length > 0 && std::strncmp(link, "socket:", 7) == 0) sockets.push_back(std::atoi(entry->d_name));
        }
        closedir(fds);
    }
    return sockets;
}

double milliseconds()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool judgeBlock(CheckContext& context, const GuardedAudio& audio, const std::string& problem, int frames,
                const char* what, Bound bound)
{
    if (!problem.empty()) {
        context.fail("%s: %s", what, problem.c_str());
        return false;
    }
    const int bad = audio.firstNonFinite(frames);
    if (bad >= 0) {
        context.fail("%s: output not finite at frame %d of %d", what, bad, frames);
        return false;
    }
    const float peak = audio.peak(frames);
    if (bound == Bound::Checked && peak > kOutputBound) {
        context.fail("%s: output peak %g exceeds %g", what, static_cast<double>(peak),
                     static_cast<double>(kOutputBound));
        return false;
    }
    return true;
}

bool runSignalBlocks(CheckContext& context, PluginInstance& plugin, GuardedAudio& audio, Random& random, int frames,
                     int blocks, const char* what, Bound bound)
{
    for (int b = 0; b < blocks; ++b) {
        audio.fillSignal(random, frames);
        const std::string problem = audio.process(plugin.record(), frames);
        if (!judgeBlock(context, audio, problem, frames, what, bound)) return false;
    }
    return true;
}

}  // namespace tools::validate
