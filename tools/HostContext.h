#pragma once
// The host side a loaded module talks to through its audioMaster callback: the
// answers a real host gives (version, names, sample rate, block size, process
// level, canDo) and a record of the automation the module reports.

#include "kx/vst2/VstInterface.h"

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <mutex>
#include <vector>

namespace tools {

struct AutomationEvent {
    int index;
    float value;
};

class HostContext {
public:
    static constexpr const char* kVendor = "TW07 host tools";
    static constexpr const char* kProduct = "tw07-host";
    static constexpr int kVendorVersion = 103;

    enum ProcessLevel : int { kLevelUnknown = 0, kLevelUser = 1, kLevelRealtime = 2, kLevelOffline = 4 };

    HostContext() = default;
    HostContext(const HostContext&) = delete;
    HostContext& operator=(const HostContext&) = delete;
    ~HostContext();

    void setSampleRate(float rate) { sampleRate.store(rate, std::memory_order_relaxed); }
    void setBlockSize(int frames) { blockSize.store(frames, std::memory_order_relaxed); }
    void setProcessLevel(int level) { processLevel.store(level, std::memory_order_relaxed); }
    void setCurrentId(int id) { currentId.store(id, std::memory_order_relaxed); }
    // Unknown requests and automation are logged here; null keeps the host quiet.
    void setLog(std::FILE* stream) { log.store(stream, std::memory_order_relaxed); }

    std::vector<AutomationEvent> automation() const;

    // The product name the module learns (some modules adapt to particular hosts).
    void setProduct(const std::string& name);
    // Called with (width, height) on every audioMasterSizeWindow; the request is granted.
    void onSizeWindow(std::function<void(int, int)> handler);

    kx::vst2::intptr answer(kx::vst2::AEffect* effect, kx::vst2::int32 opcode, kx::vst2::int32 index,
                            kx::vst2::intptr value, void* ptr, float opt);

    // The audioMaster function handed to every module's entry point.
    static kx::vst2::intptr callback(kx::vst2::AEffect* effect, kx::vst2::int32 opcode, kx::vst2::int32 index,
                                     kx::vst2::intptr value, void* ptr, float opt);

    // Requests about this record are answered by this context from now on.
    void attach(kx::vst2::AEffect* effect);
    void detach(kx::vst2::AEffect* effect);

    // Requests made while an entry point runs carry no record yet (or one the host
    // has never seen); they go to the context that is loading.
    static void setLoading(HostContext* context);

private:
    static HostContext* find(kx::vst2::AEffect* effect);
    void logLine(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    std::atomic<float> sampleRate{44100.0f};
    std::atomic<int> blockSize{1024};
    std::atomic<int> processLevel{kLevelUser};
    std::atomic<int> currentId{0};
    std::atomic<std::FILE*> log{nullptr};

    mutable std::mutex settingsMutex;
    std::string product = kProduct;
    std::function<void(int, int)> sizeWindowHandler;

    mutable std::mutex automationMutex;
    std::vector<AutomationEvent> automationEvents;
};

}  // namespace tools
