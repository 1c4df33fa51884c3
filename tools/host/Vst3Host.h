#pragma once
// The tools' VST 3 host: loads a bundle as a host does, makes an instance of its first audio
// effect class (one object, or a component with a separate controller), and drives it on the
// calling thread, which it takes for the UI thread and, while processing, the audio thread.
// What the plug-in tells the host (edits, restarts) is recorded.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kx/vst3/Vst3Interface.h"
#include "tools/host/SharedLibrary.h"

namespace tools::vst3 {

using namespace kx::vst3;

// The module inside a bundle: Contents/x86_64-linux/NAME.so (Windows: x86_64-win/NAME.vst3).
std::string vst3ModulePath(const std::string& bundle);

class Vst3Module {
public:
    // Loads the module, calls its entry and takes its factory; throws std::runtime_error.
    explicit Vst3Module(const std::string& bundle);
    ~Vst3Module();
    Vst3Module(const Vst3Module&) = delete;
    Vst3Module& operator=(const Vst3Module&) = delete;

    IPluginFactory& factory() const { return *pluginFactory; }
    // The first class of the "Audio Module Class" category; throws where there is none.
    PClassInfo effectClass() const;

private:
    SharedLibrary library;
    IPluginFactory* pluginFactory = nullptr;
};

// A parameter change the host hands to process: (frame, value) points of parameters.
class ParameterChanges;

struct HostEdit {
    enum class Kind { kBegin, kPerform, kEnd, kRestart } kind;
    ParamID id;
    double value;  // kPerform: the value; kRestart: the flags
};

// The host's side of an editor view: the frame it lives in, with the run loop (Linux) whose
// timers the host runs on its UI thread; here, when runTimers is called.
class Vst3Frame final : public IPlugFrame, public IRunLoop {
public:
    tresult queryInterface(const TUID iid, void** object) override;
    uint32 addRef() override { return 1; }
    uint32 release() override { return 1; }
    // As hosts do: the window takes the size, and the view is told so.
    tresult resizeView(IPlugView* view, ViewRect* newSize) override;
    tresult registerEventHandler(IEventHandler*, int) override { return kResultOk; }
    tresult unregisterEventHandler(IEventHandler*) override { return kResultOk; }
    tresult registerTimer(ITimerHandler* handler, uint64 milliseconds) override;
    tresult unregisterTimer(ITimerHandler* handler) override;

    void runTimers();
    std::size_t timerCount() const { return timers.size(); }
    std::vector<ViewRect> resizeRequests;

private:
    std::vector<ITimerHandler*> timers;
};

class Vst3Instance {
public:
    // Creates the module's effect class and initialises component and controller; throws
    // std::runtime_error where that does not work.
    explicit Vst3Instance(const Vst3Module& module);
    ~Vst3Instance();
    Vst3Instance(const Vst3Instance&) = delete;
    Vst3Instance& operator=(const Vst3Instance&) = delete;

    IComponent& component() const { return *componentPart; }
    IAudioProcessor& processor() const { return *processorPart; }
    IEditController& controller() const { return *controllerPart; }

    // Channels of the first audio bus of each direction (0 without one).
    int32 busChannels(BusDirection direction) const;

    // setupProcessing, setActive(true), setProcessing(true); false where refused.
    bool start(double sampleRate, int32 maxFrames);
    void stop();
    // A point at `frame` of the next process call.
    void change(ParamID id, int32 frame, double value);
    // One call on the first bus of each direction (other buses get silence and scratch), with
    // the changes given since the last one.
    tresult process(float** inputs, int32 inputChannels, float** outputs, int32 outputChannels, int32 frames);

    std::vector<uint8_t> saveState() const;
    bool loadState(const std::vector<uint8_t>& bytes) const;

    std::vector<HostEdit> edits() const;

    // The changes the processor reported in the last process call.
    struct ReportedChange {
        ParamID id;
        int32 frame;
        double value;
    };
    const std::vector<ReportedChange>& reported() const { return reportedChanges; }

private:
    class Host;
    std::unique_ptr<Host> host;
    IComponent* componentPart = nullptr;
    IAudioProcessor* processorPart = nullptr;
    IEditController* controllerPart = nullptr;
    bool separateController = false;
    std::unique_ptr<ParameterChanges> changes;
    std::unique_ptr<ParameterChanges> outputChanges;  // what the plug-in reports, dropped after each call
    std::vector<ReportedChange> reportedChanges;      // and kept here until the next
    std::vector<int32> inputBuses;                    // channels of each audio bus
    std::vector<int32> outputBuses;
    std::vector<std::vector<float>> scratch;
    std::vector<std::vector<float*>> pointers;
    std::vector<AudioBusBuffers> inputBuffers;
    std::vector<AudioBusBuffers> outputBuffers;
    int32 scratchFrames = 0;
    bool running = false;
};

}  // namespace tools::vst3
