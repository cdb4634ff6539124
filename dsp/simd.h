// Four doubles (AVX2) or eight (AVX-512) as one value, with the operations
// the enclosures and the pitch shifter's kernels use, so that those are
// written once for both widths. Each function is the one instruction of its
// width (or a fixed short sequence of them): the same IEEE operation on
// every lane.
//
// The includer defines TOVANA_SIMD_TARGET, the target attribute its kernels
// are compiled for (TOVANA_AVX2_FMA or TOVANA_AVX512), before including
// this. Everything here has internal linkage, so that no function compiled
// for AVX-512 in one file can stand in for its AVX2 twin in another.
#pragma once

#ifndef TOVANA_SIMD_TARGET
#error "define TOVANA_SIMD_TARGET before including dsp/simd.h"
#endif

#include <immintrin.h>

#include <cstdint>
#include <cstring>

#define TOVANA_AVX2_FMA __attribute__((target("avx2,fma")))
#define TOVANA_AVX512 __attribute__((target("avx512f,avx2,fma")))

// GCC 12 builds several AVX-512 intrinsics on _mm512_undefined_pd() and
// then warns that the value may be used uninitialised (fixed in GCC 13).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace dsp::simd {
namespace {

#define SIMD TOVANA_SIMD_TARGET inline

// The two widths: their doubles, lane mask, and lanes as floats and as
// 32-bit integers. Kernels are templates on these (not on the vector types,
// whose attributes a template argument would lose).
struct Four {
    using Doubles = __m256d;
    using Mask = __m256d;  // all bits set in a true lane
    using Floats = __m128;
    using Ints = __m128i;
    static constexpr int kLanes = 4;
};

template <class W>
using Doubles = typename W::Doubles;

// ---- four lanes ---------------------------------------------------------
// A function that takes no vector of its width (Splat, Load, Indices, ...)
// takes one first, only to choose the width: Splat(V{}, x).

SIMD __m256d Splat(__m256d, double x) { return _mm256_set1_pd(x); }
SIMD __m256d Load(__m256d, const double* p) { return _mm256_loadu_pd(p); }
SIMD __m256d Load(__m256d, const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }
SIMD void Store(double* p, __m256d v) { _mm256_storeu_pd(p, v); }
SIMD __m128 ToFloats(__m256d v) { return _mm256_cvtpd_ps(v); }
SIMD void Store(float* p, __m128 v) { _mm_storeu_ps(p, v); }
SIMD __m256d Indices(__m256d, std::int32_t k) {  // k, k + 1, ... as doubles
    return _mm256_set_pd(k + 3.0, k + 2.0, k + 1.0, k);
}

SIMD __m256d Add(__m256d a, __m256d b) { return _mm256_add_pd(a, b); }
SIMD __m256d Sub(__m256d a, __m256d b) { return _mm256_sub_pd(a, b); }
SIMD __m256d Mul(__m256d a, __m256d b) { return _mm256_mul_pd(a, b); }
SIMD __m256d Div(__m256d a, __m256d b) { return _mm256_div_pd(a, b); }
SIMD __m256d MulAdd(__m256d a, __m256d b, __m256d c) { return _mm256_fmadd_pd(a, b, c); }      // a b + c
SIMD __m256d NegMulAdd(__m256d a, __m256d b, __m256d c) { return _mm256_fnmadd_pd(a, b, c); }  // c - a b
SIMD __m256d Min(__m256d a, __m256d b) { return _mm256_min_pd(a, b); }
SIMD __m256d Max(__m256d a, __m256d b) { return _mm256_max_pd(a, b); }
SIMD __m256d Nearest(__m256d a) { return _mm256_round_pd(a, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC); }
SIMD __m256d Floor(__m256d a) { return _mm256_floor_pd(a); }
SIMD __m256d Abs(__m256d v) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v); }
SIMD __m256d SignOf(__m256d v) { return _mm256_and_pd(v, _mm256_set1_pd(-0.0)); }
SIMD __m256d OrBits(__m256d a, __m256d b) { return _mm256_or_pd(a, b); }
SIMD __m256d XorBits(__m256d a, __m256d b) { return _mm256_xor_pd(a, b); }

