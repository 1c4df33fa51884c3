#include "bricks/ScopeFrameStore.h"

#include <thread>

namespace bricks {

void ScopeFrameStore::publish(const float* frame)
{
    const std::uint32_t begin = sequence.load(std::memory_order_relaxed) + 1;
    sequence.store(begin, std::memory_order_relaxed);
    const int k = slotIndex_.load(std::memory_order_relaxed);
    // Release stores keep the odd sequence value ahead of every sample, so a
    // reader that sees any new sample also sees the publication begun.
    for (int i = 0; i < kFrameLength; ++i)
        std::atomic_ref<float>(slots[k][i]).store(frame[i], std::memory_order_release);
    slotIndex_.store(k + 1 <= 1 ? k + 1 : 0, std::memory_order_release);
    sequence.store(begin + 1, std::memory_order_release);
}

void ScopeFrameStore::read(float* out) const
{
    for (;;) {
        const std::uint32_t before = sequence.load(std::memory_order_acquire);
        if (before & 1u) {
            std::this_thread::yield();
            continue;
        }
        const int k = slotIndex_.load(std::memory_order_acquire);
        for (int i = 0; i < kFrameLength; ++i) __atomic_load(&slots[k][i], &out[i], __ATOMIC_ACQUIRE);
        if (sequence.load(std::memory_order_relaxed) == before) return;
    }
}

}  // namespace bricks
