#pragma once
// Bounded lock-free ring for exactly one producer thread and one consumer thread.
// Each side loads its own index relaxed, the other side's with acquire, and publishes its
// own with release after the slot has been written or read. One slot always stays empty,
// so the ring holds at most Size entries.

#include <atomic>
#include <cstddef>

// The lock-free single-producer, single-consumer queue that carries editor
// edits to the audio thread; the name says how its indices are ordered.
namespace memory_relaxed_aquire_release {

template<typename T, size_t Size>
class CircularFifo {
public:
    static constexpr size_t kCapacity = Size + 1;

    virtual ~CircularFifo() = default;

    // Producer only. False when full; the item is then not stored.
    bool push(const T& item)
    {
        const size_t current = tail.load(std::memory_order_relaxed);
        const size_t next = increment(current);
        if (next == head.load(std::memory_order_acquire)) {
            return false;
        }
        array[current] = item;
        tail.store(next, std::memory_order_release);
        return true;
    }

    // Consumer only. False when empty.
    bool pop(T& item)
    {
        const size_t current = head.load(std::memory_order_relaxed);
        if (current == tail.load(std::memory_order_acquire)) {
            return false;
        }
        item = array[current];
        head.store(increment(current), std::memory_order_release);
        return true;
    }

private:
    static size_t increment(size_t index) { return index + 1 == kCapacity ? 0 : index + 1; }

    std::atomic<size_t> tail{0};  // write index, producer only
    T array[kCapacity]{};
    std::atomic<size_t> head{0};  // read index, consumer only
};

}  // namespace memory_relaxed_aquire_release
