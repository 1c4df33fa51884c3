#pragma once
// The effect's fixed filters. The bricks are given the host rate but run at four
// times it, so each fixed filter acts at four times its nominal frequency.

#include "bricks/BiquadCoefficients.h"

namespace plug {

// Nominal corners, each a round frequency over 2 pi as a float, and where they land in the audio.
constexpr float kLoBandHz = 31.830988f;   // 200 / 2 pi: low band of the input tone stage, 127 Hz
constexpr float kMidBandHz = 477.46484f;  // 3000 / 2 pi: both mid bands, 1.91 kHz
constexpr float kDcBlockHz = 4.774648f;   // 30 / 2 pi: DC high-pass after the sustainer, 19 Hz
constexpr float kHiBandHz = 2546.479f;    // 16000 / 2 pi: high band of the output tone stage, 10.2 kHz
constexpr float kScopeHz = 954.9297f;     // 6000 / 2 pi: the scope's low-pass, 3.8 kHz
// The set-ups take q as twice the quality factor: 1/1.42 is a quality factor of 0.35, a broad
// band; the low band's 1.0 is 0.5.
constexpr float kQ = 0.70422536f;
constexpr float kLoBandQ = 1.0f;
// Damping of the state-variable filters (0 most damped, 1 undamped).
constexpr float kPreResonance = 0.1f;
constexpr float kPostResonance = 0.25f;

// Eighth-order elliptic low-passes at four times the host rate, as four sections (a1, a2, b0, b1,
// b2), zeros on the unit circle in the last three: about -1 dB across the audio band (-0.1 dB for
// the top tier) and at least 70 dB down from the host's Nyquist frequency up.
using AntiAliasSections = bricks::BiquadCoefficients[4];
constexpr AntiAliasSections kAntiAlias[3] = {
    // 88.2 and 96 kHz: flat to 25 kHz; zeros at 0.36, 0.40 and 0.54 of the host rate
    {{-1.6564436f, 0.696805f, 0.00068730925f, 0.00024728736f, 0.00068730925f},
     {-1.68873751f, 0.790038407f, 1.0f, -1.32733774f, 1.0f},
     {-1.7284236f, 0.893288016f, 1.0f, -1.61346352f, 1.0f},
     {-1.76840568f, 0.9686746f, 1.0f, -1.68354893f, 1.0f}},
    // 48 kHz: 1 dB under its DC gain at 20.1 kHz; zeros at 23.4, 25.5 and 32.7 kHz
    {{-1.68434465f, 0.734019518f, 0.00115263567f, 0.000940842496f, 0.00115263567f},
     {-1.62907219f, 0.829932094f, 1.0f, -0.96152699f, 1.0f},
     {-1.58183098f, 0.922139585f, 1.0f, -1.34454799f, 1.0f},
     {-1.57063568f, 0.978784025f, 1.0f, -1.44098806f, 1.0f}},
    // 44.1 kHz and below: 1 dB under its DC gain at 19.1 kHz; zeros at 22.2, 24.2 and 30.9 kHz at 44.1 kHz
    {{-1.67276812f, 0.725848556f, 0.00122968329f, 0.00107652578f, 0.00122968329f},
     {-1.61048973f, 0.824892998f, 1.0f, -0.905136347f, 1.0f},
     {-1.55698025f, 0.919905305f, 1.0f, -1.30406845f, 1.0f},
     {-1.54300547f, 0.97818017f, 1.0f, -1.40540564f, 1.0f}},
};

// Each table from the rate it was designed for, less a margin: 88.2 kHz, and between 44.1 and 48 kHz.
constexpr float kTopTierHz = 88000.0f;
constexpr float kMiddleTierHz = 47500.0f;

constexpr int antiAliasTier(float hz)
{
    if (hz >= kTopTierHz) return 0;
    if (hz >= kMiddleTierHz) return 1;
    return 2;
}

}  // namespace plug
