#pragma once
// The effect: a tone stage, a state-variable high-pass, the shared sustainer, a DC
// high-pass, the post gain, a second tone stage, a state-variable low-pass and a
// soft clipper, all at four times the host rate, then an eighth-order anti-alias
// low-pass and decimation back to the host rate.

#include "bricks/AASaturationBrick.h"
#include "bricks/AudioMixerBrick.h"
#include "bricks/DspBrick.h"
#include "bricks/FixedFilterBrick.h"
#include "bricks/MeterBrick.h"
#include "bricks/OscilloscopeBrick.h"
#include "bricks/PipelinedFilterBrick.h"
#include "bricks/SVFFilterBrick.h"
#include "bricks/SustainerBrick.h"
#include "bricks/VcaBrick.h"
#include "kx/AudioPlugin.h"
#include "kx/HostCallback.h"
#include "plug/ControlLaw.h"
#include "plug/Filters.h"

#include <array>
#include <initializer_list>
#include <memory>

// The instruction sets of the chain's wider builds. FMA is left out: a fused multiply-add rounds
// once where the chain's arithmetic rounds twice.
#define TW07_AVX2_TARGET gnu::target("avx2")
#define TW07_AVX512_TARGET gnu::target("avx2,avx512f,avx512vl,avx512dq")

namespace plug {

class Editor;

// Levels as the editor reads them: rms and peak of channel 0 and 1.
struct MeterReadings {
    float rms0;
    float rms1;
    float peak0;
    float peak1;
};

enum ParameterIndex : int {
    kDrive = 0,
    kCompression = 1,
    kSpeed = 2,
    kStereo = 3,
    kToneLo = 4,
    kToneMid = 5,
    kToneHi = 6,
    kPostGain = 7,
    kNumParameters = 8,
};

class alignas(32) Plug final : public kx::AudioPlugin {
public:
    static constexpr int kHostBlock = 32;
    static constexpr int kOversampling = 4;

    explicit Plug(kx::HostCallback& host);
    ~Plug() override;

    Plug(const Plug&) = delete;
    Plug& operator=(const Plug&) = delete;

    const kx::PluginDescriptor& descriptor() const override;
    void reset() override;
    void setSampleRate(float hz) override;
    void setNumInputs(int channels) override;
    void setNumOutputs(int channels) override;
    void process(const kx::ProcessBlock& block) override;
    kx::AudioPluginEditor* editor() override;

    // How the graph is evaluated: by the fused chain; one brick at a time, each through its own
    // process; or one brick at a time on plain floats, one channel and one sample at a time. The
    // same output, bit for bit: the last two are the references the chain is checked and measured
    // against.
    enum class Evaluation : int { kFused, kBrickByBrick, kPlain };
    void setEvaluation(Evaluation how);

    // The chain is built for SSE2, which every x86-64 processor has, and for AVX2 and AVX-512,
    // whose three-operand forms save register copies and whose 32 registers (AVX-512) save
    // spills: the same operations in the same order, so the same bits.
    enum class InstructionSet : int { kSse2 = 0, kAvx2 = 1, kAvx512 = 2 };
    // The widest that both the processor and the system support; each instance starts with it.
    static InstructionSet widestInstructionSet();
    // Held to the widest supported.
    void setInstructionSet(InstructionSet set);

    // Read on the editor's render thread while audio runs.
    MeterReadings sustainerLevels() const;
    MeterReadings outputLevels() const;
    using Scope = bricks::OscilloscopeBrick<bricks::ScopeFrameStore::kFrameLength, 1>;
    Scope& scopeBrick() { return scope; }

private:
    friend class PlugTestAccess;  // white-box checks of the control values and buffers

    using Fixed = bricks::FixedFilterBrick;
    using Mixer = bricks::AudioMixerBrick<3>;
    using Svf = bricks::SVFFilterBrick;
    using Meter = bricks::MeterBrick<8>;
    using Vca = bricks::VcaBrick;
    using Saturation = bricks::AASaturationBrick;
    using AntiAlias = bricks::PipelinedFilterBrick<4, float>;

    void onDrive(int index, float value);
    void onToneLo(int index, float value);
    void onToneHi(int index, float value);
    void onPostGain(int index, float value);

