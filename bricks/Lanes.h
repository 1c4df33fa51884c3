#pragma once
// SIMD lane helpers shared by the bricks that run channels or filters side by
// side. Every lane does exactly the arithmetic of the scalar code, so lane
// code and scalar code give the same bits.
//
// Channel pairs come in two forms with the same operations: Float2/Double2
// hold channel 0 and 1 in lanes 0 and 1 of an SSE register (lanes 2 and 3
// carry nothing of use), ScalarPair holds them as two plain values. A step
// written once against these operations is the brick's fast form with the
// first and its readable reference with the second.

#include <emmintrin.h>

#include <cmath>
#include <xmmintrin.h>

namespace bricks::lanes {

// Per-lane choice of whole values: mask lanes are all ones or all zeros.
inline __m128 select(__m128 mask, __m128 ifSet, __m128 ifClear)
{
    return _mm_or_ps(_mm_and_ps(mask, ifSet), _mm_andnot_ps(mask, ifClear));
}

inline __m128d select(__m128d mask, __m128d ifSet, __m128d ifClear)
{
    return _mm_or_pd(_mm_and_pd(mask, ifSet), _mm_andnot_pd(mask, ifClear));
}

// Samples n..n+3 of four blocks, transposed so that register i holds sample
// n+i of every block; and back.
inline void loadTransposed(const float* const (&blocks)[4], int n, __m128 (&samples)[4])
{
    for (int k = 0; k < 4; ++k) samples[k] = _mm_loadu_ps(blocks[k] + n);
    _MM_TRANSPOSE4_PS(samples[0], samples[1], samples[2], samples[3]);
}

inline void storeTransposed(float* const (&blocks)[4], int n, __m128 s0, __m128 s1, __m128 s2, __m128 s3)
{
    _MM_TRANSPOSE4_PS(s0, s1, s2, s3);
    _mm_storeu_ps(blocks[0] + n, s0);
    _mm_storeu_ps(blocks[1] + n, s1);
    _mm_storeu_ps(blocks[2] + n, s2);
    _mm_storeu_ps(blocks[3] + n, s3);
}

// N floats side by side in an SSE register: channel pairs use lanes 0 and 1
// (lanes 2 and 3 then carry nothing of use), groups of four filters all four.
template<int N>
struct FloatLanes {
    static_assert(N == 2 || N == 4);
    __m128 v;
    static FloatLanes both(float x) { return {_mm_set1_ps(x)}; }
    static FloatLanes of(float lane0, float lane1) { return {_mm_setr_ps(lane0, lane1, 0.0f, 0.0f)}; }
    // The first N of `values`; zero in the lanes beyond. Built in registers: a
    // vector load of values just stored one by one would wait for the stores.
    static FloatLanes gather(const float* values)
    {
        if constexpr (N == 2)
            return {_mm_setr_ps(values[0], values[1], 0.0f, 0.0f)};
        else
            return {_mm_setr_ps(values[0], values[1], values[2], values[3])};
    }
    void scatter(float* values) const
    {
        alignas(16) float all[4];
        _mm_store_ps(all, v);
        for (int k = 0; k < N; ++k) values[k] = all[k];
    }
    float channel(int c) const
    {
        alignas(16) float all[4];
        _mm_store_ps(all, v);
        return all[c];
    }
};

using Float2 = FloatLanes<2>;
using Float4 = FloatLanes<4>;

// A channel pair of doubles.
struct Double2 {
    __m128d v;
    static Double2 both(double x) { return {_mm_set1_pd(x)}; }
    static Double2 of(double channel0, double channel1) { return {_mm_setr_pd(channel0, channel1)}; }
    double channel(int c) const { return c == 0 ? _mm_cvtsd_f64(v) : _mm_cvtsd_f64(_mm_unpackhi_pd(v, v)); }
};

// Per lane: true where a comparison held.
template<int N>
struct LaneMask {
    __m128 v;
    bool any() const { return (_mm_movemask_ps(v) & ((1 << N) - 1)) != 0; }
};

template<int N>
FloatLanes<N> operator+(FloatLanes<N> a, FloatLanes<N> b)
{
    return {_mm_add_ps(a.v, b.v)};
}
template<int N>
FloatLanes<N> operator-(FloatLanes<N> a, FloatLanes<N> b)
{
    return {_mm_sub_ps(a.v, b.v)};
}
template<int N>
FloatLanes<N> operator*(FloatLanes<N> a, FloatLanes<N> b)
{
    return {_mm_mul_ps(a.v, b.v)};
}
template<int N>
FloatLanes<N> operator/(FloatLanes<N> a, FloatLanes<N> b)
{
    return {_mm_div_ps(a.v, b.v)};
}
template<int N>
FloatLanes<N> operator-(FloatLanes<N> a)
{
    return {_mm_xor_ps(a.v, _mm_set1_ps(-0.0f))};
}
template<int N>
LaneMask<N> operator|(LaneMask<N> a, LaneMask<N> b)
{
    return {_mm_or_ps(a.v, b.v)};
}
template<int N>
LaneMask<N> operator<(FloatLanes<N> a, FloatLanes<N> b)
{
    return {_mm_cmplt_ps(a.v, b.v)};
}
template<int N>
LaneMask<N> operator>(FloatLanes<N> a, FloatLanes<N> b)
{
    return {_mm_cmpgt_ps(a.v, b.v)};
}
inline Double2 operator+(Double2 a, Double2 b) { return {_mm_add_pd(a.v, b.v)}; }
inline Double2 operator-(Double2 a, Double2 b) { return {_mm_sub_pd(a.v, b.v)}; }
inline Double2 operator*(Double2 a, Double2 b) { return {_mm_mul_pd(a.v, b.v)}; }

template<int N>
FloatLanes<N> squareRoot(FloatLanes<N> a)
{
    return {_mm_sqrt_ps(a.v)};
}
template<int N>
FloatLanes<N> magnitude(FloatLanes<N> a)
{
    return {_mm_andnot_ps(_mm_set1_ps(-0.0f), a.v)};
}
// a < b ? a : b and a > b ? a : b, lane by lane, as the SSE instructions do (b where unordered).
template<int N>
FloatLanes<N> minimum(FloatLanes<N> a, FloatLanes<N> b)
{
    return {_mm_min_ps(a.v, b.v)};
}
template<int N>
FloatLanes<N> maximum(FloatLanes<N> a, FloatLanes<N> b)
{
    return {_mm_max_ps(a.v, b.v)};
}
template<int N>
FloatLanes<N> select(LaneMask<N> mask, FloatLanes<N> ifSet, FloatLanes<N> ifClear)
{
    return {select(mask.v, ifSet.v, ifClear.v)};
}
inline Double2 select(LaneMask<2> mask, Double2 ifSet, Double2 ifClear)
{
    return {select(_mm_castps_pd(_mm_unpacklo_ps(mask.v, mask.v)), ifSet.v, ifClear.v)};
}
// 1 with the sign of a.
template<int N>
FloatLanes<N> unitWithSign(FloatLanes<N> a)
{
    return {_mm_or_ps(_mm_and_ps(a.v, _mm_set1_ps(-0.0f)), _mm_set1_ps(1.0f))};
}
inline Double2 widen(Float2 a) { return {_mm_cvtps_pd(a.v)}; }
inline Float2 narrow(Double2 a) { return {_mm_cvtpd_ps(a.v)}; }
// Both channels given channel c's value (in each of the two pairs of four
// lanes); channels swapped; channel 0 replaced.
template<int N>
FloatLanes<N> broadcast(FloatLanes<N> a, int c)
{
    return {c == 0 ? _mm_shuffle_ps(a.v, a.v, _MM_SHUFFLE(2, 2, 0, 0))
                   : _mm_shuffle_ps(a.v, a.v, _MM_SHUFFLE(3, 3, 1, 1))};
}
inline Float2 swapChannels(Float2 a) { return {_mm_shuffle_ps(a.v, a.v, _MM_SHUFFLE(3, 2, 0, 1))}; }
inline Float2 withChannel0(Float2 a, Float2 from) { return {_mm_move_ss(a.v, from.v)}; }
// A channel pair twice, (c0, c1, c0, c1), and the upper pair of four lanes as a channel pair.
inline Float4 twice(Float2 a) { return {_mm_movelh_ps(a.v, a.v)}; }
inline Float2 upperPair(Float4 a) { return {_mm_movehl_ps(a.v, a.v)}; }
inline Float2 lowerPair(Float4 a) { return {a.v}; }
// Two channel pairs in four lanes: (a0, a1, b0, b1).
inline Float4 pairs(Float2 a, Float2 b) { return {_mm_movelh_ps(a.v, b.v)}; }
// The upper pair of four lanes in memory, loaded without a shuffle.
inline Float2 upperPair(const Float4* a)
{
    return {_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(reinterpret_cast<const float*>(a) + 2)))};
}

