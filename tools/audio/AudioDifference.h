#pragma once
// How far apart two renders of the same input are, sample by sample.

#include "AudioBuffer.h"

#include <cstdint>

namespace tools {

struct AudioDifference {
    std::int64_t samples = 0;      // compared, over all channels
    std::int64_t differing = 0;    // whose values differ; two NaNs count as equal
    double largest = 0.0;          // largest absolute difference; infinite where only one side is finite
    std::int64_t firstFrame = -1;  // where the first differing sample is (not kept in totals)
    int firstChannel = -1;

    // Throws std::invalid_argument when the two differ in channels or length.
    static AudioDifference between(const AudioBuffer& a, const AudioBuffer& b);

    // Adds the counts and the largest difference of another render (a total over renders).
    void add(const AudioDifference& other);
};

}  // namespace tools
