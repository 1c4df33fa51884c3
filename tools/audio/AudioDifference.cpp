#include "AudioDifference.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace tools {

AudioDifference AudioDifference::between(const AudioBuffer& a, const AudioBuffer& b)
{
    if (a.numChannels() != b.numChannels() || a.numFrames() != b.numFrames()) {
        throw std::invalid_argument("renders of different shapes");
    }
    AudioDifference difference;
    const std::int64_t frames = a.numFrames();
    difference.samples = frames * a.numChannels();
    for (std::int64_t frame = 0; frame < frames; ++frame) {
        for (int c = 0; c < a.numChannels(); ++c) {
            const float x = a.channels[static_cast<std::size_t>(c)][static_cast<std::size_t>(frame)];
            const float y = b.channels[static_cast<std::size_t>(c)][static_cast<std::size_t>(frame)];
            if (x == y || (std::isnan(x) && std::isnan(y))) continue;
            ++difference.differing;
            const double gap = std::isfinite(x) && std::isfinite(y) ? std::fabs(static_cast<double>(x) - y)
                                                                    : std::numeric_limits<double>::infinity();
            difference.largest = std::max(difference.largest, gap);
            if (difference.firstFrame < 0) {
                difference.firstFrame = frame;
                difference.firstChannel = c;
            }
        }
    }
    return difference;
}

void AudioDifference::add(const AudioDifference& other)
{
    samples += other.samples;
    differing += other.differing;
    largest = std::max(largest, other.largest);
}

}  // namespace tools
