#include "dsp/pitch_shifter.h"

#include <cmath>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "dsp/cpu_features.h"
#include "dsp/fft.h"
#include "dsp/pitch_kernels.h"

namespace dsp {
namespace {

// What a frame size needs besides the state: its Hann window
// 0.5 - 0.5 cos(2 pi k / N) and its two transform plans. Built once per
// frame size and kept for the life of the library.
struct FrameTables {
    explicit FrameTables(std::int32_t n)
        : window(n), twiceWindow(n), forward(n, -1), inverse(n, +1) {
        for (std::int32_t k = 0; k < n; ++k) {
            window[k] = 0.5 - 0.5 * std::cos(pitch::kTwoPi * k / n);
            twiceWindow[k] = 2 * window[k];
        }
    }
    std::vector<double> window;
    std::vector<double> twiceWindow;
    FftPlan forward;
    FftPlan inverse;
};

// Frames 1 .. 4096. A slot is written once, under the lock, and read
// without it afterwards; the tables live as long as the library, whose
// unloading frees them (a host may load and unload it many times).
std::atomic<const FrameTables*> theTables[13];
std::unique_ptr<const FrameTables> theOwnedTables[13];
std::mutex theTablesLock;

const FrameTables& TablesFor(std::int32_t frame) {
    int log2 = 0;
    while ((1 << log2) < frame) ++log2;
    if (const FrameTables* ready = theTables[log2].load(std::memory_order_acquire)) return *ready;
    std::lock_guard<std::mutex> hold(theTablesLock);
    const FrameTables* tables = theTables[log2].load(std::memory_order_relaxed);
    if (tables == nullptr) {
        theOwnedTables[log2] = std::make_unique<const FrameTables>(frame);
        tables = theOwnedTables[log2].get();
        theTables[log2].store(tables, std::memory_order_release);
    }
    return *tables;
}

// The source of output bin j: trunc(j / factor), when it is at most
// `half`; the range check also keeps non-finite values away from the
// integer conversion.
inline bool SourceBin(std::int32_t j, double inverseFactor, std::int32_t half, std::int32_t& src) {
    const double source = j * inverseFactor;
    if (!(source > -1.0 && source < half + 1.0)) return false;
    src = static_cast<std::int32_t>(source);
    return true;
}

// The whole-loop kernels, with AVX2 where the processor has it, and the
// analysis and synthesis with AVX-512 where it runs that at full width.
struct Kernels {
    decltype(&pitch::WindowFirstStage) windowFirstStage;
    decltype(&pitch::SplitBins) splitBins;
    decltype(&pitch::MarkUsedBins) markUsedBins;
    decltype(&pitch::AnalyseUsedBins) analyseUsedBins;
    decltype(&pitch::MapBins) mapBins;
    decltype(&pitch::AdvancePhases) advancePhases;
    decltype(&pitch::SynthesiseFirstStage) synthesiseFirstStage;
    decltype(&pitch::OverlapAdd) overlapAdd;
};

Kernels ChooseKernels() {
#if TOVANA_PITCH_AVX2
    if (UseFullWidthAvx512()) {
        return {pitch::avx2::WindowFirstStage,    pitch::avx2::SplitBins,
                pitch::avx2::MarkUsedBins,        pitch::avx512::AnalyseUsedBins,
                pitch::avx2::MapBins,             pitch::avx2::AdvancePhases,
                pitch::avx512::SynthesiseFirstStage, pitch::avx2::OverlapAdd};
    }
    if (UseAvx2()) {
        return {pitch::avx2::WindowFirstStage,  pitch::avx2::SplitBins,
                pitch::avx2::MarkUsedBins,      pitch::avx2::AnalyseUsedBins,
                pitch::avx2::MapBins,           pitch::avx2::AdvancePhases,
                pitch::avx2::SynthesiseFirstStage, pitch::avx2::OverlapAdd};
    }
#endif
    return {pitch::WindowFirstStage, pitch::SplitBins,     pitch::MarkUsedBins,
            pitch::AnalyseUsedBins,  pitch::MapBins,       pitch::AdvancePhases,
            pitch::SynthesiseFirstStage, pitch::OverlapAdd};
}

bool ValidShape(std::int32_t frame, std::int32_t oversampling) {
    if (frame < 2 || frame > kMaxPitchFrame || (frame & (frame - 1)) != 0) return false;
    return oversampling >= 1 && oversampling <= frame && frame % oversampling == 0;
}

}  // namespace

void PitchShifter::PrepareFrame(std::int32_t frame) {
    if (ValidShape(frame, 1)) TablesFor(frame);
}

void PitchShifter::Clear() {
    Zero();
    initialised_ = true;
    position_ = 0;
}

void PitchShifter::Zero() {
    std::memset(inFifo_, 0, sizeof inFifo_);
    std::memset(outFifo_, 0, sizeof outFifo_);
    std::memset(work_, 0, sizeof work_);
    std::memset(lastPhase_, 0, sizeof lastPhase_);
    std::memset(phaseSum_, 0, sizeof phaseSum_);
    std::memset(accumulator_, 0, sizeof accumulator_);
    std::memset(analysisMagnitude_, 0, sizeof analysisMagnitude_);
    std::memset(analysisFrequency_, 0, sizeof analysisFrequency_);
    std::memset(synthesisMagnitude_, 0, sizeof synthesisMagnitude_);
    std::memset(synthesisFrequency_, 0, sizeof synthesisFrequency_);
    std::memset(previousRe_, 0, sizeof previousRe_);
    std::memset(previousIm_, 0, sizeof previousIm_);
    std::memset(pending_, 0, sizeof pending_);
}

void PitchShifter::Process(float factor, std::int32_t count, std::int32_t frame,
                           std::int32_t oversampling, float rate, const float* input,
                           float* output) {
    if (count <= 0) return;
    if (!ValidShape(frame, oversampling)) {
        for (std::int32_t i = 0; i < count; ++i) output[i] = 0.0f;
        return;
    }
    if (!initialised_) {
        Zero();
        initialised_ = true;
    }
    const std::int32_t step = frame / oversampling;
    const std::int32_t latency = frame - step;
    const double binWidth = static_cast<double>(rate) / frame;
    if (position_ < latency || position_ >= frame) position_ = latency;

    // Sample by sample the FIFOs only move data: take whole runs up to the
    // next hop at once. Each run's input is read before its output is
    // written, as it is sample by sample when input and output coincide.
    std::int32_t i = 0;
    while (i < count) {
        const std::int32_t room = frame - position_;
        const std::int32_t n = count - i < room ? count - i : room;
        std::memcpy(inFifo_ + position_, input + i, sizeof(float) * n);
        std::memcpy(output + i, outFifo_ + (position_ - latency), sizeof(float) * n);
        position_ += n;
        i += n;
        if (position_ == frame) {
            position_ = latency;
            ProcessFrame(factor, frame, oversampling, binWidth);
        }
    }
}

void PitchShifter::ProcessFrame(float factor, std::int32_t frame, std::int32_t oversampling,
                                double binWidth) {
    using namespace pitch;
    const FrameTables& tables = TablesFor(frame);
    const std::int32_t half = frame / 2;
    const std::int32_t bins = half + 1;
    const std::int32_t step = frame / oversampling;
    const std::int32_t latency = frame - step;
    const double expected = kTwoPi * step / frame;

    const Kernels kernels = ChooseKernels();
    kernels.windowFirstStage(inFifo_, tables.window.data(), tables.forward.order(), work_, frame);
    tables.forward.RunAfterFirstStage(work_);

    // Analysis: each bin's magnitude and its true frequency from the phase
    // advance since the last frame, the advance's deviation wrapped to
    // -pi .. pi by rounding d / pi to an even count. A frequency is read
    // only where the bin mapping below takes the bin as a source with a
    // positive magnitude; the other bins' phases wait (pending_) until a
    // frame uses them, since atan2 is a pure function of the kept values.
    // A used bin calls the C library's atan2 only where no enclosure of its
    // result decides what the analysis keeps (dsp/pitch_kernels_simd.h).
    kernels.splitBins(work_, re_, im_, magnitude_, bins);
    // Each output bin's source, worked out again only for a new factor or
    // frame (the factor compared bit for bit).
    if (std::memcmp(&factor, &sourcesFactor_, sizeof factor) != 0 || sourcesHalf_ != half) {
        const double inverseFactor = 1.0 / static_cast<double>(factor);
        for (std::int32_t k = 0; k < bins; ++k) isSource_[k] = false;
        for (std::int32_t j = 0; j <= half; ++j) {
            if (SourceBin(j, inverseFactor, half, sources_[j])) {
                isSource_[sources_[j]] = true;
            } else {
                sources_[j] = -1;
            }
        }
        sourcesFactor_ = factor;
        sourcesHalf_ = half;
    }
    // Which bins are used; the phases that waited for a frame that uses them.
    kernels.markUsedBins(isSource_, re_, im_, magnitude_, used_, pending_, previousRe_, previousIm_,
                         lastPhase_, bins);
    kernels.analyseUsedBins(re_, im_, used_, magnitude_, phase_, lastPhase_, analysisFrequency_,
                            analysisMagnitude_, bins, expected, binWidth, oversampling);

    // Each output bin pulls from the source bin trunc(j / factor); a bin
    // with a source but left without frequency inherits its lower
    // neighbour. Bins beyond `half` are never read.
    kernels.mapBins(sources_, factor, analysisMagnitude_, analysisFrequency_, synthesisMagnitude_,
                    synthesisFrequency_, bins);

    // Synthesis: advance each bin's running phase by its frequency's share
    // of a hop; the sum is kept as a float and used as kept.
    kernels.advancePhases(synthesisFrequency_, phaseSum_, phase_, bins, expected, binWidth,
                          oversampling);
    // Each bin's (m cos, m sin), from the C library's cos and sin where no
    // enclosure of theirs decides the floats, through the inverse
    // transform's first stage (the bins above `half` are 0).
    kernels.synthesiseFirstStage(synthesisMagnitude_, phase_, tables.inverse.order(), work_, half);
    tables.inverse.RunAfterFirstStage(work_);

    // The synthesis window, scaled by 2 / ((N/2) O); that divisor is a power
    // of two, so its reciprocal is exact.
    kernels.overlapAdd(work_, tables.twiceWindow.data(),
                       1.0 / (static_cast<double>(half) * oversampling), accumulator_, frame);
    std::memcpy(outFifo_, accumulator_, sizeof(float) * step);
    std::memmove(accumulator_, accumulator_ + step, sizeof(float) * frame);
    std::memmove(inFifo_, inFifo_ + step, sizeof(float) * latency);
}

}  // namespace dsp
