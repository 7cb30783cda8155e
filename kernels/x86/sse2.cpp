// SSE2 forms: 32 bytes per step in two 16-byte registers, then one 16-byte
// and one 8-byte group, then the scalar form for the last bytes, so that no
// byte at or past the width is read or written.
#include <emmintrin.h>

#include "kernels/row_kernels.h"

namespace quorvant {
namespace {

inline __m128i load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store16(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i load8(const uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
inline void store8(uint8_t* p, __m128i v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }

// Applies op to [0, width) in vector steps and hands the last width % 8
// bytes, from the given offset, to the scalar form. Loads of a step are all
// made before its stores, so dst may be the first input.
template <class Op, class Rest, class... Inputs>
inline void vectorRow(uint8_t* dst, int width, const Op& op, const Rest& rest,
                      const Inputs*... inputs) {
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    const __m128i low = op(load16(inputs + x)...);
    const __m128i high = op(load16(inputs + x + 16)...);
    store16(dst + x, low);
    store16(dst + x + 16, high);
  }
  if (x + 16 <= width) {
    store16(dst + x, op(load16(inputs + x)...));
    x += 16;
  }
  if (x + 8 <= width) {
    store8(dst + x, op(load8(inputs + x)...));
    x += 8;
  }
  if (x < width) rest(x);
}

}  // namespace

void sign_sse2(uint8_t* dst, const uint8_t* src, int width) {
  const __m128i bias = _mm_set1_epi8(char(0x80));
  vectorRow(dst, width, [bias](__m128i s) { return _mm_xor_si128(s, bias); },
            [&](int x) { sign_scalar(dst + x, src + x, width - x); }, src);
}

void subtractAndSign_sse2(uint8_t* dst, const uint8_t* first, const uint8_t* second,
                          int width) {
  const __m128i bias = _mm_set1_epi8(char(0x80));
  vectorRow(
      dst, width,
      [bias](__m128i a, __m128i b) {
        return _mm_subs_epi8(_mm_xor_si128(a, bias), _mm_xor_si128(b, bias));
      },
      [&](int x) { subtractAndSign_scalar(dst + x, first + x, second + x, width - x); }, first,
      second);
}

void shiftedMinimum_sse2(uint8_t* dst, const uint8_t* src, const uint8_t* limit, int width,
                         uint8_t shift) {
  const __m128i amount = _mm_set1_epi8(char(shift));
  vectorRow(
      dst, width,
      [amount](__m128i s, __m128i l) { return _mm_min_epu8(_mm_adds_epu8(s, amount), l); },
      [&](int x) { shiftedMinimum_scalar(dst + x, src + x, limit + x, width - x, shift); }, src,
      limit);
}

void clamp_sse2(uint8_t* dst, const uint8_t* src, const uint8_t* upper, const uint8_t* lower,
                int width, uint8_t upperMargin, uint8_t lowerMargin) {
  const __m128i up = _mm_set1_epi8(char(upperMargin));
  const __m128i down = _mm_set1_epi8(char(lowerMargin));
  vectorRow(
      dst, width,
      [up, down](__m128i s, __m128i u, __m128i l) {
        return _mm_max_epu8(_mm_min_epu8(s, _mm_adds_epu8(u, up)), _mm_subs_epu8(l, down));
      },
      [&](int x) {
        clamp_scalar(dst + x, src + x, upper + x, lower + x, width - x, upperMargin,
                     lowerMargin);
      },
      src, upper, lower);
}

void simpleAverage_sse2(uint8_t* dst, const uint8_t* first, const uint8_t* second, int width) {
  vectorRow(
      dst, width, [](__m128i a, __m128i b) { return _mm_avg_epu8(a, b); },
      [&](int x) { simpleAverage_scalar(dst + x, first + x, second + x, width - x); }, first,
      second);
}

}  // namespace quorvant
