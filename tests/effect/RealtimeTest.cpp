// The audio path of each format's binding allocates nothing, frees nothing and takes no
// lock, while the editor's automate path feeds the edit queue from another thread.
//
// The plain build counts calls through interposed malloc/free/new/delete and
// pthread_mutex_lock; the RealtimeSanitizer build marks the audio call
// non-blocking and lets the sanitizer abort on any such call. Under the other
// sanitizers the same concurrent run checks the threading alone.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "kx/Nonblocking.h"
#include "kx/clap/ClapPlugAdapter.h"
#include "kx/lv2/Lv2PlugAdapter.h"
#include "kx/vst3/Vst3PlugAdapter.h"
#include "kx/vst2/Vst2PlugAdapter.h"

#if TW07_INTERPOSE
#include <dlfcn.h>
#include <pthread.h>

#include <cerrno>
#include <cstdlib>

namespace {
thread_local bool watching = false;
std::atomic<int> allocations{0};
std::atomic<int> releases{0};
std::atomic<int> locks{0};
using MutexLock = int (*)(pthread_mutex_t*);
MutexLock realMutexLock = nullptr;
}  // namespace

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);

void* malloc(size_t size)
{
    if (watching) ++allocations;
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size)
{
    if (watching) ++allocations;
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size)
{
    if (watching) ++allocations;
    return __libc_realloc(p, size);
}
void* aligned_alloc(size_t alignment, size_t size)
{
    if (watching) ++allocations;
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size)
{
    if (watching) ++allocations;
    *out = __libc_memalign(alignment, size);
    return *out ? 0 : ENOMEM;
}
void free(void* p)
{
    if (watching && p) ++releases;
    __libc_free(p);
}
int pthread_mutex_lock(pthread_mutex_t* mutex)
{
    if (watching) ++locks;
    if (!realMutexLock) realMutexLock = reinterpret_cast<MutexLock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    return realMutexLock(mutex);
}
}
#endif

