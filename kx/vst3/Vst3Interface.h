#pragma once
// Our own declarations of the part of the VST 3 binary interface we use: interface ids,
// result codes, the records, and the interfaces as C++ classes whose virtual functions
// are the vtable in its published order (no virtual destructors: they would add entries).
// Interface ids and result codes are laid out as each platform's hosts expect them:
// COM's on Windows, plain big-endian bytes elsewhere. x86-64 layouts, Linux and Windows.
// Shared by the module binding and the command-line host.

#include <cstddef>
#include <cstdint>

namespace kx::vst3 {

using int8 = char;
using int16 = int16_t;
using int32 = int32_t;
using int64 = int64_t;
using uint32 = uint32_t;
using uint64 = uint64_t;
using tresult = int32_t;
using TBool = uint8_t;
using char16 = char16_t;
using TUID = int8[16];
using FIDString = const char*;
using String128 = char16[128];
using ParamID = uint32_t;
using ParamValue = double;
using SampleRate = double;
using SpeakerArrangement = uint64_t;
using UnitID = int32_t;
using MediaType = int32_t;
using BusDirection = int32_t;
using BusType = int32_t;
using IoMode = int32_t;

#if defined(_WIN32)
constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002L);
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057L);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001L);
constexpr tresult kInternalError = static_cast<tresult>(0x80004005L);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFL);
constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000EL);
#else
constexpr tresult kNoInterface = -1;
constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
constexpr tresult kOutOfMemory = 6;
#endif

// An interface or class id from its four 32-bit words, in the platform's byte order.
struct Uid {
    int8 bytes[16];

    static constexpr Uid of(uint32 l1, uint32 l2, uint32 l3, uint32 l4)
    {
        Uid id{};
        const auto put = [&id](int at, uint32 word) {
            for (int i = 0; i < 4; ++i) id.bytes[at + i] = static_cast<int8>((word >> (24 - 8 * i)) & 0xFF);
        };
        put(0, l1);
        put(4, l2);
        put(8, l3);
        put(12, l4);
#if defined(_WIN32)
        // COM's GUID: the first word and the two halves of the second little-endian.
        const Uid plain = id;
        for (int i = 0; i < 4; ++i) id.bytes[i] = plain.bytes[3 - i];
        id.bytes[4] = plain.bytes[5];
        id.bytes[5] = plain.bytes[4];
        id.bytes[6] = plain.bytes[7];
        id.bytes[7] = plain.bytes[6];
#endif
        return id;
    }
    bool operator==(const int8* other) const
    {
        for (int i = 0; i < 16; ++i) {
            if (bytes[i] != other[i]) return false;
        }
        return true;
    }
};

// --- base --------------------------------------------------------------------------------

class FUnknown {
public:
    virtual tresult queryInterface(const TUID iid, void** object) = 0;
    virtual uint32 addRef() = 0;
    virtual uint32 release() = 0;
};
constexpr Uid kFUnknownIid = Uid::of(0x00000000, 0x00000000, 0xC0000000, 0x00000046);

class IPluginBase : public FUnknown {
public:
    virtual tresult initialize(FUnknown* context) = 0;
    virtual tresult terminate() = 0;
};
constexpr Uid kIPluginBaseIid = Uid::of(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);

enum : int32 { kIBSeekSet = 0, kIBSeekCur = 1, kIBSeekEnd = 2 };

class IBStream : public FUnknown {
public:
    virtual tresult read(void* buffer, int32 numBytes, int32* numBytesRead) = 0;
    virtual tresult write(void* buffer, int32 numBytes, int32* numBytesWritten) = 0;
    virtual tresult seek(int64 pos, int32 mode, int64* result) = 0;
    virtual tresult tell(int64* pos) = 0;
};
constexpr Uid kIBStreamIid = Uid::of(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);

// --- factory -----------------------------------------------------------------------------

struct PFactoryInfo {
    char vendor[64];
    char url[256];
    char email[128];
    int32 flags;
};
enum : int32 { kFactoryUnicode = 1 << 4 };

constexpr int32 kManyInstances = 0x7FFFFFFF;

struct PClassInfo {
    TUID cid;
    int32 cardinality;
    char category[32];
    char name[64];
};

