#include "Levels.h"

#include <cmath>
#include <limits>

namespace tools {

std::vector<ChannelLevel> Levels::measure(const AudioBuffer& audio)
{
    std::vector<ChannelLevel> levels;
    for (const auto& channel : audio.channels) {
        ChannelLevel level;
        double sumOfSquares = 0.0;
        for (float sample : channel) {
            if (!std::isfinite(sample)) {
                level.finite = false;
                continue;
            }
            const double value = sample;
            level.peak = std::max(level.peak, std::fabs(value));
            sumOfSquares += value * value;
        }
        if (!channel.empty()) level.rms = std::sqrt(sumOfSquares / static_cast<double>(channel.size()));
        levels.push_back(level);
    }
    return levels;
}

double Levels::toDbfs(double linear)
{
    if (linear <= 0.0) return -std::numeric_limits<double>::infinity();
    return 20.0 * std::log10(linear);
}

}  // namespace tools
