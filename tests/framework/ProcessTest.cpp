#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <vector>

#include "tests/framework/TestHost.h"

namespace {

using namespace testhost;

constexpr float kUntouched = -7.0f;

// Host buffers: input ramps, outputs prefilled so untouched samples can be told apart.
struct Buffers {
    explicit Buffers(int frames) : in(2, std::vector<float>(frames)), out(2, std::vector<float>(frames, kUntouched))
    {
        for (int i = 0; i < frames; ++i) {
            in[0][i] = float(i);
            in[1][i] = float(-i);
        }
    }
    std::vector<std::vector<float>> in, out;
    float* inputs[2] = {in[0].data(), in[1].data()};
    float* outputs[2] = {out[0].data(), out[1].data()};
};

VstMidiEvent midi(int32 deltaFrames, int status, int first, int second)
{
    VstMidiEvent e{};
    e.type = kVstMidiType;
    e.byteSize = sizeof e;
    e.deltaFrames = deltaFrames;
    e.midiData[0] = char(status);
    e.midiData[1] = char(first);
    e.midiData[2] = char(second);
    return e;
}

void send(Instance& fx, std::vector<VstMidiEvent>& events, std::vector<VstEvent*> extra = {})
{
    std::vector<char> storage(sizeof(VstEvents) + sizeof(VstEvent*) * (events.size() + extra.size()));
    auto* list = reinterpret_cast<VstEvents*>(storage.data());
    for (VstMidiEvent& e : events) {
        list->events[list->numEvents++] = reinterpret_cast<VstEvent*>(&e);
    }
    for (VstEvent* e : extra) {
        list->events[list->numEvents++] = e;
    }
    EXPECT_EQ(fx.dispatch(effProcessEvents, 0, 0, list), 0);
}

class Process : public ::testing::Test {
protected:
    void SetUp() override { resetHost(); }

    Module module{TESTFX_PATH};
    Module altModule{TESTFX_ALT_PATH};
};

TEST_F(Process, SkippingAdapterProcessesEveryFrameOnItsGrid)
{
    Instance fx(module);
    fx.start(48000.0f, 128);
    EXPECT_EQ(probe().sampleRate, 48000.0f);
    EXPECT_EQ(probe().resets, 2);  // open and resume

    Buffers b(300);
    fx.process(b.inputs, b.outputs, 128);
    ASSERT_EQ(probe().blockCount, 4);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(probe().blocks[k].frames, 32);
        EXPECT_EQ(probe().blocks[k].blockOffset, 0);
        EXPECT_EQ(probe().blocks[k].inputs[1], b.inputs[1] + 32 * k);
        EXPECT_EQ(probe().blocks[k].outputs[0], b.outputs[0] + 32 * k);
    }
    EXPECT_EQ(b.out[1][127], -127.0f);

    // Each part of a block says where it starts in its block; the grid runs on across host
    // blocks of any length, and every frame is processed exactly once.
    struct Part {
        int frames, blockOffset, hostFrame;
    };
    const struct {
        int32 hostFrames;
        std::vector<Part> parts;
    } calls[] = {
        {100, {{32, 0, 0}, {32, 0, 32}, {32, 0, 64}, {4, 0, 96}}},
        {20, {{20, 4, 0}}},
        {0, {}},
        {-5, {}},
        {1, {{1, 24, 0}}},
        {40, {{7, 25, 0}, {32, 0, 7}, {1, 0, 39}}},
        {300,
         {{31, 1, 0},
          {32, 0, 31},
          {32, 0, 63},
          {32, 0, 95},
          {32, 0, 127},
          {32, 0, 159},
          {32, 0, 191},
          {32, 0, 223},
          {32, 0, 255},
          {13, 0, 287}}},
    };
    for (const auto& call : calls) {
        SCOPED_TRACE(call.hostFrames);
        const int before = probe().blockCount;
        b = Buffers(310);
        fx.process(b.inputs, b.outputs, call.hostFrames);
        ASSERT_EQ(probe().blockCount - before, int(call.parts.size()));
        for (std::size_t k = 0; k < call.parts.size(); ++k) {
            const testfx::BlockRecord& r = probe().blocks[before + int(k)];
            EXPECT_EQ(r.frames, call.parts[k].frames) << k;
            EXPECT_EQ(r.blockOffset, call.parts[k].blockOffset) << k;
            EXPECT_EQ(r.inputs[0], b.inputs[0] + call.parts[k].hostFrame) << k;
            EXPECT_EQ(r.outputs[1], b.outputs[1] + call.parts[k].hostFrame) << k;
        }
        const int processed = std::max(call.hostFrames, int32{0});
        for (int i = 0; i < 310; ++i) {
            ASSERT_EQ(b.out[0][i], i < processed ? float(i) : kUntouched) << i;
        }
    }

