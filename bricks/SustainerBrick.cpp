#include "bricks/SustainerBrick.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

namespace bricks {

namespace {

// One-pole coefficient 1 - 1/x for a time constant of x samples, held at 0
// where x < 1 would make it negative and the envelope alternate in sign.
inline float envelopeCoefficient(float v, double factor, float sampleRate)
{
    const float c = 1.0f - 1.0f / (float(v * factor) * sampleRate);
    return std::max(c, 0.0f);
}

// Per-lane select of whole values: mask lanes all ones or all zeros.
inline __m128 select(__m128 mask, __m128 ifSet, __m128 ifClear)
{
    return _mm_or_ps(_mm_and_ps(mask, ifSet), _mm_andnot_ps(mask, ifClear));
}

inline __m128d select(__m128d mask, __m128d ifSet, __m128d ifClear)
{
    return _mm_or_pd(_mm_and_pd(mask, ifSet), _mm_andnot_pd(mask, ifClear));
}

// Biased soft clipper per lane: with z = j^3 + j, z / sqrt(z^2 + 1). Where
// z^2 overflows the quotient would give 0 or NaN; its limit there is sign(z).
inline __m128 clip(__m128 j)
{
    const __m128 z = _mm_add_ps(_mm_mul_ps(_mm_mul_ps(j, j), j), j);
    const __m128 zz = _mm_mul_ps(z, z);
    const __m128 finite = _mm_cmplt_ps(zz, _mm_set1_ps(std::numeric_limits<float>::infinity()));
    const __m128 sign = _mm_and_ps(z, _mm_set1_ps(-0.0f));
    const __m128 limit = _mm_or_ps(sign, _mm_set1_ps(1.0f));
    return select(finite, _mm_div_ps(z, _mm_sqrt_ps(_mm_add_ps(zz, _mm_set1_ps(1.0f)))), limit);
}

// Gain from the envelope per lane: maxGain - 1 at envelope 0, down to 1 at 2
// and above. The clamp to 0..5 keeps a NaN, as a clamp by comparisons does.
inline __m128 gainFromEnvelope(__m128d envelope, __m128 scale)
{
    const __m128 scaled = _mm_mul_ps(_mm_set1_ps(2.5f), _mm_cvtpd_ps(envelope));
    const __m128 e = _mm_max_ps(_mm_setzero_ps(), _mm_min_ps(_mm_set1_ps(5.0f), scaled));
    const __m128 five = _mm_set1_ps(5.0f);
    return _mm_add_ps(_mm_mul_ps(_mm_div_ps(_mm_mul_ps(_mm_sub_ps(five, e), scale), five), _mm_set1_ps(300.0f)),
                      _mm_set1_ps(1.0f));
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

void SustainerBrick::beginBlock()
{
    const float drive = controlValue(0);
    const float compression = controlValue(1);
    const float stereoMode = controlValue(2);
    const float speed = controlValue(3);

    inputGain = (1.0f - (1.0f - compression) * 0.6f) * (drive * drive * drive * 10.0f);
    detectorGain = compression;
    const float rounded = std::round(stereoMode * 2.0f);
    channelMode = rounded == 1.0f ? 1 : (rounded == 2.0f ? 2 : 0);
    const float slowness = 1.0f - speed + 0.02f;
    const float v = slowness * slowness * 90.0f;  // scales every envelope time

    // The envelope coefficients depend only on v and the rate: form them once.
    attackCoefficient0 = envelopeCoefficient(v, 0.00198, sampleRate);
    attackCoefficient1 = envelopeCoefficient(v, 0.002277, sampleRate);
    releaseCoefficient = envelopeCoefficient(v, 0.1034, sampleRate);
}

void SustainerBrick::processRange(int begin, int end)
{
    if (begin == 0)
        beginBlock();
    const __m128d attack = _mm_setr_pd(attackCoefficient0, attackCoefficient1);
    const __m128d release = _mm_set1_pd(releaseCoefficient);

    // Channel 0 in lane 0, channel 1 in lane 1: every lane does exactly the
    // operations of its channel, floats in single and trackers in double.
    const __m128 gain = _mm_set1_ps(inputGain);
    const __m128 bias = _mm_setr_ps(0.327f, 0.3f, 0.0f, 0.0f);
    const __m128 threshold = _mm_setr_ps(0.66f, 0.7986f, 0.0f, 0.0f);
    const __m128 maxScale = _mm_setr_ps(0.981f, 0.9f, 0.0f, 0.0f);
    const __m128 detector = _mm_set1_ps(detectorGain);
    const __m128d cIn = _mm_set1_pd(inputTracker0.coefficient);
    const __m128d cDet = _mm_set1_pd(detectorTracker0.coefficient);
    __m128d t = _mm_setr_pd(inputTracker0.state, inputTracker1.state);
    __m128d a = _mm_setr_pd(detectorTracker0.state, detectorTracker1.state);
    __m128d e = _mm_setr_pd(envelope0.state, envelope1.state);
    __m128d c = _mm_setr_pd(envelope0.coefficient, envelope1.coefficient);
    __m128 g = _mm_setr_ps(r0, r1, 0.0f, 0.0f);

    const float* __restrict in0 = audioInputs[0];
    const float* __restrict in1 = audioInputs[1];
    float* __restrict out0 = audioOutputs[0].data();
    float* __restrict out1 = audioOutputs[1].data();
    // The channel mode is fixed for the block: one loop per mode.
    const auto run = [&](auto modeTag) {
        constexpr int mode = decltype(modeTag)::value;
        for (int n = begin; n < end; ++n) {
            __m128 x = _mm_mul_ps(gain, _mm_unpacklo_ps(_mm_load_ss(in0 + n), _mm_load_ss(in1 + n)));
            if constexpr (mode == 2) {
                // Channel 0 takes the mean of both inputs.
                const __m128 swapped = _mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 2, 0, 1));
                const __m128 mean = _mm_mul_ps(_mm_add_ps(x, swapped), _mm_set_ss(0.5f));
                x = _mm_move_ss(x, mean);
            }
            const __m128d xd = _mm_cvtps_pd(x);

            // Trackers follow the input with a 0.47 s time constant;
            // subtracting them removes DC and very low frequencies.
            t = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(t, xd), cIn), xd);

