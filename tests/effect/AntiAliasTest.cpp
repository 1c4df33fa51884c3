// The anti-alias low-passes in physical units: their response at four times
// the host rate, from the tier each host rate selects.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "plug/Filters.h"

namespace plug {
namespace {

// Gain in dB at hz of the four sections at four times the host rate.
double gainDb(const AntiAliasSections& sections, double hz, double hostRate)
{
    const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * hz / (4.0 * hostRate));
    std::complex<double> h = 1.0;
    for (const bricks::BiquadCoefficients& s : sections) {
        const std::complex<double> b1 = double(s.b1) + z1 * double(s.b2), a1 = double(s.a1) + z1 * double(s.a2);
        h *= (double(s.b0) + z1 * b1) / (1.0 + z1 * a1);
    }
    return 20.0 * std::log10(std::abs(h));
}

// The audio band passes within its ripple (between its DC gain and 0 dB), and from the host's
// Nyquist frequency up to the internal one everything is at least 70 dB down, so decimation folds
// nothing audible back.
TEST(AntiAlias, PassesTheAudioBandAndStopsFromTheHostNyquist)
{
    struct Rate {
        double hz, dcDb, edgeHz;
    };
    const Rate rates[] = {{44100.0, -1.0, 19000.0}, {48000.0, -1.0, 20000.0}, {96000.0, -0.100, 25000.0}};
    for (const Rate& r : rates) {
        const AntiAliasSections& sections = kAntiAlias[antiAliasTier(float(r.hz))];
        const double dc = gainDb(sections, 0.0, r.hz);
        EXPECT_NEAR(dc, r.dcDb, 0.005) << r.hz;
        double passMin = 0.0, passMax = -200.0, stopMax = -200.0;
        for (double f = 10.0; f <= r.edgeHz; f += 10.0) {
            passMin = std::min(passMin, gainDb(sections, f, r.hz));
            passMax = std::max(passMax, gainDb(sections, f, r.hz));
        }
        EXPECT_GT(passMin, r.dcDb - 0.005) << r.hz;
        EXPECT_LT(passMax, 0.005) << r.hz;
        for (double f = r.hz / 2.0; f <= 2.0 * r.hz; f += 5.0) stopMax = std::max(stopMax, gainDb(sections, f, r.hz));
        EXPECT_LT(stopMax, -69.99) << r.hz;
    }
}

}  // namespace
}  // namespace plug
