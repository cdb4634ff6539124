// The AVX2 and AVX-512 paths against the portable ones: every built-in
// preset of every effect, mono and stereo, gives the same bytes every way,
// and so does the transform at every size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dsp/cpu_features.h"
#include "dsp/enclosures.h"
#include "dsp/fft.h"
#include "dsp/pitch_kernels.h"
#include "dsp/pitch_shifter.h"
#include "dsp/processor.h"
#include "settings/builtin_presets.h"
#include "settings/setting_tables.h"
#include "tests/skip_or_fail.h"

namespace {

using Samples = std::vector<std::int16_t>;

// The paths: the portable one, AVX2 alone, and AVX-512 (taken as running
// at full width, so that it runs on every processor that has it).
enum Path { kPortable, kAvx2, kAvx512, kPaths };
const char* const kPathNames[kPaths] = {"portable", "AVX2", "AVX-512"};

// Runs body(path) on the portable path and on each the processor has;
// false when it has no AVX2, so that only the portable path ran.
template <class Body>
bool EveryPath(Body body) {
    dsp::AllowAvx2(false);
    body(kPortable);
    dsp::AllowAvx2(true);
    if (!dsp::UseAvx2()) return false;
    dsp::AllowAvx512(false);
    body(kAvx2);
    dsp::AllowAvx512(true);
    if (dsp::UseAvx512()) {
        dsp::AssumeFullWidthAvx512(true);
        body(kAvx512);
        dsp::AssumeFullWidthAvx512(false);
    }
    return true;
}

// Each path that ran gave the portable path's bytes.
template <class Values>
void ExpectPortableBytes(const Values (&results)[kPaths], const std::string& what) {
    for (int path = kAvx2; path < kPaths; ++path) {
        if (results[path].empty()) continue;
        EXPECT_TRUE(results[path].size() == results[kPortable].size() &&
                    std::memcmp(results[path].data(), results[kPortable].data(),
                                sizeof results[path][0] * results[path].size()) == 0)
            << kPathNames[path] << ", " << what;
    }
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
                Samples results[kPaths];
                const bool ran = EveryPath([&](int path) {
                    Samples audio = Voice(channels);
                    auto processor = dsp::CreateProcessor(kind, block, mix, {channels, 44100}, 1234);
                    ASSERT_TRUE(processor != nullptr);
                    processor->Process(audio.data(), audio.size() / channels);
                    results[path] = audio;
                });
                if (!ran) TOVANA_SKIP_OR_FAIL("this processor has no AVX2");
                ExpectPortableBytes(results, std::string(table.name) + " \"" + list.presets[p].name + "\", " +
                                                 std::to_string(channels) + " channel(s)");
                EXPECT_TRUE(results[kPortable] != Voice(channels)) << list.presets[p].name;
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
            input[0] = -0.0f;  // signed zeros, a huge value and a NaN take their paths too
            if (n > 2) input[3] = 3e38f;
            if (n > 4) input[5] = NAN;
            const dsp::FftPlan plan(n, sign);
            std::vector<float> results[kPaths];
            const bool ran = EveryPath([&](int path) {
                results[path] = input;
                plan.Run(results[path].data());
            });
            if (!ran) TOVANA_SKIP_OR_FAIL("this processor has no AVX2");
            ExpectPortableBytes(results, "n " + std::to_string(n) + " sign " + std::to_string(sign));
        }
    }
}