            const __m128 product = _mm_cvtpd_ps(_mm_mul_pd(_mm_sub_pd(xd, t), _mm_cvtps_pd(g)));
            const __m128 j = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(0.5f), product), bias);
            const __m128 y = _mm_sub_ps(clip(j), bias);
            const __m128 out = _mm_mul_ps(_mm_set1_ps(4.0f), y);
            _mm_store_ss(out0 + n, out);
            if constexpr (mode == 2)
                _mm_store_ss(out1 + n, out);
            else
                _mm_store_ss(out1 + n, _mm_shuffle_ps(out, out, _MM_SHUFFLE(1, 1, 1, 1)));

            const __m128 s = _mm_mul_ps(_mm_mul_ps(y, _mm_set1_ps(5.0f)), detector);
            const __m128d sd = _mm_cvtps_pd(s);
            a = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(a, sd), cDet), sd);
            const __m128 h = _mm_cvtpd_ps(_mm_sub_pd(sd, a));

            // Negative swings beyond envelope + threshold drive the envelope
            // up towards the excess (at most 6); otherwise it decays to 0.
            const __m128 limit = _mm_xor_ps(_mm_add_ps(_mm_cvtpd_ps(e), threshold), _mm_set1_ps(-0.0f));
            const __m128 rising = _mm_cmplt_ps(h, limit);
            // Rarely taken, so the branch lets the decay run ahead of the detector.
            if ((_mm_movemask_ps(rising) & 3) == 0) {
                c = release;
                e = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(e, _mm_setzero_pd()), c), _mm_setzero_pd());
            } else {
                const __m128 target = select(rising, _mm_xor_ps(_mm_add_ps(h, threshold), _mm_set1_ps(-0.0f)),
                                             _mm_setzero_ps());
                const __m128d risingD = _mm_castps_pd(_mm_unpacklo_ps(rising, rising));
                c = select(risingD, attack, release);
                const __m128d m = _mm_cvtps_pd(_mm_min_ps(target, _mm_set1_ps(6.0f)));
                e = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(e, m), c), m);
            }

            g = gainFromEnvelope(e, maxScale);
            if constexpr (mode == 1) {
                // Each gain is pulled towards the smaller one (channel 0's when equal).
                const __m128 smaller = _mm_min_ps(_mm_shuffle_ps(g, g, _MM_SHUFFLE(1, 1, 1, 1)), g);
                const __m128 m = _mm_shuffle_ps(smaller, smaller, _MM_SHUFFLE(0, 0, 0, 0));
                g = _mm_add_ps(_mm_mul_ps(g, _mm_set1_ps(0.19999999f)), _mm_mul_ps(m, _mm_set1_ps(0.8f)));
            }
        }
    };
    if (channelMode == 1)
        run(std::integral_constant<int, 1>{});
    else if (channelMode == 2)
        run(std::integral_constant<int, 2>{});
    else
        run(std::integral_constant<int, 0>{});

    alignas(16) double lanes[4][2];
    _mm_store_pd(lanes[0], t);
    _mm_store_pd(lanes[1], a);
    _mm_store_pd(lanes[2], e);
    _mm_store_pd(lanes[3], c);
    inputTracker0.state = lanes[0][0];
    inputTracker1.state = lanes[0][1];
    detectorTracker0.state = lanes[1][0];
    detectorTracker1.state = lanes[1][1];
    envelope0.state = lanes[2][0];
    envelope1.state = lanes[2][1];
    envelope0.coefficient = lanes[3][0];
    envelope1.coefficient = lanes[3][1];
    r0 = _mm_cvtss_f32(g);
    r1 = _mm_cvtss_f32(_mm_shuffle_ps(g, g, _MM_SHUFFLE(1, 1, 1, 1)));
}

}  // namespace bricks
