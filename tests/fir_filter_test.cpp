// The 81-tap band-pass design and the filter: hand values, symmetry, the
// frequency response, the impulse response, and the side-by-side sums
// against one plain sum per output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "dsp/cpu_features.h"
#include "dsp/fir_filter.h"

namespace {

std::vector<double> Design(float lower, float upper, float rate) {
    std::vector<double> h(dsp::kFirTaps);
    dsp::BandPassDesign(lower, upper, rate, h.data());
    return h;
}

// |H| at `hz`: the taps are symmetric about h[40], so the response is real
// up to the linear phase.
double Gain(const std::vector<double>& h, double hz, double rate) {
    double sum = 0.0;
    for (int i = 0; i < 81; ++i) sum += h[i] * std::cos(6.283185307179586 * hz / rate * (i - 40));
    return std::fabs(sum);
}

// Plain sum for one output, oldest input first.
double PlainSum(const std::vector<double>& h, const std::vector<double>& x, std::size_t newest) {
    double sum = 0.0;
    for (int k = 80; k >= 0; --k) sum += h[k] * x[newest - k];
    return sum;
}

std::vector<double> Noise(std::size_t count, std::uint32_t seed) {
    std::vector<double> values(count);
    for (double& v : values) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<double>(seed >> 8) / 16777216.0 - 0.5;
    }
    return values;
}

TEST(BandPassDesignTest, CentreTapSymmetryAndBand) {
    const std::vector<double> h = Design(300, 3000, 8000);
    EXPECT_NEAR(h[40], 0.675, 1e-7);  // 2 * (3000 - 300) / 8000
    for (int m = 1; m <= 40; ++m) EXPECT_EQ(h[40 - m], h[40 + m]) << m;
    EXPECT_NEAR(Gain(h, 1650, 8000), 1.0, 0.01);
    EXPECT_LT(Gain(h, 0, 8000), 0.01);
    EXPECT_LT(Gain(h, 4000, 8000), 0.01);
}

TEST(BandPassDesignTest, ReversedEdgesInvertAndEqualEdgesVanish) {
    const std::vector<double> h = Design(600, 2600, 44100);
    const std::vector<double> reversed = Design(2600, 600, 44100);
    for (int i = 0; i < 81; ++i) EXPECT_EQ(reversed[i], -h[i]) << i;
    for (double tap : Design(1000, 1000, 44100)) EXPECT_EQ(tap, 0.0);
}

TEST(FirFilterTest, ImpulseGivesTheTapsThenZero) {
    const std::vector<double> h = Design(600, 2600, 44100);
    std::vector<double> storage(dsp::FirFilter::kStorageDoubles, 12345.0);  // garbage before use
    dsp::FirFilter filter(storage.data());
    EXPECT_EQ(filter.Filter(1.0, h.data()), h[0]);
    for (int k = 1; k < 81; ++k) EXPECT_EQ(filter.Filter(0.0, h.data()), h[k]) << k;
    EXPECT_EQ(filter.Filter(0.0, h.data()), 0.0);
}

TEST(FirFilterTest, SideBySideSumsEqualPlainSums) {
    const std::vector<double> h = Noise(81, 1);
    const std::vector<double> x = Noise(80 + 1000, 2);
    for (bool avx512 : {true, false}) {  // where the processor has it, and AVX2 alone
        dsp::AllowAvx512(avx512);
        for (std::size_t count : {0, 1, 7, 8, 15, 16, 17, 33, 63, 1000}) {
            std::vector<double> fast(count), portable(count);
            dsp::FirSums(h.data(), x.data(), fast.data(), count);
            dsp::FirSumsPortable(h.data(), x.data(), portable.data(), count);
            for (std::size_t j = 0; j < count; ++j) {
                const double plain = PlainSum(h, x, j + 80);
                ASSERT_EQ(fast[j], plain) << count << " " << j;
                ASSERT_EQ(portable[j], plain) << count << " " << j;
            }
        }
    }
    dsp::AllowAvx512(true);
}

TEST(FirFilterTest, BlocksAndSingleInputsShareOneHistory) {
    // Mixed block sizes and single inputs, long enough for the buffer to
    // slide back several times, against plain sums over the whole stream.
    const std::vector<double> h = Design(300, 3400, 8000);
    const std::vector<double> x = Noise(60000, 3);
    std::vector<double> padded(80, 0.0);
    padded.insert(padded.end(), x.begin(), x.end());

    std::vector<double> storage(dsp::FirFilter::kStorageDoubles);
    dsp::FirFilter filter(storage.data());
    std::vector<double> out(dsp::FirFilter::kBlockCapacity);
    std::size_t n = 0;
    const std::size_t sizes[] = {8000, 1, 4000, 3, 8192, 17, 7999};
    for (std::size_t round = 0; n < x.size(); ++round) {
        const std::size_t size = std::min(sizes[round % 7], x.size() - n);
        if (size == 1 || size == 3) {
            for (std::size_t i = 0; i < size; ++i, ++n) {
                ASSERT_EQ(filter.Filter(x[n], h.data()), PlainSum(h, padded, n + 80)) << n;
            }
            continue;
        }
        filter.FilterBlock(x.data() + n, out.data(), size, h.data());
        for (std::size_t i = 0; i < size; ++i) ASSERT_EQ(out[i], PlainSum(h, padded, n + i + 80)) << n + i;
        n += size;
    }
}

}  // namespace
