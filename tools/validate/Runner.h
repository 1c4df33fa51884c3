#pragma once
// The validator's run: the checks a selection names, each in a child process of
// its own, reported as they finish.

#include "CheckRegistry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tools::validate {

struct RunOptions {
    std::string module;
    std::vector<std::string> only;  // check names or groups; empty: every check
    std::vector<std::string> skip;
    std::uint64_t seed = 1;
    bool quick = false;
    bool verbose = false;  // the module's own output is shown
};

// Prints every check's name and summary.
void listChecks();
// True when the pattern selects at least one check.
bool namesACheck(const std::string& pattern);
// Prints a line a check and the totals; returns the exit status (1 when a check failed).
// Throws std::runtime_error when the module cannot be read.
int runChecks(const RunOptions& options);

}  // namespace tools::validate
