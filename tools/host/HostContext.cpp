#include "HostContext.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace tools {

using namespace kx::vst2;

namespace {

// The records contexts serve. Lookups come from any thread a module calls from,
// its audio thread included, so they read the slots without a lock; attaching and
// detaching take turns under a mutex. A slot's context is written before its
// record and cleared after it.
struct Slot {
    std::atomic<AEffect*> record{nullptr};
    std::atomic<HostContext*> context{nullptr};
};
constexpr std::size_t kSlots = 64;
std::array<Slot, kSlots> slots;
std::mutex attachMutex;
std::atomic<HostContext*> loading{nullptr};

void clearSlot(Slot& slot)
{
    slot.record.store(nullptr, std::memory_order_release);
    slot.context.store(nullptr, std::memory_order_release);
}

// Module text buffers at least 65 bytes long are what hosts promise for names.
void copyText(void* ptr, const char* text)
{
    if (ptr == nullptr) return;
    constexpr std::size_t kLimit = 64;
    std::size_t length = std::min(std::strlen(text), kLimit);
    std::memcpy(ptr, text, length);
    static_cast<char*>(ptr)[length] = '\0';
}

}  // namespace

HostContext::~HostContext()
{
    {
        std::lock_guard lock(attachMutex);
        for (Slot& slot : slots) {
            if (slot.context.load(std::memory_order_relaxed) == this) clearSlot(slot);
        }
    }
    HostContext* self = this;
    loading.compare_exchange_strong(self, nullptr);
}

std::vector<AutomationEvent> HostContext::automation() const
{
    std::lock_guard lock(recordMutex);
    return automationEvents;
}

std::vector<HostRequest> HostContext::requests() const
{
    std::lock_guard lock(recordMutex);
    return allRequests;
}

std::vector<HostRequest> HostContext::requestsOf(int32 opcode) const
{
    std::vector<HostRequest> found = requests();
    std::erase_if(found, [opcode](const HostRequest& request) { return request.opcode != opcode; });
    return found;
}

void HostContext::clearRecords()
{
    std::lock_guard lock(recordMutex);
    automationEvents.clear();
    allRequests.clear();
    automations.store(0, std::memory_order_relaxed);
}

void HostContext::setProduct(const std::string& name)
{
    std::lock_guard lock(settingsMutex);
    product = name;
}

void HostContext::setVendor(const std::string& name)
{
    std::lock_guard lock(settingsMutex);
    vendor = name;
}

void HostContext::onSizeWindow(std::function<void(int, int)> handler)
{
    std::lock_guard lock(settingsMutex);
    sizeWindowHandler = std::move(handler);
}

void HostContext::attach(AEffect* effect)
{
    std::lock_guard lock(attachMutex);
    Slot* free = nullptr;
    for (Slot& slot : slots) {
        AEffect* record = slot.record.load(std::memory_order_relaxed);
        if (record == effect) {
            slot.context.store(this, std::memory_order_release);
            return;
        }
        if (record == nullptr && free == nullptr) free = &slot;
    }
    if (free == nullptr) throw std::runtime_error("the host has " + std::to_string(kSlots) + " effects open already");
    free->context.store(this, std::memory_order_release);
    free->record.store(effect, std::memory_order_release);
}

void HostContext::detach(AEffect* effect)
{
    std::lock_guard lock(attachMutex);
    for (Slot& slot : slots) {
        if (slot.record.load(std::memory_order_relaxed) == effect &&
            slot.context.load(std::memory_order_relaxed) == this) {
            clearSlot(slot);
        }
    }
}

void HostContext::setLoading(HostContext* context) { loading.store(context); }

HostContext* HostContext::find(AEffect* effect)
{
    if (effect != nullptr) {
        for (const Slot& slot : slots) {
            if (slot.record.load(std::memory_order_acquire) != effect) continue;
            if (HostContext* context = slot.context.load(std::memory_order_acquire)) return context;
        }
    }
    return loading.load();
}

intptr HostContext::callback(AEffect* effect, int32 opcode, int32 index, intptr value, void* ptr, float opt)
{
    if (HostContext* context = find(effect)) return context->answer(effect, opcode, index, value, ptr, opt);
    // A request nobody can place still gets the answers that keep a module loading.
    static HostContext fallback;
    return fallback.answer(effect, opcode, index, value, ptr, opt);
}

void HostContext::record(int32 opcode, int32 index, intptr value, float opt)
{
    if (opcode == audioMasterAutomate) automations.fetch_add(1, std::memory_order_relaxed);
    const Recording what = recording.load(std::memory_order_relaxed);
    if (what == Recording::Nothing || (what == Recording::Automation && opcode != audioMasterAutomate)) return;
    std::lock_guard lock(recordMutex);
    if (opcode == audioMasterAutomate) automationEvents.push_back({index, opt});
    if (what == Recording::Everything) allRequests.push_back({opcode, index, value, opt});
}

void HostContext::logLine(const char* format, ...) const
{
    std::FILE* stream = log.load(std::memory_order_relaxed);
    if (stream == nullptr) return;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fprintf(stream, "host: %s\n", line);
}

intptr HostContext::answer(AEffect*, int32 opcode, int32 index, intptr value, void* ptr, float opt)
{
    record(opcode, index, value, opt);
    switch (opcode) {
    case audioMasterAutomate:
        logLine("automate parameter %d = %g", index, static_cast<double>(opt));
        return 0;
    case audioMasterVersion:
        return vstVersion.load(std::memory_order_relaxed);
    case audioMasterCurrentId:
        return currentId.load(std::memory_order_relaxed);
    case audioMasterIdle:
        return 0;
    case audioMasterSizeWindow: {
        logLine("sizeWindow %d x %d", index, static_cast<int>(value));
        std::function<void(int, int)> handler;
        {
            std::lock_guard lock(settingsMutex);
            handler = sizeWindowHandler;
        }
        if (handler) handler(index, static_cast<int>(value));
        return 1;
    }
    case audioMasterGetSampleRate:
        return static_cast<intptr>(sampleRate.load(std::memory_order_relaxed));
    case audioMasterGetBlockSize:
        return blockSize.load(std::memory_order_relaxed);
    case audioMasterGetCurrentProcessLevel:
        return processLevel.load(std::memory_order_relaxed);
    case audioMasterGetVendorString: {
        std::lock_guard lock(settingsMutex);
        copyText(ptr, vendor.c_str());
        return 1;
    }
    case audioMasterGetProductString: {
        std::lock_guard lock(settingsMutex);
        copyText(ptr, product.c_str());
        return 1;
    }
    case audioMasterGetVendorVersion:
        return vendorVersion.load(std::memory_order_relaxed);
    case audioMasterCanDo: {
        const char* query = ptr != nullptr ? static_cast<const char*>(ptr) : "";
        intptr result = std::strcmp(query, "sizeWindow") == 0 ? 1 : 0;
        logLine("canDo \"%.64s\" -> %d", query, static_cast<int>(result));
        return result;
    }
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        logLine("%s parameter %d", opcode == audioMasterBeginEdit ? "beginEdit" : "endEdit", index);
        return 1;
    default:
        logLine("request %d (index %d, value %lld, opt %g) not handled", opcode, index, static_cast<long long>(value),
                static_cast<double>(opt));
        return 0;
    }
}

}  // namespace tools