template <int kPredicate>
SIMD __m256d Compare(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, kPredicate); }
SIMD __m256d And(__m256d a, __m256d b) { return _mm256_and_pd(a, b); }
SIMD __m256d Or(__m256d a, __m256d b) { return _mm256_or_pd(a, b); }
SIMD __m256d AndNot(__m256d a, __m256d b) { return _mm256_andnot_pd(a, b); }  // b, not a
SIMD __m256d AllLanes(__m256d) { return _mm256_castsi256_pd(_mm256_set1_epi64x(-1)); }
SIMD int Bits(__m256d mask) { return _mm256_movemask_pd(mask); }
SIMD __m256d Select(__m256d mask, __m256d yes, __m256d no) { return _mm256_blendv_pd(no, yes, mask); }
SIMD __m256d ZeroWhere(__m256d mask, __m256d v) { return _mm256_andnot_pd(mask, v); }
// Lanes whose flag (a bool, 0 or 1) is false.
SIMD __m256d Unset(__m256d, const bool* flags) {
    std::int32_t bytes;
    std::memcpy(&bytes, flags, sizeof bytes);
    const __m128i each = _mm_cvtepu8_epi32(_mm_cvtsi32_si128(bytes));
    return _mm256_castsi256_pd(_mm256_cvtepi32_epi64(_mm_cmpeq_epi32(each, _mm_setzero_si128())));
}

SIMD __m128i Truncate(__m256d v) { return _mm256_cvttpd_epi32(v); }
SIMD __m256d ToDoubles(__m256d, __m128i v) { return _mm256_cvtepi32_pd(v); }
SIMD __m256d Gather(__m256d, const double* table, __m128i index) {
    return _mm256_i32gather_pd(table, index, 8);
}

SIMD __m128i Splat(__m128i, std::int32_t x) { return _mm_set1_epi32(x); }
SIMD __m128i Add(__m128i a, __m128i b) { return _mm_add_epi32(a, b); }
SIMD __m128i Sub(__m128i a, __m128i b) { return _mm_sub_epi32(a, b); }
SIMD __m128i AndBits(__m128i a, __m128i b) { return _mm_and_si128(a, b); }
SIMD __m128i XorBits(__m128i a, __m128i b) { return _mm_xor_si128(a, b); }
SIMD __m128i SignFill(__m128i a) { return _mm_srai_epi32(a, 31); }
SIMD int SameBits(__m128i a, __m128i b) { return _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(a, b))); }

SIMD __m128 Splat(__m128, float x) { return _mm_set1_ps(x); }
SIMD __m128 Mul(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }
SIMD __m128 Min(__m128 a, __m128 b) { return _mm_min_ps(a, b); }
SIMD __m128 Max(__m128 a, __m128 b) { return _mm_max_ps(a, b); }
SIMD __m128 Reciprocal(__m128 a) { return _mm_rcp_ps(a); }  // roughly
SIMD __m128 Nearest(__m128 a) { return _mm_round_ps(a, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC); }
SIMD __m128i ToInts(__m128 a) { return _mm_cvtps_epi32(a); }
SIMD __m128 KeepWhere(int lanes, __m128 v) {
    const __m128i bits = _mm_set_epi32(8, 4, 2, 1);
    return _mm_and_ps(v, _mm_castsi128_ps(_mm_cmpeq_epi32(_mm_and_si128(_mm_set1_epi32(lanes), bits), bits)));
}
// Lanes whose two floats have the same bits and are numbers.
SIMD int SameFloats(__m128 a, __m128 b) {
    const __m128 same = _mm_and_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(_mm_castps_si128(a), _mm_castps_si128(b))),
                                   _mm_cmpord_ps(a, b));
    return _mm_movemask_ps(same);
}
SIMD int Positive(__m128 a) { return _mm_movemask_ps(_mm_cmpgt_ps(a, _mm_setzero_ps())); }
SIMD __m128 LoadFloats(__m128, const float* p) { return _mm_loadu_ps(p); }
// Lane i's butterfly of a and b (b already times the twiddle) to place
// order[i] of work: a + b there and a - b after it, as
// pitch::PlaceButterfly has it.
SIMD void StoreButterfliesInOrder(__m128 aRe, __m128 aIm, __m128 bRe, __m128 bIm,
                                  const std::int32_t* order, float* work) {
    const __m128 sumRe = _mm_add_ps(aRe, bRe), sumIm = _mm_add_ps(aIm, bIm);
    const __m128 differenceRe = _mm_sub_ps(aRe, bRe), differenceIm = _mm_sub_ps(aIm, bIm);
    const __m128 sums = _mm_unpacklo_ps(sumRe, sumIm), differences = _mm_unpacklo_ps(differenceRe, differenceIm);
    _mm_storeu_ps(work + 2 * order[0], _mm_movelh_ps(sums, differences));
    _mm_storeu_ps(work + 2 * order[1], _mm_movehl_ps(differences, sums));
    const __m128 moreSums = _mm_unpackhi_ps(sumRe, sumIm);
    const __m128 moreDifferences = _mm_unpackhi_ps(differenceRe, differenceIm);
    _mm_storeu_ps(work + 2 * order[2], _mm_movelh_ps(moreSums, moreDifferences));
    _mm_storeu_ps(work + 2 * order[3], _mm_movehl_ps(moreDifferences, moreSums));
}

