#pragma once
// How the knobs become the values the bricks read: the glide of the smoothed
// parameters and the tone law.

#include <algorithm>

namespace plug {

// A parameter glided once per block: `target` is written by the parameter's
// change callback on any thread, `current` only by the audio thread.
struct SmoothedParameter {
    float target = 0.0f;
    float current = 0.0f;
};

// Each block closes 5/256 of the distance to the target: 90 % is reached after
// ln(0.1) / ln(251/256) = 116.7 blocks of 32 frames, 84.7 ms at 44.1 kHz.
constexpr float kGlideStep = 0.01953125f;  // 5/256
constexpr float kGlideKeep = 0.98046875f;  // 251/256

inline float glide(float target, float current) { return target * kGlideStep + current * kGlideKeep; }

// The tone knobs (0..1) give the tone stages' band gains (linear mixer factors
// added to the dry signal) and the state-variable filters' cutoff controls,
// whose cutoff is 20 * 2^(10 x) Hz against the host rate (0.5: 640 Hz).
constexpr float kLoGainSpan = 30.0f;     // low band: -15 .. +15 over the knob
constexpr float kLoGainOffset = 15.0f;   // 0 at the centre
constexpr float kLoCutoffTop = 0.5f;     // pre high-pass from 640 Hz at knob 0 down to 20 Hz from the centre up
constexpr float kHiGainSpan = 8.0f;      // high band: -2 .. +6 over the knob
constexpr float kHiGainOffset = 2.0f;    // +2 at the centre
constexpr float kHiCutoffBottom = 0.5f;  // post low-pass from 640 Hz at knob 0 up to its 18 kHz limit
constexpr float kHiCutoffTop = 1.0f;     // above 0.98 the filter holds at its 18 kHz limit anyway
constexpr float kMidCutSpan = 2.0f;      // mid bands: -1 .. 0 over the lower half
constexpr float kMidCutOffset = 1.0f;
constexpr float kMidBoostSpan = 6.0f;  // and 0 .. +3 over the upper half
constexpr float kMidBoostOffset = 3.0f;
constexpr float kKnobCentre = 0.5f;

struct BandControls {
    float gain;
    float cutoff;
};

inline BandControls toneLo(float t) { return {t * kLoGainSpan - kLoGainOffset, std::max(kLoCutoffTop - t, 0.0f)}; }

inline BandControls toneHi(float h)
{
    return {h * kHiGainSpan - kHiGainOffset, std::min(h + kHiCutoffBottom, kHiCutoffTop)};
}

// The two halves meet at 0 in the centre, so the knob has no step there.
static_assert(kKnobCentre * kMidCutSpan == kMidCutOffset && kKnobCentre * kMidBoostSpan == kMidBoostOffset);

inline float toneMid(float m)
{
    return m < kKnobCentre ? m * kMidCutSpan - kMidCutOffset : m * kMidBoostSpan - kMidBoostOffset;
}

}  // namespace plug