// The pitch shifter alone on what voices never give: loud and faint noise,
// subnormal values, digital silence, single spikes, at factors across the
// range; every path keeps the same bits in every output sample.
TEST(Avx2PathsTest, PitchShifterOnExtremeInput) {
    std::mt19937 gen(11);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    for (float factor : {0.5f, 0.7777778f, 1.0f, 1.4375f, 2.0f, 3.7f}) {
        std::vector<float> input(40 * 256);
        for (std::size_t i = 0; i < input.size(); ++i) {
            const std::size_t part = i / 1024;
            const float scale = part % 5 == 0 ? 1e30f : part % 5 == 1 ? 1e-40f : part % 5 == 2 ? 0.0f : 0.3f;
            input[i] = scale * noise(gen);
            if (i % 777 == 0) input[i] = 1e4f;
        }
        input[input.size() - 3000] = INFINITY;
        input[input.size() - 1000] = NAN;
        std::vector<float> results[kPaths];
        const bool ran = EveryPath([&](int path) {
            dsp::PitchShifter shifter;
            results[path].resize(input.size());
            shifter.Process(factor, static_cast<std::int32_t>(input.size()), 256, 8, 44100.0f, input.data(),
                            results[path].data());
        });
        if (!ran) TOVANA_SKIP_OR_FAIL("this processor has no AVX2");
        ExpectPortableBytes(results, "factor " + std::to_string(factor));
    }
}

// The analysis of bins whose phase advance lies a few floats from a multiple
// of pi, where the truncated turn quotient changes (and at odd multiples
// the turn count), gives the portable bits.
TEST(Avx2PathsTest, AnalysisNextToTurnBoundaries) {
#if TOVANA_PITCH_AVX2
    if (!dsp::UseAvx2()) TOVANA_SKIP_OR_FAIL("this processor has no AVX2");
    constexpr int kBins = 129;
    const double expected = 2 * 3.141592653589793 * 32 / 256, width = 44100.0 / 256;
    std::mt19937 gen(17);
    std::normal_distribution<double> value(0.0, 1.0);
    std::uniform_int_distribution<int> turns(-7, 7), nudge(-40, 40);
    std::vector<double> re(kBins), im(kBins), magnitude(kBins), phase(kBins);
    std::vector<float> last(kBins), frequency[kPaths], magnitudeOut[kPaths], lastOut[kPaths];
    bool used[kBins];
    for (int frame = 0; frame < 4000; ++frame) {
        for (int k = 0; k < kBins; ++k) {
            re[k] = static_cast<float>(value(gen));
            im[k] = static_cast<float>(value(gen));
            used[k] = k % 7 != 3;
            if (frame % 3 == 2) {
                // A phase that puts the deviation within a few units in the
                // last place of a multiple of pi, inside every enclosure.
                last[k] = static_cast<float>(value(gen));
                const double advance = last[k] + k * expected;
                const double phase = advance - std::nearbyint(advance / 3.141592653589793) * 3.141592653589793;
                const double radius = std::fabs(re[k]);
                re[k] = std::cos(phase) * radius;
                im[k] = std::sin(phase) * radius;
            } else {
                // A last phase that puts the deviation a few floats from a
                // multiple of pi, or else anywhere.
                const double target = std::atan2(im[k], re[k]) - k * expected - turns(gen) * 3.141592653589793;
                last[k] = frame % 3 ? std::nextafter(static_cast<float>(target), 0.0f) : static_cast<float>(value(gen));
                for (int n = nudge(gen); n != 0; n += n > 0 ? -1 : 1) {
                    last[k] = std::nextafter(last[k], n > 0 ? INFINITY : -INFINITY);
                }
            }
            magnitude[k] = std::hypot(re[k], im[k]);
        }
        const auto kernels = {dsp::pitch::AnalyseUsedBins, dsp::pitch::avx2::AnalyseUsedBins,
                              dsp::pitch::avx512::AnalyseUsedBins};
        int path = 0;
        for (const auto kernel : kernels) {
            if (path == kAvx512 && !dsp::UseAvx512()) break;
            frequency[path].assign(kBins, 0.0f);
            magnitudeOut[path].assign(kBins, 0.0f);
            lastOut[path] = last;
            kernel(re.data(), im.data(), used, magnitude.data(), phase.data(), lastOut[path].data(),
                   frequency[path].data(), magnitudeOut[path].data(), kBins, expected, width, 8);
            ++path;
        }
        for (int k = 0; k < kBins; ++k) {  // an unused bin's frequency is not read
            for (auto& values : frequency) {
                if (!used[k] && !values.empty()) values[k] = 0.0f;
            }
        }
        ExpectPortableBytes(frequency, "frequencies of frame " + std::to_string(frame));
        ExpectPortableBytes(lastOut, "last phases of frame " + std::to_string(frame));
        if (HasFailure()) return;
    }
#else
    GTEST_SKIP() << "no AVX2 path in this build";
#endif
}