struct PClassInfo2 {
    TUID cid;
    int32 cardinality;
    char category[32];
    char name[64];
    uint32 classFlags;
    char subCategories[128];
    char vendor[64];
    char version[64];
    char sdkVersion[64];
};

struct PClassInfoW {
    TUID cid;
    int32 cardinality;
    char category[32];
    char16 name[64];
    uint32 classFlags;
    char subCategories[128];
    char16 vendor[64];
    char16 version[64];
    char16 sdkVersion[64];
};

class IPluginFactory : public FUnknown {
public:
    virtual tresult getFactoryInfo(PFactoryInfo* info) = 0;
    virtual int32 countClasses() = 0;
    virtual tresult getClassInfo(int32 index, PClassInfo* info) = 0;
    virtual tresult createInstance(FIDString cid, FIDString iid, void** object) = 0;
};
constexpr Uid kIPluginFactoryIid = Uid::of(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);

class IPluginFactory2 : public IPluginFactory {
public:
    virtual tresult getClassInfo2(int32 index, PClassInfo2* info) = 0;
};
constexpr Uid kIPluginFactory2Iid = Uid::of(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);

class IPluginFactory3 : public IPluginFactory2 {
public:
    virtual tresult getClassInfoUnicode(int32 index, PClassInfoW* info) = 0;
    virtual tresult setHostContext(FUnknown* context) = 0;
};
constexpr Uid kIPluginFactory3Iid = Uid::of(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);

constexpr const char* kVstAudioEffectClass = "Audio Module Class";

// --- component and processor -------------------------------------------------------------

enum : MediaType { kAudio = 0, kEvent = 1 };
enum : BusDirection { kInput = 0, kOutput = 1 };
enum : BusType { kMain = 0, kAux = 1 };
enum : uint32 { kDefaultActive = 1 << 0 };
enum : uint32 { kDistributable = 1 << 0, kSimpleModeSupported = 1 << 1 };

struct BusInfo {
    MediaType mediaType;
    BusDirection direction;
    int32 channelCount;
    String128 name;
    BusType busType;
    uint32 flags;
};

struct RoutingInfo {
    MediaType mediaType;
    int32 busIndex;
    int32 channel;
};

class IComponent : public IPluginBase {
public:
    virtual tresult getControllerClassId(TUID classId) = 0;
    virtual tresult setIoMode(IoMode mode) = 0;
    virtual int32 getBusCount(MediaType type, BusDirection dir) = 0;
    virtual tresult getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) = 0;
    virtual tresult getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
    virtual tresult activateBus(MediaType type, BusDirection dir, int32 index, TBool state) = 0;
    virtual tresult setActive(TBool state) = 0;
    virtual tresult setState(IBStream* state) = 0;
    virtual tresult getState(IBStream* state) = 0;
};
constexpr Uid kIComponentIid = Uid::of(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);

constexpr SpeakerArrangement kSpeakerL = 1 << 0;
constexpr SpeakerArrangement kSpeakerR = 1 << 1;
constexpr SpeakerArrangement kSpeakerM = 1 << 19;
constexpr SpeakerArrangement kArrMono = kSpeakerM;
constexpr SpeakerArrangement kArrStereo = kSpeakerL | kSpeakerR;

enum : int32 { kRealtime = 0, kPrefetch = 1, kOffline = 2 };
enum : int32 { kSample32 = 0, kSample64 = 1 };

struct ProcessSetup {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 maxSamplesPerBlock;
    SampleRate sampleRate;
};

struct AudioBusBuffers {
    int32 numChannels;
    uint64 silenceFlags;
    union {
        float** channelBuffers32;
        double** channelBuffers64;
    };
};

class IParamValueQueue : public FUnknown {
public:
    virtual ParamID getParameterId() = 0;
    virtual int32 getPointCount() = 0;
    virtual tresult getPoint(int32 index, int32& sampleOffset, ParamValue& value) = 0;
    virtual tresult addPoint(int32 sampleOffset, ParamValue value, int32& index) = 0;
};
constexpr Uid kIParamValueQueueIid = Uid::of(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);

