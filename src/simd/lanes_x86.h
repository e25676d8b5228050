// Thin lane types over the x86 vector registers for the packet kernels: 4 lanes (SSE4.1), 8 (AVX2)
// and 16 (AVX-512), each available only in a translation unit built for its level. Every operation
// is the IEEE single-precision operation of the scalar code (no fused multiply-add), so a lane
// computes bit for bit what the scalar code computes for the same ray.
//
// Masks: compare results. select(m, a, b) takes b where m is set, a elsewhere.
//
// The types have internal linkage: each translation unit that includes this is built for another
// level, and no copy of these functions may be shared with a unit built for a narrower one.
#pragma once

#include <immintrin.h>

#include <cstdint>

namespace lumo::lanes {
namespace {

#if defined(__SSE4_1__)
struct F4 {
    __m128 v;
    using M = __m128;
    static constexpr int kLanes = 4;
    static F4 set1(float f) { return {_mm_set1_ps(f)}; }
    static F4 load(const float* p) { return {_mm_loadu_ps(p)}; }
    void store(float* p) const { _mm_storeu_ps(p, v); }
    friend F4 operator+(F4 a, F4 b) { return {_mm_add_ps(a.v, b.v)}; }
    friend F4 operator-(F4 a, F4 b) { return {_mm_sub_ps(a.v, b.v)}; }
    friend F4 operator*(F4 a, F4 b) { return {_mm_mul_ps(a.v, b.v)}; }
    friend F4 operator/(F4 a, F4 b) { return {_mm_div_ps(a.v, b.v)}; }
    friend F4 operator-(F4 a) { return {_mm_xor_ps(a.v, _mm_set1_ps(-0.0f))}; }
    static F4 sqrt(F4 a) { return {_mm_sqrt_ps(a.v)}; }
    static M lt(F4 a, F4 b) { return _mm_cmplt_ps(a.v, b.v); }
    static M le(F4 a, F4 b) { return _mm_cmple_ps(a.v, b.v); }
    static M gt(F4 a, F4 b) { return _mm_cmpgt_ps(a.v, b.v); }
    static M ge(F4 a, F4 b) { return _mm_cmpge_ps(a.v, b.v); }
    static M eq(F4 a, F4 b) { return _mm_cmpeq_ps(a.v, b.v); }
    static M none() { return _mm_setzero_ps(); }
    static M all() { return _mm_castsi128_ps(_mm_set1_epi32(-1)); }
    static M mand(M a, M b) { return _mm_and_ps(a, b); }
    static M mor(M a, M b) { return _mm_or_ps(a, b); }
    static M mandnot(M a, M b) { return _mm_andnot_ps(a, b); }  // b and not a
    static M mnot(M a) { return _mm_xor_ps(a, all()); }
    static unsigned bits(M m) { return static_cast<unsigned>(_mm_movemask_ps(m)); }
    static F4 select(M m, F4 a, F4 b) { return {_mm_blendv_ps(a.v, b.v, m)}; }
    // The smallest lane, broadcast (no lane a NaN).
    static F4 minAll(F4 a) {
        __m128 m = _mm_min_ps(a.v, _mm_shuffle_ps(a.v, a.v, _MM_SHUFFLE(1, 0, 3, 2)));
        return {_mm_min_ps(m, _mm_shuffle_ps(m, m, _MM_SHUFFLE(2, 3, 0, 1)))};
    }
    // float(sqrt(x*x + y*y + z*z)) with the squares and the sum in double, as the scalar length.
    static F4 lengthViaDouble(F4 x, F4 y, F4 z) {
        auto half = [](__m128 a, __m128 b, __m128 c) {
            const __m128d dx = _mm_cvtps_pd(a), dy = _mm_cvtps_pd(b), dz = _mm_cvtps_pd(c);
            const __m128d s =
                _mm_add_pd(_mm_add_pd(_mm_mul_pd(dx, dx), _mm_mul_pd(dy, dy)), _mm_mul_pd(dz, dz));
            return _mm_cvtpd_ps(_mm_sqrt_pd(s));
        };
        const __m128 lo = half(x.v, y.v, z.v);
        const __m128 hi = half(_mm_movehl_ps(x.v, x.v), _mm_movehl_ps(y.v, y.v), _mm_movehl_ps(z.v, z.v));
        return {_mm_movelh_ps(lo, hi)};
    }
    // float(ax*bx + ay*by + az*bz) with the products and the sum in double, as the scalar dot.
    static F4 dotViaDouble(F4 ax, F4 ay, F4 az, F4 bx, F4 by, F4 bz) {
        auto half = [](__m128 a0, __m128 a1, __m128 a2, __m128 b0, __m128 b1, __m128 b2) {
            const __m128d s = _mm_add_pd(_mm_add_pd(_mm_mul_pd(_mm_cvtps_pd(a0), _mm_cvtps_pd(b0)),
                                                    _mm_mul_pd(_mm_cvtps_pd(a1), _mm_cvtps_pd(b1))),
                                         _mm_mul_pd(_mm_cvtps_pd(a2), _mm_cvtps_pd(b2)));
            return _mm_cvtpd_ps(s);
        };
        const auto h = [](__m128 v) { return _mm_movehl_ps(v, v); };
        const __m128 lo = half(ax.v, ay.v, az.v, bx.v, by.v, bz.v);
        const __m128 hi = half(h(ax.v), h(ay.v), h(az.v), h(bx.v), h(by.v), h(bz.v));
        return {_mm_movelh_ps(lo, hi)};
    }
};
#endif

#if defined(__AVX2__)
struct F8 {
    __m256 v;
    using M = __m256;
    static constexpr int kLanes = 8;
    static F8 set1(float f) { return {_mm256_set1_ps(f)}; }
    static F8 load(const float* p) { return {_mm256_loadu_ps(p)}; }
    void store(float* p) const { _mm256_storeu_ps(p, v); }
    friend F8 operator+(F8 a, F8 b) { return {_mm256_add_ps(a.v, b.v)}; }
    friend F8 operator-(F8 a, F8 b) { return {_mm256_sub_ps(a.v, b.v)}; }
    friend F8 operator*(F8 a, F8 b) { return {_mm256_mul_ps(a.v, b.v)}; }
    friend F8 operator/(F8 a, F8 b) { return {_mm256_div_ps(a.v, b.v)}; }
    friend F8 operator-(F8 a) { return {_mm256_xor_ps(a.v, _mm256_set1_ps(-0.0f))}; }
    static F8 sqrt(F8 a) { return {_mm256_sqrt_ps(a.v)}; }
    static M lt(F8 a, F8 b) { return _mm256_cmp_ps(a.v, b.v, _CMP_LT_OQ); }
    static M le(F8 a, F8 b) { return _mm256_cmp_ps(a.v, b.v, _CMP_LE_OQ); }
    static M gt(F8 a, F8 b) { return _mm256_cmp_ps(a.v, b.v, _CMP_GT_OQ); }
    static M ge(F8 a, F8 b) { return _mm256_cmp_ps(a.v, b.v, _CMP_GE_OQ); }
    static M eq(F8 a, F8 b) { return _mm256_cmp_ps(a.v, b.v, _CMP_EQ_OQ); }
    static M none() { return _mm256_setzero_ps(); }
    static M all() { return _mm256_castsi256_ps(_mm256_set1_epi32(-1)); }
    static M mand(M a, M b) { return _mm256_and_ps(a, b); }
    static M mor(M a, M b) { return _mm256_or_ps(a, b); }
    static M mandnot(M a, M b) { return _mm256_andnot_ps(a, b); }
    static M mnot(M a) { return _mm256_xor_ps(a, all()); }
    static unsigned bits(M m) { return static_cast<unsigned>(_mm256_movemask_ps(m)); }
    static F8 select(M m, F8 a, F8 b) { return {_mm256_blendv_ps(a.v, b.v, m)}; }
    static F8 minAll(F8 a) {
        __m256 m = _mm256_min_ps(a.v, _mm256_permute2f128_ps(a.v, a.v, 1));
        m = _mm256_min_ps(m, _mm256_shuffle_ps(m, m, _MM_SHUFFLE(1, 0, 3, 2)));
        return {_mm256_min_ps(m, _mm256_shuffle_ps(m, m, _MM_SHUFFLE(2, 3, 0, 1)))};
    }
    static F8 lengthViaDouble(F8 x, F8 y, F8 z) {
        auto half = [](__m128 a, __m128 b, __m128 c) {
            const __m256d dx = _mm256_cvtps_pd(a), dy = _mm256_cvtps_pd(b), dz = _mm256_cvtps_pd(c);
            const __m256d s = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy)),
                                            _mm256_mul_pd(dz, dz));
            return _mm256_cvtpd_ps(_mm256_sqrt_pd(s));
        };
        const __m128 lo = half(_mm256_castps256_ps128(x.v), _mm256_castps256_ps128(y.v), _mm256_castps256_ps128(z.v));
        const __m128 hi =
            half(_mm256_extractf128_ps(x.v, 1), _mm256_extractf128_ps(y.v, 1), _mm256_extractf128_ps(z.v, 1));
        return {_mm256_set_m128(hi, lo)};
    }
    static F8 dotViaDouble(F8 ax, F8 ay, F8 az, F8 bx, F8 by, F8 bz) {
        auto half = [](__m128 a0, __m128 a1, __m128 a2, __m128 b0, __m128 b1, __m128 b2) {
            const __m256d s = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_cvtps_pd(a0), _mm256_cvtps_pd(b0)),
                                                          _mm256_mul_pd(_mm256_cvtps_pd(a1), _mm256_cvtps_pd(b1))),
                                            _mm256_mul_pd(_mm256_cvtps_pd(a2), _mm256_cvtps_pd(b2)));
            return _mm256_cvtpd_ps(s);
        };
        const auto l = [](__m256 v) { return _mm256_castps256_ps128(v); };
        const auto h = [](__m256 v) { return _mm256_extractf128_ps(v, 1); };
        const __m128 lo = half(l(ax.v), l(ay.v), l(az.v), l(bx.v), l(by.v), l(bz.v));
        const __m128 hi = half(h(ax.v), h(ay.v), h(az.v), h(bx.v), h(by.v), h(bz.v));
        return {_mm256_set_m128(hi, lo)};
    }
};
#endif