// The intervals that spare the C library's atan2, cos and sin hold the
// library's own values, with room to spare (the library's value lies in the
// middle 1/64 of the interval), and cover ordinary arguments.
TEST(Avx2PathsTest, EnclosuresHoldTheLibrarysValues) {
    if (!dsp::UseAvx2()) TOVANA_SKIP_OR_FAIL("this processor has no AVX2");
    std::mt19937 gen(5);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-150, 128);
    const float specials[] = {0.0f, -0.0f, 1e-45f, -1e-45f, 1.0f, -1.0f, 3e38f, -3e38f,
                              INFINITY, -INFINITY, NAN};
    auto randomFloat = [&](int i) {
        if (i % 97 == 0) return specials[(i / 97) % std::size(specials)];
        return static_cast<float>(std::ldexp(unit(gen), i % 3 == 0 ? exponent(gen) : exponent(gen) / 8));
    };
    auto check = [](double library, double lo, double hi, std::size_t& covered) {
        if (std::isinf(lo) && std::isinf(hi)) return true;
        ++covered;
        const double room = (hi - lo) / 128;
        return library >= lo + 63 * room && library <= hi - 63 * room;
    };
    constexpr int kCount = 1 << 20;
    std::vector<double> y(kCount), x(kCount), lo(kCount), hi(kCount), lo2(kCount), hi2(kCount);
    for (int i = 0; i < kCount; ++i) {
        y[i] = randomFloat(i);
        x[i] = randomFloat(i + 13);
        if (i % 89 == 0) x[i] = (i & 1 ? -1 : 1) * y[i];  // the diagonals
    }
    dsp::enclosures::Atan2(y.data(), x.data(), lo.data(), hi.data(), kCount);
    std::size_t covered = 0;
    for (int i = 0; i < kCount; ++i) {
        ASSERT_TRUE(check(std::atan2(y[i], x[i]), lo[i], hi[i], covered))
            << "atan2(" << y[i] << ", " << x[i] << ") in [" << lo[i] << ", " << hi[i] << "]";
    }
    EXPECT_GT(covered, kCount * 95 / 100);

    // Phases up to 2^40, as floats (the pitch shifter's) and doubles (the
    // Alienator's), with those nearest to multiples of pi/2 (the hardest to
    // reduce) among them.
    std::uniform_real_distribution<double> magnitude(-2.0, 40.0);
    for (int i = 0; i < kCount; ++i) {
        const double size = std::exp2(magnitude(gen));
        x[i] = i % 5 == 0 ? std::round(unit(gen) * size) * (3.141592653589793 / 2) : unit(gen) * size;
        if (i % 2 == 0) x[i] = static_cast<float>(x[i]);
        if (i % 101 == 0) x[i] = specials[(i / 101) % std::size(specials)];
    }
    dsp::enclosures::SinCos(x.data(), lo.data(), hi.data(), lo2.data(), hi2.data(), kCount);
    covered = 0;
    std::size_t sinCovered = 0;
    for (int i = 0; i < kCount; ++i) {
        ASSERT_TRUE(check(std::cos(x[i]), lo[i], hi[i], covered)) << "cos " << x[i];
        ASSERT_TRUE(check(std::sin(x[i]), lo2[i], hi2[i], sinCovered)) << "sin " << x[i];
    }
    EXPECT_GT(covered, kCount * 98 / 100);
}

}  // namespace
