#pragma once
// Carries the editor's edits (gesture begin, values, gesture end) to the thread that applies
// them and tells the host, in order, and loses none: the ring is bounded, and an edit that
// finds it full waits in its parameter's slot instead. Once one edit has gone to the slots,
// the following ones do too until every slot write has been taken, so everything in the ring
// is older than what the slots hold. The slots keep the latest value of each parameter and
// whether a gesture began or ended around it.
// One producer thread (the editor's) and one consumer thread (the audio thread, or the
// main thread while the effect is not processing) at a time.

#include <atomic>
#include <cstdint>
#include <memory>

#include "kx/CircularFifo.h"

namespace kx {

struct ParameterEdit {
    enum class Kind : uint8_t { kBegin, kValue, kEnd };
    Kind kind;
    int32_t index;
    float value;  // kValue only: normalised, as the editor sent it
};

class ParameterEdits {
public:
    static constexpr size_t kRingSize = 12;

    explicit ParameterEdits(int parameterCount);

    // Producer. index must lie within the count given at construction.
    void push(const ParameterEdit& edit);

    // Consumer: hands every waiting edit to apply(const ParameterEdit&), oldest first.
    template<class Apply>
    void drain(Apply&& apply)
    {
        ParameterEdit edit;
        while (ring.pop(edit)) apply(edit);
        const uint32_t seen = slotWrites.load(std::memory_order_acquire);
        if (seen == 0) return;
        // Pushed before the first slot write (the producer leaves the ring alone after it),
        // perhaps after the loop above: older than the slots.
        while (ring.pop(edit)) apply(edit);
        for (int i = 0; i < count; ++i) {
            const uint8_t marks = slots[static_cast<size_t>(i)].marks.exchange(0, std::memory_order_acquire);
            if (marks == 0) continue;
            const float value = slots[static_cast<size_t>(i)].value.load(std::memory_order_relaxed);
            if (marks & kBegun) apply(ParameterEdit{ParameterEdit::Kind::kBegin, i, 0.0f});
            if (marks & kValued) apply(ParameterEdit{ParameterEdit::Kind::kValue, i, value});
            if (marks & kEnded) apply(ParameterEdit{ParameterEdit::Kind::kEnd, i, 0.0f});
        }
        // Each counted write had marked its slot before the count was read, so all are taken;
        // later ones keep the producer on the slots until a later drain.
        slotWrites.fetch_sub(seen, std::memory_order_release);
    }

private:
    static constexpr uint8_t kBegun = 1;
    static constexpr uint8_t kValued = 2;
    static constexpr uint8_t kEnded = 4;

    struct Slot {
        std::atomic<float> value{0.0f};
        std::atomic<uint8_t> marks{0};
    };

    memory_relaxed_aquire_release::CircularFifo<ParameterEdit, kRingSize> ring;
    int count;
    std::unique_ptr<Slot[]> slots;
    std::atomic<uint32_t> slotWrites{0};  // slot writes not yet taken
};

}  // namespace kx
