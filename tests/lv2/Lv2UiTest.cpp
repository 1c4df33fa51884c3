// The LV2 bundle's editor in a host window on the virtual X server, as an LV2 host loads it:
// the UI module's descriptor instantiated with the host's parent window, with and without
// access to the running instance; a knob drag reaching the host as control port writes
// inside touch gestures, from idle; the host's ui:scaleFactor and sizes taken.

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/editor/EmptyWorkingFolder.h"
#include "ModuleEditorSupport.h"
#include "kx/lv2/Lv2Interface.h"
#include "tools/host/SharedLibrary.h"

namespace {

// Every editor here opens in an empty folder it may not write to.
[[maybe_unused]] const auto* const workingFolder =
    ::testing::AddGlobalTestEnvironment(new editortest::EmptyWorkingFolder);

using namespace kx::lv2;
using namespace std::chrono_literals;
using editortest::waitFor;

constexpr int kDriveX = 54;  // the Drive knob's centre
constexpr int kKnobY = 143;
constexpr const char* kUri = "https://tarnwell.com/plugins/tw07";

// What the host hears from the UI: port writes and touches, in order.
struct HostSide {
    struct Message {
        bool touch;
        uint32_t port;
        float value;  // a write's value; a touch: 1 grabbed, 0 released
    };
    std::vector<Message> messages;

    static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer)
    {
        if (size == sizeof(float) && protocol == 0)
            static_cast<HostSide*>(controller)->messages.push_back({false, port, *static_cast<const float*>(buffer)});
    }
    static void touched(void* handle, uint32_t port, bool grabbed)
    {
        static_cast<HostSide*>(handle)->messages.push_back({true, port, grabbed ? 1.0f : 0.0f});
    }
};

struct UiFixture : ::testing::Test {
    tools::SharedLibrary dspModule{std::string(TW07_LV2_BUNDLE) + "/tw07.so"};
    tools::SharedLibrary uiModule{std::string(TW07_LV2_BUNDLE) + "/tw07_ui.so"};
    const LV2_Descriptor* dsp = dspModule.function<const LV2_Descriptor* (*)(uint32_t)>("lv2_descriptor")(0);
    const LV2UI_Descriptor* ui = uiModule.function<const LV2UI_Descriptor* (*)(uint32_t)>("lv2ui_descriptor")(0);
    LV2_Handle instance = nullptr;
    float controls[8] = {0.35f, 0.6f, 0.75f, 0.0f, 0.5f, 0.5f, 0.5f, 0.4f};
    std::vector<float> audio = std::vector<float>(4 * 64, 0.0f);
    editortest::HostFrame frame{0, 0, 910, 237};
    HostSide host;
    LV2UI_Touch touch{&host, &HostSide::touched};

    void SetUp() override
    {
        const LV2_Feature* const none[] = {nullptr};
        instance = dsp->instantiate(dsp, 48000.0, TW07_LV2_BUNDLE "/", none);
        ASSERT_NE(instance, nullptr);
        for (uint32_t p = 0; p < 8; ++p) dsp->connect_port(instance, p, &controls[p]);
        for (uint32_t p = 0; p < 4; ++p) dsp->connect_port(instance, 8 + p, audio.data() + 64 * p);
        dsp->activate(instance);
    }
    void TearDown() override
    {
        dsp->deactivate(instance);
        dsp->cleanup(instance);
    }

    LV2UI_Handle open(bool withInstance, LV2UI_Widget* widget, bool withParent = true,
                      const std::vector<const LV2_Feature*>& extra = {})
    {
        LV2_Feature parent{kUiParent, frame.parentHandle()};
        LV2_Feature access{kInstanceAccess, instance};
        LV2_Feature touching{kUiTouch, &touch};
        std::vector<const LV2_Feature*> features;
        if (withParent) features.push_back(&parent);
        if (withInstance) features.push_back(&access);
        features.push_back(&touching);
        features.insert(features.end(), extra.begin(), extra.end());
        features.push_back(nullptr);
        return ui->instantiate(ui, kUri, TW07_LV2_BUNDLE "/", &HostSide::write, &host, widget, features.data());
    }

