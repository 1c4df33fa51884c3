#pragma once
// What the standalone program's tests share: a JACK server of their own on the dummy driver
// (a private name, so parallel tests never meet), the program run as a child process with its
// own configuration folder, and the server's port list.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace standalonetest {

class JackServer {
public:
    // Starts jackd, synchronous: each period waits for every client, so a slow machine delays
    // the test instead of dropping a client's period. Throws std::runtime_error when it does not come up.
    JackServer(const std::string& name, int rate, int period);
    ~JackServer();
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    const std::string& name() const { return serverName; }
    void stop();  // ends the server, its clients unasked
    // jack_lsp -c: every port and, indented below it, what it is connected to.
    std::string connections() const;

private:
    std::string serverName;
    pid_t pid = -1;
};

class Program {
public:
    // Runs the program with `arguments`, JACK_DEFAULT_SERVER, XDG_CONFIG_HOME and `environment`
    // ("NAME=VALUE") set, its output going to files in `folder`.
    Program(const std::filesystem::path& executable, const std::vector<std::string>& arguments,
            const std::string& server, const std::filesystem::path& folder,
            const std::vector<std::string>& environment = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    void signal(int number) const;
    // The exit status, or -1 when it has not ended within the time (it is then killed).
    int wait(std::chrono::milliseconds limit);
    std::string out() const;
    std::string err() const;

private:
    std::filesystem::path folder;
    pid_t pid = -1;
};

// Waits until `condition` holds, up to `limit`; returns whether it did.
template<class Condition>
bool eventually(Condition&& condition, std::chrono::milliseconds limit = std::chrono::seconds(10));

std::string readText(const std::filesystem::path& path);

}  // namespace standalonetest

#include <thread>

template<class Condition>
bool standalonetest::eventually(Condition&& condition, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}
