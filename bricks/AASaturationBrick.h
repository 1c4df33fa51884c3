#pragma once

#include <emmintrin.h>

#include "bricks/DspBrick.h"
#include "bricks/Lanes.h"

namespace bricks {

// Soft saturator f(x) = x / sqrt(1 + x^2) with first-order antiderivative
// anti-aliasing: outputs the mean of f between the previous and the current
// scaled input. Control input 0 drive (linear input gain). The template
// argument selects nothing further.
template<int Variant>
class AASaturationBrick : public DspBrickImpl<1, 0, 1, 1> {
public:
    void process() override { processRange(0, kBlockSize); }

    void processRange(int begin, int end)
    {
        if (begin == 0)
            blockDrive = controlValue(0);
        // Each sample depends on the input only, never on an output: four at a
        // time, both quotients' operands selected per lane before one division.
        const __m128 drive = _mm_set1_ps(blockDrive);
        const __m128 one = _mm_set1_ps(1.0f);
        const __m128 threshold = _mm_set1_ps(0.0002f);
        const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
        const float* __restrict in = audioInputs[0];
        float* __restrict out = audioOutputs[0].data();
        __m128i lastX = _mm_castps_si128(_mm_set1_ps(prevX));
        __m128i lastF = _mm_castps_si128(_mm_set1_ps(prevF));
        for (int n = begin; n < end; n += 4) {
            const __m128 x = _mm_mul_ps(drive, _mm_loadu_ps(in + n));
            const __m128 antiderivative = _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(x, x), one));
            const __m128i xi = _mm_castps_si128(x);
            const __m128i fi = _mm_castps_si128(antiderivative);
            // (the sample before these four, x0, x1, x2), likewise for the antiderivative
            const __m128 x0 = _mm_castsi128_ps(_mm_or_si128(_mm_slli_si128(xi, 4), _mm_srli_si128(lastX, 12)));
            const __m128 f = _mm_castsi128_ps(_mm_or_si128(_mm_slli_si128(fi, 4), _mm_srli_si128(lastF, 12)));
            const __m128 dx = _mm_sub_ps(x, x0);
            // Closer inputs than this make the difference quotient ill-conditioned.
            const __m128 apart = _mm_cmpgt_ps(_mm_and_ps(dx, magnitude), threshold);
            const __m128 numerator = lanes::select(apart, _mm_sub_ps(antiderivative, f), x);
            const __m128 denominator = lanes::select(apart, dx, antiderivative);
            _mm_storeu_ps(out + n, _mm_div_ps(numerator, denominator));
            lastX = xi;
            lastF = fi;
        }
        prevF = _mm_cvtss_f32(_mm_castsi128_ps(_mm_srli_si128(lastF, 12)));
        prevX = _mm_cvtss_f32(_mm_castsi128_ps(_mm_srli_si128(lastX, 12)));
    }

    void reset() override {}

private:
    float prevF = 1.0f;  // sqrt(1 + prevX^2)
    float prevX = 0.0f;  // previous scaled input
    float blockDrive = 0.0f;  // control input 0 as read where the block began
};

}  // namespace bricks