    // A host's loops: runs of the instance, the UI's idle, and the writes reaching the ports.
    void round(LV2UI_Handle handle)
    {
        dsp->run(instance, 64);
        const auto idle = static_cast<const LV2UI_Idle_Interface*>(ui->extension_data(kUiIdleInterface));
        EXPECT_EQ(idle->idle(handle), 0);
        for (const HostSide::Message& m : host.messages)
            if (!m.touch && m.port < 8) controls[m.port] = m.value;
    }
};

TEST_F(UiFixture, OpensInTheHostsWindowWithOrWithoutTheInstanceAndRefusesNoParent)
{
    EXPECT_STREQ(ui->URI, "https://tarnwell.com/plugins/tw07#ui");
    LV2UI_Widget widget = nullptr;
    EXPECT_EQ(open(true, &widget, false), nullptr);
    EXPECT_EQ(frame.childCount(), 0);
    for (bool withInstance : {true, false, true}) {
        LV2UI_Handle handle = open(withInstance, &widget);
        ASSERT_NE(handle, nullptr) << withInstance;
        EXPECT_NE(widget, nullptr);
        EXPECT_TRUE(waitFor([&] { return frame.childCount() == 1; }));
        // The host tells the UI of its ports; a UI of its own follows them.
        const float mono = 2.0f;
        ui->port_event(handle, 3, sizeof(float), 0, &mono);
        ui->cleanup(handle);
        EXPECT_EQ(frame.childCount(), 0);
    }
}

// A host's URI map and ui:resize feature: the sizes the UI tells it, in order.
struct ScaleHost {
    std::vector<std::string> uris;
    std::vector<editortest::SizeRequest> sizes;

    static LV2_URID map(void* handle, const char* uri)
    {
        auto& self = *static_cast<ScaleHost*>(handle);
        for (std::size_t i = 0; i < self.uris.size(); ++i)
            if (self.uris[i] == uri) return static_cast<LV2_URID>(i + 1);
        self.uris.emplace_back(uri);
        return static_cast<LV2_URID>(self.uris.size());
    }
    static int resized(void* handle, int width, int height)
    {
        static_cast<ScaleHost*>(handle)->sizes.push_back({width, height});
        return 0;
    }
};

