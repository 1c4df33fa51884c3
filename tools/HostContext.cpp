#include "HostContext.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <utility>

namespace tools {

using namespace kx::vst2;

namespace {

// Records a context serves; a host rarely has more than a handful open.
std::mutex registryMutex;
std::vector<std::pair<AEffect*, HostContext*>> registry;
std::atomic<HostContext*> loading{nullptr};

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
    std::lock_guard lock(registryMutex);
    std::erase_if(registry, [this](const auto& entry) { return entry.second == this; });
    HostContext* self = this;
    loading.compare_exchange_strong(self, nullptr);
}

std::vector<AutomationEvent> HostContext::automation() const
{
    std::lock_guard lock(automationMutex);
    return automationEvents;
}

void HostContext::setProduct(const std::string& name)
{
    std::lock_guard lock(settingsMutex);
    product = name;
}

void HostContext::onSizeWindow(std::function<void(int, int)> handler)
{
    std::lock_guard lock(settingsMutex);
    sizeWindowHandler = std::move(handler);
}

void HostContext::attach(AEffect* effect)
{
    std::lock_guard lock(registryMutex);
    std::erase_if(registry, [effect](const auto& entry) { return entry.first == effect; });
    registry.emplace_back(effect, this);
}

void HostContext::detach(AEffect* effect)
{
    std::lock_guard lock(registryMutex);
    std::erase_if(registry,
                  [effect, this](const auto& entry) { return entry.first == effect && entry.second == this; });
}

void HostContext::setLoading(HostContext* context) { loading.store(context); }

HostContext* HostContext::find(AEffect* effect)
{
    if (effect != nullptr) {
        std::lock_guard lock(registryMutex);
        for (const auto& [record, context] : registry) {
            if (record == effect) return context;
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
    switch (opcode) {
    case audioMasterAutomate: {
        {
            std::lock_guard lock(automationMutex);
            automationEvents.push_back({index, opt});
        }
        logLine("automate parameter %d = %g", index, static_cast<double>(opt));
        return 0;
    }
    case audioMasterVersion:
        return kVstVersion;
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
    case audioMasterGetVendorString:
        copyText(ptr, kVendor);
        return 1;
    case audioMasterGetProductString: {
        std::lock_guard lock(settingsMutex);
        copyText(ptr, product.c_str());
        return 1;
    }
    case audioMasterGetVendorVersion:
        return kVendorVersion;
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
