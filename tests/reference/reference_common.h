// Pieces every reference effect uses: the generator, the 16-bit store and
// the Gaussian noise, written out again so the reference shares no code
// with the effects it checks.
#pragma once

#include <cmath>
#include <cstdint>

namespace plainref {

constexpr std::uint32_t kBlockSamples = 8000;  // 16000 bytes of 16-bit samples
constexpr double kP = 65536.0;
constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

// The CRT generator: state * 214013 + 2531011, bits 16..30.
struct Lcg {
    std::uint32_t state;
    explicit Lcg(std::uint32_t seed) : state(seed) {}
    int operator()() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7fffu);
    }
};

inline std::int16_t Store16(double v) {
    if (!std::isfinite(v)) return 0;
    const double t = std::trunc(v);
    if (t >= 9223372036854775808.0 || t < -9223372036854775808.0) return 0;
    const std::int64_t i = static_cast<std::int64_t>(t);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint64_t>(i) & 0xffffu));
}

inline double Gauss(Lcg& rng, float mean, float variance) {
    float sum = 0.0f;
    for (int i = 0; i < 12; ++i) {
        const int r = rng();
        sum = static_cast<float>(static_cast<double>(sum) + static_cast<double>(r) * 3.051850947599719e-05);
    }
    return static_cast<double>(mean) +
           std::sqrt(static_cast<double>(variance)) * (static_cast<double>(sum) - 6.0);
}

// Level in dB of one followed channel.
struct Follower {
    double cOld, cNew, acc = 0.0;
    Follower(double o, double n) : cOld(o), cNew(n) {}
    double operator()(double x) {
        const double s = x * (1.0 / kP);
        acc = (s * s) * cNew + acc * cOld;
        return 10.0 * std::log10(acc + 1e-9);
    }
};

}  // namespace plainref