#ifdef TOVANA_SIMD_WIDE
// ---- eight lanes (only where TOVANA_SIMD_TARGET has AVX-512F) -----------

struct Eight {
    using Doubles = __m512d;
    using Mask = __mmask8;
    using Floats = __m256;
    using Ints = __m256i;
    static constexpr int kLanes = 8;
};

SIMD __m512d Splat(__m512d, double x) { return _mm512_set1_pd(x); }
SIMD __m512d Load(__m512d, const double* p) { return _mm512_loadu_pd(p); }
SIMD __m512d Load(__m512d, const float* p) { return _mm512_cvtps_pd(_mm256_loadu_ps(p)); }
SIMD void Store(double* p, __m512d v) { _mm512_storeu_pd(p, v); }
SIMD __m256 ToFloats(__m512d v) { return _mm512_cvtpd_ps(v); }
SIMD void Store(float* p, __m256 v) { _mm256_storeu_ps(p, v); }
SIMD __m512d Indices(__m512d, std::int32_t k) {
    return _mm512_add_pd(_mm512_set1_pd(k), _mm512_set_pd(7, 6, 5, 4, 3, 2, 1, 0));
}

SIMD __m512d Add(__m512d a, __m512d b) { return _mm512_add_pd(a, b); }
SIMD __m512d Sub(__m512d a, __m512d b) { return _mm512_sub_pd(a, b); }
SIMD __m512d Mul(__m512d a, __m512d b) { return _mm512_mul_pd(a, b); }
SIMD __m512d Div(__m512d a, __m512d b) { return _mm512_div_pd(a, b); }
SIMD __m512d MulAdd(__m512d a, __m512d b, __m512d c) { return _mm512_fmadd_pd(a, b, c); }
SIMD __m512d NegMulAdd(__m512d a, __m512d b, __m512d c) { return _mm512_fnmadd_pd(a, b, c); }
SIMD __m512d Min(__m512d a, __m512d b) { return _mm512_min_pd(a, b); }
SIMD __m512d Max(__m512d a, __m512d b) { return _mm512_max_pd(a, b); }
SIMD __m512d Nearest(__m512d a) {
    return _mm512_roundscale_pd(a, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}
SIMD __m512d Floor(__m512d a) { return _mm512_roundscale_pd(a, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC); }
SIMD __m512d Bitwise(__m512i v) { return _mm512_castsi512_pd(v); }
SIMD __m512i Bitwise(__m512d v) { return _mm512_castpd_si512(v); }
SIMD __m512d Abs(__m512d v) { return Bitwise(_mm512_andnot_si512(Bitwise(_mm512_set1_pd(-0.0)), Bitwise(v))); }
SIMD __m512d SignOf(__m512d v) { return Bitwise(_mm512_and_si512(Bitwise(v), Bitwise(_mm512_set1_pd(-0.0)))); }
SIMD __m512d OrBits(__m512d a, __m512d b) { return Bitwise(_mm512_or_si512(Bitwise(a), Bitwise(b))); }
SIMD __m512d XorBits(__m512d a, __m512d b) { return Bitwise(_mm512_xor_si512(Bitwise(a), Bitwise(b))); }

template <int kPredicate>
SIMD __mmask8 Compare(__m512d a, __m512d b) { return _mm512_cmp_pd_mask(a, b, kPredicate); }
SIMD __mmask8 And(__mmask8 a, __mmask8 b) { return a & b; }
SIMD __mmask8 Or(__mmask8 a, __mmask8 b) { return a | b; }
SIMD __mmask8 AndNot(__mmask8 a, __mmask8 b) { return static_cast<__mmask8>(~a & b); }
SIMD __mmask8 AllLanes(__m512d) { return 0xFF; }
SIMD int Bits(__mmask8 mask) { return mask; }
SIMD __m512d Select(__mmask8 mask, __m512d yes, __m512d no) { return _mm512_mask_blend_pd(mask, no, yes); }
SIMD __m512d ZeroWhere(__mmask8 mask, __m512d v) { return _mm512_maskz_mov_pd(static_cast<__mmask8>(~mask), v); }
SIMD __mmask8 Unset(__m512d, const bool* flags) {
    const __m512i each = _mm512_cvtepu8_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(flags)));
    return _mm512_cmpeq_epi64_mask(each, _mm512_setzero_si512());
}

