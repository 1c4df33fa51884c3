#pragma once
// The sustainer's arithmetic, one sample or two of both channels at a time: the single home of
// the steps that the brick's own process and the effect's fused chain both run.

#include <limits>
#include <utility>

#include "bricks/Lanes.h"
#include "bricks/SustainerConstants.h"

namespace bricks {

// Channel modes of the sustainer, from its stereoMode control.
enum SustainerMode : int { kSustainStereo = 0, kSustainLinked = 1, kSustainMono = 2 };

// The sustainer's state for both channels, with F a pair of floats and D a
// pair of doubles (lanes::Float2/Double2, or lanes::ScalarPair for the plain
// form).
template<class F, class D>
struct SustainerState {
    D inputTracker;     // follows the input over kInputTrackerSeconds
    D detectorTracker;  // follows the detector signal over kDetectorTrackerSeconds
    D envelope;
    D envelopeCoefficient;  // the one the envelope took last
    F gain;                 // applied from the next sample on
};

// What the controls give for one block.
template<class F, class D>
struct SustainerControls {
    F inputGain;
    F detectorGain;  // the compression control
    D attack;        // envelope coefficients while rising, per channel
    D release;       // and while falling
    D inputCoefficient;
    D detectorCoefficient;
};

// One sample of both channels through the sustainer, in its parts: the
// signal path given the gain, the envelope's choice between decay and attack,
// and the gain that follows from the envelope. Channel 0 and 1 differ only in
// their constants.
template<int Mode, class F, class D>
struct SustainerSample {
    using State = SustainerState<F, D>;
    using Controls = SustainerControls<F, D>;

    static F bias() { return F::of(sustain::kBias0, sustain::kBias1); }  // of the soft clipper, removed after it
    static F threshold() { return F::of(sustain::kThreshold0, sustain::kThreshold1); }

    // The signal path in three parts: the input less its slow tracker (which
    // removes DC and very low frequencies), the biased soft clipper with the
    // given gain, whose output is returned, and the detector, which follows
    // the clipped signal and returns its swing h.
    [[gnu::always_inline]] static D centre(D& inputTracker, const Controls& k, F input)
    {
        F x = k.inputGain * input;
        if constexpr (Mode == kSustainMono) x = withChannel0(x, (x + swapChannels(x)) * F::both(sustain::kMonoMean));
        const D xd = widen(x);
        inputTracker = (inputTracker - xd) * k.inputCoefficient + xd;
        return xd - inputTracker;
    }

    // With z = j^3 + j, z / sqrt(z^2 + 1). Where z^2 overflows the quotient
    // would give 0 or NaN; its limit there is sign(z). detector is the
    // detector's input.
    [[gnu::always_inline]] static F clip(const Controls& k, D centred, F gain, D& detector)
    {
        F toDetector;
        const F out = clipped(scaled(centred, gain), bias(), k.detectorGain, toDetector);
        detector = widen(toDetector);
        return out;
    }

    // The clipper's input.
    [[gnu::always_inline]] static F scaled(D centred, F gain) { return narrow(centred * widen(gain)); }

    // The clipper's float part for lanes of any width: the output and the
    // detector's input from the product of input and gain. In three parts, for
    // loops that run them on different samples.
    template<class V>
    [[gnu::always_inline]] static V clipped(V product, V bias, V detectorGain, V& toDetector)
    {
        const Shaped<V> shaped = shape(product, bias);
        return limit(shaped, root(shaped), bias, detectorGain, toDetector);
    }

    template<class V>
    struct Shaped {
        V z;
        V zz;
    };
    template<class V>
    [[gnu::always_inline]] static Shaped<V> shape(V product, V bias)
    {
        const V j = V::both(sustain::kClipperInputScale) * product + bias;
        const V z = j * j * j + j;
        return {z, z * z};
    }
    template<class V>
    [[gnu::always_inline]] static V root(Shaped<V> s)
    {
        return squareRoot(s.zz + V::both(1.0f));
    }
    template<class V>
    [[gnu::always_inline]] static V limit(Shaped<V> s, V root, V bias, V detectorGain, V& toDetector)
    {
        const V limited = select(s.zz < V::both(std::numeric_limits<float>::infinity()), s.z / root, unitWithSign(s.z));
        const V y = limited - bias;
        toDetector = y * V::both(sustain::kDetectorScale) * detectorGain;
        return V::both(sustain::kOutputScale) * y;
    }

    [[gnu::always_inline]] static F detect(D& detectorTracker, const Controls& k, D detector)
    {
        detectorTracker = (detectorTracker - detector) * k.detectorCoefficient + detector;
        return narrow(detector - detectorTracker);
    }

