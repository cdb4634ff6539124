// Phase-vocoder pitch shifter working in fixed single-precision arrays.
//
// Input enters a FIFO one sample at a time; every `frame / oversampling`
// samples (one hop) the newest `frame` samples are windowed, transformed,
// each bin's true frequency is estimated from its phase advance, the bins
// are moved to `factor` times their frequency, resynthesised with running
// phases, transformed back and overlap-added. Each hop's output comes from
// the oldest part of the frame, so the output lags the input by `frame`
// samples.
//
// The state of an instance is one continuous stream: it is zeroed on the
// first call (or by Clear) and carried on from call to call afterwards.
// The arrays hold floats; the window, the phase arithmetic and the per-bin
// formulas are evaluated in double and rounded when written.
#pragma once

#include <cstdint>

namespace dsp {

constexpr std::int32_t kMaxPitchFrame = 4096;

class PitchShifter {
public:
    // Consumes `count` input samples and yields `count` output samples.
    // `input` and `output` may be the same array (but may not overlap
    // otherwise). `frame` is a power of two from 2 to 4096, `oversampling`
    // divides it; an instance keeps the same frame and oversampling for its
    // life. Parameters outside that range give silence and leave the state
    // alone.
    void Process(float factor, std::int32_t count, std::int32_t frame, std::int32_t oversampling,
                 float rate, const float* input, float* output);

    // Back to the state before the first call (tests only).
    void Forget() { initialised_ = false; position_ = 0; }

    // The state of the first call, set now: every array zeroed, so that the
    // next call does not have to (and touches memory already in use).
    void Clear();

    // Builds what calls with this frame size share (its window and
    // transform plans), so that no call has to. It may allocate; calls with
    // a frame prepared before allocate nothing. Safe from any thread.
    static void PrepareFrame(std::int32_t frame);

private:
    void Zero();
    void ProcessFrame(float factor, std::int32_t frame, std::int32_t oversampling, double binWidth);

    float inFifo_[2 * kMaxPitchFrame];
    float outFifo_[2 * kMaxPitchFrame];
    float work_[4 * kMaxPitchFrame];  // complex values, (real, imaginary) pairs
    float lastPhase_[kMaxPitchFrame];
    float phaseSum_[kMaxPitchFrame];
    float accumulator_[4 * kMaxPitchFrame];
    float analysisMagnitude_[2 * kMaxPitchFrame];
    float analysisFrequency_[2 * kMaxPitchFrame];
    float synthesisMagnitude_[2 * kMaxPitchFrame];
    float synthesisFrequency_[2 * kMaxPitchFrame];
    // A bin's phase is worked out only in the frames that use its frequency.
    // Until then its last phase is that of the frame's values kept here
    // (pending set), taken when the bin is next used. A used bin's are the
    // last frame's, read by nobody.
    float previousRe_[kMaxPitchFrame / 2 + 1];
    float previousIm_[kMaxPitchFrame / 2 + 1];
    bool pending_[kMaxPitchFrame / 2 + 1];
    // Scratch of one frame's bins, not state.
    double re_[kMaxPitchFrame / 2 + 1];
    double im_[kMaxPitchFrame / 2 + 1];
    double magnitude_[kMaxPitchFrame / 2 + 1];
    double phase_[kMaxPitchFrame / 2 + 1];
    bool used_[kMaxPitchFrame / 2 + 1];
    // Output bin j's source bin, -1 for none, for the factor and frame below.
    std::int32_t sources_[kMaxPitchFrame / 2 + 1];
    bool isSource_[kMaxPitchFrame / 2 + 1];  // some output bin's source
    float sourcesFactor_ = 0.0f;
    std::int32_t sourcesHalf_ = 0;  // 0: not worked out yet
    bool initialised_ = false;
    std::int32_t position_ = 0;  // 0: not set yet
};

}  // namespace dsp
