// The factory presets, beside the parameters they set (Plug.cpp declares those): each gives
// every parameter by id. Post gain is set so that each plays the riff within 3 dB of the
// default setting's level; tests/effect/PresetsTest.cpp measures that and what each is for.

#include <array>
#include <span>

#include "kx/Presets.h"
#include "plug/Plug.h"

namespace plug {
namespace {

constexpr float kSeparate = 0.0f;  // "Stereo": each channel its own sustainer
constexpr float kLinked = 0.5f;  // "Linked": one gain for both
constexpr float kMono = 1.0f;    // "Mono": the channels summed

// Drive, Compression, Speed, Stereo, Tone Lo, Tone Mid, Tone Hi, Post gain.
constexpr std::array<kx::PresetValue, kNumParameters> setting(float drive, float compression, float speed,
                                                              float stereo, float lo, float mid, float hi,
                                                              float postGain)
{
    return {{{kDrive, drive},
             {kCompression, compression},
             {kSpeed, speed},
             {kStereo, stereo},
             {kToneLo, lo},
             {kToneMid, mid},
             {kToneHi, hi},
             {kPostGain, postGain}}};
}

constexpr auto kDefault = setting(0.35f, 0.6f, 0.75f, kSeparate, 0.5f, 0.5f, 0.5f, 0.4f);
constexpr auto kCleanSustain = setting(0.15f, 0.95f, 0.3f, kLinked, 0.5f, 0.5f, 0.5f, 0.62f);
constexpr auto kCountryCompressor = setting(0.2f, 0.7f, 0.9f, kLinked, 0.4f, 0.5f, 1.0f, 0.411f);
constexpr auto kWarmJazz = setting(0.2f, 0.4f, 0.6f, kSeparate, 0.55f, 0.5f, 0.15f, 0.666f);
constexpr auto kEdgeOfBreakup = setting(0.3f, 0.3f, 0.7f, kSeparate, 0.5f, 0.55f, 0.55f, 0.363f);
constexpr auto kCrunch = setting(0.5f, 0.5f, 0.75f, kSeparate, 0.55f, 0.55f, 0.55f, 0.33f);
constexpr auto kWideLinked = setting(0.25f, 0.5f, 0.6f, kLinked, 0.5f, 0.5f, 0.65f, 0.412f);
constexpr auto kBluesLead = setting(0.6f, 0.7f, 0.6f, kLinked, 0.5f, 0.8f, 0.5f, 0.306f);
constexpr auto kSingingLead = setting(0.85f, 0.8f, 0.3f, kMono, 0.5f, 0.7f, 0.55f, 0.324f);
constexpr auto kScoopedRhythm = setting(0.7f, 0.5f, 0.9f, kLinked, 0.5f, 0.0f, 0.85f, 0.303f);
constexpr auto kDoom = setting(0.9f, 0.8f, 0.3f, kMono, 0.65f, 0.4f, 0.3f, 0.465f);
constexpr auto kFullSaturation = setting(1.0f, 0.6f, 1.0f, kMono, 0.5f, 0.6f, 0.6f, 0.297f);

constexpr kx::Preset kPresets[] = {
    {"default", "Default", "The starting setting: light drive, moderate sustain", kDefault},
    {"clean_sustain", "Clean Sustain", "Clean and even: barely any drive, strong and slow compression",
     kCleanSustain},
    {"country_compressor", "Country Compressor", "Quick, clean compression with the treble open for picking",
     kCountryCompressor},
    {"warm_jazz", "Warm Jazz", "Round and dark: treble rolled off, gentle drive", kWarmJazz},
    {"edge_of_breakup", "Edge of Breakup", "Clean when played softly, breaking up when dug in", kEdgeOfBreakup},
    {"crunch", "Crunch", "Rhythm crunch with a little more of every band", kCrunch},
    {"wide_linked", "Wide Linked", "Light drive with one gain for both sides: a stereo source stays wide",
     kWideLinked},
    {"blues_lead", "Blues Lead", "Mids pushed forward and sustain that still follows the picking", kBluesLead},
    {"singing_lead", "Singing Lead", "High drive, slow heavy compression, mono: notes hold on", kSingingLead},
    {"scooped_rhythm", "Scooped Rhythm", "Heavy and tight: the mids cut away, the top open", kScoopedRhythm},
    {"doom", "Doom", "Thick, dark and slow to let go, both channels as one", kDoom},
    {"full_saturation", "Full Saturation", "Drive and speed at the top: the most saturated the effect goes",
     kFullSaturation},
};

}  // namespace
}  // namespace plug

std::span<const kx::Preset> kx::pluginPresets() { return plug::kPresets; }