class IParameterChanges : public FUnknown {
public:
    virtual int32 getParameterCount() = 0;
    virtual IParamValueQueue* getParameterData(int32 index) = 0;
    virtual IParamValueQueue* addParameterData(const ParamID& id, int32& index) = 0;
};
constexpr Uid kIParameterChangesIid = Uid::of(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);

class IEventList;
struct ProcessContext;

struct ProcessData {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 numSamples;
    int32 numInputs;
    int32 numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;
    IEventList* inputEvents;
    IEventList* outputEvents;
    ProcessContext* processContext;
};

class IAudioProcessor : public FUnknown {
public:
    virtual tresult setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                       int32 numOuts) = 0;
    virtual tresult getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arrangement) = 0;
    virtual tresult canProcessSampleSize(int32 symbolicSampleSize) = 0;
    virtual uint32 getLatencySamples() = 0;
    virtual tresult setupProcessing(ProcessSetup& setup) = 0;
    virtual tresult setProcessing(TBool state) = 0;
    virtual tresult process(ProcessData& data) = 0;
    virtual uint32 getTailSamples() = 0;
};
constexpr Uid kIAudioProcessorIid = Uid::of(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);

class IProcessContextRequirements : public FUnknown {
public:
    virtual uint32 getProcessContextRequirements() = 0;
};
constexpr Uid kIProcessContextRequirementsIid = Uid::of(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);

// --- controller --------------------------------------------------------------------------

enum : int32 {
    kCanAutomate = 1 << 0,
    kIsReadOnly = 1 << 1,
    kIsWrapAround = 1 << 2,
    kIsList = 1 << 3,
    kIsHidden = 1 << 4,
    kIsProgramChange = 1 << 15,
    kIsBypass = 1 << 16,
};
constexpr UnitID kRootUnitId = 0;

enum : int32 { kParamValuesChanged = 1 << 2 };

struct ParameterInfo {
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32 stepCount;
    ParamValue defaultNormalizedValue;
    UnitID unitId;
    int32 flags;
};

class IComponentHandler : public FUnknown {
public:
    virtual tresult beginEdit(ParamID id) = 0;
    virtual tresult performEdit(ParamID id, ParamValue valueNormalized) = 0;
    virtual tresult endEdit(ParamID id) = 0;
    virtual tresult restartComponent(int32 flags) = 0;
};
constexpr Uid kIComponentHandlerIid = Uid::of(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);

class IPlugView;

class IEditController : public IPluginBase {
public:
    virtual tresult setComponentState(IBStream* state) = 0;
    virtual tresult setState(IBStream* state) = 0;
    virtual tresult getState(IBStream* state) = 0;
    virtual int32 getParameterCount() = 0;
    virtual tresult getParameterInfo(int32 paramIndex, ParameterInfo& info) = 0;
    virtual tresult getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) = 0;
    virtual tresult getParamValueByString(ParamID id, char16* string, ParamValue& valueNormalized) = 0;
    virtual ParamValue normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
    virtual ParamValue plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
    virtual ParamValue getParamNormalized(ParamID id) = 0;
    virtual tresult setParamNormalized(ParamID id, ParamValue value) = 0;
    virtual tresult setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* createView(FIDString name) = 0;
};
constexpr Uid kIEditControllerIid = Uid::of(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);

// --- units and program lists ---------------------------------------------------------------

using ProgramListID = int32;
using CString = const char*;
constexpr UnitID kNoParentUnitId = -1;
constexpr ProgramListID kNoProgramListId = -1;

struct UnitInfo {
    UnitID id;
    UnitID parentUnitId;
    String128 name;
    ProgramListID programListId;
};

struct ProgramListInfo {
    ProgramListID id;
    String128 name;
    int32 programCount;
};

