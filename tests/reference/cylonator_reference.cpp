#include <algorithm>
#include <cmath>
#include <vector>

#include "reference_common.h"
#include "reference_effects.h"

namespace plainref {
namespace {

struct Cx {
    double re, im;
};
Cx Mul(Cx a, Cx b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
Cx Div(Cx a, Cx b) {
    const double den = b.re * b.re + b.im * b.im;
    return {(a.re * b.re + a.im * b.im) / den, (a.im * b.re - a.re * b.im) / den};
}
Cx Add(Cx a, Cx b) { return {a.re + b.re, a.im + b.im}; }
Cx Sub(Cx a, Cx b) { return {a.re - b.re, a.im - b.im}; }
double Abs(Cx a) { return std::sqrt(a.re * a.re + a.im * a.im); }
Cx Sqrt(Cx z) {
    const double r = Abs(z);
    const double a = (r + z.re) / 2.0, b = (r - z.re) / 2.0;
    Cx out{a < 0.0 ? 0.0 : std::sqrt(a), b < 0.0 ? 0.0 : std::sqrt(b)};
    if (z.im < 0.0) out.im = -out.im;
    return out;
}

// Butterworth poles in the z-plane, in the designer's order.
std::vector<Cx> ZPoles(bool bandPass, int order, double alpha1, double alpha2) {
    std::vector<Cx> s;
    for (int i = 0; i < 2 * order; ++i) {
        const double theta = ((order % 2 == 1) ? i : i + 0.5) * kPi / order;
        const Cx c{std::cos(theta), std::sin(theta)};
        if (c.re >= 0.0) continue;
        s.push_back(c);
    }
    const double w1 = kTwoPi * (std::tan(kPi * alpha1) / kPi);
    const double w2 = kTwoPi * (std::tan(kPi * alpha2) / kPi);
    if (!bandPass) {
        for (auto& p : s) p = {p.re * w1, p.im * w1};
    } else {
        const double w0 = std::sqrt(w1 * w2), bw = w2 - w1;
        const std::size_t n = s.size();
        std::vector<Cx> out(2 * n);
        for (std::size_t i = 0; i < n; ++i) {
            const Cx hba{0.5 * (s[i].re * bw), 0.5 * (s[i].im * bw)};
            const Cx q = Div({w0, 0.0}, hba);
            const Cx t = Sqrt(Sub({1.0, 0.0}, Mul(q, q)));
            out[i] = Mul(hba, Add({1.0, 0.0}, t));
            out[n + i] = Mul(hba, Sub({1.0, 0.0}, t));
        }
        s = out;
    }
    for (auto& p : s) p = Div(Add({2.0, 0.0}, p), Sub({2.0, 0.0}, p));
    return s;
}

std::vector<Cx> Expand(const std::vector<Cx>& roots) {
    std::vector<Cx> c{{1.0, 0.0}};
    for (const Cx& w : roots) {
        c.push_back({0.0, 0.0});
        for (std::size_t k = c.size() - 1; k >= 1; --k) c[k] = Sub(c[k - 1], Mul(w, c[k]));
        const Cx p = Mul(w, c[0]);
        c[0] = {-p.re, -p.im};
    }
    return c;
}

Cx Horner(const std::vector<Cx>& c, Cx z) {
    Cx acc = c.back();
    for (std::size_t k = c.size() - 1; k-- > 0;) acc = Add(Mul(acc, z), c[k]);
    return acc;
}

// Direct form: histories newest first.
struct Iir {
    std::vector<double> a, b, out, in;
    Iir() = default;
    Iir(std::vector<double> a_, std::vector<double> b_)
        : a(std::move(a_)), b(std::move(b_)), out(a.size(), 0.0), in(b.size(), 0.0) {}
    double operator()(double x) {
        for (std::size_t k = in.size() - 1; k >= 1; --k) in[k] = in[k - 1];
        in[0] = x;
        double f = 0.0;
        for (std::size_t k = 0; k < in.size(); ++k) f += in[k] * b[k];
        double g = 0.0;
        for (std::size_t k = 0; k < out.size(); ++k) g += out[k] * a[k];
        const double y = f + g;
        for (std::size_t k = out.size() - 1; k >= 1; --k) out[k] = out[k - 1];
        out[0] = y;
        return y;
    }
};

// A band filter: one section or a cascade.
struct Band {
    std::vector<Iir> stages;
    double operator()(double x) {
        for (auto& s : stages) x = s(x);
        return x;
    }
};

const double kCentres[18] = {108,  137,  172,  217,  273,  344,  434,  547,  689,
                             868,  1093, 1378, 1736, 2187, 2756, 3472, 4375, 5512};

struct Set {
    std::vector<Band> modulator, excitation;
    std::vector<Iir> envelope;
    std::vector<double> env;
    double counter = 0.0, period = 0.0;
    float a = 0.0f;
    bool noise = false;
};

}  // namespace

Samples Cylonator(const Samples& in, int channels, int rate, const CylonatorSettings& s,
                  const WorkingMix& mix, std::uint32_t seed) {
    Lcg rng(seed);
    const bool stereo = channels != 1;
    const float freq = static_cast<float>(s.freq);
    const float r = static_cast<float>(rate);
    const double rD = r;
    const int D = r <= 8000.0f ? 15 : r < 9200.0f ? 16 : r < 12500.0f ? 17 : 18;
    const int E = r > 26000.0f ? 10 : 8;

    // Envelope low-pass.
    const double lpAlpha = static_cast<double>(freq) / rD;
    const std::vector<Cx> lpPoles = ZPoles(false, 4, lpAlpha, lpAlpha);
    const std::vector<Cx> lpZeros(4, Cx{-1.0, 0.0});
    const std::vector<Cx> num = Expand(lpZeros), den = Expand(lpPoles);
    const double theta = kPi * (lpAlpha + lpAlpha);
    const Cx zc{std::cos(theta), std::sin(theta)};
    const double lpGain = Abs(Div(Horner(num, zc), Horner(den, zc)));
    std::vector<double> lpA(4), lpB(5);
    for (int k = 0; k < 4; ++k) lpA[k] = -den[4 - 1 - k].re / den[4].re;
    for (int k = 0; k < 5; ++k) lpB[k] = num[5 - 1 - k].re / den[4].re / lpGain;

    const double c3 = std::pow(2.0, 1.0 / 3.0);
    std::vector<Band> bands(D);
    std::vector<bool> used(D, true);
    for (int i = 0; i < D; ++i) {
        const double f = kCentres[i];
        if (i < E) {
            const double R = 1.0 - (c3 * f - f) * kPi / rD;
            const double th = kTwoPi * f / rD;
            const double b0 = (1.0 - R) * std::sqrt(1.0 + R * R - 2.0 * R * std::cos(2.0 * th));
            bands[i].stages.push_back(Iir({2.0 * R * std::cos(th), -(R * R)}, {b0}));
            continue;
        }
        const double h = (c3 * f - f) * 0.5;
        const double a1 = (f - h) / rD, a2 = (f + h) / rD;
        const std::vector<Cx> poles = ZPoles(true, 6, a1, a2);
        const double t = kPi * (a1 + a2);
        const Cx zi1{std::cos(t), -std::sin(t)};
        const Cx zi2 = Mul(zi1, zi1);
        Cx G{1.0, 0.0};
        int sections = 0;
        bool finite = true;
        for (const Cx& p : poles) {
            if (!(p.im > 0.0)) continue;
            if (!std::isfinite(p.re) || !std::isfinite(p.im)) finite = false;
            const double mag2 = p.re * p.re + p.im * p.im;
            const Cx numS = Sub({1.0, 0.0}, zi2);
            const Cx denS{1.0 - 2.0 * p.re * zi1.re + mag2 * zi2.re, -(2.0 * p.re * zi1.im) + mag2 * zi2.im};
            G = sections == 0 ? Div(numS, denS) : Mul(G, Div(numS, denS));
            bands[i].stages.push_back(Iir({2.0 * p.re, -mag2}, {1.0, 0.0, -1.0}));
            ++sections;
        }
        const double g = Abs(G);
        if (!finite || sections != 6 || !std::isfinite(g) || g == 0.0) {
            used[i] = false;
            bands[i].stages.clear();
            continue;
        }
        for (double& v : bands[i].stages[0].b) v = v / g;
    }

    auto makeSet = [&](double pitch, double amplitude, double noiseFlag) {
        Set set;
        for (int i = 0; i < D; ++i) {
            set.modulator.push_back(bands[i]);
            set.excitation.push_back(bands[i]);
            set.envelope.emplace_back(lpA, lpB);
        }
        set.env.assign(D, 0.0);
        const float p = static_cast<float>(pitch * 0.1);
        set.a = static_cast<float>(amplitude * 0.5);
        set.noise = std::trunc(noiseFlag) != 0.0;
        set.period = std::floor(rD / (static_cast<double>(p) * static_cast<double>(freq)));
        return set;
    };
    Set right = makeSet(s.pitchRight, s.amplitudeRight, s.noiseRightEnabled);
    Set left = makeSet(s.pitchLeft, s.amplitudeLeft, s.noiseLeftEnabled);

    auto stepOne = [&](std::int16_t& sample, Set& set) {
        const double x = static_cast<double>(sample) * (1.0 / kP);
        for (int i = 0; i < D; ++i) {
            if (!used[i]) continue;
            const double m = set.modulator[i](x);
            set.env[i] = set.envelope[i](std::fabs(m));
        }
        double e = 0.0;
        if (set.noise) {
            e = Gauss(rng, 0.0f, 1.0f) * static_cast<double>(set.a) * 0.1666666716337204;
        } else {
            const double k = set.counter;
            set.counter = k + 1.0;
            if (k >= set.period) {
                e = set.a;
                set.counter = 0.0;
            }
        }
        double wet = 0.0;
        for (int i = 0; i < D; ++i) {
            if (!used[i]) continue;
            wet += set.excitation[i](e) * set.env[i];
        }
        sample = Store16((wet * kP * mix.wetMix + static_cast<double>(sample) * mix.dryMix) * 0.01);
    };

    Samples out = in;
    if (!stereo) {
        for (auto& v : out) stepOne(v, right);
    } else {
        for (std::size_t i = 0; i + 1 < out.size(); i += 2) {
            stepOne(out[i], left);
            stepOne(out[i + 1], right);
        }
    }
    return out;
}

}  // namespace plainref
