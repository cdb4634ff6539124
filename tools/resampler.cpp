#include "tools/resampler.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tovana {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kZeroCrossings = 16;  // of the sinc on each side, at the cutoff
constexpr double kPassband = 0.95;  // of the narrower Nyquist frequency
constexpr double kBeta = 8.0;       // Kaiser window: about 80 dB stop band
constexpr std::int64_t kMaxTabledPhases = 4096;

double BesselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 40 && term > 1e-12 * sum; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

// The taps for an output instant `fraction` of an input sample after input
// frame `base`; taps[j] weighs input frame base - half + 1 + j. They add up
// to 1, so silence and steady levels pass unchanged.
void ComputeTaps(double fraction, int half, double cutoff, double* taps) {
    const double window = BesselI0(kBeta);
    double sum = 0.0;
    for (int j = 0; j < 2 * half; ++j) {
        const double u = fraction + (half - 1 - j);  // output instant minus input frame
        const double v = u / half;
        const double w = std::fabs(v) >= 1.0 ? 0.0 : BesselI0(kBeta * std::sqrt(1.0 - v * v)) / window;
        const double x = cutoff * u;
        const double sinc = x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
        taps[j] = cutoff * sinc * w;
        sum += taps[j];
    }
    for (int j = 0; j < 2 * half; ++j) taps[j] /= sum;
}

}  // namespace

Resampler::Resampler(int channels, int fromRate, int toRate) : channels_(channels) {
    const std::int64_t common = std::gcd(fromRate, toRate);
    up_ = toRate / common;
    down_ = fromRate / common;
    cutoff_ = kPassband * std::min(1.0, static_cast<double>(up_) / static_cast<double>(down_));
    half_ = static_cast<int>(std::ceil(kZeroCrossings / cutoff_));
    if (up_ <= kMaxTabledPhases) {
        table_.resize(static_cast<std::size_t>(up_ * 2 * half_));
        for (std::int64_t phase = 0; phase < up_; ++phase) {
            ComputeTaps(static_cast<double>(phase) / static_cast<double>(up_), half_, cutoff_,
                        &table_[static_cast<std::size_t>(phase * 2 * half_)]);
        }
    } else {
        scratch_.resize(static_cast<std::size_t>(2 * half_));
    }
}

const double* Resampler::Taps(std::int64_t phase) {
    if (!table_.empty()) return &table_[static_cast<std::size_t>(phase * 2 * half_)];
    ComputeTaps(static_cast<double>(phase) / static_cast<double>(up_), half_, cutoff_, scratch_.data());
    return scratch_.data();
}

void Resampler::Push(const std::int16_t* samples, std::int64_t frames, std::vector<std::int16_t>* out) {
    history_.insert(history_.end(), samples, samples + frames * channels_);
    received_ += frames;
    // Output n reaches input frame floor(n * down / up) + half: it is
    // complete once that frame has come.
    const std::int64_t bound = received_ - half_;
    if (bound > 0) Produce((bound * up_ + down_ - 1) / down_, out);
}

void Resampler::Finish(std::vector<std::int16_t>* out) {
    Produce((received_ * up_ + down_ / 2) / down_, out);
    history_.clear();
}

void Resampler::Produce(std::int64_t until, std::vector<std::int16_t>* out) {
    for (; produced_ < until; ++produced_) {
        const std::int64_t position = produced_ * down_;
        const std::int64_t base = position / up_;
        const double* taps = Taps(position % up_);
        const std::int64_t from = base - half_ + 1;
        for (int c = 0; c < channels_; ++c) {
            double sum = 0.0;
            for (int j = 0; j < 2 * half_; ++j) {
                const std::int64_t frame = from + j;
                if (frame < historyStart_ || frame >= received_) continue;  // silence outside
                sum += taps[j] * history_[static_cast<std::size_t>((frame - historyStart_) * channels_ + c)];
            }
            const double rounded = std::nearbyint(sum);
            out->push_back(static_cast<std::int16_t>(std::clamp(rounded, -32768.0, 32767.0)));
        }
    }
    // Keep only the input the next outputs reach back to.
    const std::int64_t keepFrom = std::max<std::int64_t>(0, produced_ * down_ / up_ - half_ + 1);
    if (keepFrom > historyStart_ + 65536) {
        history_.erase(history_.begin(), history_.begin() + (keepFrom - historyStart_) * channels_);
        historyStart_ = keepFrom;
    }
}

}  // namespace tovana