TEST_F(UiFixture, TakesTheHostsScaleFactorAtInstantiationAndLaterAndTheHostsSizes)
{
    ScaleHost scaleHost;
    LV2_URID_Map map{&scaleHost, &ScaleHost::map};
    LV2UI_Resize resize{&scaleHost, &ScaleHost::resized};
    const LV2_URID scaleKey = ScaleHost::map(&scaleHost, kUiScaleFactor);
    const LV2_URID floatType = ScaleHost::map(&scaleHost, kAtomFloat);
    const LV2_URID otherKey = ScaleHost::map(&scaleHost, "http://lv2plug.in/ns/extensions/ui#updateRate");
    const auto option = [&](const float* value, LV2_URID key = 0) {
        return LV2_Options_Option{0, 0, key == 0 ? scaleKey : key, sizeof(float), floatType, value};
    };
    const float two = 2.0f;
    const LV2_Options_Option given[] = {option(&two), {}};
    LV2_Feature mapping{kUridMap, &map};
    LV2_Feature options{kOptionsFeature, const_cast<LV2_Options_Option*>(given)};
    LV2_Feature resizing{kUiResize, &resize};

    LV2UI_Widget widget = nullptr;
    LV2UI_Handle handle = open(false, &widget, true, {&mapping, &options, &resizing});
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(scaleHost.sizes, (std::vector<editortest::SizeRequest>{{1820, 474}}));
    EXPECT_TRUE(waitFor([&] { return frame.childSize() == editortest::SizeRequest{1820, 474}; }));

    // The host changes its scale: the UI tells it the new size, and refuses what is no scale.
    const auto* interface = static_cast<const LV2_Options_Interface*>(ui->extension_data(kOptionsInterface));
    ASSERT_NE(interface, nullptr);
    const float oneAndAHalf = 1.5f;
    const LV2_Options_Option change[] = {option(&oneAndAHalf), {}};
    EXPECT_EQ(interface->set(handle, change), kOptionsSuccess);
    EXPECT_EQ(scaleHost.sizes.back(), (editortest::SizeRequest{1365, 356}));
    EXPECT_TRUE(waitFor([&] { return frame.childSize() == editortest::SizeRequest{1365, 356}; }));
    const float zero = 0.0f;
    const LV2_Options_Option bad[] = {option(&zero), option(&two, otherKey), {}};
    EXPECT_EQ(interface->set(handle, bad), kOptionsBadValue | kOptionsBadKey);
    EXPECT_EQ(scaleHost.sizes.size(), 2u);
    LV2_Options_Option asked[] = {{0, 0, scaleKey, 0, 0, nullptr}, {}};
    EXPECT_EQ(interface->get(handle, asked), kOptionsSuccess);
    ASSERT_EQ(asked[0].type, floatType);
    EXPECT_EQ(*static_cast<const float*>(asked[0].value), 1.5f);

    // The host resizes the UI's window: the editor takes the nearest size with its aspect ratio.
    const auto* uiResize = static_cast<const LV2UI_Resize*>(ui->extension_data(kUiResize));
    ASSERT_NE(uiResize, nullptr);
    EXPECT_EQ(uiResize->ui_resize(handle, 2000, 300), 0);
    EXPECT_TRUE(waitFor([&] { return frame.childSize() == editortest::SizeRequest{1154, 300}; }));
    ui->cleanup(handle);

    // Without options the UI is drawn at 1x.
    handle = open(false, &widget, true, {&mapping, &resizing});
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(scaleHost.sizes.back(), (editortest::SizeRequest{910, 237}));
    ui->cleanup(handle);
}

TEST_F(UiFixture, AKnobDragBecomesPortWritesInsideATouchAndReachesTheInstance)
{
    for (bool withInstance : {true, false}) {
        SCOPED_TRACE(withInstance ? "with instance access" : "without");
        host.messages.clear();
        controls[0] = 0.35f;
        LV2UI_Widget widget = nullptr;
        LV2UI_Handle handle = open(withInstance, &widget);
        ASSERT_NE(handle, nullptr);
        const auto pumpFor = [&](std::chrono::milliseconds duration) {
            for (auto end = std::chrono::steady_clock::now() + duration; std::chrono::steady_clock::now() < end;) {
                round(handle);
                std::this_thread::sleep_for(5ms);
            }
        };
        pumpFor(500ms);
        frame.moveTo(kDriveX, kKnobY);
        pumpFor(100ms);
        frame.press();
        pumpFor(100ms);
        for (int step = 1; step <= 6; ++step) {
            frame.moveTo(kDriveX, kKnobY - 10 * step);
            pumpFor(50ms);
        }
        frame.release();
        ASSERT_TRUE(waitFor(
            [&] { return !host.messages.empty() && host.messages.back().touch && host.messages.back().value == 0.0f; },
            [&] { round(handle); }));
        EXPECT_TRUE(host.messages.front().touch);
        EXPECT_EQ(host.messages.front().value, 1.0f);
        int writes = 0;
        for (const HostSide::Message& m : host.messages) {
            EXPECT_EQ(m.port, 0u);
            writes += !m.touch;
        }
        EXPECT_GE(writes, 2);
        EXPECT_NEAR(controls[0], 0.35f + 60 / 200.0f, 1e-5f);
        ui->cleanup(handle);
    }
}

}  // namespace
