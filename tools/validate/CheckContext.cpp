#include "CheckContext.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace tools::validate {

namespace {

constexpr int kReasonsShown = 6;

void formatInto(char* target, std::size_t size, const char* format, va_list args)
{
    std::vsnprintf(target, size, format, args);
}

}  // namespace

CheckContext::CheckContext(std::string modulePath, std::uint64_t seed, bool quick, SharedResult& result)
    : path(std::move(modulePath)), seedValue(seed), quickMode(quick), shared(result)
{
}

const HostModule& CheckContext::module()
{
    if (loaded != nullptr) return *loaded;
    // Never unloaded, so never destroyed: held past the end of the process.
    static auto* kept = new std::vector<std::unique_ptr<const HostModule>>;
    for (const auto& module : *kept) {
        if (module->path() == path) loaded = module.get();
    }
    if (loaded == nullptr) loaded = kept->emplace_back(std::make_unique<const HostModule>(path)).get();
    return *loaded;
}

const clap::ClapModule& CheckContext::clapModule()
{
    // Loaded once for the process and never unloaded, like module().
    if (loadedClap == nullptr) loadedClap = new clap::ClapModule(path);
    return *loadedClap;
}

const vst3::Vst3Module& CheckContext::vst3Module()
{
    if (loadedVst3 == nullptr) loadedVst3 = new vst3::Vst3Module(path);
    return *loadedVst3;
}

void CheckContext::fail(const char* format, ...)
{
    shared.status = CheckStatus::Fail;
    ++failureCount;
    const std::size_t used = std::strlen(shared.reasons);
    if (failureCount > kReasonsShown) {
        // Keep the count of the rest in one trailing line.
        char* tail = std::strstr(shared.reasons, "\n(and ");
        if (tail == nullptr) tail = shared.reasons + used;
        std::snprintf(tail, sizeof shared.reasons - static_cast<std::size_t>(tail - shared.reasons), "\n(and %d more)",
                      failureCount - kReasonsShown);
        return;
    }
    char line[1024];
    va_list args;
    va_start(args, format);
    formatInto(line, sizeof line, format, args);
    va_end(args);
    std::snprintf(shared.reasons + used, sizeof shared.reasons - used, "%s%s", used > 0 ? "\n" : "", line);
}

void CheckContext::skip(const char* format, ...)
{
    if (shared.status == CheckStatus::Fail) return;  // the failures stand
    shared.status = CheckStatus::Skip;
    va_list args;
    va_start(args, format);
    formatInto(shared.reasons, sizeof shared.reasons, format, args);
    va_end(args);
}

void CheckContext::note(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    formatInto(shared.note, sizeof shared.note, format, args);
    va_end(args);
}

void CheckContext::repro(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    formatInto(shared.repro, sizeof shared.repro, format, args);
    va_end(args);
}

void CheckContext::measured(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    formatInto(shared.measured, sizeof shared.measured, format, args);
    va_end(args);
}

}  // namespace tools::validate
