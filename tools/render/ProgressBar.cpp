#include "ProgressBar.h"

#include <unistd.h>

#include <algorithm>
#include <string>

namespace tools {

ProgressBar::ProgressBar(std::FILE* stream, bool enabled)
    : stream(stream), active(enabled && stream != nullptr && isatty(fileno(stream)) == 1)
{
}

ProgressBar::~ProgressBar() { finish(); }

void ProgressBar::update(double fraction)
{
    if (!active) return;
    const int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100.0);
    if (percent == shownPercent) return;
    shownPercent = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(kWidth - filled), '.');
    std::fprintf(stream, "\r[%s] %3d%%", bar.c_str(), percent);
    std::fflush(stream);
}

void ProgressBar::finish()
{
    if (!active || shownPercent < 0) return;
    std::fprintf(stream, "\r%*s\r", 48, "");
    std::fflush(stream);
    shownPercent = -1;
}

}  // namespace tools