// The lane operations on a plain float, for steps instantiated on one.
inline float squareRoot(float a) { return std::sqrt(a); }
inline float magnitude(float a) { return std::fabs(a); }
inline float select(bool mask, float ifSet, float ifClear) { return mask ? ifSet : ifClear; }

// A channel pair from one form into another (lanes, or plain values).
template<class To, class From>
To pairOf(From a)
{
    return To::of(a.channel(0), a.channel(1));
}

// The same value in every lane, for float and lane types alike.
template<class V>
V splat(float x)
{
    return V::both(x);
}
template<>
inline float splat<float>(float x)
{
    return x;
}

// Lanes from the first values of an array and back, for float and lane types alike.
template<class V>
V gather(const float* values)
{
    return V::gather(values);
}
template<>
inline float gather<float>(const float* values)
{
    return values[0];
}
template<int N>
void scatter(FloatLanes<N> v, float* values)
{
    v.scatter(values);
}
inline void scatter(float v, float* values) { values[0] = v; }

// The same channel pair as two plain values, one channel after the other.
template<class T>
struct ScalarPair {
    T lane[2];
    static ScalarPair both(T x) { return {{x, x}}; }
    static ScalarPair of(T channel0, T channel1) { return {{channel0, channel1}}; }
    T channel(int c) const { return lane[c]; }
};