    // The output pair (channel 1 is left to the caller in mono mode) and h,
    // from the centred input.
    [[gnu::always_inline]] static F signal(State& s, const Controls& k, D centred, F gain, F& h)
    {
        D detector;
        const F out = clip(k, centred, gain, detector);
        h = detect(s.detectorTracker, k, detector);
        return out;
    }

    // Negative swings beyond envelope + threshold drive the envelope up
    // towards the excess (at most 6); otherwise it decays to 0.
    [[gnu::always_inline]] static auto rising(F h, D envelope) { return h < -(narrow(envelope) + threshold()); }

    [[gnu::always_inline]] static D decay(D envelope, const Controls& k)
    {
        return (envelope - D::both(0.0)) * k.release + D::both(0.0);
    }

    template<class Mask>
    [[gnu::always_inline]] static void attack(State& s, const Controls& k, Mask rises, F h)
    {
        const F target = select(rises, -(h + threshold()), F::both(0.0f));
        s.envelopeCoefficient = select(rises, k.attack, k.release);
        const D m = widen(minimum(target, F::both(sustain::kEnvelopeCap)));
        s.envelope = (s.envelope - m) * s.envelopeCoefficient + m;
    }

    // Gain from the envelope: maxScale * 300 + 1 at envelope 0, down to 1 at 2
    // and above. The clamp to 0..5 keeps a NaN, as a clamp by comparisons does.
    [[gnu::always_inline]] static F gain(D envelope) { return gainOf(narrow(envelope), maxScale()); }

    static F maxScale() { return F::of(sustain::kMaxScale0, sustain::kMaxScale1); }

    // Two samples to a register, the first in the lower pair of lanes: the constants so doubled,
    // and the gains of two envelopes.
    static lanes::Float4 pairBias() { return lanes::pairs(bias(), bias()); }
    static lanes::Float4 pairDetectorGain(const Controls& k) { return lanes::pairs(k.detectorGain, k.detectorGain); }
    [[gnu::always_inline]] static void gainPair(D first, D second, F& firstGain, F& secondGain)
    {
        const lanes::Float4 g =
            gainOf(lanes::pairs(narrow(first), narrow(second)), lanes::pairs(maxScale(), maxScale()));
        firstGain = lanes::lowerPair(g);
        secondGain = lanes::upperPair(g);
    }

    // The gain's float part for lanes of any width, channel pair by pair.
    template<class V>
    [[gnu::always_inline]] static V gainOf(V envelope, V maxScale)
    {
        using namespace sustain;
        const V e = maximum(V::both(0.0f), minimum(V::both(kGainClamp), V::both(kEnvelopeToGain) * envelope));
        V g = (V::both(kGainClamp) - e) * maxScale / V::both(kGainClamp) * V::both(kFullGain) + V::both(1.0f);
        if constexpr (Mode == kSustainLinked) {
            // Each gain is pulled towards the smaller one (channel 0's when equal).
            const V smaller = broadcast(minimum(broadcast(g, 1), g), 0);
            g = g * V::both(sustain::kLinkOwn) + smaller * V::both(sustain::kLinkPull);
        }
        return g;
    }

    // The sample as written: signal, envelope, gain. Returns whether the
    // envelope attacked.
    [[gnu::always_inline]] static bool step(State& s, const Controls& k, F input, F& out)
    {
        return stepCentred(s, k, centre(s.inputTracker, k, input), out);
    }

    // The step from the centring on, for owners that centre the input
    // themselves: it depends on the input alone, never on the gain.
    [[gnu::always_inline]] static bool stepCentred(State& s, const Controls& k, D centred, F& out)
    {
        F h;
        out = signal(s, k, centred, s.gain, h);
        const auto rises = rising(h, s.envelope);
        if (!rises.any()) {
            s.envelopeCoefficient = k.release;
            s.envelope = decay(s.envelope, k);
        } else {
            attack(s, k, rises, h);
        }
        s.gain = gain(s.envelope);
        return rises.any();
    }

