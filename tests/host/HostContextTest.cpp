// The answers a module gets from the host callback.

#include "tools/host/HostContext.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

using namespace kx::vst2;
using tools::HostContext;

intptr ask(AEffect* effect, int32 opcode, int32 index = 0, intptr value = 0, void* ptr = nullptr, float opt = 0.0f)
{
    return HostContext::callback(effect, opcode, index, value, ptr, opt);
}

TEST(HostContext, AnswersOfARealHost)
{
    AEffect record{};
    HostContext context;
    context.attach(&record);
    context.setSampleRate(96000.0f);
    context.setBlockSize(333);
    context.setCurrentId(0x6B785431);

    EXPECT_EQ(ask(&record, audioMasterVersion), 2400);
    EXPECT_EQ(ask(&record, audioMasterGetSampleRate), 96000);
    EXPECT_EQ(ask(&record, audioMasterGetBlockSize), 333);
    EXPECT_EQ(ask(&record, audioMasterCurrentId), 0x6B785431);
    EXPECT_EQ(ask(&record, audioMasterGetCurrentProcessLevel), HostContext::kLevelUser);
    EXPECT_EQ(ask(&record, audioMasterSizeWindow, 910, 237), 1);
    EXPECT_EQ(ask(&record, audioMasterGetVendorVersion), HostContext::kVendorVersion);

    // Texts go into the 65-byte buffers modules hand over, terminated.
    char text[65];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(ask(&record, audioMasterGetVendorString, 0, 0, text), 1);
    EXPECT_STREQ(text, "TW07 host tools");
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(ask(&record, audioMasterGetProductString, 0, 0, text), 1);
    EXPECT_STREQ(text, "tw07-host");

    char sizeWindow[] = "sizeWindow";
    char other[] = "openFileSelector";
    EXPECT_EQ(ask(&record, audioMasterCanDo, 0, 0, sizeWindow), 1);
    EXPECT_EQ(ask(&record, audioMasterCanDo, 0, 0, other), 0);
    EXPECT_EQ(ask(&record, audioMasterCanDo), 0);
    EXPECT_EQ(ask(&record, audioMasterGetTime), 0);
    EXPECT_EQ(ask(&record, 9999), 0);
}

TEST(HostContext, AutomationIsRecordedPerContext)
{
    AEffect first{};
    AEffect second{};
    HostContext a;
    HostContext b;
    a.attach(&first);
    b.attach(&second);
    ask(&first, audioMasterAutomate, 3, 0, nullptr, 0.25f);
    ask(&second, audioMasterAutomate, 1, 0, nullptr, 1.0f);
    ask(&first, audioMasterAutomate, 0, 0, nullptr, 0.5f);
    ASSERT_EQ(a.automation().size(), 2u);
    EXPECT_EQ(a.automation()[0].index, 3);
    EXPECT_EQ(a.automation()[0].value, 0.25f);
    EXPECT_EQ(a.automation()[1].value, 0.5f);
    ASSERT_EQ(b.automation().size(), 1u);

    // A module asking before the host knows its record reaches the loading context.
    AEffect unknown{};
    HostContext::setLoading(&b);
    ask(&unknown, audioMasterAutomate, 2, 0, nullptr, 0.75f);
    ask(nullptr, audioMasterAutomate, 2, 0, nullptr, 0.5f);
    HostContext::setLoading(nullptr);
    EXPECT_EQ(b.automation().size(), 3u);

    b.detach(&second);
    ask(&second, audioMasterAutomate, 1, 0, nullptr, 1.0f);
    EXPECT_EQ(b.automation().size(), 3u);
    EXPECT_EQ(ask(&second, audioMasterVersion), 2400);  // still answered without a context
}

TEST(HostContext, RecordsWhatItIsToldToAndPosesAsOtherHosts)
{
    AEffect record{};
    HostContext context;
    context.attach(&record);
    ask(&record, audioMasterAutomate, 1, 0, nullptr, 0.5f);
    ask(&record, audioMasterIdle);
    EXPECT_EQ(context.automation().size(), 1u);  // by default the automation, not the rest
    EXPECT_TRUE(context.requests().empty());

    context.setRecording(HostContext::Recording::Nothing);
    ask(&record, audioMasterAutomate, 2, 0, nullptr, 0.25f);
    EXPECT_EQ(context.automation().size(), 1u);
    EXPECT_EQ(context.automationCount(), 2);  // still counted

    context.setRecording(HostContext::Recording::Everything);
    context.clearRecords();
    context.setVersion(0);
    context.setVendor("other vendor");
    context.setVendorVersion(7);
    char text[65] = {};
    EXPECT_EQ(ask(&record, audioMasterVersion), 0);
    EXPECT_EQ(ask(&record, audioMasterGetVendorString, 0, 0, text), 1);
    EXPECT_STREQ(text, "other vendor");
    EXPECT_EQ(ask(&record, audioMasterGetVendorVersion), 7);
    ask(&record, audioMasterSizeWindow, 640, 480);
    ask(&record, audioMasterAutomate, 3, 0, nullptr, 1.0f);
    const auto requests = context.requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0].opcode, audioMasterVersion);
    EXPECT_EQ(requests[3].index, 640);
    EXPECT_EQ(requests[3].value, 480);
    EXPECT_EQ(requests[4].opt, 1.0f);
    ASSERT_EQ(context.requestsOf(audioMasterSizeWindow).size(), 1u);
    EXPECT_EQ(context.automation().size(), 1u);
    EXPECT_EQ(context.automationCount(), 1);
}

TEST(HostContext, EveryOpenRecordFindsItsOwnContext)
{
    // As many records as a host may have open at once, each reaching its own context.
    std::vector<AEffect> records(64);
    std::vector<std::unique_ptr<HostContext>> contexts;
    for (AEffect& record : records) {
        contexts.push_back(std::make_unique<HostContext>());
        contexts.back()->attach(&record);
    }
    AEffect oneTooMany{};
    EXPECT_THROW(contexts[0]->attach(&oneTooMany), std::runtime_error);
    for (std::size_t i = 0; i < records.size(); ++i) {
        contexts[i]->setBlockSize(static_cast<int>(i) + 1);
        EXPECT_EQ(ask(&records[i], audioMasterGetBlockSize), static_cast<intptr>(i) + 1);
    }
    // A context's records are freed with it.
    contexts[5].reset();
    contexts[0]->attach(&oneTooMany);
    EXPECT_EQ(ask(&oneTooMany, audioMasterGetBlockSize), 1);
}

}  // namespace
