#pragma once
// Whole int64 value arrays with a decimal count to doubles, with exactly the
// result of DecimalValue::to_double for each (value, count), but with the
// count's power of ten known at compile time and without 128-bit arithmetic:
// a series read converts every element, often millions of them.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <immintrin.h>
#include <limits>
#include <utility>
#include <vector>

#include "tarnel/decimal/decimal.hpp"

namespace tarnel::python {

namespace scaled_detail {

// Half away from zero, for x >= 0, as std::round.
inline double round_half_away(double x) {
    constexpr double limit = 9223372036854775808.0;  // 2^63
    if (!(x < limit)) return std::round(x);
    const auto whole = static_cast<std::int64_t>(x);  // exact from 2^52 on
    return x - static_cast<double>(whole) >= 0.5 ? static_cast<double>(whole + 1) : static_cast<double>(whole);
}

constexpr std::uint64_t pow10(unsigned d) {
    std::uint64_t p = 1;
    for (unsigned i = 0; i < d; ++i) p *= 10;
    return p;
}

// The floating-point half of the conversion, for m values split into their
// quotient and remainder by t = 10^d (both as doubles) and their sign (+-1).
inline void finish_block_plain(const double* qd, const double* rd, const double* sign, double t, double* out,
                               std::size_t m) {
    for (std::size_t j = 0; j < m; ++j) {
        const double result = rd[j] == 0.0 ? qd[j] : round_half_away((qd[j] + rd[j] / t) * t) / t;
        out[j] = result * sign[j];
    }
}

// The same four values at a time. x >= 0 throughout, so rounding half away
// from zero is floor plus one when the fraction reaches one half, and floor
// and the fraction are exact. No fused multiply-add: the steps round one by
// one, as in the scalar conversion.
[[gnu::target("avx2")]] inline void finish_block_avx2(const double* qd, const double* rd, const double* sign, double t,
                                                      double* out, std::size_t m) {
    const __m256d vt = _mm256_set1_pd(t);
    const __m256d half = _mm256_set1_pd(0.5);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d zero = _mm256_setzero_pd();
    std::size_t j = 0;
    for (; j + 4 <= m; j += 4) {
        const __m256d q = _mm256_loadu_pd(qd + j);
        const __m256d r = _mm256_loadu_pd(rd + j);
        const __m256d x = _mm256_mul_pd(_mm256_add_pd(q, _mm256_div_pd(r, vt)), vt);
        const __m256d whole = _mm256_floor_pd(x);
        const __m256d up = _mm256_and_pd(_mm256_cmp_pd(_mm256_sub_pd(x, whole), half, _CMP_GE_OQ), one);
        const __m256d divided = _mm256_div_pd(_mm256_add_pd(whole, up), vt);
        const __m256d result = _mm256_blendv_pd(divided, q, _mm256_cmp_pd(r, zero, _CMP_EQ_OQ));
        _mm256_storeu_pd(out + j, _mm256_mul_pd(result, _mm256_loadu_pd(sign + j)));
    }
    finish_block_plain(qd + j, rd + j, sign + j, t, out + j, m - j);
}

using Finisher = void (*)(const double*, const double*, const double*, double, double*, std::size_t);

inline Finisher finisher() {
    static const Finisher chosen = __builtin_cpu_supports("avx2") ? &finish_block_avx2 : &finish_block_plain;
    return chosen;
}

// Below 2^50 in magnitude the steps of the conversion lose less than a
// half in the coefficient: with u = 2^-53, the quotient and remainder by 10^d
// recombine to within 3u|v| < 3/8 of |v|, so the rounding restores |v| and
// the result is the one division v / 10^d (and v converts exactly).
inline constexpr std::int64_t small_limit = std::int64_t{1} << 50;

inline void divide_block_plain(const std::int64_t* v, double t, double* out, std::size_t m) {
    for (std::size_t j = 0; j < m; ++j) out[j] = static_cast<double>(v[j]) / t;
}

// int64 to double four at a time, exact below 2^51 in magnitude: the value
// added to the bits of 2^52 + 2^51, less that number.
[[gnu::target("avx2")]] inline void divide_block_avx2(const std::int64_t* v, double t, double* out, std::size_t m) {
    const __m256i magic_bits = _mm256_set1_epi64x(0x4338000000000000);
    const __m256d magic = _mm256_set1_pd(6755399441055744.0);
    const __m256d vt = _mm256_set1_pd(t);
    std::size_t j = 0;
    for (; j + 4 <= m; j += 4) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + j));
        const __m256d d = _mm256_sub_pd(_mm256_castsi256_pd(_mm256_add_epi64(x, magic_bits)), magic);
        _mm256_storeu_pd(out + j, _mm256_div_pd(d, vt));
    }
    divide_block_plain(v + j, t, out + j, m - j);
}

