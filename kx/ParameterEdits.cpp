#include "kx/ParameterEdits.h"

namespace kx {

ParameterEdits::ParameterEdits(int parameterCount)
    : count(parameterCount), slots(std::make_unique<Slot[]>(static_cast<size_t>(parameterCount)))
{
}

void ParameterEdits::push(const ParameterEdit& edit)
{
    if (slotWrites.load(std::memory_order_acquire) == 0 && ring.push(edit)) return;
    Slot& slot = slots[static_cast<size_t>(edit.index)];
    uint8_t mark = kValued;
    if (edit.kind == ParameterEdit::Kind::kBegin) mark = kBegun;
    if (edit.kind == ParameterEdit::Kind::kEnd) mark = kEnded;
    if (edit.kind == ParameterEdit::Kind::kValue) slot.value.store(edit.value, std::memory_order_relaxed);
    slot.marks.fetch_or(mark, std::memory_order_release);
    slotWrites.fetch_add(1, std::memory_order_release);
}

}  // namespace kx
