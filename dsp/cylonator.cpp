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
// The bands depend on the sample rate alone; the settings choose the
// envelope low-pass, the excitation and the mix.
//
// The right channel set serves mono streams and the right channel of
// stereo ones, the left set the left channel. Within a span the bands are
// independent of each other, so each pair of bands runs through the whole
// span side by side (dsp/cylonator_bands.h): four with AVX2 where the
// processor has it, two otherwise, with the same bits.
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <cstring>
#include <memory>
#include <new>

#include "dsp/cpu_features.h"
#include "dsp/cylonator.h"
#include "dsp/cylonator_bands.h"
#include "dsp/filter_design.h"
#include "dsp/signal_helpers.h"
#include "dsp/stream_processor.h"

namespace dsp {
namespace {

using namespace cylonator;

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kThirdOctave = 1.2599210498948732;  // 2^(1/3)
constexpr double kOneSixth = 0.1666666716337204;     // 1/6 in single precision
constexpr int kMaxBands = 18;
constexpr double kCentres[kMaxBands] = {108,  137,  172,  217,  273,  344,  434,  547,  689,
                                        868,  1093, 1378, 1736, 2187, 2756, 3472, 4375, 5512};
constexpr int kLowPassOrder = 4;
constexpr std::uint32_t kMaxBlockSamples = kBlockBytes / 2;

struct ChannelSet {
    bool noise;
    float a;
    double period;
    double counter;
    GroupState groups[kMaxGroups];
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

void RunGroupsPortable(const BandGroup* groups, int groupCount, const LowPassCoefficients& lowPass,
                       GroupState* states, const double* x, const double* e, double* wet,
                       std::uint32_t n) {
    RunGroupsOf<2>(groups, groupCount, lowPass, states, x, e, wet, n);
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TOVANA_CYLONATOR_AVX2 1
__attribute__((target("avx2"))) void RunGroupsAvx2(const BandGroup* groups, int groupCount,
                                                   const LowPassCoefficients& lowPass,
                                                   GroupState* states, const double* x,
                                                   const double* e, double* wet, std::uint32_t n) {
    RunGroupsOf<4>(groups, groupCount, lowPass, states, x, e, wet, n);
}
#endif

class Cylonator : public EffectProcessor<CylonatorSettings> {
public:
    Cylonator(const CylonatorSettings& effect, const MixLevels& mix, const RunFormat& format,
              std::uint32_t seed)
        : EffectProcessor(format, seed), settings_(effect), mix_(mix) {}

    // Obtains the memory and designs every filter; false when memory cannot
    // be had or a design fails.
    bool Prepare(MemorySource& memory);

private:
    void Take(const CylonatorSettings& next, const MixLevels& mix) override;
    void Clear() override;
    void ProcessSpan(std::int16_t* samples, std::uint32_t count) override;

    bool DesignLowPass(double freq);
    void DeriveExcitation(const CylonatorSettings& s);
    bool DesignBands();
    void Excite(ChannelSet& set, double* e, std::uint32_t n);
    void RunBands(ChannelSet& set, const double* x, const double* e, double* wet, std::uint32_t n);
    void AddBand(bool cascade, const Resonator* resonator, const Cascade* sections);

    CylonatorSettings settings_;  // as last taken
    MixLevels mix_;
    WorkingMemory designMemory_;
    WorkingMemory stateMemory_;
    RunState* st_ = nullptr;
};

void Cylonator::AddBand(bool cascade, const Resonator* resonator, const Cascade* sections) {
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

bool Cylonator::Prepare(MemorySource& memory) {
    if (!designMemory_.Obtain(memory, 2 * kDesignBytes)) return false;
    if (!stateMemory_.Obtain(memory, sizeof(RunState))) return false;
    std::memset(stateMemory_.data(), 0, sizeof(RunState));
    st_ = new (stateMemory_.data()) RunState;
    if (!DesignLowPass(settings_.freq) || !DesignBands()) return false;
    DeriveExcitation(settings_);
    return true;
}

// The envelope low-pass for the cutoff `freq`, in the first design record.
bool Cylonator::DesignLowPass(double freq) {
    const double r = static_cast<float>(format_.sampleRate);
    FilterDesign lowPass = DesignRecordAt(designMemory_.as<unsigned char>());
    lowPass.options = kDesignButterworth | kDesignLowPass;
    lowPass.order = kLowPassOrder;
    lowPass.rawAlpha1 = static_cast<float>(freq) / r;
    if (!Design(lowPass)) return false;
    const double lowPassGain = Modulus(lowPass.centreGain);
    for (int k = 0; k < 4; ++k) st_->lowPass.a[k] = lowPass.feedback[4 - 1 - k];
    for (int k = 0; k < 5; ++k) st_->lowPass.b[k] = lowPass.numerator[5 - 1 - k] / lowPassGain;
    return true;
}

// Every band for the sample rate, the band-passes from the second record.
bool Cylonator::DesignBands() {
    const float rf = static_cast<float>(format_.sampleRate);
    const double r = rf;
    const int D = CylonatorBandCount(rf);
    const int E = CylonatorResonatorCount(rf);
    FilterDesign bandPass = DesignRecordAt(designMemory_.as<unsigned char>() + kDesignBytes);
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
    return true;
}

void Cylonator::DeriveExcitation(const CylonatorSettings& s) {
    const float freq = static_cast<float>(s.freq);
    const float pRight = static_cast<float>(s.pitchRight * 0.1);
    const float pLeft = static_cast<float>(s.pitchLeft * 0.1);
    st_->right.a = static_cast<float>(s.amplitudeRight * 0.5);
    st_->left.a = static_cast<float>(s.amplitudeLeft * 0.5);
    // The flags truncated to integers; nonzero (NaN and huge values too, as
    // an x86 conversion gives them) selects noise.
    st_->right.noise = std::trunc(s.noiseRightEnabled) != 0.0;
    st_->left.noise = std::trunc(s.noiseLeftEnabled) != 0.0;
    const double r = static_cast<float>(format_.sampleRate);
    st_->right.period = CylonatorPulsePeriod(r, pRight, freq);
    st_->left.period = CylonatorPulsePeriod(r, pLeft, freq);
}

void Cylonator::Take(const CylonatorSettings& next, const MixLevels& mix) {
    // A cutoff the designer cannot make keeps the envelopes as they were.
    if (next.freq != settings_.freq) DesignLowPass(next.freq);
    settings_ = next;
    mix_ = mix;
    DeriveExcitation(next);
}

void Cylonator::Clear() {
    for (ChannelSet* set : {&st_->right, &st_->left}) {
        set->counter = 0;
        std::memset(set->groups, 0, sizeof set->groups);
    }
}

// The excitation of one channel set for n samples, in sample order.
void Cylonator::Excite(ChannelSet& set, double* e, std::uint32_t n) {
    if (set.noise) {
        GaussianNoises(random_, n, 0.0f, 1.0f, e);
        for (std::uint32_t i = 0; i < n; ++i) e[i] = e[i] * set.a * kOneSixth;
        return;
    }
    for (std::uint32_t i = 0; i < n; ++i) {
        const double k = set.counter;
        set.counter = k + 1;
        double v = 0.0;
        if (k >= set.period) {
            v = set.a;
            set.counter = 0;
        }
        e[i] = v;
    }
}

void Cylonator::RunBands(ChannelSet& set, const double* x, const double* e, double* wet,
                         std::uint32_t n) {
    for (std::uint32_t i = 0; i < n; ++i) wet[i] = 0.0;
#ifdef TOVANA_CYLONATOR_AVX2
    if (UseAvx2()) {
        RunGroupsAvx2(st_->groups, st_->groupCount, st_->lowPass, set.groups, x, e, wet, n);
        return;
    }
#endif
    RunGroupsPortable(st_->groups, st_->groupCount, st_->lowPass, set.groups, x, e, wet, n);
}

void Cylonator::ProcessSpan(std::int16_t* samples, std::uint32_t count) {
    const double P = format_.P;
    const double scale = 1 / P;
    const double wetMix = mix_.wet;
    const double dryMix = mix_.dry;
    double* x = st_->x;
    double* e = st_->e;
    double* wet = st_->wet;
    auto mix = [&](std::int16_t& sample, double w) {
        sample = Store((w * P * wetMix + sample * dryMix) * 0.01);
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
    const std::uint32_t frames = count;
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

std::unique_ptr<StreamProcessor> CreateCylonator(const CylonatorSettings& settings, const MixLevels& mix,
                                                 const RunFormat& format, std::uint32_t seed,
                                                 MemorySource& memory) {
    auto processor = std::make_unique<Cylonator>(settings, mix, format, seed);
    if (!processor->Prepare(memory)) return nullptr;
    return processor;
}

}  // namespace dsp