using Divider = void (*)(const std::int64_t*, double, double*, std::size_t);

inline Divider divider() {
    static const Divider chosen = __builtin_cpu_supports("avx2") ? &divide_block_avx2 : &divide_block_plain;
    return chosen;
}

// Counts 1..19: the coefficient |v| < 2^64 divides by 10^d in 64 bits, and
// 10^d, and 10.0^d by repeated squaring, are exact doubles. The integer
// division runs one block at a time, the rest on whole blocks; a block of
// small values takes the single division.
template <unsigned D>
void convert(const char* src, std::size_t n, double* out) {
    constexpr std::uint64_t p = pow10(D);
    constexpr double t = static_cast<double>(p);
    constexpr std::size_t block = 256;
    const Finisher finish = finisher();
    const Divider divide = divider();
    std::int64_t values[block];
    double qd[block];
    double rd[block];
    double sign[block];
    for (std::size_t start = 0; start < n; start += block) {
        const std::size_t m = std::min(block, n - start);
        std::memcpy(values, src + start * sizeof(std::int64_t), m * sizeof(std::int64_t));  // any alignment
        bool small = true;
        for (std::size_t j = 0; j < m; ++j) small &= values[j] > -small_limit && values[j] < small_limit;
        if (small) {
            divide(values, t, out + start, m);
            continue;
        }
        for (std::size_t j = 0; j < m; ++j) {
            const std::int64_t v = values[j];
            const bool negative = v < 0;
            const std::uint64_t c = negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
            // Both below 2^63 (but a remainder of 10^19), where the signed conversion is the same.
            qd[j] = static_cast<double>(static_cast<std::int64_t>(c / p));
            if constexpr (D < 19) {
                rd[j] = static_cast<double>(static_cast<std::int64_t>(c % p));
            } else {
                rd[j] = static_cast<double>(c % p);
            }
            sign[j] = negative ? -1.0 : 1.0;
        }
        finish(qd, rd, sign, t, out + start, m);
    }
}

using Converter = void (*)(const char*, std::size_t, double*);

template <std::size_t... I>
constexpr std::array<Converter, sizeof...(I)> converters(std::index_sequence<I...>) {
    return {&convert<static_cast<unsigned>(I + 1)>...};
}

inline constexpr auto fast = converters(std::make_index_sequence<19>{});

inline std::int64_t load(const char* src, std::size_t i) {
    std::int64_t v = 0;
    std::memcpy(&v, src + i * sizeof v, sizeof v);
    return v;
}

}  // namespace scaled_detail

// `src` holds n int64 values, in native byte order, at any alignment.
inline std::vector<double> scaled_int64_to_double(const char* src, std::size_t n, std::uint32_t decimals) {
    if (decimals > decimal::max_scale) return std::vector<double>(n, std::numeric_limits<double>::quiet_NaN());
    std::vector<double> out(n);
    if (decimals == 0) {
        for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<double>(scaled_detail::load(src, i));
    } else if (decimals <= scaled_detail::fast.size()) {
        scaled_detail::fast[decimals - 1](src, n, out.data());
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = decimal::DecimalValue::from_int_scaled(scaled_detail::load(src, i), decimals)->to_double();
        }
    }
    return out;
}

}  // namespace tarnel::python