namespace {

using namespace kx::vst2;

intptr quietHost(AEffect*, int32 opcode, int32, intptr, void*, float)
{
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

void audioCall(AEffect* effect, float** in, float** out, int frames) TW07_NONBLOCKING
{
#if TW07_INTERPOSE
    watching = true;
#endif
    effect->processReplacing(effect, in, out, frames);
#if TW07_INTERPOSE
    watching = false;
#endif
}

void audioCall(const kx::clap::clap_plugin* plugin, const kx::clap::clap_process* process) TW07_NONBLOCKING
{
#if TW07_INTERPOSE
    watching = true;
#endif
    plugin->process(plugin, process);
#if TW07_INTERPOSE
    watching = false;
#endif
}

void audioCall(kx::vst3::IAudioProcessor& processor, kx::vst3::ProcessData& data) TW07_NONBLOCKING
{
#if TW07_INTERPOSE
    watching = true;
#endif
    processor.process(data);
#if TW07_INTERPOSE
    watching = false;
#endif
}

void audioCall(kx::lv2::Lv2PlugAdapter& plugin, uint32_t frames) TW07_NONBLOCKING
{
#if TW07_INTERPOSE
    watching = true;
#endif
    plugin.run(frames);
#if TW07_INTERPOSE
    watching = false;
#endif
}

// Host blocks of every kind: whole grid blocks, single frames, ends inside a grid block, and
// more than the announced maximum (512).
constexpr int kSizes[] = {512, 1, 7, 100, 31, 33, 1000, 3};
constexpr int kMaxFrames = 1000;

// Runs audio(ins, outs, frames) over blocks of every size while another thread calls
// edit(random) as the editor does, until the edits have overlapped many blocks; then checks
// that the audio path allocated, freed and locked nothing and stayed finite.
template<class Audio, class Edit>
void playWhileEditing(Audio&& audio, Edit&& edit)
{
    std::vector<float> in0(kMaxFrames), in1(kMaxFrames), out0(kMaxFrames), out1(kMaxFrames);
    float* ins[2] = {in0.data(), in1.data()};
    float* outs[2] = {out0.data(), out1.data()};

    std::atomic<bool> done{false};
    std::atomic<int> edits{0};
    std::thread editor([&] {
        std::mt19937 rng(11);
        while (!done.load(std::memory_order_relaxed)) {
            edit(rng);
            ++edits;
            std::this_thread::yield();
        }
    });

    float phase = 0.0f;
    bool finite = true;
    for (int block = 0; block < 3000 || edits.load() <= 100; ++block) {
        const int frames = kSizes[block % std::size(kSizes)];
        for (int i = 0; i < frames; ++i) {
            in0[i] = 0.6f * std::sin(phase);
            in1[i] = 0.6f * std::sin(phase * 1.5f);
            phase += 0.0262f;
        }
        audio(ins, outs, frames);
        for (int i = 0; i < frames; ++i) finite = finite && std::isfinite(out0[i]) && std::isfinite(out1[i]);
    }
    done = true;
    editor.join();

    EXPECT_TRUE(finite);
    EXPECT_GT(edits.load(), 100);
#if TW07_INTERPOSE
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(releases.load(), 0);
    EXPECT_EQ(locks.load(), 0);
#endif
}

TEST(RealtimeSafety, ProcessingAllocatesNothingAndTakesNoLockWhileTheEditorAutomates)
{
    auto adapter = std::make_unique<Vst2PlugAdapter>(quietHost);
    AEffect* effect = adapter->getAeffect();
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect->dispatcher(effect, effSetBlockSize, 0, 512, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    playWhileEditing([&](float** in, float** out, int frames) { audioCall(effect, in, out, frames); },
                     [&](std::mt19937& rng) { adapter->automate(int(rng() % 8), float(rng() % 1000) / 1000.0f); });
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
}

// The CLAP binding's audio path, with value events inside the blocks and the editor's
// gestures going back to the host through its event list.
TEST(RealtimeSafety, ClapProcessingAllocatesNothingAndTakesNoLockWhileTheEditorAutomates)
{
    using namespace kx::clap;
    static const clap_host host{kClapVersion,
                                nullptr,
                                "test",
                                "",
                                "",
                                "",
                                [](const clap_host*, const char*) -> const void* { return nullptr; },
                                [](const clap_host*) {},
                                [](const clap_host*) {},
                                [](const clap_host*) {}};
    static const clap_plugin_descriptor descriptor{kClapVersion, "test", "test", "", "", "", "", "", "", nullptr};
    auto* adapter = new ClapPlugAdapter(&host, &descriptor);
    const clap_plugin* plugin = adapter->record();
    ASSERT_TRUE(plugin->init(plugin));
    ASSERT_TRUE(plugin->activate(plugin, 48000.0, 1, 512));
    ASSERT_TRUE(plugin->start_processing(plugin));

    static clap_event_param_value events[2];
    static std::atomic<int> reported{0};
    const clap_input_events in{
        nullptr, [](const clap_input_events*) -> uint32_t { return 2; },
        [](const clap_input_events*, uint32_t i) -> const clap_event_header* { return &events[i].header; }};
    const clap_output_events out{nullptr, [](const clap_output_events*, const clap_event_header*) {
                                     ++reported;
                                     return true;
                                 }};
    int block = 0;
    playWhileEditing(
        [&](float** ins, float** outs, int frames) {
            for (uint32_t i = 0; i < 2; ++i) {
                events[i] = clap_event_param_value{};
                events[i].header = {sizeof(clap_event_param_value), static_cast<uint32_t>(frames) * i / 2,
                                    kCoreEventSpace, CLAP_EVENT_PARAM_VALUE, 0};
                events[i].param_id = static_cast<clap_id>((block + i) % 8);
                events[i].value = 0.25 * ((block + i) % 3);
            }
            clap_audio_buffer input{ins, nullptr, 2, 0, 0};
            clap_audio_buffer output{outs, nullptr, 2, 0, 0};
            const clap_process process{-1, static_cast<uint32_t>(frames), nullptr, &input, &output, 1, 1, &in, &out};
            audioCall(plugin, &process);
            ++block;
        },
        [&](std::mt19937& rng) {
            const int index = int(rng() % 8);
            adapter->beginEdit(index);
            adapter->automate(index, float(rng() % 1000) / 1000.0f);
            adapter->endEdit(index);
        });
    EXPECT_GT(reported.load(), 100);
    plugin->stop_processing(plugin);
    plugin->deactivate(plugin);
    plugin->destroy(plugin);
}

// A host's parameter queue with one point, and the changes with one queue: fixed storage.
class OnePoint final : public kx::vst3::IParamValueQueue {
public:
    kx::vst3::tresult queryInterface(const kx::vst3::TUID, void**) override { return kx::vst3::kNoInterface; }
    kx::vst3::uint32 addRef() override { return 1; }
    kx::vst3::uint32 release() override { return 1; }
    kx::vst3::ParamID getParameterId() override { return id; }
    kx::vst3::int32 getPointCount() override { return 1; }
    kx::vst3::tresult getPoint(kx::vst3::int32, kx::vst3::int32& offset, kx::vst3::ParamValue& v) override
    {
        offset = at;
        v = value;
        return kx::vst3::kResultOk;
    }
    kx::vst3::tresult addPoint(kx::vst3::int32, kx::vst3::ParamValue, kx::vst3::int32&) override
    {
        return kx::vst3::kResultFalse;
    }
    kx::vst3::ParamID id = 0;
    kx::vst3::int32 at = 0;
    double value = 0.0;
};

class OneQueue final : public kx::vst3::IParameterChanges {
public:
    kx::vst3::tresult queryInterface(const kx::vst3::TUID, void**) override { return kx::vst3::kNoInterface; }
    kx::vst3::uint32 addRef() override { return 1; }
    kx::vst3::uint32 release() override { return 1; }
    kx::vst3::int32 getParameterCount() override { return 1; }
    kx::vst3::IParamValueQueue* getParameterData(kx::vst3::int32) override { return &queue; }
    kx::vst3::IParamValueQueue* addParameterData(const kx::vst3::ParamID&, kx::vst3::int32&) override
    {
        return nullptr;
    }
    OnePoint queue;
};

// The VST 3 binding's audio path, with a parameter point in each block while the editor edits.
TEST(RealtimeSafety, Vst3ProcessingAllocatesNothingAndTakesNoLockWhileTheEditorAutomates)
{
    using namespace kx::vst3;
    auto* adapter = new Vst3PlugAdapter();
    ASSERT_EQ(adapter->initialize(nullptr), kResultOk);
    ProcessSetup setup{kRealtime, kSample32, 512, 48000.0};
    ASSERT_EQ(adapter->setupProcessing(setup), kResultOk);
    ASSERT_EQ(adapter->setActive(1), kResultOk);
    ASSERT_EQ(adapter->setProcessing(1), kResultOk);
    OneQueue changes;
    int block = 0;
    playWhileEditing(
        [&](float** ins, float** outs, int frames) {
            changes.queue.id = static_cast<ParamID>(block % 8);
            changes.queue.at = frames / 2;
            changes.queue.value = 0.25 * (block % 3);
            AudioBusBuffers input{};
            input.numChannels = 2;
            input.channelBuffers32 = ins;
            AudioBusBuffers output{};
            output.numChannels = 2;
            output.channelBuffers32 = outs;
            ProcessData data{kRealtime, kSample32, frames,  1,       1,       &input,
                             &output,   &changes,  nullptr, nullptr, nullptr, nullptr};
            audioCall(*adapter, data);
            ++block;
        },
        [&](std::mt19937& rng) {
            const int index = int(rng() % 8);
            adapter->beginEdit(index);
            adapter->automate(index, float(rng() % 1000) / 1000.0f);
            adapter->endEdit(index);
        });
    adapter->setProcessing(0);
    adapter->setActive(0);
    adapter->terminate();
    static_cast<IComponent*>(adapter)->release();
}

// The LV2 binding's audio path, the host changing a control port before every run. Its
// editor would write the ports through the host, so nothing edits from another thread here.
TEST(RealtimeSafety, Lv2RunAllocatesNothingAndTakesNoLock)
{
    kx::lv2::Lv2PlugAdapter plugin(48000.0);
    float controls[8] = {0.35f, 0.6f, 0.75f, 0.0f, 0.5f, 0.5f, 0.5f, 0.4f};
    for (uint32_t p = 0; p < 8; ++p) plugin.connect(p, &controls[p]);
    plugin.activate();
    int block = 0;
    playWhileEditing(
        [&](float** ins, float** outs, int frames) {
            controls[block % 8] = block % 8 == 3 ? float(block % 3) : 0.25f * float(block % 5);
            for (uint32_t c = 0; c < 2; ++c) {
                plugin.connect(8 + c, ins[c]);
                plugin.connect(10 + c, outs[c]);
            }
            audioCall(plugin, static_cast<uint32_t>(frames));
            ++block;
        },
        [](std::mt19937&) {});
}

}  // namespace