#if defined(__AVX512F__) && defined(__AVX512DQ__)
struct F16 {
    __m512 v;
    using M = __mmask16;
    static constexpr int kLanes = 16;
    static F16 set1(float f) { return {_mm512_set1_ps(f)}; }
    static F16 load(const float* p) { return {_mm512_loadu_ps(p)}; }
    void store(float* p) const { _mm512_storeu_ps(p, v); }
    friend F16 operator+(F16 a, F16 b) { return {_mm512_add_ps(a.v, b.v)}; }
    friend F16 operator-(F16 a, F16 b) { return {_mm512_sub_ps(a.v, b.v)}; }
    friend F16 operator*(F16 a, F16 b) { return {_mm512_mul_ps(a.v, b.v)}; }
    friend F16 operator/(F16 a, F16 b) { return {_mm512_div_ps(a.v, b.v)}; }
    friend F16 operator-(F16 a) {
        return {_mm512_castsi512_ps(_mm512_xor_si512(_mm512_castps_si512(a.v), _mm512_set1_epi32(INT32_MIN)))};
    }
    static F16 sqrt(F16 a) { return {_mm512_sqrt_ps(a.v)}; }
    static M lt(F16 a, F16 b) { return _mm512_cmp_ps_mask(a.v, b.v, _CMP_LT_OQ); }
    static M le(F16 a, F16 b) { return _mm512_cmp_ps_mask(a.v, b.v, _CMP_LE_OQ); }
    static M gt(F16 a, F16 b) { return _mm512_cmp_ps_mask(a.v, b.v, _CMP_GT_OQ); }
    static M ge(F16 a, F16 b) { return _mm512_cmp_ps_mask(a.v, b.v, _CMP_GE_OQ); }
    static M eq(F16 a, F16 b) { return _mm512_cmp_ps_mask(a.v, b.v, _CMP_EQ_OQ); }
    static M none() { return 0; }
    static M all() { return 0xFFFF; }
    static M mand(M a, M b) { return static_cast<M>(a & b); }
    static M mor(M a, M b) { return static_cast<M>(a | b); }
    static M mandnot(M a, M b) { return static_cast<M>(~a & b); }
    static M mnot(M a) { return static_cast<M>(~a); }
    static unsigned bits(M m) { return m; }
    static F16 select(M m, F16 a, F16 b) { return {_mm512_mask_blend_ps(m, a.v, b.v)}; }
    static F16 minAll(F16 a) { return set1(_mm512_reduce_min_ps(a.v)); }
    static F16 lengthViaDouble(F16 x, F16 y, F16 z) {
        auto half = [](__m256 a, __m256 b, __m256 c) {
            const __m512d dx = _mm512_cvtps_pd(a), dy = _mm512_cvtps_pd(b), dz = _mm512_cvtps_pd(c);
            const __m512d s = _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(dx, dx), _mm512_mul_pd(dy, dy)),
                                            _mm512_mul_pd(dz, dz));
            return _mm512_cvtpd_ps(_mm512_sqrt_pd(s));
        };
        const __m256 lo = half(_mm512_castps512_ps256(x.v), _mm512_castps512_ps256(y.v), _mm512_castps512_ps256(z.v));
        const __m256 hi = half(_mm512_extractf32x8_ps(x.v, 1), _mm512_extractf32x8_ps(y.v, 1),
                               _mm512_extractf32x8_ps(z.v, 1));
        return {_mm512_insertf32x8(_mm512_castps256_ps512(lo), hi, 1)};
    }
    static F16 dotViaDouble(F16 ax, F16 ay, F16 az, F16 bx, F16 by, F16 bz) {
        auto half = [](__m256 a0, __m256 a1, __m256 a2, __m256 b0, __m256 b1, __m256 b2) {
            const __m512d s = _mm512_add_pd(_mm512_add_pd(_mm512_mul_pd(_mm512_cvtps_pd(a0), _mm512_cvtps_pd(b0)),
                                                          _mm512_mul_pd(_mm512_cvtps_pd(a1), _mm512_cvtps_pd(b1))),
                                            _mm512_mul_pd(_mm512_cvtps_pd(a2), _mm512_cvtps_pd(b2)));
            return _mm512_cvtpd_ps(s);
        };
        const auto l = [](__m512 v) { return _mm512_castps512_ps256(v); };
        const auto h = [](__m512 v) { return _mm512_extractf32x8_ps(v, 1); };
        const __m256 lo = half(l(ax.v), l(ay.v), l(az.v), l(bx.v), l(by.v), l(bz.v));
        const __m256 hi = half(h(ax.v), h(ay.v), h(az.v), h(bx.v), h(by.v), h(bz.v));
        return {_mm512_insertf32x8(_mm512_castps256_ps512(lo), hi, 1)};
    }
};
#endif

}  // namespace
}  // namespace lumo::lanes
