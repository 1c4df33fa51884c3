#include "PluckedString.h"

#include "Random.h"

#include <algorithm>
#include <cmath>

namespace tools {

PluckedString::PluckedString(int sampleRate, float lowestHz)
    : sampleRate(static_cast<float>(sampleRate)),
      line(static_cast<std::size_t>(std::max(2.0f, std::ceil(this->sampleRate / lowestHz)) + 3), 0.0f),
      size(static_cast<int>(line.size()))
{
}

float PluckedString::gainFor(float decaySeconds) const
{
    // Loss per trip round the loop so that the note falls by 60 dB in decaySeconds.
    const float tripsInDecay = decaySeconds * sampleRate / period;
    return std::pow(10.0f, -3.0f / std::max(tripsInDecay, 1.0f));
}

void PluckedString::pluck(float frequency, float amplitude, float brightness, float decaySeconds, std::uint64_t seed)
{
    // The two-point average delays by half a frame; the taps supply the rest of the period.
    const float longest = static_cast<float>(size - 3);
    period = std::clamp(sampleRate / frequency, 2.0f, longest + 0.5f);
    const float delay = period - 0.5f;
    whole = static_cast<int>(delay);
    fraction = delay - static_cast<float>(whole);
    feedback = gainFor(decaySeconds);

    // A fresh burst of one period plus the taps' reach; older content is cleared.
    std::fill(line.begin(), line.end(), 0.0f);
    const int burst = whole + 2;
    Random random(seed);
    float smoothed = 0.0f;
    float sum = 0.0f;
    std::vector<float> noise(static_cast<std::size_t>(burst));
    for (float& sample : noise) {
        smoothed += brightness * (random.bipolar() - smoothed);
        sample = smoothed;
        sum += smoothed;
    }
    // No DC in the excitation, peak scaled to the amplitude.
    const float mean = sum / static_cast<float>(burst);
    float peak = 0.0f;
    for (float& sample : noise) {
        sample -= mean;
        peak = std::max(peak, std::fabs(sample));
    }
    const float scale = peak > 0.0f ? std::min(amplitude, 1.0f) / peak : 0.0f;
    for (int i = 0; i < burst; ++i) {
        const int position = (write - 1 - i + size) % size;
        line[static_cast<std::size_t>(position)] = noise[static_cast<std::size_t>(i)] * scale;
    }
}

void PluckedString::damp(float decaySeconds) { feedback = std::min(feedback, gainFor(decaySeconds)); }

}  // namespace tools
