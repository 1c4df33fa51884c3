#pragma once
// What a check sees while it runs in its own child process: the module, the
// seed, the mode, and a result record shared with the parent. The last note
// and the reproduction line survive a crash of the child.

#include "tools/host/ClapHost.h"
#include "tools/host/HostModule.h"
#include "tools/host/Vst3Host.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tools::validate {

enum class CheckStatus : int { Pass = 0, Fail = 1, Skip = 2 };

// Lives in memory shared between the parent and the child that runs a check.
struct SharedResult {
    CheckStatus status;
    char reasons[4096];
    char note[256];
    char repro[256];
    char measured[256];
};

class CheckContext {
public:
    CheckContext(std::string modulePath, std::uint64_t seed, bool quick, SharedResult& result);

    const std::string& modulePath() const { return path; }
    std::uint64_t seed() const { return seedValue; }
    bool quick() const { return quickMode; }

    // The module, loaded on first use and kept loaded for the rest of the process:
    // threads a module leaves behind may still run its code at exit.
    const HostModule& module();
    // The same for a CLAP module.
    const clap::ClapModule& clapModule();
    const vst3::Vst3Module& vst3Module();

    // Adds a reason; the check fails. Reasons after the first few are counted only.
    void fail(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Marks the check not applicable, with the reason.
    void skip(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // What the check does now; shown if the child crashes or stalls.
    void note(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The conditions to reproduce a failure (rate, block sizes), shown with it.
    void repro(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Figures worth reporting whether the check passes or fails.
    void measured(const char* format, ...) __attribute__((format(printf, 2, 3)));

    bool failed() const { return shared.status == CheckStatus::Fail; }
    int failures() const { return failureCount; }

private:
    std::string path;
    std::uint64_t seedValue;
    bool quickMode;
    SharedResult& shared;
    const HostModule* loaded = nullptr;
    const clap::ClapModule* loadedClap = nullptr;
    const vst3::Vst3Module* loadedVst3 = nullptr;
    int failureCount = 0;
};

}  // namespace tools::validate
