#include "JackServer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace standalonetest {

namespace fs = std::filesystem;

namespace {

// Everything the child needs is made before fork: the test process has threads (its JACK
// clients), and a child of such a process may only call what is safe in a signal handler.
pid_t spawn(const std::vector<std::string>& command, const std::vector<std::string>& environment, const fs::path& out,
            const fs::path& err)
{
    std::vector<std::string> variables = environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        const std::string name = variable.substr(0, variable.find('=') + 1);
        bool replaced = false;
        for (const std::string& assignment : environment) replaced = replaced || assignment.rfind(name, 0) == 0;
        if (!replaced) variables.push_back(variable);
    }
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::vector<std::string> words = command;
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const int outFile = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int errFile = out == err ? outFile : open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const pid_t child = fork();
    if (child == 0) {
        dup2(outFile, 1);
        dup2(errFile, 2);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(outFile);
    if (errFile != outFile) close(errFile);
    if (child < 0) throw std::runtime_error("fork failed");
    return child;
}

int waitFor(pid_t pid, std::chrono::milliseconds limit)
{
    int status = 0;
    const bool ended = eventually([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit);
    if (!ended) {
        ::kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string output(const std::string& command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string text;
    char buffer[1024];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get())) text += buffer;
    return text;
}

}  // namespace

std::string readText(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

JackServer::JackServer(const std::string& name, int rate, int period) : serverName(name)
{
    const fs::path log = fs::temp_directory_path() / (name + ".log");
    pid = spawn({"jackd", "--no-realtime", "--sync", "-n", name, "-d", "dummy", "-r", std::to_string(rate), "-p",
                 std::to_string(period)},
                {}, log, log);
    if (std::system(("JACK_DEFAULT_SERVER=" + name + " timeout 15 jack_wait -w -t 10 > /dev/null 2>&1").c_str()) != 0) {
        stop();
        throw std::runtime_error("jackd did not start: " + readText(log));
    }
}

JackServer::~JackServer() { stop(); }

// SIGTERM: a server killed outright leaves its entry in the shared registry, and JACK allows
// only a few servers at a time.
void JackServer::stop()
{
    if (pid < 0) return;
    ::kill(pid, SIGTERM);
    waitFor(pid, std::chrono::seconds(10));
    pid = -1;
}

std::string JackServer::connections() const
{
    return output("JACK_DEFAULT_SERVER=" + serverName + " timeout 5 jack_lsp -c 2>/dev/null");
}

Program::Program(const fs::path& executable, const std::vector<std::string>& arguments, const std::string& server,
                 const fs::path& folder, const std::vector<std::string>& environment)
    : folder(folder)
{
    std::vector<std::string> command{executable.string()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<std::string> variables = environment;
    variables.push_back("JACK_DEFAULT_SERVER=" + server);
    variables.push_back("XDG_CONFIG_HOME=" + (folder / "config").string());
    pid = spawn(command, variables, folder / "out.txt", folder / "err.txt");
}

Program::~Program()
{
    if (pid > 0) waitFor(pid, std::chrono::milliseconds(0));
}

void Program::signal(int number) const
{
    if (pid > 0) ::kill(pid, number);
}

int Program::wait(std::chrono::milliseconds limit)
{
    const int status = waitFor(pid, limit);
    pid = -1;
    return status;
}

std::string Program::out() const { return readText(folder / "out.txt"); }

std::string Program::err() const { return readText(folder / "err.txt"); }

}  // namespace standalonetest
