// The pitch shifter's analysis and synthesis of bins, four (AVX2) or eight
// (AVX-512) at a time: the same IEEE double operations, in the same order,
// as the loops of dsp/pitch_kernels.h, which also finish what is left
// over; and in place of most of the C library's atan2, cos and sin,
// enclosures of their results (dsp/enclosures_simd.h). Include this as
// dsp/simd.h says.
#pragma once

#include <cmath>
#include <cstdint>

#include "dsp/enclosures_simd.h"
#include "dsp/pitch_kernels.h"

namespace dsp::pitch::simd_kernels {
namespace {

using namespace dsp::simd;
using dsp::enclosures::Enclosure;

#define SIMD TOVANA_SIMD_TARGET inline

// Some bins' analysis from their phases: what BinFrequency gives, as the
// floats that are kept (frequency and last phase) and the even turn count
// that was taken off.
template <class W>
struct Analysis {
    typename W::Floats frequency;
    typename W::Floats lastPhase;
    typename W::Ints turns;
};

template <class W>
struct AnalysisConstants {
    Doubles<W> pi, twoPi, expected, width, oversampling, inversePi, inverseTwoPi;
};

template <class W>
SIMD AnalysisConstants<W> AnalysisConstantsFor(double expected, double binWidth,
                                               std::int32_t oversampling) {
    using V = Doubles<W>;
    return {Splat(V{}, kPi),          Splat(V{}, kTwoPi),
            Splat(V{}, expected),     Splat(V{}, binWidth),
            Splat(V{}, static_cast<double>(oversampling)),
            Splat(V{}, 1.0 / kPi),    Splat(V{}, 1.0 / kTwoPi)};
}

// The even turn count of a truncated quotient: an odd count moved one away
// from zero. Out of range (or not a number) the truncation gives -2^31, as
// EvenTurns has it.
template <class W>
SIMD typename W::Ints EvenTurnsOf(typename W::Ints q) {
    using Ints = typename W::Ints;
    const Ints negative = SignFill(q);
    const Ints odd = AndBits(q, Splat(Ints{}, 1));
    return Add(q, Sub(XorBits(odd, negative), negative));
}

template <class W>
SIMD Analysis<W> Analyse(Doubles<W> phase, Doubles<W> last, Doubles<W> kk,
                         const AnalysisConstants<W>& c) {
    using V = Doubles<W>;
    V d = Sub(phase, last);
    d = Sub(d, Mul(kk, c.expected));
    const auto q = EvenTurnsOf<W>(Truncate(Div(d, c.pi)));
    d = Sub(d, Mul(c.pi, ToDoubles(V{}, q)));
    const V f = Mul(c.width, Add(kk, Div(Mul(c.oversampling, d), c.twoPi)));
    return {ToFloats(f), ToFloats(phase), q};
}

// A product with a reciprocal in place of a quotient, moved outward (down,
// or up) by 2^-48 of it and 2^-1000: beyond the quotient, which it misses
// by less than 2^-51 of it (three roundings), even after its own rounding.
template <class W>
SIMD Doubles<W> QuotientBound(Doubles<W> product, bool down) {
    using V = Doubles<W>;
    const V margin = Add(Mul(Abs(product), Splat(V{}, 0x1p-48)), Splat(V{}, 0x1p-1000));
    return down ? Sub(product, margin) : Add(product, margin);
}

// Analyse from both ends of an enclosure of the phase, its two quotients
// replaced by bounds (QuotientBound): below from the lower end, above from
// the upper one. Every step is monotonic in the phase and in each quotient,
// so where the two truncated turn quotients are the same, so is the library
// phase's, and for that turn count its frequency lies between the two
// ends'. Gives the lower end's analysis and the lanes where both ends give
// the same turn quotient, frequency and last phase. Cheaper than Analyse:
// no division.
template <class W>
SIMD int AnalyseEnds(const Enclosure<W>& phase, Doubles<W> last, Doubles<W> kk,
                     const AnalysisConstants<W>& c, Analysis<W>& low) {
    using V = Doubles<W>;
    const V shift = Mul(kk, c.expected);
    V dLow = Sub(Sub(phase.lo, last), shift);
    V dHigh = Sub(Sub(phase.hi, last), shift);
    const auto quotientLow = Truncate(QuotientBound<W>(Mul(dLow, c.inversePi), true));
    const auto quotientHigh = Truncate(QuotientBound<W>(Mul(dHigh, c.inversePi), false));
    const auto q = EvenTurnsOf<W>(quotientLow);  // the upper end's too where they agree
    const V turns = Mul(c.pi, ToDoubles(V{}, q));
    dLow = Sub(dLow, turns);
    dHigh = Sub(dHigh, turns);
    const V turnLow = QuotientBound<W>(Mul(Mul(c.oversampling, dLow), c.inverseTwoPi), true);
    const V turnHigh = QuotientBound<W>(Mul(Mul(c.oversampling, dHigh), c.inverseTwoPi), false);
    low = {ToFloats(Mul(c.width, Add(kk, turnLow))), ToFloats(phase.lo), q};
    const auto highFrequency = ToFloats(Mul(c.width, Add(kk, turnHigh)));
    return SameBits(quotientLow, quotientHigh) & SameFloats(low.frequency, highFrequency) &
           SameFloats(low.lastPhase, ToFloats(phase.hi));
}

// Of a used bin's phase the analysis keeps its float, its turn count and
// its frequency's float; where both ends of the phase's enclosure give the
// same (AnalyseEnds), so does every phase between them, the library's
// among them. An unused bin's phase is 0 and its last phase becomes 0; its
// frequency is not read, and is left as the lower end gives it.
template <class W>
SIMD void AnalyseUsedBins(const double* re, const double* im, const bool* used,
                          const double* magnitude, double* phase, float* lastPhase,
                          float* frequency, float* magnitudeOut, std::int32_t count,
                          double expected, double binWidth, std::int32_t oversampling) {
    using V = Doubles<W>;
    constexpr int kLanes = W::kLanes, kAll = (1 << kLanes) - 1;
    const AnalysisConstants<W> c = AnalysisConstantsFor<W>(expected, binWidth, oversampling);
    std::int32_t k = 0;
    for (; k + kLanes <= count; k += kLanes) {
        Enclosure<W> e = enclosures::EncloseAtan2<W>(Load(V{}, im + k), Load(V{}, re + k));
        const auto unused = Unset(V{}, used + k);
        e.lo = ZeroWhere(unused, e.lo);  // an unused bin's phase is 0
        e.hi = ZeroWhere(unused, e.hi);
        const V last = Load(V{}, lastPhase + k), kk = Indices(V{}, k);
        Analysis<W> low;
        const int decided = AnalyseEnds(e, last, kk, c, low) | Bits(unused);
        if (decided != kAll) {
            Store(phase + k, e.lo);
            for (int i = 0; i < kLanes; ++i) {
                if (decided >> i & 1) continue;
                phase[k + i] = used[k + i] ? std::atan2(im[k + i], re[k + i]) : 0.0;
            }
            low = Analyse(Load(V{}, phase + k), last, kk, c);
        }
        Store(lastPhase + k, low.lastPhase);
        Store(frequency + k, low.frequency);
        Store(magnitudeOut + k, ToFloats(Load(V{}, magnitude + k)));
    }
    for (; k < count; ++k) {  // the rest, with their own bin numbers
        phase[k] = used[k] ? std::atan2(im[k], re[k]) : 0.0;
        frequency[k] = BinFrequency(k, phase[k], lastPhase[k], expected, binWidth, oversampling);
        magnitudeOut[k] = static_cast<float>(magnitude[k]);
    }
}

// A bin keeps float(m cos) and float(m sin), both monotonic in the cosine
// and the sine (m is never negative); pitch::SynthesiseFirstStage places
// them.
template <class W>
SIMD void SynthesiseFirstStage(const float* magnitude, const double* phase,
                               const std::int32_t* order, float* work, std::int32_t half) {
    using V = Doubles<W>;
    using Floats = typename W::Floats;
    constexpr int kLanes = W::kLanes, kAll = (1 << kLanes) - 1;
    const Floats zero = Splat(Floats{}, 0.0f);
    std::int32_t k = 0;
    for (; k + kLanes <= half; k += kLanes) {
        const V m = Load(V{}, magnitude + k), x = Load(V{}, phase + k);
        // A magnitude of 0 with a finite phase gives zeros, as SynthesiseBin
        // has it (bins without a source, above the highest one a lower pitch
        // uses, are all so); a NaN goes to the library.
        const int silent = Bits(And(Compare<_CMP_EQ_OQ>(m, Splat(V{}, 0.0)),
                                    Compare<_CMP_LT_OQ>(Abs(x), Splat(V{}, __builtin_inf()))));
        if (silent == kAll) {
            StoreButterfliesInOrder(zero, zero, zero, zero, order + k, work);
            continue;
        }
        Enclosure<W> c, s;
        enclosures::EncloseSinCos(x, c, s);
        const Floats reLow = ToFloats(Mul(m, c.lo)), reHigh = ToFloats(Mul(m, c.hi));
        const Floats imLow = ToFloats(Mul(m, s.lo)), imHigh = ToFloats(Mul(m, s.hi));
        const int positive = Positive(LoadFloats(Floats{}, magnitude + k));
        const int keep = kAll & ~silent;
        StoreButterfliesInOrder(KeepWhere(keep, reLow), KeepWhere(keep, imLow), zero, zero, order + k, work);
        const int decided = silent | (positive & SameFloats(reLow, reHigh) & SameFloats(imLow, imHigh));
        for (int left = ~decided & kAll; left != 0; left &= left - 1) {
            const int i = __builtin_ctz(left);
            float re, im;
            SynthesiseBin(magnitude[k + i], phase[k + i], re, im);
            PlaceBin(re, im, work + 2 * order[k + i]);
        }
    }
    SynthesiseLowerBins(magnitude + k, phase + k, order + k, work, half - k);
    FinishFirstStage(magnitude[half], phase[half], work);
}

#undef SIMD

}  // namespace
}  // namespace dsp::pitch::simd_kernels
