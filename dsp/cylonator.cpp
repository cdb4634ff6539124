// Cylonator: a channel vocoder. The voice is split into bands about a third
// of an octave wide; each band is rectified and smoothed into an envelope
// by a fourth-order Butterworth low-pass, and each envelope scales the same
// band of a pulse train or of Gaussian noise. The sum of the scaled bands,
// from the lowest band up, is the wet signal, mixed with the dry input in
// one conversion to 16 bits.
//
// The lowest bands are two-pole resonators. The upper ones are sixth-order
// Butterworth band-passes run as cascades of second-order sections built
// from the design's poles: multiplied out into one twelfth-order recursion
// they are unstable at common rates. A band whose design gives no usable
// sections (its upper edge at or beyond half the sample rate) is left out.
//
// The right channel set serves mono selections and the right channel of
// stereo ones, the left set the left channel. Within a block the bands are
// independent of each other, so each pair of bands runs through the whole
// block side by side, its filter histories held in registers, each lane
// doing the arithmetic of one filter in the order a single filter would.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "dsp/cylonator.h"
#include "dsp/effects.h"
#include "dsp/filter_design.h"
#include "dsp/frame.h"
#include "dsp/iir_filter.h"
#include "dsp/signal_helpers.h"

namespace dsp {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kThirdOctave = 1.2599210498948732;  // 2^(1/3)
constexpr double kOneSixth = 0.1666666716337204;     // 1/6 in single precision
constexpr int kMaxBands = 18;
constexpr double kCentres[kMaxBands] = {108,  137,  172,  217,  273,  344,  434,  547,  689,
                                        868,  1093, 1378, 1736, 2187, 2756, 3472, 4375, 5512};
constexpr int kLowPassOrder = 4;
constexpr int kBandPassOrder = 6;
constexpr int kSections = kBandPassOrder;  // one per pole above the real axis
constexpr int kLanes = 2;       // bands side by side
constexpr int kMaxGroups = 10;  // at most 10 resonators and 10 band-passes
constexpr std::uint32_t kMaxBlockSamples = kMaxBlockBytes / 2;

// Up to two bands of one kind, side by side. Bands are placed in band
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

struct ChannelSet {
    bool noise;
    float a;
    double period;
    double counter;
    GroupState groups[kMaxGroups];
};

struct LowPassCoefficients {
    double a[4];
    double b[5];
};

struct RunState {
    BandGroup groups[kMaxGroups];
    int groupCount;
    LowPassCoefficients lowPass;
    ChannelSet right;
    ChannelSet left;
    double x[kMaxBlockSamples];
    double e[kMaxBlockSamples];
    double wet[kMaxBlockSamples];
};

// ---------------------------------------------------------------------------
// The lanes: one SSE2 register of two doubles per value (plain GCC vectors,
// so other targets get their own vectors or scalars). Every lane does the
// arithmetic of one filter, in the order a single filter would.

typedef double Lanes __attribute__((vector_size(16)));
typedef std::int64_t LaneBits __attribute__((vector_size(16)));

#define CYL_INLINE inline __attribute__((always_inline))

CYL_INLINE void Load(Lanes& v, const double* p) {
    std::memcpy(&v, p, sizeof v);
}
CYL_INLINE void Save(double* p, const Lanes& v) {
    std::memcpy(p, &v, sizeof v);
}
CYL_INLINE void Fill(Lanes& v, double x) {
    for (int w = 0; w < kLanes; ++w) v[w] = x;
}

// The envelope low-pass on |m|, with its histories in registers.
struct LowPassLanes {
    Lanes a0, a1, a2, a3, b0, b1, b2, b3, b4;
    Lanes i0, i1, i2, i3, i4, o0, o1, o2, o3;
};

CYL_INLINE void LoadLowPass(LowPassLanes& lp, const LowPassCoefficients& c,
                            const GroupState& s) {
    Fill(lp.a0, c.a[0]);
    Fill(lp.a1, c.a[1]);
    Fill(lp.a2, c.a[2]);
    Fill(lp.a3, c.a[3]);
    Fill(lp.b0, c.b[0]);
    Fill(lp.b1, c.b[1]);
    Fill(lp.b2, c.b[2]);
    Fill(lp.b3, c.b[3]);
    Fill(lp.b4, c.b[4]);
    Load(lp.i0, s.lpIn[0]);
    Load(lp.i1, s.lpIn[1]);
    Load(lp.i2, s.lpIn[2]);
    Load(lp.i3, s.lpIn[3]);
    Load(lp.i4, s.lpIn[4]);
    Load(lp.o0, s.lpOut[0]);
    Load(lp.o1, s.lpOut[1]);
    Load(lp.o2, s.lpOut[2]);
    Load(lp.o3, s.lpOut[3]);
}

CYL_INLINE void SaveLowPass(GroupState& s, const LowPassLanes& lp) {
    Save(s.lpIn[0], lp.i0);
    Save(s.lpIn[1], lp.i1);
    Save(s.lpIn[2], lp.i2);
    Save(s.lpIn[3], lp.i3);
    Save(s.lpIn[4], lp.i4);
    Save(s.lpOut[0], lp.o0);
    Save(s.lpOut[1], lp.o1);
    Save(s.lpOut[2], lp.o2);
    Save(s.lpOut[3], lp.o3);
}

CYL_INLINE void StepLowPass(LowPassLanes& lp, const Lanes& m, Lanes& y) {
    LaneBits magnitude;
    for (int w = 0; w < kLanes; ++w) magnitude[w] = 0x7FFFFFFFFFFFFFFF;
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
CYL_INLINE void AddToWet(double& wet, const Lanes& p, int lanes) {
    double w = wet + p[0];
    for (int k = 1; k < kLanes; ++k) {
        if (lanes > k) w = w + p[k];
    }
    wet = w;
}

// A resonator group over n samples; its first `lanes` lanes are bands.
CYL_INLINE void ResonatorLanes(const BandGroup& g, const LowPassCoefficients& lpc, GroupState& s,
                               const double* __restrict x, const double* __restrict e,
                               double* __restrict wet, std::uint32_t n, int lanes) {
    Lanes a0, a1, b0, mo0, mo1, eo0, eo1;
    Load(a0, g.ra0);
    Load(a1, g.ra1);
    Load(b0, g.rb0);
    Load(mo0, s.modulator.out[0][0]);
    Load(mo1, s.modulator.out[0][1]);
    Load(eo0, s.excitation.out[0][0]);
    Load(eo1, s.excitation.out[0][1]);
    LowPassLanes lp{};
    LoadLowPass(lp, lpc, s);
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
    Save(s.modulator.out[0][0], mo0);
    Save(s.modulator.out[0][1], mo1);
    Save(s.excitation.out[0][0], eo0);
    Save(s.excitation.out[0][1], eo1);
    SaveLowPass(s, lp);
}

// A cascade of six sections. A section with inputs (1, 0, -1) computes
// (x - x[-2]) + (a0 y[-1] + a1 y[-2]); the first one (b0, 0, b2) computes
// (b0 x + b2 x[-2]) + (...). The zero middle term is left out: it can only
// change the sign of a zero sum. Each section's three newest outputs are
// the next section's input history.
struct CascadeLanes {
    Lanes in1, in2;
    Lanes o[kSections][3];
};

CYL_INLINE void LoadCascade(CascadeLanes& c, const ChainState& s) {
    Load(c.in1, s.in1);
    Load(c.in2, s.in2);
    for (int k = 0; k < kSections; ++k) {
        Load(c.o[k][0], s.out[k][0]);
        Load(c.o[k][1], s.out[k][1]);
        Load(c.o[k][2], s.out[k][2]);
    }
}

CYL_INLINE void SaveCascade(ChainState& s, const CascadeLanes& c) {
    Save(s.in1, c.in1);
    Save(s.in2, c.in2);
    for (int k = 0; k < kSections; ++k) {
        Save(s.out[k][0], c.o[k][0]);
        Save(s.out[k][1], c.o[k][1]);
        Save(s.out[k][2], c.o[k][2]);
    }
}

CYL_INLINE void StepCascade(CascadeLanes& c, const Lanes& x, const Lanes& b0, const Lanes& b2,
                            const Lanes* a0, const Lanes* a1, Lanes& y) {
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

CYL_INLINE void CascadeLanesRun(const BandGroup& g, const LowPassCoefficients& lpc, GroupState& s,
                                const double* __restrict x, const double* __restrict e,
                                double* __restrict wet, std::uint32_t n, int lanes) {
    Lanes a0[kSections], a1[kSections], b0, b2;
    for (int k = 0; k < kSections; ++k) {
        Load(a0[k], g.sa0[k]);
        Load(a1[k], g.sa1[k]);
    }
    Load(b0, g.b0);
    Load(b2, g.b2);
    CascadeLanes mod{}, exc{};
    LoadCascade(mod, s.modulator);
    LoadCascade(exc, s.excitation);
    LowPassLanes lp{};
    LoadLowPass(lp, lpc, s);
    for (std::uint32_t i = 0; i < n; ++i) {
        Lanes xv, ev, m, envelope, ex;
        Fill(xv, x[i]);
        StepCascade(mod, xv, b0, b2, a0, a1, m);
        StepLowPass(lp, m, envelope);
        Fill(ev, e[i]);
        StepCascade(exc, ev, b0, b2, a0, a1, ex);
        AddToWet(wet[i], ex * envelope, lanes);
    }
    SaveCascade(s.modulator, mod);
    SaveCascade(s.excitation, exc);
    SaveLowPass(s, lp);
}

// Every group in band order: the wet sum grows from band 0 upward.
void RunGroups(const RunState& st, ChannelSet& set, const double* x, const double* e, double* wet,
               std::uint32_t n) {
    for (int k = 0; k < st.groupCount; ++k) {
        const BandGroup& g = st.groups[k];
        if (g.cascade) {
            CascadeLanesRun(g, st.lowPass, set.groups[k], x, e, wet, n, g.lanes);
        } else {
            ResonatorLanes(g, st.lowPass, set.groups[k], x, e, wet, n, g.lanes);
        }
    }
}

#undef CYL_INLINE

// ---------------------------------------------------------------------------
// Setup.

// Memory of the two design records: four plane arrays of 32 complex values
// and two coefficient arrays of 33 doubles each.
constexpr std::size_t kDesignBytes =
    4 * kDesignMaxRoots * sizeof(Complex) + 2 * (kDesignMaxRoots + 1) * sizeof(double);

FilterDesign DesignRecordAt(unsigned char* memory) {
    FilterDesign d{};
    auto* plane = reinterpret_cast<Complex*>(memory);
    d.sPoles = plane;
    d.sZeros = plane + kDesignMaxRoots;
    d.zPoles = plane + 2 * kDesignMaxRoots;
    d.zZeros = plane + 3 * kDesignMaxRoots;
    auto* coefficients = reinterpret_cast<double*>(plane + 4 * kDesignMaxRoots);
    d.numerator = coefficients;
    d.feedback = coefficients + kDesignMaxRoots + 1;
    return d;
}

struct Resonator {
    double a0, a1, b0;
};

Resonator DesignResonator(double f, double r) {
    const double R = 1 - (kThirdOctave * f - f) * kPi / r;
    const double theta = kTwoPi * f / r;
    return {2 * R * std::cos(theta), -(R * R),
            (1 - R) * std::sqrt(1 + R * R - 2 * R * std::cos(2 * theta))};
}

struct Cascade {
    double a0[kSections], a1[kSections];
    double b0, b2;  // of the first section
};

// The band-pass band's sections from the design's poles above the real
// axis, scaled to gain 1 at the centre. False when the band cannot be used.
bool BuildCascade(const FilterDesign& d, Cascade& c) {
    int sections = 0;
    for (int i = 0; i < d.zPoleCount; ++i) {
        const Complex p = d.zPoles[i];
        if (!(p.im > 0.0)) continue;
        if (sections == kSections || !std::isfinite(p.re) || !std::isfinite(p.im)) return false;
        c.a0[sections] = 2 * p.re;
        c.a1[sections] = -(p.re * p.re + p.im * p.im);
        ++sections;
    }
    if (sections != kSections) return false;

    const double theta = kPi * (d.rawAlpha1 + d.rawAlpha2);
    const Complex inverse = {std::cos(theta), -std::sin(theta)};
    const Complex inverseSquared = Multiply(inverse, inverse);
    Complex gain = {1.0, 0.0};
    for (int k = 0; k < kSections; ++k) {
        const double twoRe = c.a0[k];
        const double squared = -c.a1[k];
        const Complex numerator = {1.0 - inverseSquared.re, 0.0 - inverseSquared.im};
        const Complex denominator = {1.0 - twoRe * inverse.re + squared * inverseSquared.re,
                                     0.0 - twoRe * inverse.im + squared * inverseSquared.im};
        gain = Multiply(gain, Divide(numerator, denominator));
    }
    const double magnitude = Modulus(gain);
    if (!std::isfinite(magnitude) || magnitude == 0.0) return false;
    c.b0 = 1.0 / magnitude;
    c.b2 = -1.0 / magnitude;
    return true;
}

class CylonatorRun : public EffectRun {
public:
    CylonatorRun(const RunFormat& format, const EffectSettings& settings)
        : format_(format), wetMix_(settings.workingMix.wetMix), dryMix_(settings.workingMix.dryMix) {}

    // Obtains the memory and designs every filter; false when memory cannot
    // be had or a design fails.
    bool Prepare(const CylonatorSettings& s);
    void ProcessBlock(std::int16_t* samples, std::uint32_t count) override;

private:
    void Excite(ChannelSet& set, double* e, std::uint32_t n);
    void RunBands(ChannelSet& set, const double* x, const double* e, double* wet, std::uint32_t n);
    void AddBand(bool cascade, const Resonator* resonator, const Cascade* sections);

    RunFormat format_;
    double wetMix_;
    double dryMix_;
    WorkingMemory designMemory_;
    WorkingMemory stateMemory_;
    RunState* st_ = nullptr;
};

void CylonatorRun::AddBand(bool cascade, const Resonator* resonator, const Cascade* sections) {
    BandGroup* g = st_->groupCount > 0 ? &st_->groups[st_->groupCount - 1] : nullptr;
    if (g == nullptr || g->cascade != cascade || g->lanes == kLanes) {
        g = &st_->groups[st_->groupCount++];
        g->cascade = cascade;
        g->lanes = 0;
    }
    const int lane = g->lanes++;
    if (!cascade) {
        g->ra0[lane] = resonator->a0;
        g->ra1[lane] = resonator->a1;
        g->rb0[lane] = resonator->b0;
        return;
    }
    for (int k = 0; k < kSections; ++k) {
        g->sa0[k][lane] = sections->a0[k];
        g->sa1[k][lane] = sections->a1[k];
    }
    g->b0[lane] = sections->b0;
    g->b2[lane] = sections->b2;
}

bool CylonatorRun::Prepare(const CylonatorSettings& s) {
    if (!designMemory_.Obtain(2 * kDesignBytes)) return false;
    if (!stateMemory_.Obtain(sizeof(RunState))) return false;
    std::memset(stateMemory_.data(), 0, sizeof(RunState));
    st_ = new (stateMemory_.data()) RunState;

    const float freq = static_cast<float>(s.freq);
    const float pRight = static_cast<float>(s.pitchRight * 0.1);
    const float pLeft = static_cast<float>(s.pitchLeft * 0.1);
    st_->right.a = static_cast<float>(s.amplitudeRight * 0.5);
    st_->left.a = static_cast<float>(s.amplitudeLeft * 0.5);
    // The flags truncated to integers; nonzero (NaN and huge values too, as
    // an x86 conversion gives them) selects noise.
    st_->right.noise = std::trunc(s.noiseRightEnabled) != 0.0;
    st_->left.noise = std::trunc(s.noiseLeftEnabled) != 0.0;
    const float rf = static_cast<float>(format_.sampleRate);
    const double r = rf;
    const int D = CylonatorBandCount(rf);
    const int E = CylonatorResonatorCount(rf);

    auto* memory = designMemory_.as<unsigned char>();
    FilterDesign lowPass = DesignRecordAt(memory);
    lowPass.options = kDesignButterworth | kDesignLowPass;
    lowPass.order = kLowPassOrder;
    lowPass.rawAlpha1 = freq / r;
    if (!Design(lowPass)) return false;
    const double lowPassGain = Modulus(lowPass.centreGain);
    for (int k = 0; k < 4; ++k) st_->lowPass.a[k] = lowPass.feedback[4 - 1 - k];
    for (int k = 0; k < 5; ++k) st_->lowPass.b[k] = lowPass.numerator[5 - 1 - k] / lowPassGain;

    FilterDesign bandPass = DesignRecordAt(memory + kDesignBytes);
    for (int i = 0; i < D; ++i) {
        const double f = kCentres[i];
        if (i < E) {
            const Resonator resonator = DesignResonator(f, r);
            AddBand(false, &resonator, nullptr);
            continue;
        }
        const double h = (kThirdOctave * f - f) * 0.5;
        bandPass.options = kDesignButterworth | kDesignBandPass;
        bandPass.order = kBandPassOrder;
        bandPass.rawAlpha1 = (f - h) / r;
        bandPass.rawAlpha2 = (f + h) / r;
        if (!Design(bandPass)) return false;
        Cascade cascade;
        if (BuildCascade(bandPass, cascade)) AddBand(true, nullptr, &cascade);
    }

    st_->right.period = CylonatorPulsePeriod(r, pRight, freq);
    st_->left.period = CylonatorPulsePeriod(r, pLeft, freq);
    return true;
}

// The excitation of one channel set for n samples, in sample order.
void CylonatorRun::Excite(ChannelSet& set, double* e, std::uint32_t n) {
    for (std::uint32_t i = 0; i < n; ++i) {
        double v;
        if (set.noise) {
            v = GaussianNoise(0.0f, 1.0f) * set.a * kOneSixth;
        } else {
            const double k = set.counter;
            set.counter = k + 1;
            v = 0.0;
            if (k >= set.period) {
                v = set.a;
                set.counter = 0;
            }
        }
        e[i] = v;
    }
}

void CylonatorRun::RunBands(ChannelSet& set, const double* x, const double* e, double* wet,
                            std::uint32_t n) {
    for (std::uint32_t i = 0; i < n; ++i) wet[i] = 0.0;
    RunGroups(*st_, set, x, e, wet, n);
}

void CylonatorRun::ProcessBlock(std::int16_t* samples, std::uint32_t count) {
    const double P = format_.P;
    const double scale = 1 / P;
    double* x = st_->x;
    double* e = st_->e;
    double* wet = st_->wet;
    auto mix = [&](std::int16_t& sample, double w) {
        sample = Store((w * P * wetMix_ + sample * dryMix_) * 0.01);
    };
    if (!format_.stereo) {
        for (std::uint32_t i = 0; i < count; ++i) x[i] = samples[i] * scale;
        Excite(st_->right, e, count);
        RunBands(st_->right, x, e, wet, count);
        for (std::uint32_t i = 0; i < count; ++i) mix(samples[i], wet[i]);
        return;
    }
    // Stereo: the left half of each scratch array holds the left channel,
    // the right half the right one. The excitations are drawn frame by
    // frame, left before right, as the noise draws must come in that order.
    const std::uint32_t frames = count / 2;
    double* xl = x;
    double* xr = x + frames;
    double* el = e;
    double* er = e + frames;
    for (std::uint32_t i = 0; i < frames; ++i) {
        xl[i] = samples[2 * i] * scale;
        xr[i] = samples[2 * i + 1] * scale;
    }
    if (st_->left.noise || st_->right.noise) {
        for (std::uint32_t i = 0; i < frames; ++i) {
            Excite(st_->left, el + i, 1);
            Excite(st_->right, er + i, 1);
        }
    } else {
        Excite(st_->left, el, frames);
        Excite(st_->right, er, frames);
    }
    RunBands(st_->left, xl, el, wet, frames);
    for (std::uint32_t i = 0; i < frames; ++i) mix(samples[2 * i], wet[i]);
    RunBands(st_->right, xr, er, wet, frames);
    for (std::uint32_t i = 0; i < frames; ++i) mix(samples[2 * i + 1], wet[i]);
}

}  // namespace

int CylonatorBandCount(float r) {
    if (r <= 8000) return 15;
    if (r < 9200) return 16;
    if (r < 12500) return 17;
    return 18;
}

int CylonatorResonatorCount(float r) { return r > 26000 ? 10 : 8; }

double CylonatorPulsePeriod(double r, float p, float freq) {
    return std::floor(r / (static_cast<double>(p) * freq));
}

std::int32_t RunCylonator(const TransformRecord& record, const EffectSettings& settings) {
    return RunBlockLoop(record, "Applying Cylonator...",
                        [&settings](const RunFormat& format) -> std::unique_ptr<EffectRun> {
                            auto run = std::make_unique<CylonatorRun>(format, settings);
                            if (!run->Prepare(settings.cylonator)) return nullptr;
                            return run;
                        });
}

}  // namespace dsp
