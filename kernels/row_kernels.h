// Row kernels of the five luma operations. Each computes bytes [0, width) of
// one output row from the bytes at the same index of its input rows. Every
// form (scalar, mmx, sse2, avx2) shares one signature; the scalar form is the
// reference that every vector form equals byte for byte. The output may be
// the same row as the first input (in-place use), never a partial overlap.
#ifndef QUORVANT_KERNELS_ROW_KERNELS_H
#define QUORVANT_KERNELS_ROW_KERNELS_H

#include <stdint.h>

#include "kernels/instruction_set.h"

namespace quorvant {

using SignRow = void (*)(uint8_t* dst, const uint8_t* src, int width);
using SubtractAndSignRow = void (*)(uint8_t* dst, const uint8_t* first, const uint8_t* second,
                                    int width);
using ShiftedMinimumRow = void (*)(uint8_t* dst, const uint8_t* src, const uint8_t* limit,
                                   int width, uint8_t shift);
using ClampRow = void (*)(uint8_t* dst, const uint8_t* src, const uint8_t* upper,
                          const uint8_t* lower, int width, uint8_t upperMargin,
                          uint8_t lowerMargin);
using SimpleAverageRow = void (*)(uint8_t* dst, const uint8_t* first, const uint8_t* second,
                                  int width);

// One form of every kernel, for one instruction set.
struct LumaRowKernels {
  SignRow sign;
  SubtractAndSignRow subtractAndSign;
  ShiftedMinimumRow shiftedMinimum;
  ClampRow clamp;
  SimpleAverageRow simpleAverage;
};

#define QUORVANT_DECLARE_ROW_KERNELS(suffix)                                                  \
  void sign_##suffix(uint8_t* dst, const uint8_t* src, int width);                            \
  void subtractAndSign_##suffix(uint8_t* dst, const uint8_t* first, const uint8_t* second,    \
                                int width);                                                   \
  void shiftedMinimum_##suffix(uint8_t* dst, const uint8_t* src, const uint8_t* limit,        \
                               int width, uint8_t shift);                                     \
  void clamp_##suffix(uint8_t* dst, const uint8_t* src, const uint8_t* upper,                 \
                      const uint8_t* lower, int width, uint8_t upperMargin,                   \
                      uint8_t lowerMargin);                                                   \
  void simpleAverage_##suffix(uint8_t* dst, const uint8_t* first, const uint8_t* second,      \
                              int width);

QUORVANT_DECLARE_ROW_KERNELS(scalar)
#if QUORVANT_HAS_MMX_KERNELS
QUORVANT_DECLARE_ROW_KERNELS(mmx)
#endif
#if QUORVANT_HAS_SSE2_KERNELS
QUORVANT_DECLARE_ROW_KERNELS(sse2)
#endif
#if QUORVANT_HAS_AVX2_KERNELS
QUORVANT_DECLARE_ROW_KERNELS(avx2)
#endif

#undef QUORVANT_DECLARE_ROW_KERNELS

// The kernels of one instruction set; the set must be one that was built
// (see isBuilt), else the scalar forms are answered.
LumaRowKernels rowKernelsFor(InstructionSet set);

}  // namespace quorvant

#endif  // QUORVANT_KERNELS_ROW_KERNELS_H
