#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <stdexcept>
#include <string>

#include "tests/framework/TestHost.h"

namespace {

using namespace testhost;

class Entry : public ::testing::Test {
protected:
    void SetUp() override { resetHost(); }
};

TEST_F(Entry, FillsTheRecordFromTheDescriptor)
{
    Module module(TESTFX_PATH);
    ASSERT_NE(module.entryPoint(), nullptr);
    EXPECT_EQ(module.library().symbol("main"), module.library().symbol("VSTPluginMain"));
    Instance fx(module);
    const AEffect& e = *fx.effect;
    EXPECT_EQ(e.magic, 0x56737450);
    EXPECT_EQ(e.numPrograms, 0);
    EXPECT_EQ(e.numParams, 3);
    EXPECT_EQ(e.numInputs, 2);
    EXPECT_EQ(e.numOutputs, 2);
    EXPECT_EQ(e.flags, effFlagsCanReplacing | effFlagsHasEditor);
    EXPECT_EQ(e.initialDelay, 0);
    EXPECT_EQ(e.ioRatio, 1.0f);
    EXPECT_NE(e.object, nullptr);
    EXPECT_EQ(e.user, nullptr);
    EXPECT_EQ(e.uniqueID, 0x6B785431);
    EXPECT_EQ(e.version, 1);
    EXPECT_NE(e.process, nullptr);
    EXPECT_NE(e.processDoubleReplacing, nullptr);
    EXPECT_EQ(fx.dispatch(effGetPlugCategory), kPlugCategEffect);

    // The host is asked for its version first, then for what it is.
    const auto calls = host().requests();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].opcode, audioMasterVersion);
    EXPECT_EQ(calls[1].opcode, audioMasterGetProductString);
    EXPECT_EQ(calls[2].opcode, audioMasterGetVendorString);
    EXPECT_EQ(calls[3].opcode, audioMasterGetVendorVersion);
    EXPECT_EQ(probe().created, 1);
}

TEST_F(Entry, InstrumentWithoutEditor)
{
    Module module(TESTFX_ALT_PATH);
    Instance fx(module);
    EXPECT_EQ(fx.effect->flags, effFlagsCanReplacing | effFlagsIsSynth);
    EXPECT_EQ(fx.effect->numInputs, 1);
    EXPECT_EQ(fx.dispatch(effGetPlugCategory), kPlugCategSynth);
    EXPECT_EQ(probe().editorOpens, 0);
}

TEST_F(Entry, RefusesWithoutAUsableHost)
{
    Module module(TESTFX_PATH);
    EXPECT_EQ(module.entryPoint()(nullptr), nullptr);
    host().setVersion(0);
    EXPECT_THROW(module.createRecord(host()), std::runtime_error);
    EXPECT_EQ(probe().created, 0);
}

TEST_F(Entry, CloseDestroysTheEffectAndItsEditor)
{
    Module module(TESTFX_PATH);
    Instance fx(module);
    EXPECT_EQ(fx.dispatch(effClose), 1);
    fx.effect = nullptr;
    EXPECT_EQ(probe().destroyed, 1);
    EXPECT_EQ(probe().editorDestroyed, 1);
}

TEST_F(Entry, ExportsOnlyTheEntryPoints)
{
    const std::string command = std::string(NM_PROGRAM) + " -D --defined-only " + TESTFX_PATH;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text(line);
        text.erase(text.find_last_not_of("\n") + 1);
        names.insert(text.substr(text.find_last_of(' ') + 1));
    }
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(names, (std::set<std::string>{"VSTPluginMain", "main"}));
}

}  // namespace
