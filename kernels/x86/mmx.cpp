// MMX forms, for 32-bit x86: 32 bytes per step in four 8-byte registers,
// then single 8-byte groups, then the scalar form for the last width % 8
// bytes, so that no byte at or past the width is read or written.
// The 64-bit multimedia registers share their state with the floating-point
// unit, so every form clears it (emms) after its last group, before returning.
// Only Clamp goes beyond plain MMX: the integer-SSE unsigned minimum and
// maximum (pminub, pmaxub), which this set requires of the processor and
// Clamp's construction check requires of the host.
#include <mmintrin.h>
#include <xmmintrin.h>

#include "kernels/row_kernels.h"

namespace quorvant {
namespace {

// Eight bytes at any address (MMX loads and stores need no alignment).
struct __attribute__((packed, may_alias)) Unaligned64 {
  __m64 value;
};

// One movq each way. Without SSE2 the compiler splits a plain 64-bit load
// or store into two 32-bit ones bounced through the stack; these keep the
// bytes in the multimedia registers.
inline __m64 load8(const uint8_t* p) {
  __m64 v;
  __asm__("movq %1, %0" : "=y"(v) : "m"(*reinterpret_cast<const Unaligned64*>(p)));
  return v;
}
inline void store8(uint8_t* p, __m64 v) {
  __asm__("movq %1, %0" : "=m"(*reinterpret_cast<Unaligned64*>(p)) : "y"(v));
}

inline __m64 spread(uint8_t byte) { return _mm_set1_pi8(char(byte)); }

// Applies op to [0, width) in 8-byte groups, clears the multimedia state and
// hands the last width % 8 bytes, from the given offset, to the scalar form.
// The loads of a step are all made before its stores, so dst may be the first input.
template <class Op, class Rest, class... Inputs>
inline void mmxRow(uint8_t* dst, int width, const Op& op, const Rest& rest,
                   const Inputs*... inputs) {
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    const __m64 g0 = op(load8(inputs + x)...);
    const __m64 g1 = op(load8(inputs + x + 8)...);
    const __m64 g2 = op(load8(inputs + x + 16)...);
    const __m64 g3 = op(load8(inputs + x + 24)...);
    store8(dst + x, g0);
    store8(dst + x + 8, g1);
    store8(dst + x + 16, g2);
    store8(dst + x + 24, g3);
  }
  for (; x + 8 <= width; x += 8) store8(dst + x, op(load8(inputs + x)...));
  _mm_empty();
  if (x < width) rest(x);
}

// Unsigned byte minimum with MMX alone: a - saturating(a - b).
inline __m64 minimumBytes(__m64 a, __m64 b) { return _mm_sub_pi8(a, _mm_subs_pu8(a, b)); }

}  // namespace

// out = src XOR 0x80, 8 bytes per pxor.
void sign_mmx(uint8_t* dst, const uint8_t* src, int width) {
  const __m64 bias = spread(0x80);
  mmxRow(
      dst, width, [bias](__m64 s) { return _mm_xor_si64(s, bias); },
      [&](int x) { sign_scalar(dst + x, src + x, width - x); }, src);
}

// out = saturating((first - 128) - (second - 128)) on signed bytes.
void subtractAndSign_mmx(uint8_t* dst, const uint8_t* first, const uint8_t* second, int width) {
  const __m64 bias = spread(0x80);
  mmxRow(
      dst, width,
      [bias](__m64 a, __m64 b) {
        return _mm_subs_pi8(_mm_xor_si64(a, bias), _mm_xor_si64(b, bias));
      },
      [&](int x) { subtractAndSign_scalar(dst + x, first + x, second + x, width - x); }, first,
      second);
}

// out = min(saturating(src + shift), limit), the minimum without pminub.
void shiftedMinimum_mmx(uint8_t* dst, const uint8_t* src, const uint8_t* limit, int width,
                        uint8_t shift) {
  const __m64 amount = spread(shift);
  mmxRow(
      dst, width, [amount](__m64 s, __m64 l) { return minimumBytes(_mm_adds_pu8(s, amount), l); },
      [&](int x) { shiftedMinimum_scalar(dst + x, src + x, limit + x, width - x, shift); }, src,
      limit);
}

// One group of Clamp, with the integer-SSE pminub and pmaxub.
__attribute__((target("sse"))) inline __m64 clampGroup(__m64 s, __m64 u, __m64 l, __m64 up,
                                                       __m64 down) {
  return _mm_max_pu8(_mm_min_pu8(s, _mm_adds_pu8(u, up)), _mm_subs_pu8(l, down));
}

// out = max(min(src, saturating(upper + upperMargin)), saturating(lower - lowerMargin)).
// The loop of mmxRow, written out so that the groups inline into code built
// for integer SSE.
__attribute__((target("sse"))) void clamp_mmx(uint8_t* dst, const uint8_t* src,
                                              const uint8_t* upper, const uint8_t* lower, int width,
                                              uint8_t upperMargin, uint8_t lowerMargin) {
  const __m64 up = spread(upperMargin);
  const __m64 down = spread(lowerMargin);
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    const __m64 g0 = clampGroup(load8(src + x), load8(upper + x), load8(lower + x), up, down);
    const __m64 g1 =
        clampGroup(load8(src + x + 8), load8(upper + x + 8), load8(lower + x + 8), up, down);
    const __m64 g2 =
        clampGroup(load8(src + x + 16), load8(upper + x + 16), load8(lower + x + 16), up, down);
    const __m64 g3 =
        clampGroup(load8(src + x + 24), load8(upper + x + 24), load8(lower + x + 24), up, down);
    store8(dst + x, g0);
    store8(dst + x + 8, g1);
    store8(dst + x + 16, g2);
    store8(dst + x + 24, g3);
  }
  for (; x + 8 <= width; x += 8)
    store8(dst + x, clampGroup(load8(src + x), load8(upper + x), load8(lower + x), up, down));
  _mm_empty();
  if (x < width) {
    clamp_scalar(dst + x, src + x, upper + x, lower + x, width - x, upperMargin, lowerMargin);
  }
}

// out = (first + second + 1) >> 1 without pavgb: (a | b) - ((a ^ b) >> 1), the
// byte shift made as a 16-bit shift with the bit crossing from the next byte masked off.
void simpleAverage_mmx(uint8_t* dst, const uint8_t* first, const uint8_t* second, int width) {
  const __m64 lowSeven = spread(0x7F);
  mmxRow(
      dst, width,
      [lowSeven](__m64 a, __m64 b) {
        const __m64 halfDifference = _mm_and_si64(_mm_srli_pi16(_mm_xor_si64(a, b), 1), lowSeven);
        return _mm_sub_pi8(_mm_or_si64(a, b), halfDifference);
      },
      [&](int x) { simpleAverage_scalar(dst + x, first + x, second + x, width - x); }, first,
      second);
}

}  // namespace quorvant
