// Instruction sets the row kernels come in, what the processor offers, and
// the choice between them. The choice is made by each filter once, when it is
// constructed; nothing here keeps state.
#ifndef QUORVANT_KERNELS_INSTRUCTION_SET_H
#define QUORVANT_KERNELS_INSTRUCTION_SET_H

#if defined(__x86_64__) || defined(_M_X64)
#define QUORVANT_HAS_MMX_KERNELS 0
#define QUORVANT_HAS_SSE2_KERNELS 1
#define QUORVANT_HAS_AVX2_KERNELS 1
#elif defined(__i386__) || defined(_M_IX86)
#define QUORVANT_HAS_MMX_KERNELS 1
#define QUORVANT_HAS_SSE2_KERNELS 1
#define QUORVANT_HAS_AVX2_KERNELS 0
#else
#define QUORVANT_HAS_MMX_KERNELS 0
#define QUORVANT_HAS_SSE2_KERNELS 0
#define QUORVANT_HAS_AVX2_KERNELS 0
#endif

namespace quorvant {

// Ordered from least to most capable.
enum class InstructionSet { scalar, mmx, sse2, avx2 };

struct ProcessorFeatures {
  bool mmx;
  bool integerSse;  // the SSE additions to the 64-bit multimedia registers (pminub, pmaxub)
  bool sse2;
  bool avx2;        // and the operating system saves the 256-bit registers
};

// Asks the processor (cpuid) and the operating system (xgetbv) what they offer.
ProcessorFeatures detectProcessorFeatures();

bool isBuilt(InstructionSet set);
bool processorHas(const ProcessorFeatures& features, InstructionSet set);

// The most capable set that was built, that the processor has and that is
// not above the ceiling.
InstructionSet chooseInstructionSet(const ProcessorFeatures& features, InstructionSet ceiling);

const char* instructionSetName(InstructionSet set);

}  // namespace quorvant

#endif  // QUORVANT_KERNELS_INSTRUCTION_SET_H
