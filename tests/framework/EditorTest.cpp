#include <gtest/gtest.h>

#include <string>

#include "tests/framework/TestHost.h"

namespace {

using namespace testhost;

class Editor : public ::testing::Test {
protected:
    void SetUp() override { resetHost(); }

    std::vector<HostCall> sizeRequests() { return host().requestsOf(audioMasterSizeWindow); }

    Module module{TESTFX_PATH};
};

TEST_F(Editor, RectOpenIdleClose)
{
    Instance fx(module);
    ERect* rect = nullptr;
    EXPECT_EQ(fx.dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 240);
    EXPECT_EQ(rect->right, 320);

    int parent = 0;
    EXPECT_EQ(fx.dispatch(effEditOpen, 0, 0, &parent), 1);
    EXPECT_EQ(probe().editorParent, &parent);
    EXPECT_EQ(fx.dispatch(effEditOpen, 0, 0, &parent), 0);  // the editor's own answer
    fx.dispatch(effEditIdle);                               // window not up yet: no request, but the editor idles
    EXPECT_TRUE(sizeRequests().empty());
    EXPECT_EQ(probe().editorIdles, 1);
    for (int i = 0; i < 3; ++i) {
        fx.dispatch(effEditIdle);
    }
    auto requests = sizeRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].index, 320);
    EXPECT_EQ(requests[0].value, 240);
    EXPECT_EQ(probe().editorIdles, 4);

    EXPECT_EQ(fx.dispatch(effEditClose), 0);
    EXPECT_EQ(probe().editorCloses, 1);
    fx.dispatch(effEditOpen, 0, 0, &parent);  // a reopening sends the size again
    fx.dispatch(effEditIdle);
    fx.dispatch(effEditIdle);
    EXPECT_EQ(sizeRequests().size(), 2u);
}

TEST_F(Editor, OnePixelNudgeForSomeHosts)
{
    const struct {
        const char* product;
        size_t requests;
    } hosts[] = {{"REAPER", 2}, {"Reaper", 2}, {"reaper", 2}, {"REAPER64", 1}, {"Reaper Studio", 1}, {"rEAPER", 1}};
    for (const auto& [product, count] : hosts) {
        resetHost();
        host().setProduct(product);
        Instance fx(module);
        fx.dispatch(effEditOpen);
        fx.dispatch(effEditIdle);
        fx.dispatch(effEditIdle);
        const auto requests = sizeRequests();
        ASSERT_EQ(requests.size(), count) << product;
        EXPECT_EQ(requests[0].index, count == 2 ? 321 : 320);
        EXPECT_EQ(requests[0].value, count == 2 ? 241 : 240);
        EXPECT_EQ(requests.back().index, 320);
    }
}

TEST_F(Editor, WithoutEditorEveryEditorOpcodeAnswersZero)
{
    Module alt(TESTFX_ALT_PATH);
    Instance fx(alt);
    ERect* rect = nullptr;
    EXPECT_EQ(fx.dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(fx.dispatch(effEditOpen), 0);
    EXPECT_EQ(fx.dispatch(effEditIdle), 0);
    EXPECT_EQ(fx.dispatch(effEditClose), 0);
    EXPECT_EQ(fx.dispatch(effEditKeyDown, 'a'), 0);
    EXPECT_EQ(rect, nullptr);
}

}  // namespace
