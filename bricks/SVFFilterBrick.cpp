#include "bricks/SVFFilterBrick.h"

#include <algorithm>
#include <cmath>

namespace bricks {

void SVFFilterBrick::process()
{
    const float cutoff = controlValue(0);
    const float resonance = controlValue(1);

    float frequency = 20.0f * std::pow(2.0f, 10.0f * cutoff);
    frequency = std::clamp(frequency, 20.0f, 18000.0f);
    // Keep the cutoff below half the sample rate, where tan() would turn
    // negative; has no effect from 40 kHz up.
    frequency = std::min(frequency, sampleRate * 0.45f);
    const float gTarget = std::tan(frequency * 3.1415927f / sampleRate);
    const float k = 2.0f - 2.0f * resonance;  // damping
    dg = (gTarget - g) * 0.0078125f;

    const float* __restrict in = audioInputs[0];
    float* __restrict low = audioOutputs[0].data();
    float* __restrict band = audioOutputs[1].data();
    float* __restrict high = audioOutputs[2].data();
    float gain = g;
    const float step = dg;
    float i1 = ic1;
    float i2 = ic2;
    for (int n = 0; n < kBlockSize; ++n) {
        const float x = in[n];
        gain = gain + step;
        const float a1 = 1.0f / (1.0f + gain * (gain + k));
        const float a2 = gain * a1;
        const float a3 = gain * a2;
        const float v3 = x - i2;
        const float v1 = a1 * i1 + a2 * v3;
        const float v2 = i2 + a2 * i1 + a3 * v3;
        i1 = 2.0f * v1 - i1;
        i2 = 2.0f * v2 - i2;
        low[n] = v2;
        band[n] = v1;
        high[n] = x - k * v1 - v2;
    }
    g = gain;
    ic1 = i1;
    ic2 = i2;
}

void SVFFilterBrick::reset()
{
    ic1 = 0.0f;
    ic2 = 0.0f;
    g = 0.0f;
    dg = 0.0f;
}

}  // namespace bricks
