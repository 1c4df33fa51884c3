#pragma once

#include <cmath>

#include "bricks/DspBrick.h"

namespace bricks {

// Soft saturator f(x) = x / sqrt(1 + x^2) with first-order antiderivative
// anti-aliasing: outputs the mean of f between the previous and the current
// scaled input. Control input 0 drive (linear input gain). The template
// argument selects nothing further.
template<int Variant>
class AASaturationBrick : public DspBrickImpl<1, 0, 1, 1> {
public:
    void process() override
    {
        const float drive = controlValue(0);
        const float* __restrict in = audioInputs[0];
        float* __restrict out = audioOutputs[0].data();
        float f = prevF;
        float x0 = prevX;
        for (int n = 0; n < kBlockSize; ++n) {
            const float x = drive * in[n];
            const float antiderivative = std::sqrt(x * x + 1.0f);
            const float dx = x - x0;
            // Closer inputs than this make the difference quotient ill-conditioned.
            out[n] = std::fabs(dx) > 0.0002f ? (antiderivative - f) / dx : x / antiderivative;
            f = antiderivative;
            x0 = x;
        }
        prevF = f;
        prevX = x0;
    }

    void reset() override {}

private:
    float prevF = 1.0f;  // sqrt(1 + prevX^2)
    float prevX = 0.0f;  // previous scaled input
};

}  // namespace bricks
