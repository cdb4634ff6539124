// The Cylonator's filter bank, bands side by side: groups of four bands,
// run as one AVX2 register of four doubles per value or as two halves of two
// (an SSE2 register; plain GCC vectors, so other targets get their own
// vectors or scalars). Every lane does the arithmetic of one filter, in the
// order a single filter would, and the wet sum takes the bands one by one
// in band order either way. Included by dsp/cylonator.cpp only.
#pragma once

#include <cstdint>
#include <cstring>

namespace dsp {
namespace cylonator {

constexpr int kBandPassOrder = 6;
constexpr int kSections = kBandPassOrder;  // one per pole above the real axis
constexpr int kLanes = 4;       // bands of one group
constexpr int kMaxGroups = 10;  // at most 10 resonators and 10 band-passes

// Up to four bands of one kind, side by side. Bands are placed in band
// order; unused lanes keep zero coefficients and are not summed.
struct BandGroup {
    bool cascade;
    int lanes;
    // Resonator: y = b0 x + a0 y[-1] + a1 y[-2].
    double ra0[kLanes], ra1[kLanes], rb0[kLanes];
    // Six second-order sections, outputs (sa0, sa1). The first section's
    // inputs are (b0, 0, b2), scaled for unit gain at the band's centre; the
    // others' are (1, 0, -1).
    double sa0[kSections][kLanes], sa1[kSections][kLanes];
    double b0[kLanes], b2[kLanes];
};

// One chain of a group for one channel set: the resonator uses out[0];
// the cascade keeps the first section's two older inputs and three outputs
// per section (the third is the next section's oldest input).
struct ChainState {
    double in1[kLanes], in2[kLanes];
    double out[kSections][3][kLanes];
};

struct GroupState {
    ChainState modulator;
    ChainState excitation;
    double lpIn[5][kLanes];   // envelope low-pass input history, newest first
    double lpOut[4][kLanes];  // and its output history
};

struct LowPassCoefficients {
    double a[4];
    double b[5];
};

// W lanes of a group's four, from lane `base` on.
template <int W>
struct Width {
    typedef double Lanes __attribute__((vector_size(8 * W)));
    typedef std::int64_t LaneBits __attribute__((vector_size(8 * W)));
};

#define CYL_INLINE inline __attribute__((always_inline))

template <class V>
CYL_INLINE void Load(V& v, const double* p) {
    std::memcpy(&v, p, sizeof v);
}
template <class V>
CYL_INLINE void Save(double* p, const V& v) {
    std::memcpy(p, &v, sizeof v);
}
template <class V>
CYL_INLINE void Fill(V& v, double x) {
    for (int w = 0; w < static_cast<int>(sizeof v / sizeof x); ++w) v[w] = x;
}

// The envelope low-pass on |m|, with its histories in registers.
template <int W>
struct LowPassLanes {
    typedef typename Width<W>::Lanes Lanes;
    Lanes a0, a1, a2, a3, b0, b1, b2, b3, b4;
    Lanes i0, i1, i2, i3, i4, o0, o1, o2, o3;
};

template <int W>
CYL_INLINE void LoadLowPass(LowPassLanes<W>& lp, const LowPassCoefficients& c, const GroupState& s,
                            int base) {
    Fill(lp.a0, c.a[0]);
    Fill(lp.a1, c.a[1]);
    Fill(lp.a2, c.a[2]);
    Fill(lp.a3, c.a[3]);
    Fill(lp.b0, c.b[0]);
    Fill(lp.b1, c.b[1]);
    Fill(lp.b2, c.b[2]);
    Fill(lp.b3, c.b[3]);
    Fill(lp.b4, c.b[4]);
    Load(lp.i0, s.lpIn[0] + base);
    Load(lp.i1, s.lpIn[1] + base);
    Load(lp.i2, s.lpIn[2] + base);
    Load(lp.i3, s.lpIn[3] + base);
    Load(lp.i4, s.lpIn[4] + base);
    Load(lp.o0, s.lpOut[0] + base);
    Load(lp.o1, s.lpOut[1] + base);
    Load(lp.o2, s.lpOut[2] + base);
    Load(lp.o3, s.lpOut[3] + base);
}

template <int W>
CYL_INLINE void SaveLowPass(GroupState& s, const LowPassLanes<W>& lp, int base) {
    Save(s.lpIn[0] + base, lp.i0);
    Save(s.lpIn[1] + base, lp.i1);
    Save(s.lpIn[2] + base, lp.i2);
    Save(s.lpIn[3] + base, lp.i3);
    Save(s.lpIn[4] + base, lp.i4);
    Save(s.lpOut[0] + base, lp.o0);
    Save(s.lpOut[1] + base, lp.o1);
    Save(s.lpOut[2] + base, lp.o2);
    Save(s.lpOut[3] + base, lp.o3);
}

template <int W>
CYL_INLINE void StepLowPass(LowPassLanes<W>& lp, const typename Width<W>::Lanes& m,
                            typename Width<W>::Lanes& y) {
    typedef typename Width<W>::Lanes Lanes;
    typedef typename Width<W>::LaneBits LaneBits;
    LaneBits magnitude;
    for (int w = 0; w < W; ++w) magnitude[w] = 0x7FFFFFFFFFFFFFFF;
    lp.i4 = lp.i3;
    lp.i3 = lp.i2;
    lp.i2 = lp.i1;
    lp.i1 = lp.i0;
    lp.i0 = (Lanes)((LaneBits)m & magnitude);  // |m|
    const Lanes f = lp.i0 * lp.b0 + lp.i1 * lp.b1 + lp.i2 * lp.b2 + lp.i3 * lp.b3 + lp.i4 * lp.b4;
    const Lanes g = lp.o0 * lp.a0 + lp.o1 * lp.a1 + lp.o2 * lp.a2 + lp.o3 * lp.a3;
    y = f + g;
    lp.o3 = lp.o2;
    lp.o2 = lp.o1;
    lp.o1 = lp.o0;
    lp.o0 = y;
}

// Adds the first `lanes` products to the wet sum in lane (band) order.
template <class V>
CYL_INLINE void AddToWet(double& wet, const V& p, int lanes) {
    double w = wet + p[0];
    for (int k = 1; k < static_cast<int>(sizeof p / sizeof w); ++k) {
        if (lanes > k) w = w + p[k];
    }
    wet = w;
}

// W lanes of a resonator group from `base` over n samples; the first
// `lanes` of them are bands.
template <int W>
CYL_INLINE void ResonatorLanes(const BandGroup& g, const LowPassCoefficients& lpc, GroupState& s,
                               const double* __restrict x, const double* __restrict e,
                               double* __restrict wet, std::uint32_t n, int base, int lanes) {
    typedef typename Width<W>::Lanes Lanes;
    Lanes a0, a1, b0, mo0, mo1, eo0, eo1;
    Load(a0, g.ra0 + base);
    Load(a1, g.ra1 + base);
    Load(b0, g.rb0 + base);
    Load(mo0, s.modulator.out[0][0] + base);
    Load(mo1, s.modulator.out[0][1] + base);
    Load(eo0, s.excitation.out[0][0] + base);
    Load(eo1, s.excitation.out[0][1] + base);
    LowPassLanes<W> lp{};
    LoadLowPass(lp, lpc, s, base);
    for (std::uint32_t i = 0; i < n; ++i) {
        Lanes xv, ev, envelope;
        Fill(xv, x[i]);
        const Lanes m = xv * b0 + (mo0 * a0 + mo1 * a1);
        mo1 = mo0;
        mo0 = m;
        StepLowPass(lp, m, envelope);
        Fill(ev, e[i]);
        const Lanes ex = ev * b0 + (eo0 * a0 + eo1 * a1);
        eo1 = eo0;
        eo0 = ex;
        AddToWet(wet[i], ex * envelope, lanes);
    }
    Save(s.modulator.out[0][0] + base, mo0);
    Save(s.modulator.out[0][1] + base, mo1);
    Save(s.excitation.out[0][0] + base, eo0);
    Save(s.excitation.out[0][1] + base, eo1);
    SaveLowPass(s, lp, base);
}

// A cascade of six sections. A section with inputs (1, 0, -1) computes
// (x - x[-2]) + (a0 y[-1] + a1 y[-2]); the first one (b0, 0, b2) computes
// (b0 x + b2 x[-2]) + (...). The zero middle term is left out: it can only
// change the sign of a zero sum. Each section's three newest outputs are
// the next section's input history.
template <int W>
struct CascadeLanes {
    typedef typename Width<W>::Lanes Lanes;
    Lanes in1, in2;
    Lanes o[kSections][3];
};

template <int W>
CYL_INLINE void LoadCascade(CascadeLanes<W>& c, const ChainState& s, int base) {
    Load(c.in1, s.in1 + base);
    Load(c.in2, s.in2 + base);
    for (int k = 0; k < kSections; ++k) {
        Load(c.o[k][0], s.out[k][0] + base);
        Load(c.o[k][1], s.out[k][1] + base);
        Load(c.o[k][2], s.out[k][2] + base);
    }
}

template <int W>
CYL_INLINE void SaveCascade(ChainState& s, const CascadeLanes<W>& c, int base) {
    Save(s.in1 + base, c.in1);
    Save(s.in2 + base, c.in2);
    for (int k = 0; k < kSections; ++k) {
        Save(s.out[k][0] + base, c.o[k][0]);
        Save(s.out[k][1] + base, c.o[k][1]);
        Save(s.out[k][2] + base, c.o[k][2]);
    }
}

template <int W, class V>
CYL_INLINE void StepCascade(CascadeLanes<W>& c, const V& x, const V& b0, const V& b2, const V* a0,
                            const V* a1, V& y) {
    typedef V Lanes;
    const Lanes f0 = x * b0 + c.in2 * b2;
    c.in2 = c.in1;
    c.in1 = x;
    y = f0 + (c.o[0][0] * a0[0] + c.o[0][1] * a1[0]);
    c.o[0][2] = c.o[0][1];
    c.o[0][1] = c.o[0][0];
    c.o[0][0] = y;
#pragma GCC unroll 8
    for (int k = 1; k < kSections; ++k) {
        const Lanes f = c.o[k - 1][0] - c.o[k - 1][2];
        y = f + (c.o[k][0] * a0[k] + c.o[k][1] * a1[k]);
        c.o[k][2] = c.o[k][1];
        c.o[k][1] = c.o[k][0];
        c.o[k][0] = y;
    }
}

template <int W>
CYL_INLINE void CascadeLanesRun(const BandGroup& g, const LowPassCoefficients& lpc, GroupState& s,
                                const double* __restrict x, const double* __restrict e,
                                double* __restrict wet, std::uint32_t n, int base, int lanes) {
    typedef typename Width<W>::Lanes Lanes;
    Lanes a0[kSections], a1[kSections], b0, b2;
    for (int k = 0; k < kSections; ++k) {
        Load(a0[k], g.sa0[k] + base);
        Load(a1[k], g.sa1[k] + base);
    }
    Load(b0, g.b0 + base);
    Load(b2, g.b2 + base);
    CascadeLanes<W> mod{}, exc{};
    LoadCascade(mod, s.modulator, base);
    LoadCascade(exc, s.excitation, base);
    LowPassLanes<W> lp{};
    LoadLowPass(lp, lpc, s, base);
    for (std::uint32_t i = 0; i < n; ++i) {
        Lanes xv, ev, m, envelope, ex;
        Fill(xv, x[i]);
        StepCascade(mod, xv, b0, b2, a0, a1, m);
        StepLowPass(lp, m, envelope);
        Fill(ev, e[i]);
        StepCascade(exc, ev, b0, b2, a0, a1, ex);
        AddToWet(wet[i], ex * envelope, lanes);
    }
    SaveCascade(s.modulator, mod, base);
    SaveCascade(s.excitation, exc, base);
    SaveLowPass(s, lp, base);
}

// Every group in band order, W lanes at a time: the wet sum grows from
// band 0 upward.
template <int W>
CYL_INLINE void RunGroupsOf(const BandGroup* groups, int groupCount,
                            const LowPassCoefficients& lowPass, GroupState* states, const double* x,
                            const double* e, double* wet, std::uint32_t n) {
    for (int k = 0; k < groupCount; ++k) {
        const BandGroup& g = groups[k];
        for (int base = 0; base < g.lanes; base += W) {
            const int lanes = g.lanes - base < W ? g.lanes - base : W;
            if (g.cascade) {
                CascadeLanesRun<W>(g, lowPass, states[k], x, e, wet, n, base, lanes);
            } else {
                ResonatorLanes<W>(g, lowPass, states[k], x, e, wet, n, base, lanes);
            }
        }
    }
}

#undef CYL_INLINE

}  // namespace cylonator
}  // namespace dsp
