#pragma once

#include <atomic>
#include <cstdint>

namespace bricks {

// Two oscilloscope frames handed from the audio thread to the render thread
// without a lock. The writer publishes each finished frame into the slot the
// reader currently shows, so the reader gets the frame before the most
// recently finished one. A sequence counter, odd while a publication is in
// progress, lets the reader discard and repeat a copy that overlapped one;
// the samples themselves are accessed as relaxed/acquire-release atomics so
// the overlap is well defined.
class ScopeFrameStore {
public:
    static constexpr int kFrameLength = 256;

    // Audio thread: stores one finished frame of kFrameLength samples. Never waits.
    void publish(const float* frame);

    // Render thread: copies the frame before the most recently finished one,
    // whole, into out (kFrameLength samples); zeros until two frames are out.
    void read(float* out) const;

    // The slot the next finished frame goes to: 0, 1, 0, 1, ...
    int slotIndex() const { return slotIndex_.load(std::memory_order_acquire); }

private:
    std::atomic<int> slotIndex_{0};
    std::atomic<std::uint32_t> sequence{0};
    alignas(32) float slots[2][kFrameLength]{};
};

}  // namespace bricks
