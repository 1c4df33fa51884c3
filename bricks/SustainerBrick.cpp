#include "bricks/SustainerBrick.h"

#include <algorithm>
#include <cmath>

namespace bricks {

namespace {

// Biased soft clipper: with z = j^3 + j, z / sqrt(z^2 + 1). Where z^2
// overflows the quotient would give 0 or NaN; its limit there is sign(z).
inline float clip(float j)
{
    const float z = j * j * j + j;
    const float zz = z * z;
    if (!std::isfinite(zz))
        return std::copysign(1.0f, z);
    return z / std::sqrt(zz + 1.0f);
}

// One-pole coefficient 1 - 1/x for a time constant of x samples, held at 0
// where x < 1 would make it negative and the envelope alternate in sign.
inline float envelopeCoefficient(float v, double factor, float sampleRate)
{
    const float c = 1.0f - 1.0f / (float(v * factor) * sampleRate);
    return std::max(c, 0.0f);
}

// Gain from the envelope: maxGain - 1 at envelope 0, down to 1 at 2 and above.
inline float gainFromEnvelope(double envelope, float scale)
{
    const float e = std::clamp(2.5f * float(envelope), 0.0f, 5.0f);
    return (5.0f - e) * scale / 5.0f * 300.0f + 1.0f;
}

}  // namespace

void SustainerBrick::setSampleRate(float rate)
{
    DspBrick::setSampleRate(rate);
    // Input trackers: time constant 0.47 s; detector trackers: 16.592 ms.
    inputTracker0.coefficient = std::exp(-1.0 / (double(rate) * 0.47));
    inputTracker1.coefficient = inputTracker0.coefficient;
    detectorTracker0.coefficient = std::exp(-1.0 / (double(rate) * 0.016592));
    detectorTracker1.coefficient = detectorTracker0.coefficient;
    reset();
}

void SustainerBrick::reset()
{
    inputTracker0.state = 0.0;
    inputTracker1.state = 0.0;
    detectorTracker0.state = 0.0;
    detectorTracker1.state = 0.0;
    envelope0.state = 0.0;
    envelope1.state = 0.0;
}

void SustainerBrick::process()
{
    const float drive = controlValue(0);
    const float compression = controlValue(1);
    const float stereoMode = controlValue(2);
    const float speed = controlValue(3);

    const float gIn = (1.0f - (1.0f - compression) * 0.6f) * (drive * drive * drive * 10.0f);
    const float rounded = std::round(stereoMode * 2.0f);
    const bool linked = rounded == 1.0f;
    const bool mono = rounded == 2.0f;
    const float slowness = 1.0f - speed + 0.02f;
    const float v = slowness * slowness * 90.0f;  // scales every envelope time

    // The envelope coefficients depend only on v and the rate: form them once.
    const double attack0 = envelopeCoefficient(v, 0.00198, sampleRate);
    const double attack1 = envelopeCoefficient(v, 0.002277, sampleRate);
    const double release = envelopeCoefficient(v, 0.1034, sampleRate);

    const double cIn = inputTracker0.coefficient;
    const double cDet = detectorTracker0.coefficient;
    double t0 = inputTracker0.state;
    double t1 = inputTracker1.state;
    double a0 = detectorTracker0.state;
    double a1 = detectorTracker1.state;
    double e0 = envelope0.state;
    double e1 = envelope1.state;
    double c0 = envelope0.coefficient;
    double c1 = envelope1.coefficient;
    float g0 = r0;
    float g1 = r1;

    const float* __restrict in0 = audioInputs[0];
    const float* __restrict in1 = audioInputs[1];
    float* __restrict out0 = audioOutputs[0].data();
    float* __restrict out1 = audioOutputs[1].data();
    for (int n = 0; n < kBlockSize; ++n) {
        const float xL = gIn * in0[n];
        const float xR = gIn * in1[n];
        const float d0 = mono ? (xL + xR) * 0.5f : xL;

        // Trackers follow the input with a 0.47 s time constant; subtracting
        // them removes DC and very low frequencies.
        t0 = (t0 - d0) * cIn + d0;
        t1 = (t1 - xR) * cIn + xR;

        const float j0 = 0.5f * float((d0 - t0) * g0) + 0.327f;
        const float y0 = clip(j0) - 0.327f;
        const float j1 = 0.5f * float((xR - t1) * g1) + 0.3f;
        const float y1 = clip(j1) - 0.3f;
        out0[n] = 4.0f * y0;
        out1[n] = mono ? 4.0f * y0 : 4.0f * y1;

        const float s0 = y0 * 5.0f * compression;
        const float s1 = y1 * 5.0f * compression;
        a0 = (a0 - s0) * cDet + s0;
        a1 = (a1 - s1) * cDet + s1;
        const float h0 = float(s0 - a0);
        const float h1 = float(s1 - a1);

        // Negative swings beyond envelope + threshold drive the envelope up
        // towards the excess (at most 6); otherwise it decays to 0.
        float target0 = 0.0f;
        c0 = release;
        if (h0 < -(float(e0) + 0.66f)) {
            target0 = -(h0 + 0.66f);
            c0 = attack0;
        }
        const double m0 = std::min(6.0f, target0);
        e0 = (e0 - m0) * c0 + m0;

        float target1 = 0.0f;
        c1 = release;
        if (h1 < -(float(e1) + 0.7986f)) {
            target1 = -(h1 + 0.7986f);
            c1 = attack1;
        }
        const double m1 = std::min(6.0f, target1);
        e1 = (e1 - m1) * c1 + m1;

        g0 = gainFromEnvelope(e0, 0.981f);
        g1 = gainFromEnvelope(e1, 0.9f);
        if (linked) {
            const float m = g1 < g0 ? g1 : g0;
            g0 = g0 * 0.19999999f + m * 0.8f;
            g1 = g1 * 0.19999999f + m * 0.8f;
        }
    }
    inputTracker0.state = t0;
    inputTracker1.state = t1;
    detectorTracker0.state = a0;
    detectorTracker1.state = a1;
    envelope0.state = e0;
    envelope1.state = e1;
    envelope0.coefficient = c0;
    envelope1.coefficient = c1;
    r0 = g0;
    r1 = g1;
}

}  // namespace bricks