    // A new stream starts a block.
    fx.dispatch(effMainsChanged, 0, 0);
    fx.dispatch(effMainsChanged, 0, 1);
    fx.process(b.inputs, b.outputs, 40);
    EXPECT_EQ(probe().blocks[probe().blockCount - 2].blockOffset, 0);
    EXPECT_EQ(probe().blocks[probe().blockCount - 1].frames, 8);
}

TEST_F(Process, ChannelsAndMissingBuffers)
{
    Instance fx(module);
    fx.start(44100.0f, 64);
    VstSpeakerArrangement mono{}, stereo{};
    mono.type = kSpeakerArrMono;
    stereo.type = kSpeakerArrStereo;
    fx.dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr>(&mono), &stereo);
    Buffers b(64);
    float* monoIn[1] = {b.inputs[0]};
    fx.process(monoIn, b.outputs, 64);
    ASSERT_EQ(probe().blockCount, 2);
    EXPECT_EQ(probe().blocks[1].inputs[1], nullptr);
    EXPECT_EQ(b.out[1][40], 40.0f);  // the mono input feeds both outputs

    // Arrays or channel pointers missing where a block needs them: nothing runs, nothing is written.
    float* halfOut[2] = {b.outputs[0], nullptr};
    b = Buffers(64);
    fx.process(nullptr, b.outputs, 64);
    fx.process(monoIn, nullptr, 64);
    fx.process(monoIn, halfOut, 64);
    EXPECT_EQ(probe().blockCount, 2);
    EXPECT_EQ(b.out[0][0], kUntouched);
}

TEST_F(Process, PassThroughAdapterHandsOnEveryHostBlock)
{
    Instance alt(altModule);
    alt.start(44100.0f, 64);
    Buffers b(64);
    alt.process(b.inputs, b.outputs, 50);
    alt.process(b.inputs, b.outputs, 0);
    ASSERT_EQ(probe().blockCount, 2);
    EXPECT_EQ(probe().blocks[0].frames, 50);
    EXPECT_EQ(probe().blocks[0].inputs[0], b.inputs[0]);
    EXPECT_EQ(probe().blocks[0].inputs[1], nullptr);  // one input channel
    EXPECT_EQ(probe().blocks[0].outputs[1], b.outputs[1]);
    EXPECT_EQ(probe().blocks[1].frames, 0);
    EXPECT_EQ(b.out[0][49], 49.0f);
    EXPECT_EQ(b.out[0][50], kUntouched);
}

TEST_F(Process, MidiDecoding)
{
    Instance alt(altModule);
    alt.start(44100.0f, 64);
    std::vector<VstMidiEvent> events = {
        midi(1, 0x91, 60, 100), midi(2, 0x92, 61, 0), midi(3, 0x83, 62, 127), midi(4, 0xA0, 0xC5, 64),
        midi(5, 0xB0, 1, 10),   midi(6, 0xB0, 2, 20), midi(7, 0xB0, 64, 127), midi(8, 0xBF, 7, 0),
        midi(9, 0xC0, 5, 0),    midi(10, 0xF8, 0, 0), midi(11, 0x40, 0, 0),
    };
    VstEvent sysex{kVstSysExType, sizeof(VstEvent), 0, 0, {}};
    send(alt, events, {&sysex, nullptr});
    Buffers b(64);
    alt.process(b.inputs, b.outputs, 64);
    events = {midi(-5, 0xD0, 127, 0), midi(1000, 0xE0, 0x00, 0x40), midi(0, 0xE0, 0x7F, 0x7F), midi(0, 0xE0, 0, 0)};
    send(alt, events);
    alt.process(b.inputs, b.outputs, 64);

    using K = kx::MidiEventKind;
    const struct {
        K kind;
        int offset, number;
        float value;
    } expected[] = {
        {K::NoteOn, 1, 60, 100 / 127.0f},
        {K::NoteOff, 2, 61, 0.0f},
        {K::NoteOff, 3, 62, 1.0f},
        {K::PolyPressure, 4, 0x45, 64 / 127.0f},
        {K::ModWheel, 5, 1, 10 / 127.0f},
        {K::BreathController, 6, 2, 20 / 127.0f},
        {K::SustainPedal, 7, 64, 1.0f},
        {K::Controller, 8, 7, 0.0f},
        {K::ChannelPressure, 0, 0, 1.0f},
        {K::PitchBend, 64, 0, 0.0f},
        {K::PitchBend, 0, 0, 8191 / 8192.0f},
        {K::PitchBend, 0, 0, -1.0f},
    };
    ASSERT_EQ(probe().blockCount, 2);
    ASSERT_EQ(probe().blocks[0].eventCount, 8);  // program change, system and sysex messages are dropped
    ASSERT_EQ(probe().blocks[1].eventCount, 4);
    for (int i = 0; i < 12; ++i) {
        const kx::MidiEvent& e = probe().blocks[i / 8].events[i % 8];
        EXPECT_EQ(e.kind, uint8_t(expected[i].kind)) << i;
        EXPECT_EQ(e.offset, expected[i].offset) << i;
        EXPECT_EQ(e.number, expected[i].number) << i;
        EXPECT_EQ(e.value, expected[i].value) << i;
    }
    alt.process(b.inputs, b.outputs, 64);
    EXPECT_EQ(probe().blocks[2].eventCount, 0);  // events never carry over
}

