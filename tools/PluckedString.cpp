#include "PluckedString.h"

#include "Random.h"

#include <algorithm>
#include <cmath>

namespace tools {

PluckedString::PluckedString(int sampleRate, float lowestHz)
    : sampleRate(static_cast<float>(sampleRate)),
      line(static_cast<std::size_t>(std::max(2.0f, std::ceil(this->sampleRate / lowestHz)) + 1), 0.0f)
{
}

float PluckedString::gainFor(float decaySeconds) const
{
    // Loss per trip round the loop so that the note falls by 60 dB in decaySeconds.
    const float periodsInDecay = decaySeconds * sampleRate / static_cast<float>(length);
    return std::pow(10.0f, -3.0f / std::max(periodsInDecay, 1.0f));
}

void PluckedString::pluck(float frequency, float amplitude, float brightness, float decaySeconds, std::uint64_t seed)
{
    // The average in the loop delays by half a sample, so the line is half a sample short.
    const float period = sampleRate / frequency - 0.5f;
    length = std::clamp(static_cast<int>(std::lround(period)), 2, static_cast<int>(line.size()));
    position = 0;
    feedback = gainFor(decaySeconds);

    Random random(seed);
    float smoothed = 0.0f;
    float sum = 0.0f;
    for (int i = 0; i < length; ++i) {
        smoothed += brightness * (random.bipolar() - smoothed);
        line[static_cast<std::size_t>(i)] = smoothed;
        sum += smoothed;
    }
    // No DC in the excitation, peak scaled to the amplitude: the loop never grows it.
    const float mean = sum / static_cast<float>(length);
    float peak = 0.0f;
    for (int i = 0; i < length; ++i) {
        line[static_cast<std::size_t>(i)] -= mean;
        peak = std::max(peak, std::fabs(line[static_cast<std::size_t>(i)]));
    }
    const float scale = peak > 0.0f ? std::min(amplitude, 1.0f) / peak : 0.0f;
    for (int i = 0; i < length; ++i) line[static_cast<std::size_t>(i)] *= scale;
}

void PluckedString::damp(float decaySeconds)
{
    feedback = std::min(feedback, gainFor(decaySeconds));
}

}  // namespace tools
