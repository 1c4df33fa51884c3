#pragma once

namespace bricks {

// The sustainer's constants. Time constants are in seconds at the brick's own rate; the effect
// runs it on four times that rate, so in the audio they last a quarter as long. The two channels
// are voiced apart (bias, threshold, attack and maximum gain), so that a centred source clips and
// sustains a little differently on each side, which widens the image.
namespace sustain {
constexpr double kInputTrackerSeconds = 0.47;         // slow average taken off the input: DC and rumble
constexpr double kDetectorTrackerSeconds = 0.016592;  // average taken off the detector, leaving its swings
constexpr float kDriveScale = 10.0f;                  // input gain drive^3 * 10: +20 dB at full drive
constexpr float kUncompressedDrop = 0.6f;             // compression 0 leaves 0.4 of the input gain (-8 dB)
constexpr float kMonoMean = 0.5f;                     // mono: channel 0 takes the mean of both inputs
constexpr float kClipperInputScale = 0.5f;            // the clipper takes half the gained signal
constexpr float kBias0 = 0.327f;                      // clipper bias, channel 0: asymmetric clipping
constexpr float kBias1 = 0.3f;                        // channel 1
constexpr float kOutputScale = 4.0f;                  // +12 dB after the clipper
constexpr float kDetectorScale = 5.0f;                // detector input per unit of output and compression
constexpr float kThreshold0 = 0.66f;                  // swing beyond the envelope that starts an attack
constexpr float kThreshold1 = 0.7986f;                // channel 1: 1.21 times channel 0's
constexpr float kEnvelopeCap = 6.0f;                  // largest level an attack aims at
// Envelope time constants are V * factor seconds, with V = (1 - speed + 0.02)^2 * 90: from 93.6 at
// speed 0 to 0.036 at speed 1 (the 0.02 keeps the fastest times above zero).
constexpr float kSpeedFloor = 0.02f;
constexpr float kSpeedTimeScale = 90.0f;
constexpr double kAttackFactor0 = 0.00198;   // attack: 13.0 ms at speed 0.75
constexpr double kAttackFactor1 = 0.002277;  // channel 1: 1.15 times as slow
constexpr double kReleaseFactor = 0.1034;    // release, both channels: 0.678 s at speed 0.75
// Gain (kGainClamp - clamp(kEnvelopeToGain * e, 0, kGainClamp)) * maxScale / kGainClamp * kFullGain + 1:
// full at envelope 0, unity from envelope 2 up.
constexpr float kEnvelopeToGain = 2.5f;
constexpr float kGainClamp = 5.0f;
constexpr float kFullGain = 300.0f;   // +49.5 dB
constexpr float kMaxScale0 = 0.981f;  // channel 0 peaks at 295.3 (+49.4 dB)
constexpr float kMaxScale1 = 0.9f;    // channel 1 at 271 (+48.7 dB)
// Linked: each gain moves 0.8 of the way to the smaller one (1 - 0.8 as a float is 0.19999999).
constexpr float kLinkOwn = 0.19999999f;
constexpr float kLinkPull = 0.8f;
}  // namespace sustain

}  // namespace bricks