TEST_F(Process, EventsAreFiledIntoTheirBlock)
{
    Instance fx(module);
    Buffers b(512);
    std::vector<VstMidiEvent> events = {midi(10, 0x90, 60, 1)};
    fx.dispatch(effMainsChanged, 0, 1);
    send(fx, events);  // before any block size: filed all the same, at offset 0 (clamped to the size)
    fx.process(b.inputs, b.outputs, 64);
    ASSERT_EQ(probe().blocks[0].eventCount, 1);
    EXPECT_EQ(probe().blocks[0].events[0].offset, 0);
    EXPECT_EQ(probe().blocks[1].eventCount, 0);

    fx.dispatch(effSetBlockSize, 0, 128);
    events = {midi(70, 0x90, 60, 1), midi(0, 0x90, 61, 1), midi(200, 0x90, 62, 1)};
    send(fx, events);
    fx.process(b.inputs, b.outputs, 128);
    ASSERT_EQ(probe().blockCount, 6);
    EXPECT_EQ(probe().blocks[2].eventCount, 1);
    EXPECT_EQ(probe().blocks[2].events[0].number, 61);
    EXPECT_EQ(probe().blocks[3].eventCount, 0);
    ASSERT_EQ(probe().blocks[4].eventCount, 1);
    EXPECT_EQ(probe().blocks[4].events[0].offset, 6);
    // Beyond the announced block: kept with the last block, at its end.
    ASSERT_EQ(probe().blocks[5].eventCount, 1);
    EXPECT_EQ(probe().blocks[5].events[0].offset, 31);

    // Offsets are 8-bit: with host blocks of 512, frame 300 arrives as 44 (block 1, frame 12).
    fx.dispatch(effSetBlockSize, 0, 512);
    events = {midi(300, 0x90, 60, 1)};
    send(fx, events);
    fx.process(b.inputs, b.outputs, 512);
    EXPECT_EQ(probe().blocks[7].eventCount, 1);
    EXPECT_EQ(probe().blocks[7].events[0].offset, 12);

    // An absurd announced maximum prepares a bounded number of lists and changes nothing else.
    fx.dispatch(effSetBlockSize, 0, std::numeric_limits<int32>::max());
    send(fx, events);
    fx.process(b.inputs, b.outputs, 512);
    EXPECT_EQ(probe().blockCount, 38);
    EXPECT_EQ(probe().blocks[23].eventCount, 1);

    // Where a host block starts inside a block, events are filed by their place in the grid.
    fx.process(b.inputs, b.outputs, 20);
    events = {midi(5, 0x90, 60, 1), midi(12, 0x90, 61, 1), midi(50, 0x90, 62, 1)};
    send(fx, events);
    fx.process(b.inputs, b.outputs, 44);
    ASSERT_EQ(probe().blockCount, 41);
    ASSERT_EQ(probe().blocks[39].blockOffset, 20);
    ASSERT_EQ(probe().blocks[39].eventCount, 1);
    EXPECT_EQ(probe().blocks[39].events[0].offset, 25);
    // Beyond the host block's end: kept with its last frame, not lost.
    ASSERT_EQ(probe().blocks[40].eventCount, 2);
    EXPECT_EQ(probe().blocks[40].events[0].offset, 0);
    EXPECT_EQ(probe().blocks[40].events[1].number, 62);
    EXPECT_EQ(probe().blocks[40].events[1].offset, 31);
    fx.process(b.inputs, b.outputs, 1);
    EXPECT_EQ(probe().blocks[41].eventCount, 0);
    events = {midi(30, 0x90, 63, 1)};
    send(fx, events);
    fx.process(b.inputs, b.outputs, 3);
    ASSERT_EQ(probe().blocks[42].eventCount, 1);
    EXPECT_EQ(probe().blocks[42].events[0].offset, 3);
}