SIMD __m256i Truncate(__m512d v) { return _mm512_cvttpd_epi32(v); }
SIMD __m512d ToDoubles(__m512d, __m256i v) { return _mm512_cvtepi32_pd(v); }
SIMD __m512d Gather(__m512d, const double* table, __m256i index) {
    return _mm512_i32gather_pd(index, table, 8);
}

SIMD __m256i Splat(__m256i, std::int32_t x) { return _mm256_set1_epi32(x); }
SIMD __m256i Add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
SIMD __m256i Sub(__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); }
SIMD __m256i AndBits(__m256i a, __m256i b) { return _mm256_and_si256(a, b); }
SIMD __m256i XorBits(__m256i a, __m256i b) { return _mm256_xor_si256(a, b); }
SIMD __m256i SignFill(__m256i a) { return _mm256_srai_epi32(a, 31); }
SIMD int SameBits(__m256i a, __m256i b) {
    return _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(a, b)));
}

SIMD __m256 Splat(__m256, float x) { return _mm256_set1_ps(x); }
SIMD __m256 Mul(__m256 a, __m256 b) { return _mm256_mul_ps(a, b); }
SIMD __m256 Min(__m256 a, __m256 b) { return _mm256_min_ps(a, b); }
SIMD __m256 Max(__m256 a, __m256 b) { return _mm256_max_ps(a, b); }
SIMD __m256 Reciprocal(__m256 a) { return _mm256_rcp_ps(a); }
SIMD __m256 Nearest(__m256 a) { return _mm256_round_ps(a, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC); }
SIMD __m256i ToInts(__m256 a) { return _mm256_cvtps_epi32(a); }
SIMD __m256 KeepWhere(int lanes, __m256 v) {
    const __m256i bits = _mm256_set_epi32(128, 64, 32, 16, 8, 4, 2, 1);
    return _mm256_and_ps(
        v, _mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(lanes), bits), bits)));
}
SIMD int SameFloats(__m256 a, __m256 b) {
    const __m256 same = _mm256_and_ps(
        _mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_castps_si256(a), _mm256_castps_si256(b))),
        _mm256_cmp_ps(a, b, _CMP_ORD_Q));
    return _mm256_movemask_ps(same);
}
SIMD int Positive(__m256 a) { return _mm256_movemask_ps(_mm256_cmp_ps(a, _mm256_setzero_ps(), _CMP_GT_OQ)); }
SIMD __m256 LoadFloats(__m256, const float* p) { return _mm256_loadu_ps(p); }
SIMD void StoreButterfliesInOrder(__m256 aRe, __m256 aIm, __m256 bRe, __m256 bIm,
                                  const std::int32_t* order, float* work) {
    StoreButterfliesInOrder(_mm256_castps256_ps128(aRe), _mm256_castps256_ps128(aIm),
                            _mm256_castps256_ps128(bRe), _mm256_castps256_ps128(bIm), order, work);
    StoreButterfliesInOrder(_mm256_extractf128_ps(aRe, 1), _mm256_extractf128_ps(aIm, 1),
                            _mm256_extractf128_ps(bRe, 1), _mm256_extractf128_ps(bIm, 1), order + 4, work);
}
#endif

#undef SIMD

}  // namespace
}  // namespace dsp::simd

#pragma GCC diagnostic pop
