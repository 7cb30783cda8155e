// Every vector form of the row kernels built for this target against the
// scalar form, byte for byte: widths 0 to 200 at start offsets 0 to 7, out of
// place and in place, with the bytes around the row checked to stay
// untouched; then every byte pair of the inputs at each of several amounts.
// A form the processor lacks is skipped, and said so.
#include <stdint.h>

#include "kernels/instruction_set.h"
#include "kernels/row_kernels.h"
#include "windows/conformance/report.h"
#include "windows/runtime/c_runtime.h"
#include "windows/runtime/program_main.h"

namespace quorvant::conformance {
namespace {

enum class Operation { sign, subtractAndSign, shiftedMinimum, clamp, simpleAverage };

struct Kernel {
  Operation operation;
  const char* name;
  int inputs;
};

const Kernel kKernels[] = {
    {Operation::sign, "sign", 1},
    {Operation::subtractAndSign, "subtractAndSign", 2},
    {Operation::shiftedMinimum, "shiftedMinimum", 2},
    {Operation::clamp, "clamp", 3},
    {Operation::simpleAverage, "simpleAverage", 2},
};

struct Amounts {
  uint8_t first;
  uint8_t second;
};

const Amounts kAmounts[] = {{0, 0}, {5, 10}, {128, 1}, {255, 255}};

void run(const LumaRowKernels& forms, Operation operation, uint8_t* dst, const uint8_t* const* in,
         int width, Amounts a) {
  switch (operation) {
    case Operation::sign:
      forms.sign(dst, in[0], width);
      return;
    case Operation::subtractAndSign:
      forms.subtractAndSign(dst, in[0], in[1], width);
      return;
    case Operation::shiftedMinimum:
      forms.shiftedMinimum(dst, in[0], in[1], width, a.first);
      return;
    case Operation::clamp:
      forms.clamp(dst, in[0], in[1], in[2], width, a.first, a.second);
      return;
    case Operation::simpleAverage:
      forms.simpleAverage(dst, in[0], in[1], width);
      return;
  }
}

uint8_t mixed(uint32_t v) {
  v *= 0x9E3779B1u;
  v ^= v >> 15;
  v *= 0x2C1B3C6Du;
  v ^= v >> 13;
  return uint8_t(v);
}

constexpr int kMaxWidth = 200;
constexpr int kRow = 256;   // room for the widest row at the largest offset
constexpr int kSlack = 32;  // bytes after the row that must stay untouched
constexpr int kBuffer = kRow + kSlack;
constexpr uint8_t kUntouched = 0xC3;

// Widths 0..kMaxWidth at offsets 0..7, out of place and in place.
void widthsCase(Report& report, const LumaRowKernels& scalar, const LumaRowKernels& form,
                const char* formName, const Kernel& kernel, Amounts amounts) {
  report.beginCase(Text() << formName << " " << kernel.name << " = scalar, widths 0-" << kMaxWidth
                          << ", offsets 0-7, amounts " << int(amounts.first) << " "
                          << int(amounts.second));
  uint8_t inputs[3][kBuffer];
  for (int i = 0; i < 3; ++i) {
    for (int b = 0; b < kBuffer; ++b) inputs[i][b] = mixed(uint32_t(i * kBuffer + b));
  }
  uint8_t expected[kBuffer];
  uint8_t actual[kBuffer];
  bool holds = true;
  for (int offset = 0; offset < 8 && holds; ++offset) {
    for (int width = 0; width <= kMaxWidth && holds; ++width) {
      const uint8_t* in[3] = {inputs[0] + offset, inputs[1] + offset, inputs[2] + offset};
      memset(expected, kUntouched, sizeof expected);
      memset(actual, kUntouched, sizeof actual);
      run(scalar, kernel.operation, expected + offset, in, width, amounts);
      run(form, kernel.operation, actual + offset, in, width, amounts);
      Text what;
      what << "width " << width << " offset " << offset;
      holds = report.checkBytes(expected, actual, kBuffer, 0, what.c_str());

      // In place: the output is the first input.
      memcpy(actual, inputs[0], sizeof actual);
      memcpy(expected, inputs[0], sizeof expected);
      const uint8_t* inPlace[3] = {actual + offset, in[1], in[2]};
      run(scalar, kernel.operation, expected + offset, in, width, amounts);
      run(form, kernel.operation, actual + offset, inPlace, width, amounts);
      Text inPlaceWhat;
      inPlaceWhat << "in place, width " << width << " offset " << offset;
      holds = holds && report.checkBytes(expected, actual, kBuffer, 0, inPlaceWhat.c_str());
    }
  }
  report.endCase();
}

// Every pair (first input, second input) over rows of 256; a third input
// cycles through its values alongside.
void everyPairCase(Report& report, const LumaRowKernels& scalar, const LumaRowKernels& form,
                   const char* formName, const Kernel& kernel, Amounts amounts) {
  report.beginCase(Text() << formName << " " << kernel.name << " = scalar on every byte pair, "
                          << "amounts " << int(amounts.first) << " " << int(amounts.second));
  uint8_t first[kRow];
  uint8_t second[kRow];
  uint8_t third[kRow];
  uint8_t expected[kRow];
  uint8_t actual[kRow];
  for (int x = 0; x < kRow; ++x) first[x] = uint8_t(x);
  for (int b = 0; b < 256; ++b) {
    for (int x = 0; x < kRow; ++x) {
      second[x] = uint8_t(b);
      third[x] = uint8_t(b * 7 + x * 3);
    }
    const uint8_t* in[3] = {first, second, third};
    run(scalar, kernel.operation, expected, in, kRow, amounts);
    run(form, kernel.operation, actual, in, kRow, amounts);
    Text what;
    what << "second input " << b << ", first input = column";
    if (!report.checkBytes(expected, actual, kRow, 0, what.c_str())) break;
  }
  report.endCase();
}

}  // namespace
}  // namespace quorvant::conformance

int programMain(int, char**) {
  using namespace quorvant;
  using namespace quorvant::conformance;
  Report report;
  const ProcessorFeatures features = detectProcessorFeatures();
  const LumaRowKernels scalar = rowKernelsFor(InstructionSet::scalar);
  const InstructionSet sets[] = {InstructionSet::mmx, InstructionSet::sse2, InstructionSet::avx2};
  for (InstructionSet set : sets) {
    const char* name = instructionSetName(set);
    if (!isBuilt(set)) continue;
    if (!processorHas(features, set)) {
      printf("skipped: the processor lacks %s\n", name);
      continue;
    }
    const LumaRowKernels form = rowKernelsFor(set);
    for (const Kernel& kernel : kKernels) {
      for (const Amounts& amounts : kAmounts) {
        widthsCase(report, scalar, form, name, kernel, amounts);
        everyPairCase(report, scalar, form, name, kernel, amounts);
        if (kernel.operation != Operation::shiftedMinimum && kernel.operation != Operation::clamp) {
          break;  // the other kernels take no amounts
        }
      }
    }
  }
  report.printSummary();
  return report.failed() == 0 && report.passed() > 0 ? 0 : 1;
}