    void declareParameters();
    void connectBricks();
    // Wires a brick's inputs, audio and control in port order, and runs it after those placed before.
    template<class Brick>
    void place(Brick& brick, std::initializer_list<const float*> audio,
               std::initializer_list<const float*> controls = {});
    // Wires a tap (a brick without audio outputs) to output 0 of the brick Source names, or of the
    // pair's brick at channel. The taps run after the fused chain and read what it left in that
    // buffer, so a Source whose output the chain does not store does not compile.
    template<auto Source, class Tap>
    void tap(Tap& brick, int channel, std::initializer_list<const float*> controls = {});
    // Whether the fused chain stores output 0 of the brick (or pair) source names.
    template<class Member>
    static constexpr bool chainStores(Member source);
    // What both do: the wiring, and the brick's place in the order.
    template<class Brick>
    void connect(Brick& brick, std::initializer_list<const float*> audio, std::initializer_list<const float*> controls);
    void loadAntiAliasTable(int tier);
    void updateControls();
    // Frames first .. first + frames - 1 of the current block; samples begin .. end - 1.
    void interpolateInput(const kx::ProcessBlock& block, int first, int frames);
    void runBricks(int begin, int end);
    void runBricksInTurn(int begin, int end);
    // The chain's loops, and the three builds of them: for SSE2, AVX2 and AVX-512.
    template<int Mode, bool AtRest>
    [[gnu::always_inline]] inline void chainLoops(int begin, int end);
    // Up to the sustainer's detector, the sustainer settled; returns the filters' coefficients at rest.
    template<int Mode, bool AtRest>
    [[gnu::always_inline]] inline bricks::SvfCoefficients<bricks::lanes::Float4> frontLoop(int begin, int end);
    // From the sustainer's output to the anti-alias filters' and the scope filter's.
    template<int Mode, bool AtRest>
    [[gnu::always_inline]] inline void backLoop(int begin, int end,
                                                const bricks::SvfCoefficients<bricks::lanes::Float4>& still);
    template<int Mode, bool AtRest>
    void runChain(int begin, int end);
    template<int Mode, bool AtRest>
    [[TW07_AVX2_TARGET]] void runChainAvx2(int begin, int end);
    template<int Mode, bool AtRest>
    [[TW07_AVX512_TARGET]] void runChainAvx512(int begin, int end);
    void decimateOutput(const kx::ProcessBlock& block, int first, int frames);

    Evaluation evaluation = Evaluation::kFused;
    InstructionSet instructionSet = widestInstructionSet();
    int activeInputs = 2;
    int activeOutputs = 2;
    alignas(32) float upsampled[2][bricks::kBlockSize] = {};
    float lastInput[2] = {0.0f, 0.0f};
    // What the chain's loops hand on to each other within a block.
    struct ChainBuffers {
        bricks::lanes::Double2 toSustainer[bricks::kBlockSize];
        bricks::lanes::Float2 fromSustainer[bricks::kBlockSize];
        // The sustainer's gains and envelopes along the decay, and its swings and detector trackers,
        // should a sample start an attack.
        bricks::lanes::Float2 gains[bricks::kBlockSize];
        bricks::lanes::Float2 swings[bricks::kBlockSize];
        bricks::lanes::Double2 envelopes[bricks::kBlockSize];
        bricks::lanes::Double2 detectorTrackers[bricks::kBlockSize];
        bricks::lanes::Float4 filterCoefficients[3][bricks::kBlockSize];  // a1, a2, a3
    };
    ChainBuffers chainBuffers;
    static constexpr int kBricks = 31;
    std::array<bricks::DspBrick*, kBricks> order{};  // as placed by connectBricks
    int placed = 0;

    Fixed loBand[2];
    Fixed midBand[2];
    Mixer preEq[2];
    Svf preFilter[2];
    bricks::SustainerBrick sustainer;
    Fixed dcBlock[2];
    Meter sustainMeter[2];
    Vca outputGain[2];
    Fixed hiBand[2];
    Fixed postMidBand[2];
    Mixer postEq[2];
    Svf postFilter[2];
    Saturation saturation[2];
    AntiAlias antiAlias[2];
    Meter outputMeter[2];
    Fixed scopeFilter;
    Scope scope;

    SmoothedParameter smoothDrive;
    SmoothedParameter smoothPostGain;
    SmoothedParameter smoothToneLo;
    SmoothedParameter smoothToneHi;

    // Control values the bricks read once per block.
    float unity = 1.0f;
    float loGain = 0.0f;
    float preMidGain = 0.0f;
    float hiGain = 0.0f;
    float postMidGain = 0.0f;
    float sustainerDrive = 0.0f;
    float outputLevel = 0.0f;
    float loCutoff = 0.0f;
    float hiCutoff = 0.0f;
    float preResonance = kPreResonance;
    float postResonance = kPostResonance;
    float scopeTrigger = 0.05f;
    float scopeTime = 0.6f;

    kx::HostCallback* hostCallback;
    std::unique_ptr<Editor> ownedEditor;  // reset first in the destructor: its render thread reads the bricks
};

}  // namespace plug