    // count centred samples, exactly as count steps would give them. Attacks are
    // rare, so the envelope and the gain are run Ahead samples ahead along the
    // decay, which does not wait on the signal; the signal path of those
    // samples then runs with them side by side, and the first sample that
    // would start an attack, if any, is found afterwards: the samples up to it
    // stand, it takes its attack, and the run goes on from the next one, one
    // step at a time while the attack lasts. The decay of the group after is
    // run beside the detector of the group before, both waiting on chains of
    // their own. Inlined into its callers, so that one built for a wider
    // instruction set runs it in that set.
    // With attacking set, the first sample follows an attack and is stepped on its own.
    template<int Ahead>
    [[gnu::always_inline]] static void run(State& s, const Controls& k, const D* centred, F* out, int count,
                                           bool attacking = false)
    {
        D decays[2][Ahead + 1];
        D* envelope = decays[0];  // along the decay from the group's start
        D* next = decays[1];      // from the next group's start
        bool decayed = false;     // envelope already holds this group's
        int n = 0;
        while (n < count) {
            if (attacking) {
                attacking = stepCentred(s, k, centred[n], out[n]);
                ++n;
                continue;
            }
            const int group = count - n < Ahead ? count - n : Ahead;
            if (!decayed) {
                envelope[0] = s.envelope;
                for (int i = 0; i < group; ++i) envelope[i + 1] = decay(envelope[i], k);
            }
            // The gains two samples at a time, one in each pair of four lanes;
            // lanes 2 and 3 of the results then hold the other sample's.
            F gains[Ahead + 1];
            gains[0] = s.gain;
            int i = 0;
            for (; i + 1 < group; i += 2) gainPair(envelope[i + 1], envelope[i + 2], gains[i + 1], gains[i + 2]);
            if (i < group) gains[i + 1] = gain(envelope[i + 1]);
            // The signal path part by part, so that the detector's chain runs
            // on its own and the clipper before it for all samples side by
            // side, two at a time.
            D detectorTrackers[Ahead];
            D detector[Ahead];
            F h[Ahead];
            for (i = 0; i + 1 < group; i += 2) {
                const lanes::Float4 product =
                    lanes::pairs(scaled(centred[n + i], gains[i]), scaled(centred[n + i + 1], gains[i + 1]));
                lanes::Float4 d;
                const lanes::Float4 o = clipped(product, pairBias(), pairDetectorGain(k), d);
                detector[i] = widen(lanes::lowerPair(d));
                detector[i + 1] = widen(lanes::upperPair(d));
                out[n + i] = lanes::lowerPair(o);
                out[n + i + 1] = lanes::upperPair(o);
            }
            if (i < group) out[n + i] = clip(k, centred[n + i], gains[i], detector[i]);
            // Where any sample of the group would start an attack, in either channel.
            decltype(rising(h[0], envelope[0])) attacks{};
            D tracker = s.detectorTracker;
            next[0] = envelope[group];
            for (i = 0; i < group; ++i) {
                h[i] = detect(tracker, k, detector[i]);
                detectorTrackers[i] = tracker;
                attacks = attacks | rising(h[i], envelope[i]);
                next[i + 1] = decay(next[i], k);  // the next group is never longer
            }
            if (!attacks.any()) {
                s.detectorTracker = detectorTrackers[group - 1];
                s.envelope = envelope[group];
                s.envelopeCoefficient = k.release;
                s.gain = gains[group];
                n += group;
                std::swap(envelope, next);
                decayed = true;
            } else {
                n += takeFirstAttack(s, k, h, envelope, detectorTrackers) + 1;
                attacking = true;
                decayed = false;
            }
        }
    }

    // The envelope and the gain that a sample takes if no attack started before it: the decay
    // runs from sample to sample whatever the signal, so an owner can run it (decay, then
    // gainOf), the clipper and the detector in a loop of its own alongside other work, and
    // settle afterwards.
    struct Decaying {
        D envelope;
        F gain;
    };

    // After such a loop over count samples, which left the decay at path and the detector's
    // tracker at tracker, and gave each sample's swing h, its envelope and the tracker after
    // it, and whether any swing starts an attack: the samples before the first attack stand,
    // and the rest run again as run runs them.
    template<int Ahead, class Mask>
    [[gnu::always_inline]] static void settle(State& s, const Controls& k, const D* centred, F* out, int count,
                                              Decaying path, D tracker, Mask attacks, const F* h, const D* envelopes,
                                              const D* trackers)
    {
        if (count <= 0) return;
        if (!attacks.any()) {
            s.detectorTracker = tracker;
            s.envelope = path.envelope;
            s.envelopeCoefficient = k.release;
            s.gain = path.gain;
            return;
        }
        const int m = takeFirstAttack(s, k, h, envelopes, trackers);
        run<Ahead>(s, k, centred + m + 1, out + m + 1, count - m - 1, true);
    }

private:
    // Of samples whose swings h start an attack somewhere: the first such sample, with the
    // state as it leaves that sample, the attack taken.
    [[gnu::always_inline]] static int takeFirstAttack(State& s, const Controls& k, const F* h, const D* envelopes,
                                                      const D* trackers)
    {
        int m = 0;
        while (!rising(h[m], envelopes[m]).any()) ++m;
        s.detectorTracker = trackers[m];
        s.envelope = envelopes[m];
        attack(s, k, rising(h[m], envelopes[m]), h[m]);
        s.gain = gain(s.envelope);
        return m;
    }
};

}  // namespace bricks
