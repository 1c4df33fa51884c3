#pragma once
// One plug-in instance as a VST 3 host sees it. Component, processor and controller are one
// object (the host finds the controller by asking the component for it, and no connection
// between the two is needed): the effect's parameters are the processor's values, and the
// controller keeps the host's view of them apart, as hosts send it values for display that
// the processor has already had, or has yet to get, through process.
//
// Parameter values are the normalised ones; "Stereo" is a list of three. A change from the
// host's parameter queues takes effect where the next block of the effect's fixed grid
// begins, as a VST 2 host's change between two calls does. The editor's edits reach the
// processor through a queue, and the host (beginEdit, performEdit, endEdit) on its UI
// thread, from the editor view's timer.
//
// The factory presets are one program list, switched by its program-change parameter, whose
// id lies apart from the effect's. The processor loads a program where its change comes in
// the parameter queues; the controller shows its values and has the host read them again.

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "kx/AudioPlugin.h"
#include "kx/BlockSizeAdapter.h"
#include "kx/HostCallback.h"
#include "kx/ParameterEdits.h"
#include "kx/vst3/Vst3Interface.h"

namespace kx::vst3 {

class Vst3PlugAdapter final : public IComponent,
                              public IAudioProcessor,
                              public IEditController,
                              public IProcessContextRequirements,
                              public IUnitInfo,
                              public HostCallback {
public:
    Vst3PlugAdapter();
    ~Vst3PlugAdapter() override;
    Vst3PlugAdapter(const Vst3PlugAdapter&) = delete;
    Vst3PlugAdapter& operator=(const Vst3PlugAdapter&) = delete;

    // FUnknown, for every interface of the object.
    tresult queryInterface(const TUID iid, void** object) override;
    uint32 addRef() override;
    uint32 release() override;

    // IPluginBase (component and controller alike).
    tresult initialize(FUnknown* context) override;
    tresult terminate() override;

    // IComponent
    tresult getControllerClassId(TUID classId) override;
    tresult setIoMode(IoMode mode) override;
    int32 getBusCount(MediaType type, BusDirection dir) override;
    tresult getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) override;
    tresult getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) override;
    tresult activateBus(MediaType type, BusDirection dir, int32 index, TBool state) override;
    tresult setActive(TBool state) override;
    tresult setState(IBStream* state) override;
    tresult getState(IBStream* state) override;

    // IAudioProcessor
    tresult setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                               int32 numOuts) override;
    tresult getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arrangement) override;
    tresult canProcessSampleSize(int32 symbolicSampleSize) override;
    uint32 getLatencySamples() override { return 0; }
    tresult setupProcessing(ProcessSetup& setup) override;
    tresult setProcessing(TBool state) override;
    tresult process(ProcessData& data) override;
    uint32 getTailSamples() override { return 0; }

    // IEditController
    tresult setComponentState(IBStream* state) override;
    tresult getParameterInfo(int32 paramIndex, ParameterInfo& info) override;
    int32 getParameterCount() override;
    tresult getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) override;
    tresult getParamValueByString(ParamID id, char16* string, ParamValue& valueNormalized) override;
    ParamValue normalizedParamToPlain(ParamID id, ParamValue valueNormalized) override;
    ParamValue plainParamToNormalized(ParamID id, ParamValue plainValue) override;
    ParamValue getParamNormalized(ParamID id) override;
    tresult setParamNormalized(ParamID id, ParamValue value) override;
    tresult setComponentHandler(IComponentHandler* handler) override;
    IPlugView* createView(FIDString name) override;

    // IUnitInfo: one unit with the factory presets as its program list.
    int32 getUnitCount() override { return 1; }
    tresult getUnitInfo(int32 unitIndex, UnitInfo& info) override;
    int32 getProgramListCount() override;
    tresult getProgramListInfo(int32 listIndex, ProgramListInfo& info) override;
    tresult getProgramName(ProgramListID listId, int32 programIndex, String128 name) override;
    tresult getProgramInfo(ProgramListID, int32, CString, String128) override { return kResultFalse; }
    tresult hasProgramPitchNames(ProgramListID, int32) override { return kResultFalse; }
    tresult getProgramPitchName(ProgramListID, int32, int16, String128) override { return kResultFalse; }
    UnitID getSelectedUnit() override { return kRootUnitId; }
    tresult selectUnit(UnitID unitId) override { return unitId == kRootUnitId ? kResultOk : kInvalidArgument; }
    tresult getUnitByBus(MediaType, BusDirection, int32, int32, UnitID&) override { return kResultFalse; }
    tresult setUnitProgramData(int32, int32, IBStream*) override { return kNotImplemented; }

    // The program-change parameter's id, and the program list's.
    static constexpr ParamID kProgramParamId = 1000;
    static constexpr ProgramListID kProgramListId = 1;

    // IProcessContextRequirements: the effect needs no transport or tempo.
    uint32 getProcessContextRequirements() override { return 0; }

    // HostCallback: the editor's edits.
    void automate(int index, float value) override;
    void automateNow(int index, float value) override;
    void beginEdit(int index) override;
    void endEdit(int index) override;
    HostInfo hostInfo() override;

    // For the editor view: the effect's editor, and the editor's edits told to the host.
    AudioPluginEditor* editor();
    // On the host's UI thread.
    void tellHostOfEdits();

private:
    std::optional<int> indexOf(ParamID id) const;
    // The program-change parameter's place after the effect's; none without presets.
    bool hasPrograms() const;
    bool isProgramParameter(ParamID id) const;
    int programCount() const;
    int programOf(ParamValue normalised) const;
    ParamValue normalisedProgram(int program) const;
    // The controller's choice of program: shown at once, loaded into the effect by the processor
    // (or here, while none runs).
    void selectProgram(int program);
    // A change from the parameter queues: a parameter's value, or (index past the effect's) a
    // program, whose values are reported to the host in `report` at `frame`.
    void applyChange(int index, ParamValue value, IParameterChanges* report, int32 frame);
    int optionCount(int index) const;
    // The host's parameter changes at their frames, and the audio between them.
    void processWithChanges(ProcessData& data, float** inputs, float** outputs);
    void runAudio(float* const* inputs, float* const* outputs, int32 begin, int32 end);
    // The whole stream, up to one byte more than any settings record; none on a read error.
    static std::optional<std::vector<uint8_t>> readAll(IBStream* stream);

    std::atomic<uint32> references{1};
    int initializations = 0;
    std::unique_ptr<AudioPlugin> effect;
    Parameters* parameters = nullptr;
    std::unique_ptr<BlockSizeAdapter> blockAdapter;
    std::unique_ptr<ParameterEdits> toProcessor;  // editor thread to audio thread
    std::unique_ptr<ParameterEdits> toHost;       // editor thread to the host's UI thread
    std::unique_ptr<std::atomic<double>[]> controllerValues;
    IComponentHandler* componentHandler = nullptr;
    FUnknown* hostContext = nullptr;
    int32 inputChannels = 2;
    int32 outputChannels = 2;
    int32 maxFrames = 0;
    double sampleRate = 44100.0;
    std::atomic<bool> active{false};
    std::atomic<bool> viewOpen{false};
    std::atomic<int> processorProgram{0};  // the program the processor last loaded
    std::atomic<int> controllerProgram{0};  // the program the controller shows
    std::atomic<bool> programValuesToTell{false};  // restartComponent is due on the UI thread
};

}  // namespace kx::vst3
