#include "kernels/instruction_set.h"

#include <stdint.h>

#include "kernels/row_kernels.h"

namespace quorvant {
namespace {

struct CpuidRegisters {
  uint32_t eax, ebx, ecx, edx;
};

#if defined(__i386__) || defined(__x86_64__) || defined(_M_IX86) || defined(_M_X64)
CpuidRegisters cpuid(uint32_t leaf, uint32_t subleaf) {
  CpuidRegisters r;
  __asm__ volatile("cpuid" : "=a"(r.eax), "=b"(r.ebx), "=c"(r.ecx), "=d"(r.edx)
                   : "a"(leaf), "c"(subleaf));
  return r;
}

uint64_t xgetbv0() {
  uint32_t low, high;
  __asm__ volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(low), "=d"(high) : "c"(0));
  return (uint64_t(high) << 32) | low;
}
#endif

}  // namespace

ProcessorFeatures detectProcessorFeatures() {
  ProcessorFeatures features = {false, false, false, false};
#if defined(__i386__) || defined(__x86_64__) || defined(_M_IX86) || defined(_M_X64)
  const uint32_t maxLeaf = cpuid(0, 0).eax;
  if (maxLeaf < 1) return features;
  const CpuidRegisters leaf1 = cpuid(1, 0);
  features.mmx = (leaf1.edx >> 23) & 1;
  features.integerSse = (leaf1.edx >> 25) & 1;  // SSE brings the integer additions
  features.sse2 = (leaf1.edx >> 26) & 1;
  const bool osxsave = (leaf1.ecx >> 27) & 1;
  const bool avx = (leaf1.ecx >> 28) & 1;
  // AVX registers are usable only when the operating system saves them (XMM and YMM state).
  const bool osSavesYmm = osxsave && (xgetbv0() & 0x6) == 0x6;
  if (maxLeaf >= 7 && avx && osSavesYmm) features.avx2 = (cpuid(7, 0).ebx >> 5) & 1;
#endif
  return features;
}

bool isBuilt(InstructionSet set) {
  switch (set) {
    case InstructionSet::scalar: return true;
    case InstructionSet::mmx: return QUORVANT_HAS_MMX_KERNELS;
    case InstructionSet::sse2: return QUORVANT_HAS_SSE2_KERNELS;
    case InstructionSet::avx2: return QUORVANT_HAS_AVX2_KERNELS;
  }
  return false;
}

bool processorHas(const ProcessorFeatures& features, InstructionSet set) {
  switch (set) {
    case InstructionSet::scalar: return true;
    case InstructionSet::mmx: return features.mmx && features.integerSse;
    case InstructionSet::sse2: return features.sse2;
    case InstructionSet::avx2: return features.avx2;
  }
  return false;
}

InstructionSet chooseInstructionSet(const ProcessorFeatures& features, InstructionSet ceiling) {
  const InstructionSet byPreference[] = {InstructionSet::avx2, InstructionSet::sse2,
                                         InstructionSet::mmx};
  for (InstructionSet set : byPreference) {
    if (set <= ceiling && isBuilt(set) && processorHas(features, set)) return set;
  }
  return InstructionSet::scalar;
}

const char* instructionSetName(InstructionSet set) {
  switch (set) {
    case InstructionSet::scalar: return "scalar";
    case InstructionSet::mmx: return "mmx";
    case InstructionSet::sse2: return "sse2";
    case InstructionSet::avx2: return "avx2";
  }
  return "unknown";
}

LumaRowKernels rowKernelsFor(InstructionSet set) {
  switch (set) {
#if QUORVANT_HAS_MMX_KERNELS
    case InstructionSet::mmx:
      return {sign_mmx, subtractAndSign_mmx, shiftedMinimum_mmx, clamp_mmx, simpleAverage_mmx};
#endif
#if QUORVANT_HAS_SSE2_KERNELS
    case InstructionSet::sse2:
      return {sign_sse2, subtractAndSign_sse2, shiftedMinimum_sse2, clamp_sse2,
              simpleAverage_sse2};
#endif
#if QUORVANT_HAS_AVX2_KERNELS
    case InstructionSet::avx2:
      return {sign_avx2, subtractAndSign_avx2, shiftedMinimum_avx2, clamp_avx2,
              simpleAverage_avx2};
#endif
    default:
      return {sign_scalar, subtractAndSign_scalar, shiftedMinimum_scalar, clamp_scalar,
              simpleAverage_scalar};
  }
}

}  // namespace quorvant
