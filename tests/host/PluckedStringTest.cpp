#include "tools/audio/PluckedString.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using tools::PluckedString;

std::vector<float> play(PluckedString& string, int frames)
{
    std::vector<float> out(static_cast<std::size_t>(frames));
    for (float& sample : out) sample = string.next();
    return out;
}

double rms(const std::vector<float>& x, std::size_t start, std::size_t length)
{
    double sum = 0.0;
    for (std::size_t i = start; i < start + length; ++i) sum += static_cast<double>(x[i]) * x[i];
    return std::sqrt(sum / static_cast<double>(length));
}

// Lag of the highest autocorrelation between 0.5 and 1.5 expected periods, refined
// between frames by a parabola through the peak and its neighbours.
double measuredHz(const std::vector<float>& x, double rate, double expectedHz)
{
    const auto lo = static_cast<std::size_t>(0.5 * rate / expectedHz);
    const auto hi = static_cast<std::size_t>(1.5 * rate / expectedHz);
    const std::size_t window = x.size() - hi - 1;
    auto correlation = [&](std::size_t lag) {
        double sum = 0.0;
        for (std::size_t i = 0; i < window; ++i) sum += static_cast<double>(x[i]) * x[i + lag];
        return sum;
    };
    std::size_t best = lo;
    for (std::size_t lag = lo; lag <= hi; ++lag) {
        if (correlation(lag) > correlation(best)) best = lag;
    }
    const double left = correlation(best - 1);
    const double middle = correlation(best);
    const double right = correlation(best + 1);
    const double offset = 0.5 * (left - right) / (left - 2.0 * middle + right);
    return rate / (static_cast<double>(best) + offset);
}

TEST(PluckedString, PitchAndDecay)
{
    for (int rate : {22050, 44100, 48000, 96000}) {
        for (float hz : {82.41f, 196.0f, 659.26f}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz rate, " + std::to_string(hz) + " Hz note");
            PluckedString string(rate, 80.0f);
            string.pluck(hz, 1.0f, 0.7f, 1.0f, 42);
            const std::vector<float> out = play(string, rate * 2);
            EXPECT_NEAR(measuredHz(out, rate, hz) / hz, 1.0, 0.003);
            const double peak = std::fabs(*std::max_element(
                out.begin(), out.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); }));
            EXPECT_LE(peak, 1.0);
            EXPECT_GT(peak, 0.3);
            // At least 60 dB down one decay time later (high notes lose more in the loop's
            // filters), but not cut off.
            const auto period = static_cast<std::size_t>(rate / hz) * 4;
            const double start = rms(out, 0, period);
            const double later = rms(out, static_cast<std::size_t>(rate), period);
            EXPECT_LT(later / start, 1.2e-3);
            EXPECT_GT(later / start, 1e-6);
        }
    }
}

TEST(PluckedString, DampingAndReplucking)
{
    PluckedString string(48000, 80.0f);
    string.pluck(110.0f, 0.5f, 0.5f, 3.0f, 1);
    std::vector<float> out = play(string, 4800);
    const double ringing = rms(out, 4000, 800);
    string.damp(0.05f);
    out = play(string, 4800);
    EXPECT_LT(rms(out, 4000, 800), ringing * 1e-3);
    // A pluck below the lowest frequency the line was sized for still fits and stays bounded.
    string.pluck(20.0f, 2.0f, 1.0f, 1.0f, 2);
    out = play(string, 4800);
    for (float sample : out) ASSERT_LE(std::fabs(sample), 1.0f);
}

}  // namespace
