#pragma once
// For the length of one call into the effect's arithmetic, subnormal numbers are taken as
// zero, as operands and as results, whatever the caller's setting: the processor's SSE
// control register gets its flush-to-zero and denormals-are-zero bits. A filter tail that
// decays into the subnormal range would otherwise keep the processor on its slow path for
// as long as a silence lasts (many x86 processors take a microcode assist for each such
// operation), and some tails settle into tiny cycles there and never reach zero.
//
// The caller's register, its sticky exception flags included, is put back as it was.
// The register belongs to the calling thread; nothing else is touched.

#include <xmmintrin.h>

namespace kx {

class DenormalsFlushed {
public:
    static constexpr unsigned kFlushToZero = 0x8000u;      // MXCSR FTZ: subnormal results become 0
    static constexpr unsigned kDenormalsAreZero = 0x0040u;  // MXCSR DAZ: subnormal operands read as 0
    static constexpr unsigned kBoth = kFlushToZero | kDenormalsAreZero;

    DenormalsFlushed() : saved(_mm_getcsr())
    {
        if ((saved & kBoth) != kBoth) _mm_setcsr(saved | kBoth);
    }
    ~DenormalsFlushed() { _mm_setcsr(saved); }

    DenormalsFlushed(const DenormalsFlushed&) = delete;
    DenormalsFlushed& operator=(const DenormalsFlushed&) = delete;

private:
    const unsigned saved;
};

}  // namespace kx
