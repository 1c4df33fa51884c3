// The Windows module's audio under Wine: sane output at the rates hosts use most.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "RenderJob.h"
#include "RenderOptions.h"
#include "Signals.h"

namespace {

TEST(WindowsOutput, FiniteBoundedAndAudibleAtTheCommonRates)
{
    for (const int rate : {44100, 48000, 96000}) {
        SCOPED_TRACE(rate);
        const tools::AudioBuffer input = tools::Signals::guitarRiff(7, rate, rate * 2);
        for (const float drive : {0.35f, 1.0f}) {
            tools::RenderOptions options;
            options.settings.push_back({"Drive", drive});
            const tools::RenderOutcome outcome = tools::renderThroughModule(TW07_MODULE_PATH, input, options, false);
            ASSERT_EQ(outcome.output.numChannels(), 2);
            float peak = 0.0f;
            for (const auto& channel : outcome.output.channels) {
                for (const float v : channel) {
                    ASSERT_TRUE(std::isfinite(v));
                    peak = std::max(peak, std::fabs(v));
                }
            }
            // The final clipper holds about +-1; the anti-alias filter overshoots a little.
            EXPECT_LE(peak, 4.0f) << "drive " << drive;
            EXPECT_GT(peak, 0.05f) << "drive " << drive;
        }
    }
}

}  // namespace
