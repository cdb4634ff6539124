#include "dsp/log10.h"

#include <cstdint>
#include <cstring>
#include <limits>

namespace dsp {
namespace {

// An unevaluated sum hi + lo with |lo| <= ulp(hi) / 2: about 106 bits.
struct DoubleDouble {
    double hi;
    double lo;
};

DoubleDouble TwoSum(double a, double b) {
    const double s = a + b;
    const double bPart = s - a;
    return {s, (a - (s - bPart)) + (b - bPart)};
}

DoubleDouble QuickTwoSum(double a, double b) {  // |a| >= |b|
    const double s = a + b;
    return {s, b - (s - a)};
}

// Exact product without a fused multiply-add: Dekker's splitting.
DoubleDouble TwoProduct(double a, double b) {
    const auto split = [](double v, double& high, double& low) {
        const double t = 134217729.0 * v;  // 2^27 + 1
        high = t - (t - v);
        low = v - high;
    };
    double aHigh, aLow, bHigh, bLow;
    split(a, aHigh, aLow);
    split(b, bHigh, bLow);
    const double p = a * b;
    return {p, ((aHigh * bHigh - p) + aHigh * bLow + aLow * bHigh) + aLow * bLow};
}

DoubleDouble Add(DoubleDouble a, DoubleDouble b) {
    DoubleDouble s = TwoSum(a.hi, b.hi);
    const DoubleDouble t = TwoSum(a.lo, b.lo);
    s = QuickTwoSum(s.hi, s.lo + t.hi);
    return QuickTwoSum(s.hi, s.lo + t.lo);
}

DoubleDouble Multiply(DoubleDouble a, DoubleDouble b) {
    const DoubleDouble p = TwoProduct(a.hi, b.hi);
    return QuickTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

DoubleDouble Negate(DoubleDouble a) { return {-a.hi, -a.lo}; }

// Three quotient digits, each from the remainder left by the ones before.
DoubleDouble Divide(DoubleDouble a, DoubleDouble b) {
    const double q1 = a.hi / b.hi;
    DoubleDouble r = Add(a, Negate(Multiply(b, {q1, 0.0})));
    const double q2 = r.hi / b.hi;
    r = Add(r, Negate(Multiply(b, {q2, 0.0})));
    const double q3 = r.hi / b.hi;
    return Add(QuickTwoSum(q1, q2), {q3, 0.0});
}

// log m = 2 atanh(s) = 2 (s + s^3/3 + s^5/5 + ...), s = (m - 1) / (m + 1).
// For m in [0.5, 2), |s| <= 1/3, so each term is at most a ninth of the one
// before and 36 of them reach 2^-110 of the first.
constexpr int kSeriesTerms = 36;

const DoubleDouble* InverseOddNumbers() {
    static const struct Table {
        DoubleDouble values[kSeriesTerms];
        Table() : values() {
            for (int i = 0; i < kSeriesTerms; ++i) values[i] = Divide({1.0, 0.0}, {2.0 * i + 1.0, 0.0});
        }
    } table;
    return table.values;
}

// The natural logarithm of m in [0.5, 2), rounded once from about 106 bits:
// correctly rounded unless the exact value lies within 2^-100 of a midpoint
// between doubles.
double LogOfMantissa(double m) {
    if (m == 1.0) return 0.0;
    const double f = m - 1.0;  // exact for m in [0.5, 2]
    const DoubleDouble s = Divide({f, 0.0}, TwoSum(2.0, f));
    const DoubleDouble s2 = Multiply(s, s);
    const DoubleDouble* inverse = InverseOddNumbers();
    DoubleDouble sum = inverse[kSeriesTerms - 1];
    for (int i = kSeriesTerms - 2; i >= 0; --i) sum = Add(Multiply(sum, s2), inverse[i]);
    const DoubleDouble half = Multiply(sum, s);
    const DoubleDouble log = Add(half, half);
    return log.hi + log.lo;
}

std::uint64_t BitsOf(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

double FromBits(std::uint64_t bits) {
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

constexpr double kTwoTo54 = 1.80143985094819840000e+16;
constexpr double kInverseLn10 = 4.34294481903251816668e-01;
constexpr double kLog10Of2High = 3.01029995663611771306e-01;  // 36 significant bits
constexpr double kLog10Of2Low = 3.69423907715893078616e-13;

}  // namespace

double Log10(double x) {
    std::uint64_t bits = BitsOf(x);
    std::int32_t high = static_cast<std::int32_t>(bits >> 32);
    std::int32_t k = 0;
    if (high < 0x00100000) {  // zero, subnormal or negative
        if ((bits & 0x7FFFFFFFFFFFFFFFu) == 0) return -std::numeric_limits<double>::infinity();
        if (high < 0) return std::numeric_limits<double>::quiet_NaN();
        k -= 54;
        bits = BitsOf(x * kTwoTo54);
        high = static_cast<std::int32_t>(bits >> 32);
    }
    if (high >= 0x7FF00000) return x + x;  // infinity or NaN
    k += (high >> 20) - 1023;
    // The mantissa goes to [1, 2), or to [0.5, 1) when the exponent is
    // negative, so that k*log10(2) and the mantissa's logarithm share a sign.
    const std::int32_t negative = k < 0 ? 1 : 0;
    const std::uint64_t mantissaHigh =
        static_cast<std::uint64_t>((high & 0x000FFFFF) | ((0x3FF - negative) << 20)) << 32;
    const double m = FromBits(mantissaHigh | (bits & 0xFFFFFFFFu));
    const double y = static_cast<double>(k + negative);
    const double z = y * kLog10Of2Low + kInverseLn10 * LogOfMantissa(m);
    return z + y * kLog10Of2High;
}

}  // namespace dsp
