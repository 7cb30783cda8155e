// AVX2 forms: 64 bytes per step in two 32-byte registers, then one 32-byte
// group; what is left (under 32 bytes) goes to the SSE2 form.
#include <immintrin.h>

#include "kernels/row_kernels.h"

namespace quorvant {
namespace {

inline __m256i load32(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline void store32(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

// Applies op to whole 32-byte groups of [0, width) and hands the rest, from
// the returned offset, to rest. Loads of a step come before its stores.
template <class Op, class Rest, class... Inputs>
inline void vectorRow(uint8_t* dst, int width, const Op& op, const Rest& rest,
                      const Inputs*... inputs) {
  int x = 0;
  for (; x + 64 <= width; x += 64) {
    const __m256i low = op(load32(inputs + x)...);
    const __m256i high = op(load32(inputs + x + 32)...);
    store32(dst + x, low);
    store32(dst + x + 32, high);
  }
  if (x + 32 <= width) {
    store32(dst + x, op(load32(inputs + x)...));
    x += 32;
  }
  if (x < width) rest(x);
}

}  // namespace

void sign_avx2(uint8_t* dst, const uint8_t* src, int width) {
  const __m256i bias = _mm256_set1_epi8(char(0x80));
  vectorRow(dst, width, [bias](__m256i s) { return _mm256_xor_si256(s, bias); },
            [&](int x) { sign_sse2(dst + x, src + x, width - x); }, src);
}

void subtractAndSign_avx2(uint8_t* dst, const uint8_t* first, const uint8_t* second,
                          int width) {
  const __m256i bias = _mm256_set1_epi8(char(0x80));
  vectorRow(
      dst, width,
      [bias](__m256i a, __m256i b) {
        return _mm256_subs_epi8(_mm256_xor_si256(a, bias), _mm256_xor_si256(b, bias));
      },
      [&](int x) { subtractAndSign_sse2(dst + x, first + x, second + x, width - x); }, first,
      second);
}

void shiftedMinimum_avx2(uint8_t* dst, const uint8_t* src, const uint8_t* limit, int width,
                         uint8_t shift) {
  const __m256i amount = _mm256_set1_epi8(char(shift));
  vectorRow(
      dst, width,
      [amount](__m256i s, __m256i l) { return _mm256_min_epu8(_mm256_adds_epu8(s, amount), l); },
      [&](int x) { shiftedMinimum_sse2(dst + x, src + x, limit + x, width - x, shift); }, src,
      limit);
}

void clamp_avx2(uint8_t* dst, const uint8_t* src, const uint8_t* upper, const uint8_t* lower,
                int width, uint8_t upperMargin, uint8_t lowerMargin) {
  const __m256i up = _mm256_set1_epi8(char(upperMargin));
  const __m256i down = _mm256_set1_epi8(char(lowerMargin));
  vectorRow(
      dst, width,
      [up, down](__m256i s, __m256i u, __m256i l) {
        return _mm256_max_epu8(_mm256_min_epu8(s, _mm256_adds_epu8(u, up)),
                               _mm256_subs_epu8(l, down));
      },
      [&](int x) {
        clamp_sse2(dst + x, src + x, upper + x, lower + x, width - x, upperMargin, lowerMargin);
      },
      src, upper, lower);
}

void simpleAverage_avx2(uint8_t* dst, const uint8_t* first, const uint8_t* second, int width) {
  vectorRow(
      dst, width, [](__m256i a, __m256i b) { return _mm256_avg_epu8(a, b); },
      [&](int x) { simpleAverage_sse2(dst + x, first + x, second + x, width - x); }, first,
      second);
}

}  // namespace quorvant