struct ScalarMask2 {
    bool lane[2];
    bool any() const { return lane[0] || lane[1]; }
};

template<class T, class Op>
ScalarPair<T> each(ScalarPair<T> a, ScalarPair<T> b, Op op)
{
    return {{op(a.lane[0], b.lane[0]), op(a.lane[1], b.lane[1])}};
}

template<class T>
ScalarPair<T> operator+(ScalarPair<T> a, ScalarPair<T> b)
{
    return each(a, b, [](T x, T y) { return x + y; });
}
template<class T>
ScalarPair<T> operator-(ScalarPair<T> a, ScalarPair<T> b)
{
    return each(a, b, [](T x, T y) { return x - y; });
}
template<class T>
ScalarPair<T> operator*(ScalarPair<T> a, ScalarPair<T> b)
{
    return each(a, b, [](T x, T y) { return x * y; });
}
template<class T>
ScalarPair<T> operator/(ScalarPair<T> a, ScalarPair<T> b)
{
    return each(a, b, [](T x, T y) { return x / y; });
}
template<class T>
ScalarPair<T> operator-(ScalarPair<T> a)
{
    return {{-a.lane[0], -a.lane[1]}};
}
template<class T>
ScalarMask2 operator<(ScalarPair<T> a, ScalarPair<T> b)
{
    return {{a.lane[0] < b.lane[0], a.lane[1] < b.lane[1]}};
}

template<class T>
ScalarPair<T> squareRoot(ScalarPair<T> a)
{
    return {{std::sqrt(a.lane[0]), std::sqrt(a.lane[1])}};
}
template<class T>
ScalarPair<T> minimum(ScalarPair<T> a, ScalarPair<T> b)
{
    return each(a, b, [](T x, T y) { return x < y ? x : y; });
}
template<class T>
ScalarPair<T> maximum(ScalarPair<T> a, ScalarPair<T> b)
{
    return each(a, b, [](T x, T y) { return x > y ? x : y; });
}
template<class T>
ScalarPair<T> select(ScalarMask2 mask, ScalarPair<T> ifSet, ScalarPair<T> ifClear)
{
    return {{mask.lane[0] ? ifSet.lane[0] : ifClear.lane[0], mask.lane[1] ? ifSet.lane[1] : ifClear.lane[1]}};
}
template<class T>
ScalarPair<T> unitWithSign(ScalarPair<T> a)
{
    return {{std::copysign(T(1), a.lane[0]), std::copysign(T(1), a.lane[1])}};
}
inline ScalarPair<double> widen(ScalarPair<float> a) { return {{double(a.lane[0]), double(a.lane[1])}}; }
inline ScalarPair<float> narrow(ScalarPair<double> a) { return {{float(a.lane[0]), float(a.lane[1])}}; }
template<class T>
ScalarPair<T> broadcast(ScalarPair<T> a, int c)
{
    return {{a.lane[c], a.lane[c]}};
}
template<class T>
ScalarPair<T> swapChannels(ScalarPair<T> a)
{
    return {{a.lane[1], a.lane[0]}};
}
template<class T>
ScalarPair<T> withChannel0(ScalarPair<T> a, ScalarPair<T> from)
{
    return {{from.lane[0], a.lane[1]}};
}

}  // namespace bricks::lanes
