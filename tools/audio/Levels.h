#pragma once
// Peak and RMS level of each channel of a buffer.

#include "AudioBuffer.h"

#include <vector>

namespace tools {

struct ChannelLevel {
    double peak = 0.0;
    double rms = 0.0;
    bool finite = true;  // false when any sample is infinite or NaN
};

class Levels {
public:
    static std::vector<ChannelLevel> measure(const AudioBuffer& audio);
    // Decibels relative to full scale (1.0); -inf for silence.
    static double toDbfs(double linear);
};

}  // namespace tools
