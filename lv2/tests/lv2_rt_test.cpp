// Real-time safety of the plug-ins as a host's audio thread sees it: the
// bundle's library loaded with dlopen, every plug-in instantiated and
// activated, then run() and connect_port() called with host blocks of many
// sizes while the controls change between calls. Not one allocation, free,
// file access, lock or wait may happen inside those calls.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lv2/core/lv2.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "lv2/bundle_model.h"
#include "lv2/tests/rt_watch.h"

namespace {

using lv2plugin::PluginForm;

TEST(RtWatch, CountsCallsFromOtherLibrariesToo) {
    rtwatch::Start();
    char* copy = strdup("made by the C library");  // its malloc, seen from inside libc
    std::mutex mutex;
    mutex.lock();
    mutex.unlock();
    void* block = ::operator new(64);  // called, not a new-expression the compiler may drop
    asm volatile("" : : "r"(block) : "memory");
    ::operator delete(block);
    std::free(copy);
    rtwatch::Stop();
    EXPECT_GE(rtwatch::Count(rtwatch::kMalloc), 1);
    EXPECT_GE(rtwatch::Count(rtwatch::kFree), 1);
    EXPECT_GE(rtwatch::Count(rtwatch::kMutexLock), 1);
    EXPECT_GE(rtwatch::Count(rtwatch::kNew), 1);
    EXPECT_GE(rtwatch::Count(rtwatch::kDelete), 1);
}

class PluginRun : public ::testing::TestWithParam<std::size_t> {
protected:
    static void SetUpTestSuite() {
        library_ = dlopen(TOVANA_LV2_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        descriptorOf_ = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library_, "lv2_descriptor"));
        ASSERT_NE(descriptorOf_, nullptr);
    }
    static inline void* library_ = nullptr;
    static inline LV2_Descriptor_Function descriptorOf_ = nullptr;
};

// A voice-like test signal with loud stretches and silences, so that gates
// open and close and the Communicator's bursts start.
std::vector<float> Signal(std::size_t frames, int channel) {
    std::vector<float> out(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / 48000.0;
        const bool loud = std::fmod(t, 0.5) < 0.3;
        out[i] = loud ? static_cast<float>(0.4 * std::sin(2 * M_PI * (140 + 40 * channel) * t) +
                                           0.1 * std::sin(2 * M_PI * 1130 * t))
                      : 0.0f;
    }
    return out;
}

TEST_P(PluginRun, RunAndConnectPortNeitherAllocateNorLockNorDoIo) {
    const PluginForm form = lv2plugin::kForms[GetParam()];
    const LV2_Descriptor* descriptor = descriptorOf_(static_cast<std::uint32_t>(GetParam()));
    ASSERT_NE(descriptor, nullptr);
    ASSERT_EQ(lv2bundle::FormUri(form), descriptor->URI);
    const std::vector<lv2bundle::ControlPort> ports = lv2bundle::ControlPorts(form.effect);
    const auto controls = static_cast<std::uint32_t>(ports.size());

    const LV2_Feature* const features[] = {nullptr};
    LV2_Handle handle = descriptor->instantiate(descriptor, 48000, TOVANA_LV2_BUNDLE_DIR, features);
    ASSERT_NE(handle, nullptr);
    std::vector<float> values(controls + 1);
    for (std::uint32_t i = 0; i < controls; ++i) {
        values[i] = static_cast<float>(ports[i].setting->defaultValue);
        descriptor->connect_port(handle, i, &values[i]);
    }
    values[controls] = 99;  // seed
    descriptor->connect_port(handle, lv2plugin::SeedPort(controls), &values[controls]);

    constexpr std::size_t kFrames = 48000 * 2;
    std::vector<std::vector<float>> in, out;
    for (int c = 0; c < form.channels; ++c) {
        in.push_back(Signal(kFrames, c));
        out.emplace_back(kFrames);
    }
    descriptor->activate(handle);

    // Block sizes as hosts use them, odd ones and single frames included;
    // between some calls every control takes a new value in its range.
    std::mt19937 dice(7);
    const std::size_t sizes[] = {64, 1, 7, 256, 1024, 4001, 3, 512, 8192, 128};
    std::size_t position = 0;
    std::string failures;
    for (int call = 0; position < kFrames; ++call) {
        const std::size_t frames = std::min(sizes[call % std::size(sizes)], kFrames - position);
        if (call % 3 == 0) {
            for (std::uint32_t i = 0; i < controls; ++i) {
                const SettingInfo& s = *ports[i].setting;
                values[i] = s.kind == SettingKind::Flag
                                ? static_cast<float>(dice() % 2)
                                : static_cast<float>(std::uniform_real_distribution<double>(s.minimum, s.maximum)(dice));
            }
        }
        rtwatch::Start();
        for (int c = 0; c < form.channels; ++c) {
            descriptor->connect_port(handle, lv2plugin::AudioInPort(controls, c), in[c].data() + position);
            descriptor->connect_port(handle, lv2plugin::AudioOutPort(controls, form.channels, c),
                                     out[c].data() + position);
        }
        descriptor->run(handle, static_cast<std::uint32_t>(frames));
        rtwatch::Stop();
        const std::string report = rtwatch::Report();
        if (!report.empty() && failures.empty()) {
            failures = "call " + std::to_string(call) + " of " + std::to_string(frames) + " frames: " + report;
        }
        position += frames;
    }
    descriptor->deactivate(handle);
    descriptor->cleanup(handle);
    EXPECT_EQ(failures, "") << descriptor->URI;
}

INSTANTIATE_TEST_SUITE_P(EveryPlugin, PluginRun, ::testing::Range<std::size_t>(0, lv2plugin::kFormCount),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             const PluginForm& form = lv2plugin::kForms[info.param];
                             return std::string(TableOf(form.effect).name) +
                                    (form.channels == 1 ? "Mono" : "Stereo");
                         });

}  // namespace
