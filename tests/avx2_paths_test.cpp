// The AVX2 paths against the portable ones: every built-in preset of every
// effect, mono and stereo, gives the same bytes both ways, and so does the
// transform at every size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dsp/cpu_features.h"
#include "dsp/fft.h"
#include "dsp/processor.h"
#include "settings/builtin_presets.h"
#include "settings/setting_tables.h"
#include "tests/skip_or_fail.h"

namespace {

using Samples = std::vector<std::int16_t>;

// Runs `body` once with AVX2 allowed and once without; false when this
// processor has no AVX2, so both would be the portable path.
template <class Body>
bool BothPaths(Body body) {
    dsp::AllowAvx2(true);
    if (!dsp::UseAvx2()) return false;
    body(true);
    dsp::AllowAvx2(false);
    body(false);
    dsp::AllowAvx2(true);
    return true;
}

// Voiced phrases between pauses of digital silence and a loud noisy stretch,
// three blocks and an odd rest, channels a little apart.
Samples Voice(int channels) {
    const int frames = 3 * 8000 + 611;
    Samples out(static_cast<std::size_t>(frames) * channels);
    std::mt19937 gen(7);
    std::normal_distribution<double> noise(0.0, 1.0);
    for (int n = 0; n < frames; ++n) {
        for (int c = 0; c < channels; ++c) {
            double v = 0.0;
            if ((n / 2500) % 3 != 2) {
                const double t = n / 44100.0;
                for (int h = 1; h <= 5; ++h) v += std::sin(2 * 3.141592653589793 * h * (120 + 30 * c + 20 * t) * t) / h;
                v *= 9000.0 * std::sin(3.141592653589793 * (n % 2500) / 2500.0);
            }
            if (n > 20000 && n < 21000) v += 12000.0 * noise(gen);
            // The noise burst clips, as a loud voice would.
            out[static_cast<std::size_t>(n) * channels + c] = static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0));
        }
    }
    return out;
}

TEST(Avx2PathsTest, EveryPresetGivesThePortableBytes) {
    for (int e = 0; e < kEffectCount; ++e) {
        const auto kind = static_cast<EffectKind>(e);
        const EffectTable& table = TableOf(kind);
        const SettingInfo* wet = FindSetting(table, "Wet Mix");
        const SettingInfo* dry = FindSetting(table, "Dry Mix");
        ASSERT_TRUE(wet != nullptr && dry != nullptr);
        const BuiltInPresetList list = BuiltInPresetsOf(kind);
        for (std::size_t p = 0; p < list.count; ++p) {
            const void* block = list.presets[p].block;
            const dsp::MixLevels mix{BlockValue(block, *wet), BlockValue(block, *dry)};
            for (int channels : {1, 2}) {
                Samples results[2];
                const bool ran = BothPaths([&](bool avx2) {
                    Samples audio = Voice(channels);
                    auto processor = dsp::CreateProcessor(kind, block, mix, {channels, 44100}, 1234);
                    ASSERT_TRUE(processor != nullptr);
                    processor->Process(audio.data(), audio.size() / channels);
                    results[avx2 ? 0 : 1] = audio;
                });
                if (!ran) TOVANA_SKIP_OR_FAIL("this processor has no AVX2");
                EXPECT_TRUE(results[0] == results[1])
                    << table.name << " \"" << list.presets[p].name << "\", " << channels << " channel(s)";
                EXPECT_TRUE(results[0] != Voice(channels)) << list.presets[p].name;
            }
        }
    }
}

TEST(Avx2PathsTest, TransformsOfEverySizeAndSign) {
    std::mt19937 gen(3);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (std::int32_t n = 1; n <= 4096; n *= 2) {
        for (int sign : {-1, 1}) {
            std::vector<float> input(2 * n);
            for (float& v : input) v = value(gen);
            input[0] = -0.0f;  // signed zeros and a huge value take their paths too
            if (n > 2) input[3] = 3e38f;
            const dsp::FftPlan plan(n, sign);
            std::vector<float> results[2];
            const bool ran = BothPaths([&](bool avx2) {
                std::vector<float> data = input;
                plan.Run(data.data());
                results[avx2 ? 0 : 1] = data;
            });
            if (!ran) TOVANA_SKIP_OR_FAIL("this processor has no AVX2");
            EXPECT_EQ(0, std::memcmp(results[0].data(), results[1].data(), sizeof(float) * 2 * n))
                << "n " << n << " sign " << sign;
        }
    }
}

}  // namespace
