#pragma once
// The host side a loaded module talks to through its audioMaster callback: the
// answers a real host gives (version, names, sample rate, block size, process
// level, canDo) and a record of what the module asked for. Finding the context
// of a request takes no lock and, with nothing recorded, neither does answering
// the requests a module may send from its audio thread.

#include "kx/vst2/VstInterface.h"

#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tools {

struct AutomationEvent {
    int index;
    float value;
};

struct HostRequest {
    kx::vst2::int32 opcode;
    kx::vst2::int32 index;
    kx::vst2::intptr value;
    float opt;
};

class HostContext {
public:
    static constexpr const char* kVendor = "TW07 host tools";
    static constexpr const char* kProduct = "tw07-host";
    static constexpr int kVendorVersion = 103;

    enum ProcessLevel : int { kLevelUnknown = 0, kLevelUser = 1, kLevelRealtime = 2, kLevelOffline = 4 };

    // What is kept of the requests: nothing (only the automation count), the
    // automation events, or every request.
    enum class Recording { Nothing, Automation, Everything };

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
    // Set before the module is instantiated.
    void setRecording(Recording what) { recording.store(what, std::memory_order_relaxed); }

    // Who the module learns the host is (some modules adapt to particular hosts),
    // and the VST version it reports (0: older than 2.0, which 2.4 modules refuse).
    void setProduct(const std::string& name);
    void setVendor(const std::string& name);
    void setVendorVersion(int version) { vendorVersion.store(version, std::memory_order_relaxed); }
    void setVersion(int version) { vstVersion.store(version, std::memory_order_relaxed); }

    std::vector<AutomationEvent> automation() const;
    int automationCount() const { return automations.load(std::memory_order_relaxed); }
    // With Recording::Everything.
    std::vector<HostRequest> requests() const;
    std::vector<HostRequest> requestsOf(kx::vst2::int32 opcode) const;
    void clearRecords();

    // Called with (width, height) on every audioMasterSizeWindow; the request is granted.
    void onSizeWindow(std::function<void(int, int)> handler);

    kx::vst2::intptr answer(kx::vst2::AEffect* effect, kx::vst2::int32 opcode, kx::vst2::int32 index,
                            kx::vst2::intptr value, void* ptr, float opt);

    // The audioMaster function handed to every module's entry point.
    static kx::vst2::intptr callback(kx::vst2::AEffect* effect, kx::vst2::int32 opcode, kx::vst2::int32 index,
                                     kx::vst2::intptr value, void* ptr, float opt);

    // Requests about this record are answered by this context from now on.
    // Throws std::runtime_error when the host has too many records open.
    void attach(kx::vst2::AEffect* effect);
    void detach(kx::vst2::AEffect* effect);

    // Requests made while an entry point runs carry no record yet (or one the host
    // has never seen); they go to the context that is loading.
    static void setLoading(HostContext* context);

private:
    static HostContext* find(kx::vst2::AEffect* effect);
    void record(kx::vst2::int32 opcode, kx::vst2::int32 index, kx::vst2::intptr value, float opt);
    void logLine(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    std::atomic<float> sampleRate{44100.0f};
    std::atomic<int> blockSize{1024};
    std::atomic<int> processLevel{kLevelUser};
    std::atomic<int> currentId{0};
    std::atomic<int> vendorVersion{kVendorVersion};
    std::atomic<int> vstVersion{kx::vst2::kVstVersion};
    std::atomic<std::FILE*> log{nullptr};
    std::atomic<Recording> recording{Recording::Automation};
    std::atomic<int> automations{0};

    mutable std::mutex settingsMutex;
    std::string product = kProduct;
    std::string vendor = kVendor;
    std::function<void(int, int)> sizeWindowHandler;

    mutable std::mutex recordMutex;
    std::vector<AutomationEvent> automationEvents;
    std::vector<HostRequest> allRequests;
};

}  // namespace tools
