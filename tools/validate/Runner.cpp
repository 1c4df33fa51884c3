// Runs the selected checks, each in a child process of its own, so that a crash
// or a stall is one failed check and the run goes on.

#include "Runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tools::validate {

namespace {

const char* signalName(int number)
{
    const char* name = sigdescr_np(number);
    return name != nullptr ? name : "unknown signal";
}

void runChild(const Check& check, const RunOptions& options, SharedResult& result)
{
    if (!options.verbose) {
        // Module chatter would drown the report.
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) {
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
            close(devNull);
        }
    }
    CheckContext context(options.module, options.seed, options.quick, result);
    try {
        check.run(context);
    } catch (const std::exception& error) {
        context.fail("%s", error.what());
    }
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer turns its reports into the exit status at exit.
    std::exit(0);
#else
    _exit(0);
#endif
}

// Runs one check in a child and fills `result`; returns the wall time in ms.
double runIsolated(const Check& check, const RunOptions& options, SharedResult& result)
{
    std::memset(&result, 0, sizeof result);
    std::fflush(stdout);
    std::fflush(stderr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error(std::string("fork failed: ") + std::strerror(errno));
    if (child == 0) runChild(check, options, result);

    const auto deadline = start + std::chrono::seconds(check.timeoutSeconds);
    int status = 0;
    bool finished = false;
    while (!finished) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            finished = true;
        } else if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            result.status = CheckStatus::Fail;
            std::snprintf(result.reasons, sizeof result.reasons, "stalled: no result after %d s while: %s",
                          check.timeoutSeconds, result.note[0] != '\0' ? result.note : "starting");
            finished = true;
            status = 0;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    if (WIFSIGNALED(status)) {
        result.status = CheckStatus::Fail;
        char line[512];
        std::snprintf(line, sizeof line, "crashed (%s) while: %s", signalName(WTERMSIG(status)),
                      result.note[0] != '\0' ? result.note : "starting");
        const std::size_t used = std::strlen(result.reasons);
        std::snprintf(result.reasons + used, sizeof result.reasons - used, "%s%s", used > 0 ? "\n" : "", line);
    } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        result.status = CheckStatus::Fail;
        char line[512];
        std::snprintf(line, sizeof line, "the process exited with status %d (-v shows the module's output) while: %s",
                      WEXITSTATUS(status), result.note[0] != '\0' ? result.note : "starting");
        const std::size_t used = std::strlen(result.reasons);
        std::snprintf(result.reasons + used, sizeof result.reasons - used, "%s%s", used > 0 ? "\n" : "", line);
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void printIndented(const char* text)
{
    const char* line = text;
    while (*line != '\0') {
        const char* end = std::strchr(line, '\n');
        const int length = end != nullptr ? static_cast<int>(end - line) : static_cast<int>(std::strlen(line));
        std::printf("      %.*s\n", length, line);
        line += length;
        if (*line == '\n') ++line;
    }
}

}  // namespace

void listChecks()
{
    for (const Check& check : allChecks()) std::printf("%-26s %s\n", check.name, check.summary);
}

bool namesACheck(const std::string& pattern)
{
    const CheckList checks = allChecks();
    for (const Check& check : checks) {
        if (matchesPattern(check.name, pattern)) return true;
    }
    return false;
}

int runChecks(const RunOptions& options)
{
    if (access(options.module.c_str(), R_OK) != 0) {
        throw std::runtime_error("cannot read " + options.module + ": " + std::strerror(errno));
    }
    void* memory = mmap(nullptr, sizeof(SharedResult), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) throw std::runtime_error("cannot map the shared result record");
    auto& result = *static_cast<SharedResult*>(memory);

    std::printf("validating %s (seed %llu%s)\n", options.module.c_str(), static_cast<unsigned long long>(options.seed),
                options.quick ? ", quick" : "");
    const CheckList checks = checksFor(options.module);
    int passed = 0;
    int failed = 0;
    int skipped = 0;
    for (const Check& check : checks) {
        bool selected = options.only.empty();
        for (const std::string& pattern : options.only) selected = selected || matchesPattern(check.name, pattern);
        for (const std::string& pattern : options.skip) selected = selected && !matchesPattern(check.name, pattern);
        if (!selected) continue;

        const double ms = runIsolated(check, options, result);
        const char* label = result.status == CheckStatus::Pass   ? "PASS"
                            : result.status == CheckStatus::Skip ? "SKIP"
                                                                 : "FAIL";
        std::printf("%s  %-26s %7.0f ms  %s\n", label, check.name, ms, check.summary);
        if (result.measured[0] != '\0') printIndented(result.measured);
        if (result.status == CheckStatus::Pass) {
            ++passed;
        } else if (result.status == CheckStatus::Skip) {
            ++skipped;
            printIndented(result.reasons);
        } else {
            ++failed;
            printIndented(result.reasons);
            std::printf("      reproduce: tw07-host validate %s --only %s --seed %llu%s%s%s\n", options.module.c_str(),
                        check.name, static_cast<unsigned long long>(options.seed), options.quick ? " --quick" : "",
                        result.repro[0] != '\0' ? "  # " : "", result.repro);
        }
        std::fflush(stdout);
    }
    munmap(memory, sizeof(SharedResult));
    std::printf("%d passed, %d failed, %d skipped\n", passed, failed, skipped);
    return failed > 0 ? 1 : 0;
}

}  // namespace tools::validate
