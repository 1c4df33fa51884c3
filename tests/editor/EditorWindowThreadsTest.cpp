// Several editors in one process, each with its own window, render thread and context.

#include "EditorTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

using editortest::HostWindow;
using editortest::TestEditor;
using editortest::waitFor;

TEST(ImguiEditorThreads, TwoEditorsDrawAtOnceAndOneOutlivesTheOthersClose)
{
    const int threads = editortest::threadCount();
    {
        HostWindow firstHost(0);
        HostWindow secondHost(500);
        TestEditor first;
        TestEditor second;
        ASSERT_TRUE(first.open(firstHost.parentHandle()));
        ASSERT_TRUE(second.open(secondHost.parentHandle()));
        ASSERT_TRUE(waitFor([&] { return first.frames.load() >= 3 && second.frames.load() >= 3; }));

        // Each one takes the clicks meant for it, neither having the keyboard focus.
        firstHost.clickInside(firstHost.children().at(0), 40, 40);
        EXPECT_TRUE(waitFor([&] { return first.clicks.load() == 1; }));
        secondHost.clickInside(secondHost.children().at(0), 60, 60);
        EXPECT_TRUE(waitFor([&] { return second.clicks.load() == 1; }));
        EXPECT_EQ(first.clicks.load(), 1);

        first.close();
        EXPECT_TRUE(firstHost.children().empty());
        const int drawn = second.frames.load();
        EXPECT_TRUE(waitFor([&] { return second.frames.load() >= drawn + 10; }));
        EXPECT_EQ(secondHost.children().size(), 1u);
        second.close();
    }
    EXPECT_TRUE(waitFor([&] { return editortest::threadCount() == threads; }))
        << editortest::threadCount() << " threads, " << threads << " before";
}

TEST(ImguiEditorThreads, FourEditorsOpenAndCloseInterleaved)
{
    const int threads = editortest::threadCount();
    {
        HostWindow host;
        std::array<std::unique_ptr<TestEditor>, 4> editors;
        for (auto& editor : editors) editor = std::make_unique<TestEditor>();
        for (int round = 0; round < 5; ++round) {
            for (auto& editor : editors) ASSERT_TRUE(editor->open(host.parentHandle()));
            // Close while others are still being set up, in an order that varies per round.
            for (int i = 0; i < 4; ++i) editors[(i + round) % 4]->close();
            EXPECT_TRUE(host.children().empty());
        }
        std::array<int, 4> drawn{};
        for (int i = 0; i < 4; ++i) {
            drawn[i] = editors[i]->frames.load();
            ASSERT_TRUE(editors[i]->open(host.parentHandle()));
        }
        EXPECT_TRUE(waitFor([&] {
            for (int i = 0; i < 4; ++i) {
                if (editors[i]->frames.load() < drawn[i] + 3) return false;
            }
            return true;
        }));
        EXPECT_EQ(host.children().size(), 4u);
        editors[1].reset();  // destroying an editor closes it
        editors[3].reset();
        EXPECT_EQ(host.children().size(), 2u);
    }
    EXPECT_TRUE(waitFor([&] { return editortest::threadCount() == threads; }))
        << editortest::threadCount() << " threads, " << threads << " before";
}
