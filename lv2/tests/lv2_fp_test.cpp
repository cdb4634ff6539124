// Hosts that turn on flush-to-zero and denormals-are-zero on their audio
// thread (Ardour does by default) get the same samples as any other host:
// the Deepenator's reverb and pitch shifter decay into subnormal numbers
// during a long silence, and flushing them changed the voice that follows.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lv2/core/lv2.h>
#include <xmmintrin.h>

#include <cmath>
#include <vector>

#include "lv2/bundle_model.h"
#include "settings/builtin_presets.h"

namespace {

constexpr double kRate = 44100;

// A second of voice-like sound, `silence` seconds of nothing, the sound again.
std::vector<float> SoundSilenceSound(double silence) {
    const auto second = static_cast<std::size_t>(kRate);
    const auto gap = static_cast<std::size_t>(silence * kRate);
    std::vector<float> out(2 * second + gap, 0.0f);
    for (std::size_t i = 0; i < second; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const auto v = static_cast<float>(0.3 * std::sin(2 * M_PI * 150 * t) + 0.1 * std::sin(2 * M_PI * 1200 * t));
        out[i] = v;
        out[second + gap + i] = v;
    }
    return out;
}

// The mono Deepenator with "Dark Lord" over `in`, run() called in blocks of
// 512 frames with the SSE control register set to `csr`.
std::vector<float> DarkLord(const std::vector<float>& in, unsigned csr) {
    void* library = dlopen(TOVANA_LV2_BUNDLE_DIR "/zentrix-tovana.so", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return {};
    auto descriptorOf = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
    const LV2_Descriptor* descriptor = descriptorOf(4);  // kForms: the mono Deepenator
    EXPECT_EQ(lv2bundle::FormUri(lv2plugin::kForms[4]), descriptor->URI);
    const std::vector<lv2bundle::ControlPort> ports = lv2bundle::ControlPorts(EffectKind::Deepenator);
    const BuiltInPreset* preset = FindBuiltInPreset(EffectKind::Deepenator, "Dark Lord");
    std::vector<float> values;
    for (const auto& port : ports) values.push_back(static_cast<float>(lv2bundle::PresetPortValue(*port.setting, preset->block)));
    values.push_back(1);  // seed
    std::vector<float> out(in.size());

    const LV2_Feature* const features[] = {nullptr};
    LV2_Handle handle = descriptor->instantiate(descriptor, kRate, TOVANA_LV2_BUNDLE_DIR "/", features);
    const auto controls = static_cast<std::uint32_t>(ports.size());
    for (std::uint32_t i = 0; i <= controls; ++i) descriptor->connect_port(handle, i, &values[i]);
    const unsigned saved = _mm_getcsr();
    _mm_setcsr(csr);
    descriptor->activate(handle);
    for (std::size_t at = 0; at < in.size(); at += 512) {
        descriptor->connect_port(handle, lv2plugin::AudioInPort(controls, 0), const_cast<float*>(in.data() + at));
        descriptor->connect_port(handle, lv2plugin::AudioOutPort(controls, 1, 0), out.data() + at);
        descriptor->run(handle, static_cast<std::uint32_t>(std::min<std::size_t>(512, in.size() - at)));
    }
    descriptor->deactivate(handle);
    const unsigned after = _mm_getcsr();
    _mm_setcsr(saved);
    descriptor->cleanup(handle);
    dlclose(library);
    EXPECT_EQ(after, csr) << "the host's setting is given back";
    return out;
}

TEST(Lv2Arithmetic, FlushToZeroOnTheHostsThreadChangesNoSample) {
    const std::vector<float> in = SoundSilenceSound(30);
    constexpr unsigned kFlushToZeroDenormalsAreZero = 0x8040;
    const std::vector<float> plain = DarkLord(in, _mm_getcsr());
    ASSERT_FALSE(plain.empty());
    const std::vector<float> flushed = DarkLord(in, _mm_getcsr() | kFlushToZeroDenormalsAreZero);
    std::size_t differing = 0;
    for (std::size_t i = 0; i < plain.size(); ++i) differing += plain[i] != flushed[i];
    EXPECT_EQ(differing, 0u);
}

}  // namespace
