// The pitch shifter's analysis and synthesis eight bins at a time with
// AVX-512 (dsp/pitch_kernels_simd.h), for processors that run it at full
// width (dsp/cpu_features.h).
#include "dsp/pitch_kernels.h"

#if TOVANA_PITCH_AVX2
#define TOVANA_SIMD_TARGET TOVANA_AVX512
#define TOVANA_SIMD_WIDE 1
#include "dsp/pitch_kernels_simd.h"

namespace dsp::pitch::avx512 {

TOVANA_AVX512 void AnalyseUsedBins(const double* re, const double* im, const bool* used,
                                   const double* magnitude, double* phase, float* lastPhase,
                                   float* frequency, float* magnitudeOut, std::int32_t count,
                                   double expected, double binWidth, std::int32_t oversampling) {
    simd_kernels::AnalyseUsedBins<simd::Eight>(re, im, used, magnitude, phase, lastPhase, frequency,
                                           magnitudeOut, count, expected, binWidth, oversampling);
}

TOVANA_AVX512 void SynthesiseFirstStage(const float* magnitude, const double* phase,
                                        const std::int32_t* order, float* work, std::int32_t half) {
    simd_kernels::SynthesiseFirstStage<simd::Eight>(magnitude, phase, order, work, half);
}

}  // namespace dsp::pitch::avx512
#endif
