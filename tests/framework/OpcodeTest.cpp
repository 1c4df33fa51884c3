#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "tests/framework/TestHost.h"

namespace {

using namespace testhost;

class Opcodes : public ::testing::Test {
protected:
    void SetUp() override { resetHost(); }

    Module module{TESTFX_PATH};
    Module altModule{TESTFX_ALT_PATH};
};

TEST_F(Opcodes, FixedAnswers)
{
    Instance fx(module);
    // Unsupported, deprecated and do-nothing opcodes answer 0 and write nothing.
    for (int32 opcode : {2,  3,  4,  5,  9,  16, 17, 18, 20, 21, 23, 24, 27, 28, 29, 30, 31, 32,
                         36, 37, 38, 39, 40, 41, 43, 46, 50, 52, 53, 54, 55, 56, 57, 59, 60, 61,
                         62, 64, 65, 66, 67, 68, 70, 71, 72, 74, 75, 76, 77, 78, 79, 80, -1, 100000}) {
        std::vector<char> buffer(1024, 0);
        EXPECT_EQ(fx.dispatch(opcode, 0, 0, buffer.data()), 0) << opcode;
        EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0), 1024) << opcode;
    }
    EXPECT_EQ(fx.dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(fx.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(fx.dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(fx.dispatch(effSetTotalSampleToProcess, 0, 12345), 12345);
    EXPECT_EQ(fx.dispatch(effGetVendorVersion), 7);
    EXPECT_EQ(fx.dispatch(effSetProgram, 0, 0), 0);
    EXPECT_EQ(fx.dispatch(effGetProgram), 0);
}

TEST_F(Opcodes, NamesAreCutToTheHostsBuffers)
{
    Instance fx(module);
    EXPECT_EQ(fx.dispatch(effGetEffectName, 0, 0, std::vector<char>(32).data()), 1);
    EXPECT_EQ(fx.text(effGetEffectName), "kx test effect");
    EXPECT_EQ(fx.text(effGetProductString), "kx test effect");
    EXPECT_EQ(fx.text(effGetVendorString), "kx tests");

    Instance alt(altModule);
    std::vector<char> buffer(128, '#');
    EXPECT_EQ(alt.dispatch(effGetEffectName, 0, 0, buffer.data()), 1);
    EXPECT_EQ(std::strlen(buffer.data()), 31u);  // 32-byte buffer
    EXPECT_EQ(buffer[32], '#');
    EXPECT_EQ(alt.text(effGetProductString), "kx test instrument with a long name, 45 chars");
    std::fill(buffer.begin(), buffer.end(), '#');
    alt.dispatch(effGetVendorString, 0, 0, buffer.data());
    EXPECT_EQ(std::string(buffer.data()),
              std::string("kx test vendor whose name is longer than sixty-four characters, 77 chars").substr(0, 64));
    EXPECT_EQ(buffer[65], '#');
}

TEST_F(Opcodes, ParameterTextsAndValues)
{
    Instance fx(module);
    EXPECT_EQ(fx.text(effGetParamName, 0), "Gain");
    EXPECT_EQ(fx.text(effGetParamName, 2), "Threshol");
    EXPECT_EQ(fx.text(effGetParamLabel, 0), "x");
    EXPECT_EQ(fx.text(effGetParamLabel, 1), "");
    EXPECT_EQ(fx.text(effGetParamLabel, 2), "microsec");
    EXPECT_EQ(fx.text(effGetParamDisplay, 0), "1.00");
    EXPECT_EQ(fx.text(effGetParamDisplay, 1), "Normal");
    fx.effect->setParameter(fx.effect, 1, 0.5f);
    EXPECT_EQ(fx.text(effGetParamDisplay, 1), "Invert");
    fx.effect->setParameter(fx.effect, 2, 0.0f);
    EXPECT_EQ(fx.text(effGetParamDisplay, 2), "-100000.");
    for (int32 index : {0, 1, 2}) {
        EXPECT_EQ(fx.dispatch(effCanBeAutomated, index), 1);
    }

    // The stored value is clamped; the change callback sees the value as sent.
    fx.effect->setParameter(fx.effect, 2, 1.5f);
    EXPECT_EQ(fx.effect->getParameter(fx.effect, 2), 1.0f);
    ASSERT_EQ(probe().callbackCount, 2);
    EXPECT_EQ(probe().callbacks[1].index, 2);
    EXPECT_EQ(probe().callbacks[1].value, 1.5f);
    fx.effect->setParameter(fx.effect, 0, -0.2f);
    EXPECT_EQ(fx.effect->getParameter(fx.effect, 0), 0.0f);
    EXPECT_TRUE(host().requestsOf(audioMasterAutomate).empty());  // host changes are not reported back
}

TEST_F(Opcodes, BadParameterInputTouchesNothing)
{
    Instance fx(module);
    fx.effect->setParameter(fx.effect, 2, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(fx.effect->getParameter(fx.effect, 2), 0.5f);
    EXPECT_EQ(probe().callbackCount, 0);
    for (int32 index : {3, -1, 1 << 30}) {
        fx.effect->setParameter(fx.effect, index, 0.7f);
        EXPECT_EQ(fx.effect->getParameter(fx.effect, index), 0.0f);
        EXPECT_EQ(fx.dispatch(effCanBeAutomated, index), 0);
        for (int32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
            EXPECT_EQ(fx.text(opcode, index), "");
        }
    }
    // Null where a buffer or record is expected.
    for (int32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay, effGetEffectName, effGetVendorString,
                         effGetProductString, effCanDo, effEditGetRect, effGetInputProperties, effGetOutputProperties,
                         effSetSpeakerArrangement, effGetSpeakerArrangement, effProcessEvents, effGetChunk}) {
        EXPECT_EQ(fx.dispatch(opcode), 0) << opcode;
    }
    EXPECT_EQ(probe().callbackCount, 0);
}

TEST_F(Opcodes, SampleRatesThatAreNotFiniteOrNotPositiveAreNotTaken)
{
    Instance fx(module);
    fx.start(48000.0f, 128);
    const float inf = std::numeric_limits<float>::infinity();
    for (float rate : {0.0f, -0.0f, -48000.0f, std::numeric_limits<float>::quiet_NaN(), inf, -inf}) {
        fx.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        EXPECT_EQ(probe().sampleRate, 48000.0f) << rate;
    }
    // Any positive rate is the effect's to judge.
    for (float rate : {1.0f, 1e-30f, 3e38f, 96000.0f}) {
        fx.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        EXPECT_EQ(probe().sampleRate, rate);
    }
}

TEST_F(Opcodes, CanDoFollowsTheDescriptor)
{
    Instance fx(module);
    Instance alt(altModule);
    const struct {
        const char* query;
        intptr effect, instrument;
    } table[] = {
        {"sendVstEvents", -1, 1},
        {"sendVstMidiEvent", -1, 1},
        {"receiveVstEvents", 1, 1},
        {"receiveVstMidiEvent", -1, 1},
        {"receiveVstTimeInfo", -1, 1},
        {"offline", -1, -1},
        {"midiProgramNames", -1, -1},
        {"bypass", -1, 1},
        {"sendVstMidiEventFlagIsRealtime", 0, 0},
        {"", 0, 0},
    };
    for (const auto& row : table) {
        EXPECT_EQ(fx.dispatch(effCanDo, 0, 0, const_cast<char*>(row.query)), row.effect) << row.query;
        EXPECT_EQ(alt.dispatch(effCanDo, 0, 0, const_cast<char*>(row.query)), row.instrument) << row.query;
    }
    EXPECT_EQ(fx.dispatch(effSetBypass, 0, 1), 0);
    EXPECT_EQ(probe().bypassCalls, 0);
    EXPECT_EQ(alt.dispatch(effSetBypass, 0, 1), 1);
    EXPECT_EQ(probe().bypassCalls, 1);
    EXPECT_TRUE(probe().bypass);
}

struct Pin {
    intptr answer;
    std::string label;
    int32 flags, type;
};

Pin pin(Instance& fx, int32 opcode, int32 index)
{
    VstPinProperties p{};
    const intptr answer = fx.dispatch(opcode, index, 0, &p);
    return {answer, p.label, p.flags, p.arrangementType};
}

void expectStereoPins(Instance& fx, int32 opcode)
{
    const Pin left = pin(fx, opcode, 0), right = pin(fx, opcode, 1);
    EXPECT_EQ(left.answer, 1);
    EXPECT_EQ(left.label, "Left");
    EXPECT_EQ(right.label, "Right");
    EXPECT_EQ(right.flags, kVstPinIsStereo | kVstPinUseSpeaker);
    EXPECT_EQ(right.type, kSpeakerArrStereo);
    EXPECT_EQ(pin(fx, opcode, 2).answer, 0);
}

TEST_F(Opcodes, SpeakerArrangementsAndPins)
{
    Instance fx(module);
    expectStereoPins(fx, effGetInputProperties);  // before any arrangement: the descriptor's channels
    expectStereoPins(fx, effGetOutputProperties);
    VstSpeakerArrangement* gotIn = nullptr;
    VstSpeakerArrangement* gotOut = nullptr;
    EXPECT_EQ(fx.dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr>(&gotIn), &gotOut), 1);
    EXPECT_EQ(gotIn->type, kSpeakerArrStereo);
    EXPECT_EQ(gotOut->numChannels, 2);

    VstSpeakerArrangement in{}, out{};
    in.type = kSpeakerArrMono;
    in.numChannels = 1;
    out.type = kSpeakerArrStereoSide;
    out.numChannels = 2;
    EXPECT_EQ(fx.dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr>(&in), &out), 1);
    EXPECT_EQ(probe().numInputs, 1);
    EXPECT_EQ(probe().numOutputs, 2);
    const Pin mono = pin(fx, effGetInputProperties, 0);
    EXPECT_EQ(mono.answer, 1);
    EXPECT_EQ(mono.label, "Mono");
    EXPECT_EQ(mono.flags, kVstPinUseSpeaker);
    EXPECT_EQ(mono.type, kSpeakerArrMono);
    EXPECT_EQ(pin(fx, effGetInputProperties, 1).answer, 0);
    expectStereoPins(fx, effGetOutputProperties);
    fx.dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr>(&gotIn), &gotOut);
    EXPECT_EQ(gotIn->type, kSpeakerArrMono);
    EXPECT_EQ(gotOut->type, kSpeakerArrStereoSide);

    // An unsupported type on either side is refused and changes nothing.
    in.type = kSpeakerArrStereo;
    out.type = kSpeakerArr30Cine;
    EXPECT_EQ(fx.dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr>(&in), &out), 0);
    EXPECT_EQ(probe().numInputs, 1);
    EXPECT_EQ(pin(fx, effGetInputProperties, 0).label, "Mono");

    in.type = kSpeakerArrEmpty;
    out.type = kSpeakerArrStereoCLfe;
    EXPECT_EQ(fx.dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr>(&in), &out), 1);
    EXPECT_EQ(probe().numInputs, 0);
    EXPECT_EQ(pin(fx, effGetInputProperties, 0).answer, 0);

    Instance alt(altModule);
    EXPECT_EQ(pin(alt, effGetInputProperties, 0).label, "Mono");
}

}  // namespace
