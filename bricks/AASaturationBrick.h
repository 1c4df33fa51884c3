#pragma once

#include <emmintrin.h>

#include "bricks/DspBrick.h"
#include "bricks/Lanes.h"

namespace bricks {

// One sample of soft saturators f(x) = x / sqrt(1 + x^2) with first-order
// antiderivative anti-aliasing, one per lane of V: the mean of f between the
// previous and the current scaled input.
template<class V>
struct SaturationKernel {
    V drive;
    V prevX;  // previous scaled input
    V prevF;  // its antiderivative sqrt(1 + prevX^2)

    static V antiderivative(V x) { return lanes::squareRoot(x * x + lanes::splat<V>(1.0f)); }

    // The mean of f from x0 to x, given both antiderivatives.
    [[gnu::always_inline]] static V mean(V x, V f, V x0, V f0)
    {
        const V dx = x - x0;
        // Closer inputs than this make the difference quotient ill-conditioned.
        const auto apart = lanes::magnitude(dx) > lanes::splat<V>(0.0002f);
        return lanes::select(apart, f - f0, x) / lanes::select(apart, dx, f);
    }

    // A sample in two parts: the input scaled, with its antiderivative and
    // the previous one's; then their mean. Owners may run the parts apart, so
    // that the square root's wait and the division's fall in different places.
    struct Scaled {
        V x, f, x0, f0;
    };
    [[gnu::always_inline]] Scaled scale(V in)
    {
        const V x = drive * in;
        const V f = antiderivative(x);
        const Scaled s{x, f, prevX, prevF};
        prevX = x;
        prevF = f;
        return s;
    }
    [[gnu::always_inline]] static V mean(const Scaled& s) { return mean(s.x, s.f, s.x0, s.f0); }

    [[gnu::always_inline]] V step(V in) { return mean(scale(in)); }
};

// Control input 0 drive (linear input gain).
class AASaturationBrick : public DspBrickImpl<1, 0, 1, 1> {
public:
    void process() override { processRange(0, kBlockSize); }

    void processRange(int begin, int end) override
    {
        if (begin == 0) beginBlock();
        // Each sample depends on the input only, never on an output: four
        // consecutive samples at a time, each with the one before it.
        using lanes::Float4;
        const Float4 drive = Float4::both(blockDrive);
        const float* __restrict in = audioInputs[0];
        float* __restrict out = audioOutputs[0].data();
        __m128i lastX = _mm_castps_si128(_mm_set1_ps(prevX));
        __m128i lastF = _mm_castps_si128(_mm_set1_ps(prevF));
        for (int n = begin; n < end; n += 4) {
            const Float4 x = drive * Float4{_mm_loadu_ps(in + n)};
            const Float4 f = SaturationKernel<Float4>::antiderivative(x);
            const __m128i xi = _mm_castps_si128(x.v);
            const __m128i fi = _mm_castps_si128(f.v);
            // (the sample before these four, x0, x1, x2), likewise for the antiderivative
            const Float4 x0{_mm_castsi128_ps(_mm_or_si128(_mm_slli_si128(xi, 4), _mm_srli_si128(lastX, 12)))};
            const Float4 f0{_mm_castsi128_ps(_mm_or_si128(_mm_slli_si128(fi, 4), _mm_srli_si128(lastF, 12)))};
            _mm_storeu_ps(out + n, SaturationKernel<Float4>::mean(x, f, x0, f0).v);
            lastX = xi;
            lastF = fi;
        }
        prevF = _mm_cvtss_f32(_mm_castsi128_ps(_mm_srli_si128(lastF, 12)));
        prevX = _mm_cvtss_f32(_mm_castsi128_ps(_mm_srli_si128(lastX, 12)));
    }

    void processRangePlain(int begin, int end) override
    {
        if (begin == 0) beginBlock();
        AASaturationBrick* const self[1] = {this};
        SaturationKernel<float> k = kernel<float>(self, 1);
        for (int n = begin; n < end; ++n) audioOutputs[0][n] = k.step(audioInputs[0][n]);
        keep(k, self, 1);
    }

    void reset() override {}

    // Where the block begins (range from 0): reads the drive.
    void beginBlock() { blockDrive = controlValue(0); }

    // count saturators (at most V's lanes) side by side, and back.
    template<class V>
    [[gnu::always_inline]] static SaturationKernel<V> kernel(AASaturationBrick* const* bricks, int count)
    {
        float drive[4] = {}, x[4] = {}, f[4] = {};
        for (int b = 0; b < count; ++b) {
            drive[b] = bricks[b]->blockDrive;
            x[b] = bricks[b]->prevX;
            f[b] = bricks[b]->prevF;
        }
        return {lanes::gather<V>(drive), lanes::gather<V>(x), lanes::gather<V>(f)};
    }

    template<class V>
    [[gnu::always_inline]] static void keep(const SaturationKernel<V>& s, AASaturationBrick* const* bricks, int count)
    {
        float x[4], f[4];
        lanes::scatter(s.prevX, x);
        lanes::scatter(s.prevF, f);
        for (int b = 0; b < count; ++b) {
            bricks[b]->prevX = x[b];
            bricks[b]->prevF = f[b];
        }
    }

private:
    float prevF = 1.0f;       // sqrt(1 + prevX^2)
    float prevX = 0.0f;       // previous scaled input
    float blockDrive = 0.0f;  // control input 0 as read where the block began
};

}  // namespace bricks
