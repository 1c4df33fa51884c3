#include "plug/Plug.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <type_traits>

#include "kx/ParameterMapper.h"
#include "kx/ProcessBlock.h"
#include "kx/Relaxed.h"
#include "plug/Editor.h"
#include "plug/Filters.h"

namespace plug {

namespace {

constexpr kx::PluginDescriptor kDescriptor{
    .name = "TW07 - distortion/sustainer",
    .shortName = "TW07",
    .vendor = "Tarnwell Industries",
    .version = TW07_VERSION,  // the project's version (CMakeLists.txt)
    .vendorVersion = 80,
    .uniqueId = 12345699,
    .numInputs = 2,
    .numOutputs = 2,
    .hasAudioInput = true,
    .hasAudioOutput = true,
    .receivesMidi = false,
    .sendsMidi = false,
    .receivesTimeInfo = false,
    .canBypass = false,
    .hasEditor = TW07_EDITOR != 0,
    .blockSize = Plug::kHostBlock,
    .blockMode = 2,
    .identifier = "com.tarnwell.tw07",
    .kind = kx::EffectKind::kDistortion,
    .description = "Distortion with a sustainer that follows the playing, tone shaping before and after",
};

constexpr float kInputLimit = 1e9f;

// A meter pair's rms (control output 0) and peak (1), written by the audio thread.
template<class Meter>
MeterReadings readLevels(const Meter (&meters)[2])
{
    return {kx::loadRelaxed(*meters[0].controlOutput(0)), kx::loadRelaxed(*meters[1].controlOutput(0)),
            kx::loadRelaxed(*meters[0].controlOutput(1)), kx::loadRelaxed(*meters[1].controlOutput(1))};
}

void advance(SmoothedParameter& p) { p.current = glide(kx::loadRelaxed(p.target), p.current); }

}  // namespace

Plug::Plug(kx::HostCallback& host) : hostCallback(&host)
{
    declareParameters();
#if TW07_EDITOR
    ownedEditor = std::make_unique<Editor>(this, hostCallback);
#endif
    connectBricks();

    for (Fixed& f : dcBlock) f.setHighPass(kDcBlockHz, kQ, true);
    loadAntiAliasTable(antiAliasTier(44100.0f));

    smoothDrive.target = parameters.value(kDrive);
    smoothPostGain.target = parameters.value(kPostGain);
    smoothToneLo.target = parameters.value(kToneLo);
    smoothToneHi.target = parameters.value(kToneHi);
}

Plug::~Plug()
{
    ownedEditor.reset();  // its render thread reads the meters, the scope and the parameters
}

// Ids and symbols are what hosts keep in projects and automation: never change them.
void Plug::declareParameters()
{
    using kx::LinearMapper;
    using kx::OptionMapper;
    parameters.reserve(kNumParameters);
    parameters.addParameter({0, "drive", "Drive", "dB", 0.35f}, std::make_unique<LinearMapper>(-20.0f, 40.0f),
                            &Plug::onDrive, this);
    parameters.addParameter({1, "compression", "Compression", "", 0.6f}, std::make_unique<LinearMapper>(0.0f, 1.0f));
    parameters.addParameter({2, "speed", "Speed", "", 0.75f}, std::make_unique<LinearMapper>(0.0f, 1.0f));
    parameters.addParameter({3, "stereo", "Stereo", "", 0.0f},
                            std::make_unique<OptionMapper<3>>("Stereo", "Linked", "Mono"));
    parameters.addParameter({4, "tone_lo", "Tone Lo", "dB", 0.5f}, std::make_unique<LinearMapper>(-10.0f, 10.0f),
                            &Plug::onToneLo, this);
    parameters.addParameter({5, "tone_mid", "Tone Mid", "dB", 0.5f}, std::make_unique<LinearMapper>(-10.0f, 10.0f));
    parameters.addParameter({6, "tone_hi", "Tone Hi", "dB", 0.5f}, std::make_unique<LinearMapper>(-10.0f, 10.0f),
                            &Plug::onToneHi, this);
    parameters.addParameter({7, "post_gain", "Post gain", "dB", 0.4f}, std::make_unique<LinearMapper>(-50.0f, 10.0f),
                            &Plug::onPostGain, this);
}

// The graph, once: each brick wired to what it reads, in the order of the data, which is the
// order the bricks run in one at a time. The fused chain is checked against that run bit for bit.
void Plug::connectBricks()
{
    const float* const compression = &parameters.values[kCompression].value;
    const float* const stereo = &parameters.values[kStereo].value;
    const float* const speed = &parameters.values[kSpeed].value;
    for (int c = 0; c < 2; ++c) place(loBand[c], {upsampled[c]});
    for (int c = 0; c < 2; ++c) place(midBand[c], {upsampled[c]});
    for (int c = 0; c < 2; ++c)
        place(preEq[c], {loBand[c].audioOutput(0), midBand[c].audioOutput(0), upsampled[c]},
              {&loGain, &preMidGain, &unity});
    for (int c = 0; c < 2; ++c) place(preFilter[c], {preEq[c].audioOutput(0)}, {&loCutoff, &preResonance});
    place(sustainer, {preFilter[0].audioOutput(2), preFilter[1].audioOutput(2)},
          {&sustainerDrive, compression, stereo, speed});
    for (int c = 0; c < 2; ++c) place(dcBlock[c], {sustainer.audioOutput(c)});
    for (int c = 0; c < 2; ++c) tap<&Plug::dcBlock>(sustainMeter[c], c);
    for (int c = 0; c < 2; ++c) place(outputGain[c], {dcBlock[c].audioOutput(0)}, {&outputLevel});
    for (int c = 0; c < 2; ++c) place(hiBand[c], {outputGain[c].audioOutput(0)});
    for (int c = 0; c < 2; ++c) place(postMidBand[c], {outputGain[c].audioOutput(0)});
    for (int c = 0; c < 2; ++c)
        place(postEq[c], {hiBand[c].audioOutput(0), postMidBand[c].audioOutput(0), outputGain[c].audioOutput(0)},
              {&hiGain, &postMidGain, &unity});
    for (int c = 0; c < 2; ++c) place(postFilter[c], {postEq[c].audioOutput(0)}, {&hiCutoff, &postResonance});
    for (int c = 0; c < 2; ++c) place(saturation[c], {postFilter[c].audioOutput(0)}, {&unity});
    for (int c = 0; c < 2; ++c) place(antiAlias[c], {saturation[c].audioOutput(0)});
    for (int c = 0; c < 2; ++c) tap<&Plug::antiAlias>(outputMeter[c], c);
    place(scopeFilter, {antiAlias[1].audioOutput(0)});
    tap<&Plug::scopeFilter>(scope, 0, {&scopeTrigger, &scopeTime});
}

namespace {

template<class A, class B>
constexpr bool sameMember(A a, B b)
{
    if constexpr (std::is_same_v<A, B>)
        return a == b;
    else
        return false;
}

}  // namespace

// The outputs backLoop writes to their buffers; it keeps every other brick's output in registers.
template<class Member>
constexpr bool Plug::chainStores(Member source)
{
    return sameMember(source, &Plug::dcBlock) || sameMember(source, &Plug::antiAlias) ||
           sameMember(source, &Plug::scopeFilter);
}

template<class Brick>
void Plug::place(Brick& brick, std::initializer_list<const float*> audio, std::initializer_list<const float*> controls)
{
    static_assert(Brick::kAudioOutputs > 0,
                  "a tap is wired with tap<>(), which checks that the chain stores its input");
    connect(brick, audio, controls);
}

template<auto Source, class Tap>
void Plug::tap(Tap& brick, int channel, std::initializer_list<const float*> controls)
{
    static_assert(Tap::kAudioOutputs == 0, "a brick with audio outputs is wired with place()");
    static_assert(chainStores(Source), "a tap reads an output the fused chain does not store");
    auto& source = this->*Source;
    if constexpr (std::is_array_v<std::remove_reference_t<decltype(source)>>)
        connect(brick, {source[channel].audioOutput(0)}, controls);
    else
        connect(brick, {source.audioOutput(0)}, controls);
}

template<class Brick>
void Plug::connect(Brick& brick, std::initializer_list<const float*> audio,
                   std::initializer_list<const float*> controls)
{
    int i = 0;
    for (const float* source : audio) brick.connectAudioInput(i++, source);
    i = 0;
    for (const float* source : controls) brick.connectControlInput(i++, source);
    order[placed++] = &brick;
}

void Plug::loadAntiAliasTable(int tier)
{
    for (AntiAlias& f : antiAlias) {
        for (int s = 0; s < 4; ++s) f.stageCoefficients(s) = kAntiAlias[tier][s];
    }
}

const kx::PluginDescriptor& Plug::descriptor() const { return kDescriptor; }

kx::AudioPluginEditor* Plug::editor() { return ownedEditor.get(); }

void Plug::setSampleRate(float hz)
{
    // The filters are designed for host rates of 8 to 384 kHz; some of them diverge
    // below about 6 kHz, so rates outside are taken as the nearer end.
    constexpr float kLowestRate = 8000.0f;
    constexpr float kHighestRate = 384000.0f;
    hz = std::clamp(hz, kLowestRate, kHighestRate);
    for (Fixed& f : midBand) {
        f.setSampleRate(hz);
        f.setBandPass(kMidBandHz, kQ, true);
    }
    for (Fixed& f : loBand) {
        f.setSampleRate(hz);
        f.setBandPass(kLoBandHz, kLoBandQ, true);
    }
    preFilter[0].setSampleRate(hz);
    preFilter[1].setSampleRate(hz);
    sustainer.setSampleRate(hz);
    postFilter[0].setSampleRate(hz);
    postFilter[1].setSampleRate(hz);
    for (Fixed& f : dcBlock) {
        f.setSampleRate(hz);
        f.setHighPass(kDcBlockHz, kQ, true);
    }
    for (Fixed& f : postMidBand) {
        f.setSampleRate(hz);
        f.setBandPass(kMidBandHz, kQ, true);
    }
    for (Fixed& f : hiBand) {
        f.setSampleRate(hz);
        f.setBandPass(kHiBandHz, kQ, true);
    }
    for (AntiAlias& f : antiAlias) f.setSampleRate(hz);
    loadAntiAliasTable(antiAliasTier(hz));
    scopeFilter.setSampleRate(hz);
    scopeFilter.setLowPass(kScopeHz, kQ, true);
}

void Plug::reset()
{
    for (int c = 0; c < 2; ++c) {
        midBand[c].reset();
        loBand[c].reset();
        preFilter[c].reset();
        postFilter[c].reset();
        hiBand[c].reset();
        postMidBand[c].reset();
        antiAlias[c].reset();
    }
    scopeFilter.reset();
    scope.reset();
    for (auto& channel : upsampled) std::fill(std::begin(channel), std::end(channel), 0.0f);
}

void Plug::setNumInputs(int channels) { activeInputs = channels; }

void Plug::setNumOutputs(int channels) { activeOutputs = channels; }

void Plug::process(const kx::ProcessBlock& block)
{
    // A host block that ends inside one of our blocks hands us that block in parts: the
    // controls are formed where the block begins and each part continues every brick, so the
    // output does not depend on how the host cuts the stream.
    const int first = block.blockOffset;
    if (first < 0 || first >= kHostBlock) return;
    const int frames = std::min(block.frames, kHostBlock - first);
    if (frames <= 0) return;
    if (first == 0) updateControls();
    interpolateInput(block, first, frames);
    if (evaluation != Evaluation::kFused)
        runBricksInTurn(first * kOversampling, (first + frames) * kOversampling);
    else
        runBricks(first * kOversampling, (first + frames) * kOversampling);
    decimateOutput(block, first, frames);
}

void Plug::setEvaluation(Evaluation how) { evaluation = how; }

void Plug::updateControls()
{
    advance(smoothDrive);
    advance(smoothPostGain);
    advance(smoothToneLo);
    advance(smoothToneHi);

    sustainerDrive = smoothDrive.current;
    outputLevel = smoothPostGain.current;

    const BandControls lo = toneLo(smoothToneLo.current);
    loGain = lo.gain;
    loCutoff = lo.cutoff;

    const BandControls hi = toneHi(smoothToneHi.current);
    hiGain = hi.gain;
    hiCutoff = hi.cutoff;

    const float mid = toneMid(parameters.value(kToneMid));
    preMidGain = mid;
    postMidGain = mid;
}

void Plug::interpolateInput(const kx::ProcessBlock& block, int first, int frames)
{
    const int channels = std::min(activeInputs, 2);
    for (int c = 0; c < channels; ++c) {
        const float* in = block.inputs[c];
        if (in == nullptr) continue;

        // Read all the frames first: hosts may hand the same buffer for output.
        // A non-finite sample from upstream becomes silence, and absurd levels are
        // held at +180 dBFS, so that no stage's state can overflow and stay poisoned
        // for the rest of the session (the DC filter and the sustainer survive reset).
        // Four at a time: a finite sample has a magnitude below infinity, and clamping it is
        // taking the larger of it and -limit, then the smaller of that and limit.
        alignas(16) float x[kHostBlock];
        int i = 0;
        for (; i + 4 <= frames; i += 4) {
            const __m128 v = _mm_loadu_ps(in + i);
            const __m128 finite =
                _mm_cmplt_ps(_mm_andnot_ps(_mm_set1_ps(-0.0f), v), _mm_set1_ps(std::numeric_limits<float>::infinity()));
            const __m128 held = _mm_min_ps(_mm_max_ps(v, _mm_set1_ps(-kInputLimit)), _mm_set1_ps(kInputLimit));
            _mm_store_ps(x + i, _mm_and_ps(finite, held));
        }
        for (; i < frames; ++i) x[i] = std::isfinite(in[i]) ? std::clamp(in[i], -kInputLimit, kInputLimit) : 0.0f;

        // The four steps from the previous sample to this one, p + d, p + 2d, p + 3d and p + 4d,
        // in the four lanes of one register (2d and 4d are exact, whether added or multiplied).
        static_assert(kOversampling == 4);
        float* up = upsampled[c] + kOversampling * first;
        const __m128 steps = _mm_setr_ps(1.0f, 2.0f, 3.0f, 4.0f);
        __m128 p = _mm_set1_ps(lastInput[c]);
        for (i = 0; i < frames; ++i) {
            const __m128 next = _mm_set1_ps(x[i]);
            const __m128 d = _mm_mul_ps(_mm_sub_ps(next, p), _mm_set1_ps(0.25f));
            _mm_store_ps(up + 4 * i, _mm_add_ps(p, _mm_mul_ps(d, steps)));
            p = next;
        }
        lastInput[c] = _mm_cvtss_f32(p);
    }
}

void Plug::decimateOutput(const kx::ProcessBlock& block, int first, int frames)
{
    const int channels = std::min(activeOutputs, 2);
    for (int c = 0; c < channels; ++c) {
        float* out = block.outputs[c];
        if (out == nullptr) continue;
        const float* band = antiAlias[c].audioOutput(0) + kOversampling * first;
        for (int i = 0; i < frames; ++i) out[i] = band[kOversampling * i];
    }
}

MeterReadings Plug::sustainerLevels() const { return readLevels(sustainMeter); }

MeterReadings Plug::outputLevels() const { return readLevels(outputMeter); }

// The targets follow the stored parameter value, which never leaves 0..1: a host
// sending 1e30 must not drive the sustainer's gain to infinity.
void Plug::onDrive(int, float value) { kx::storeRelaxed(smoothDrive.target, std::clamp(value, 0.0f, 1.0f)); }
void Plug::onToneLo(int, float value) { kx::storeRelaxed(smoothToneLo.target, std::clamp(value, 0.0f, 1.0f)); }
void Plug::onToneHi(int, float value) { kx::storeRelaxed(smoothToneHi.target, std::clamp(value, 0.0f, 1.0f)); }
void Plug::onPostGain(int, float value) { kx::storeRelaxed(smoothPostGain.target, std::clamp(value, 0.0f, 1.0f)); }

}  // namespace plug

const kx::PluginDescriptor& kx::pluginDescriptor() { return plug::kDescriptor; }

std::unique_ptr<kx::AudioPlugin> kx::createPlugin(kx::HostCallback& host, float)
{
    return std::make_unique<plug::Plug>(host);
}