// The controller's: its units and the program lists a host shows and switches through the
// list's program-change parameter.
class IUnitInfo : public FUnknown {
public:
    virtual int32 getUnitCount() = 0;
    virtual tresult getUnitInfo(int32 unitIndex, UnitInfo& info) = 0;
    virtual int32 getProgramListCount() = 0;
    virtual tresult getProgramListInfo(int32 listIndex, ProgramListInfo& info) = 0;
    virtual tresult getProgramName(ProgramListID listId, int32 programIndex, String128 name) = 0;
    virtual tresult getProgramInfo(ProgramListID listId, int32 programIndex, CString attributeId,
                                   String128 attributeValue) = 0;
    virtual tresult hasProgramPitchNames(ProgramListID listId, int32 programIndex) = 0;
    virtual tresult getProgramPitchName(ProgramListID listId, int32 programIndex, int16 midiPitch, String128 name) = 0;
    virtual UnitID getSelectedUnit() = 0;
    virtual tresult selectUnit(UnitID unitId) = 0;
    virtual tresult getUnitByBus(MediaType type, BusDirection dir, int32 busIndex, int32 channel, UnitID& unitId) = 0;
    virtual tresult setUnitProgramData(int32 listOrUnitId, int32 programIndex, IBStream* data) = 0;
};
constexpr Uid kIUnitInfoIid = Uid::of(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);

class IHostApplication : public FUnknown {
public:
    virtual tresult getName(String128 name) = 0;
    virtual tresult createInstance(TUID cid, TUID iid, void** object) = 0;
};
constexpr Uid kIHostApplicationIid = Uid::of(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);

// --- editor ------------------------------------------------------------------------------

constexpr const char* kPlatformTypeHWND = "HWND";
constexpr const char* kPlatformTypeX11EmbedWindowID = "X11EmbedWindowID";

struct ViewRect {
    int32 left;
    int32 top;
    int32 right;
    int32 bottom;
};

class IPlugFrame : public FUnknown {
public:
    virtual tresult resizeView(IPlugView* view, ViewRect* newSize) = 0;
};
constexpr Uid kIPlugFrameIid = Uid::of(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);

class IPlugView : public FUnknown {
public:
    virtual tresult isPlatformTypeSupported(FIDString type) = 0;
    virtual tresult attached(void* parent, FIDString type) = 0;
    virtual tresult removed() = 0;
    virtual tresult onWheel(float distance) = 0;
    virtual tresult onKeyDown(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult onKeyUp(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult getSize(ViewRect* size) = 0;
    virtual tresult onSize(ViewRect* newSize) = 0;
    virtual tresult onFocus(TBool state) = 0;
    virtual tresult setFrame(IPlugFrame* frame) = 0;
    virtual tresult canResize() = 0;
    virtual tresult checkSizeConstraint(ViewRect* rect) = 0;
};
constexpr Uid kIPlugViewIid = Uid::of(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);

// The display's scale, given to a view before it is attached and whenever it changes.
class IPlugViewContentScaleSupport : public FUnknown {
public:
    virtual tresult setContentScaleFactor(float factor) = 0;
};
constexpr Uid kIPlugViewContentScaleSupportIid = Uid::of(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);

// Linux: the host's event loop, which an editor uses for work on the host's UI thread.
class ITimerHandler : public FUnknown {
public:
    virtual void onTimer() = 0;
};
constexpr Uid kITimerHandlerIid = Uid::of(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);

class IEventHandler : public FUnknown {
public:
    virtual void onFDIsSet(int fd) = 0;
};
constexpr Uid kIEventHandlerIid = Uid::of(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);

class IRunLoop : public FUnknown {
public:
    virtual tresult registerEventHandler(IEventHandler* handler, int fd) = 0;
    virtual tresult unregisterEventHandler(IEventHandler* handler) = 0;
    virtual tresult registerTimer(ITimerHandler* handler, uint64 milliseconds) = 0;
    virtual tresult unregisterTimer(ITimerHandler* handler) = 0;
};
constexpr Uid kIRunLoopIid = Uid::of(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);

// Layouts as the C declarations give them on x86-64.
static_assert(sizeof(PFactoryInfo) == 452);
static_assert(sizeof(PClassInfo) == 116);
static_assert(sizeof(PClassInfo2) == 440);
static_assert(sizeof(PClassInfoW) == 696);
static_assert(sizeof(BusInfo) == 276);
static_assert(sizeof(ProcessSetup) == 24);
static_assert(sizeof(AudioBusBuffers) == 24);
static_assert(sizeof(ProcessData) == 80);
static_assert(sizeof(ParameterInfo) == 792);
static_assert(offsetof(ParameterInfo, defaultNormalizedValue) == 776);
static_assert(sizeof(UnitInfo) == 268);
static_assert(sizeof(ProgramListInfo) == 264);

}  // namespace kx::vst3
