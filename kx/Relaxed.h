#pragma once
// Whole-value, unordered access to floats shared between threads (parameter
// values, smoothing targets, meter readings). On x86-64 these compile to plain
// loads and stores; the atomic form keeps them well defined and visible to
// ThreadSanitizer.

#include <atomic>

namespace kx {

inline float loadRelaxed(const float& value)
{
    float out;
    __atomic_load(&value, &out, __ATOMIC_RELAXED);
    return out;
}

inline void storeRelaxed(float& target, float value)
{
    std::atomic_ref<float>(target).store(value, std::memory_order_relaxed);
}

}  // namespace kx