class Queue : public Process {
protected:
    void automate(int index, float value) { probe().host->automate(index, value); }
    float stored(Instance& fx, int index) { return fx.effect->getParameter(fx.effect, index); }
};

TEST_F(Queue, EditorChangesReachTheAudioThreadInOrder)
{
    Instance fx(module);
    Buffers b(32);
    automate(0, 0.25f);  // not processing: stored at once
    EXPECT_EQ(stored(fx, 0), 0.25f);

    fx.start(44100.0f, 32);
    automate(0, 0.75f);
    automate(2, 1.5f);
    EXPECT_EQ(stored(fx, 0), 0.25f);  // queued until the next block
    fx.process(b.inputs, b.outputs, 32);
    EXPECT_EQ(probe().blocks[0].gain, 0.75f);
    EXPECT_EQ(stored(fx, 2), 1.0f);
    ASSERT_EQ(probe().callbackCount, 1);
    EXPECT_EQ(probe().callbacks[0].value, 1.5f);

    // Eleven pending changes are all applied, in order.
    for (int i = 0; i < 11; ++i) {
        automate(2, i / 10.0f);
    }
    fx.process(b.inputs, b.outputs, 32);
    ASSERT_EQ(probe().callbackCount, 12);
    EXPECT_EQ(probe().callbacks[11].value, 1.0f);
    EXPECT_EQ(probe().callbacks[5].value, 0.4f);

    // Every change was reported to the host, whichever path it took.
    const auto reports = host().requestsOf(audioMasterAutomate);
    ASSERT_EQ(reports.size(), 14u);
    EXPECT_EQ(reports[1].index, 0);
    EXPECT_EQ(reports[1].opt, 0.75f);
}

// However far the audio thread falls behind, it ends with the last value of every edited
// parameter, and a suspend loses no edit either.
TEST_F(Queue, AFullQueueLosesNoEdit)
{
    Instance fx(module);
    Buffers b(32);
    fx.start(44100.0f, 32);
    for (int i = 0; i < 30; ++i) {
        automate(2, 0.01f * float(i));
        automate(0, 0.02f * float(i));
    }
    EXPECT_EQ(probe().callbackCount, 0);  // nothing stored on the editor's thread
    fx.process(b.inputs, b.outputs, 32);
    EXPECT_EQ(stored(fx, 2), 0.01f * 29.0f);
    EXPECT_EQ(stored(fx, 0), 0.02f * 29.0f);
    ASSERT_GE(probe().callbackCount, 7);  // the queued ones in order, then the latest
    EXPECT_EQ(probe().callbacks[0].value, 0.0f);
    EXPECT_EQ(probe().callbacks[probe().callbackCount - 1].value, 0.01f * 29.0f);
    for (int i = 1; i < probe().callbackCount; ++i)
        EXPECT_GT(probe().callbacks[i].value, probe().callbacks[i - 1].value);

    automate(2, 0.1f);
    fx.dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(probe().suspends, 1);
    EXPECT_EQ(stored(fx, 2), 0.1f);
    automate(2, 0.2f);  // suspended: stored at once
    fx.dispatch(effMainsChanged, 0, 1);
    fx.process(b.inputs, b.outputs, 32);
    EXPECT_EQ(stored(fx, 2), 0.2f);

    // Bad input from the plug-in side is neither stored nor reported.
    automate(5, 0.5f);
    automate(0, std::numeric_limits<float>::quiet_NaN());
    probe().host->automateNow(0, 0.3f);
    EXPECT_EQ(stored(fx, 0), 0.3f);
    EXPECT_EQ(host().requestsOf(audioMasterAutomate).size(), 63u);
}

}  // namespace
