// Fuzzes the five plane operations, each with every row-kernel form that
// was built and that this processor runs, over arbitrary plane geometry:
// row widths, pitches (below the rounded width, below the row width, not a
// multiple of 8), heights (0 and 1 among them), and planes of one call that
// differ in size. Every plane sits between guard zones, sized to the bytes
// its walk may reach: whole rows to the pitch, and for the in-place walk a
// last row of just the row width. Each form must
//  - touch nothing outside the planes (guards, AddressSanitizer);
//  - leave its inputs alone and write only inside the set its walk defines:
//    bytes [0, A) of every row (new-frame walk), or of every row but the
//    last, whose bytes [0, W) it writes (in-place walk), with A the aligned
//    width of the first plane;
//  - write exactly what the scalar form writes.
// When all planes share one geometry and rows do not overlap, the scalar
// result must also equal the operation worked out byte by byte here.
// Inputs starting with a byte of 0xF0 or more instead check the walk
// geometry itself for any integers and block widths.
#include <stddef.h>
#include <stdint.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "filters/luma_planes.h"
#include "filters/plane_walks.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/guarded_plane.h"
#include "kernels/instruction_set.h"
#include "kernels/row_kernels.h"

namespace quorvant::fuzz {
namespace {

enum class Walk { newFrame, inPlace };

enum class Operation { sign, subtractAndSign, shiftedMinimum, clamp, simpleAverage };
constexpr int kOperations = 5;

struct OperationTraits {
  const char* name;
  int inputs;
  Walk walk;
};

OperationTraits traitsOf(Operation operation) {
  switch (operation) {
    case Operation::sign:
      return {"sign", 1, Walk::inPlace};
    case Operation::subtractAndSign:
      return {"subtractAndSign", 2, Walk::inPlace};
    case Operation::shiftedMinimum:
      return {"shiftedMinimum", 2, Walk::inPlace};
    case Operation::clamp:
      return {"clamp", 3, Walk::newFrame};
    case Operation::simpleAverage:
      return {"simpleAverage", 2, Walk::newFrame};
  }
  return {"?", 0, Walk::newFrame};
}

// The operations' per-byte definitions, written out independently of the kernels.
uint8_t expectedByte(Operation operation, const uint8_t* in, uint8_t a, uint8_t b) {
  switch (operation) {
    case Operation::sign:
      return uint8_t(in[0] ^ 0x80);
    case Operation::subtractAndSign:
      return uint8_t(std::clamp(int(in[0]) - int(in[1]), -128, 127));
    case Operation::shiftedMinimum:
      return uint8_t(std::min({int(in[0]) + a, 255, int(in[1])}));
    case Operation::clamp: {
      const int high = std::min(in[1] + a, 255);
      const int low = std::max(in[2] - b, 0);
      return uint8_t(std::max(std::min(int(in[0]), high), low));
    }
    case Operation::simpleAverage:
      return uint8_t((in[0] + in[1] + 1) / 2);
  }
  return 0;
}

int alignedWidthOf(const PlaneGeometry& g) {
  const int w = std::max(g.rowWidth, 0);
  const int rounded = (w + 15) / 16 * 16;
  return rounded <= g.pitch ? rounded : w;
}

// Bytes from the plane's start that its walk may reach: whole rows to the
// pitch, except that the in-place walk's last row ends at the row width.
size_t extentOf(const PlaneGeometry& g, Walk walk) {
  if (g.height <= 0) return 0;
  const size_t width = size_t(std::max(g.rowWidth, 0));
  const size_t lastRow = walk == Walk::inPlace ? width : std::max(width, size_t(g.pitch));
  return size_t(g.height - 1) * size_t(g.pitch) + lastRow;
}

// Marks, in a plane of geometry `dst`, the bytes the walk may write when the
// first plane has geometry `first`.
std::vector<bool> writableSet(const PlaneGeometry& first, const PlaneGeometry& dst, Walk walk,
                              size_t dstExtent) {
  std::vector<bool> set(dstExtent, false);
  const int rows = std::max(first.height, 0);
  for (int y = 0; y < rows; ++y) {
    const bool last = y == rows - 1;
    const int span =
        walk == Walk::inPlace && last ? std::max(first.rowWidth, 0) : alignedWidthOf(first);
    for (int x = 0; x < span; ++x) {
      const size_t at = size_t(y) * size_t(dst.pitch) + size_t(x);
      if (at < dstExtent) set[at] = true;
    }
  }
  return set;
}

PlaneGeometry readGeometry(FuzzInput& in) {
  PlaneGeometry g;
  g.rowWidth = in.inRange(-1, 320);
  const int w = std::max(g.rowWidth, 0);
  const int rounded = (w + 15) / 16 * 16;
  switch (in.byte() % 4) {
    case 0:
      g.pitch = rounded + 16 * in.inRange(0, 2);
      break;  // as a host allocates
    case 1:
      g.pitch = w + in.inRange(0, 24);
      break;  // below the rounded width too
    case 2:
      g.pitch = in.inRange(1, w + 24);
      break;  // rows may overlap
    default:
      g.pitch = rounded;
      break;
  }
  g.pitch = std::max(g.pitch, 1);
  g.height = in.inRange(-1, 7);
  return g;
}

// Another plane of the call: mostly the first plane's geometry, sometimes its own.
PlaneGeometry readOtherGeometry(FuzzInput& in, const PlaneGeometry& first) {
  return in.byte() % 4 == 0 ? readGeometry(in) : first;
}

std::vector<uint8_t> contentFrom(FuzzInput& in, size_t extent, uint8_t salt) {
  std::vector<uint8_t> bytes(extent);
  const size_t available = in.remaining();
  const uint8_t* source = in.rest();
  for (size_t i = 0; i < extent; ++i)
    bytes[i] = available > 0 ? uint8_t(source[(i + salt * 131u) % available] + salt)
                             : uint8_t(i * 37 + salt * 11);
  return bytes;
}

struct WalkCase {
  Operation operation;
  uint8_t amountA;
  uint8_t amountB;
  bool inPlace;  // the output is the first plane itself
  std::vector<PlaneGeometry> inputGeometry;
  std::vector<std::vector<uint8_t>> inputContent;
  PlaneGeometry outputGeometry;
  std::vector<uint8_t> outputContent;  // unused when in place
};

// The planes of one run: every input, and the output unless it is input 0.
struct WalkResult {
  std::vector<std::vector<uint8_t>> inputs;
  std::vector<uint8_t> output;
};

WalkResult run(const WalkCase& c, const LumaRowKernels& kernels) {
  std::vector<std::unique_ptr<GuardedPlane>> inputs;
  for (size_t i = 0; i < c.inputGeometry.size(); ++i)
    inputs.push_back(std::make_unique<GuardedPlane>(c.inputGeometry[i], c.inputContent[i]));
  GuardedPlane separateOutput(c.outputGeometry, c.outputContent);
  GuardedPlane& output = c.inPlace ? *inputs[0] : separateOutput;

  const MutablePlaneView dst = output.mutableView();
  auto in = [&](size_t i) { return inputs[i]->view(); };
  switch (c.operation) {
    case Operation::sign:
      signPlane(in(0), dst, kernels.sign);
      break;
    case Operation::subtractAndSign:
      subtractAndSignPlane(in(0), in(1), dst, kernels.subtractAndSign);
      break;
    case Operation::shiftedMinimum:
      shiftedMinimumPlane(in(0), in(1), dst, c.amountA, kernels.shiftedMinimum);
      break;
    case Operation::clamp:
      clampPlane(in(0), in(1), in(2), dst, c.amountA, c.amountB, kernels.clamp);
      break;
    case Operation::simpleAverage:
      simpleAveragePlane(in(0), in(1), dst, kernels.simpleAverage);
      break;
  }

  WalkResult result;
  for (const auto& plane : inputs) {
    QUORVANT_FUZZ_CHECK(plane->guardsIntact(), "%s wrote next to an input plane",
                        traitsOf(c.operation).name);
    result.inputs.push_back(plane->content());
  }
  QUORVANT_FUZZ_CHECK(separateOutput.guardsIntact(), "%s wrote next to the output plane",
                      traitsOf(c.operation).name);
  result.output = c.inPlace ? result.inputs[0] : separateOutput.content();
  return result;
}

// Inputs unchanged (but for the first when it is the output) and the output
// unchanged outside the set that its walk may write.
void checkWriteSet(const WalkCase& c, const WalkResult& r, const char* form) {
  const OperationTraits traits = traitsOf(c.operation);
  for (size_t i = c.inPlace ? 1 : 0; i < r.inputs.size(); ++i)
    QUORVANT_FUZZ_CHECK(r.inputs[i] == c.inputContent[i], "%s/%s changed input %zu", traits.name,
                        form, i);
  const PlaneGeometry& outGeometry = c.inPlace ? c.inputGeometry[0] : c.outputGeometry;
  const std::vector<uint8_t>& before = c.inPlace ? c.inputContent[0] : c.outputContent;
  const std::vector<bool> writable =
      writableSet(c.inputGeometry[0], outGeometry, traits.walk, before.size());
  for (size_t at = 0; at < before.size(); ++at)
    QUORVANT_FUZZ_CHECK(writable[at] || r.output[at] == before[at],
                        "%s/%s wrote byte %zu (row %zu), outside its walk", traits.name, form, at,
                        at / size_t(outGeometry.pitch));
}

// With every plane of one geometry and rows apart, each byte of the walk's
// set is the operation of the input bytes at its own place.
void checkAgainstDefinition(const WalkCase& c, const WalkResult& r) {
  const PlaneGeometry& g = c.inputGeometry[0];
  auto same = [&](const PlaneGeometry& o) {
    return o.rowWidth == g.rowWidth && o.pitch == g.pitch && o.height == g.height;
  };
  if (g.pitch < g.rowWidth) return;
  if (!std::all_of(c.inputGeometry.begin(), c.inputGeometry.end(), same)) return;
  if (!c.inPlace && !same(c.outputGeometry)) return;

  const OperationTraits traits = traitsOf(c.operation);
  const std::vector<uint8_t>& before = c.inPlace ? c.inputContent[0] : c.outputContent;
  const std::vector<bool> writable = writableSet(g, g, traits.walk, before.size());
  for (size_t at = 0; at < before.size(); ++at) {
    uint8_t in[3] = {0, 0, 0};
    for (size_t i = 0; i < c.inputContent.size(); ++i) in[i] = c.inputContent[i][at];
    const uint8_t expected =
        writable[at] ? expectedByte(c.operation, in, c.amountA, c.amountB) : before[at];
    QUORVANT_FUZZ_CHECK(r.output[at] == expected, "%s: byte %zu (row %zu) is %d, expected %d",
                        traits.name, at, at / size_t(g.pitch), r.output[at], expected);
  }
}

void fuzzPlaneOperation(FuzzInput& in) {
  WalkCase c;
  c.operation = Operation(in.byte() % kOperations);
  const OperationTraits traits = traitsOf(c.operation);
  c.amountA = in.byte();
  c.amountB = in.byte();
  c.inPlace = in.flag();
  const PlaneGeometry first = readGeometry(in);
  c.inputGeometry.push_back(first);
  for (int i = 1; i < traits.inputs; ++i) c.inputGeometry.push_back(readOtherGeometry(in, first));
  c.outputGeometry = c.inPlace ? first : readOtherGeometry(in, first);

  for (size_t i = 0; i < c.inputGeometry.size(); ++i)
    c.inputContent.push_back(
        contentFrom(in, extentOf(c.inputGeometry[i], traits.walk), uint8_t(i)));
  // The output starts as a pattern that no input has, so stray writes show.
  c.outputContent.resize(c.inPlace ? 0 : extentOf(c.outputGeometry, traits.walk));
  for (size_t i = 0; i < c.outputContent.size(); ++i) c.outputContent[i] = uint8_t(0xA5 ^ (i * 7));

  const WalkResult reference = run(c, rowKernelsFor(InstructionSet::scalar));
  checkWriteSet(c, reference, "scalar");
  checkAgainstDefinition(c, reference);

  static const ProcessorFeatures features = detectProcessorFeatures();
  for (InstructionSet set : {InstructionSet::mmx, InstructionSet::sse2, InstructionSet::avx2}) {
    if (!isBuilt(set) || !processorHas(features, set)) continue;
    const WalkResult result = run(c, rowKernelsFor(set));
    checkWriteSet(c, result, instructionSetName(set));
    QUORVANT_FUZZ_CHECK(result.output == reference.output,
                        "%s/%s output differs from the scalar form", traits.name,
                        instructionSetName(set));
  }
}

// The widths of a walk, for any integers and block widths, and their fitting
// to another plane: spans never negative, the aligned width only ever the
// row width or its rounding that the pitch holds, fitted spans within what
// the other plane holds, and a plane of equal size changing nothing.
void fuzzWalkGeometry(FuzzInput& in) {
  const int width = int(in.dword());
  const int pitch = int(in.dword());
  const int height = int(in.dword());
  const int blockWidth = int16_t(in.word());
  const WalkGeometry g = walkGeometry(width, pitch, height, blockWidth);
  const int w = std::max(width, 0);
  QUORVANT_FUZZ_CHECK(g.rowWidth == w && g.height == std::max(height, 0), "row width/height");
  QUORVANT_FUZZ_CHECK(g.alignedWidth >= w && g.alignedWidth - w < 16, "aligned width %d for %d",
                      g.alignedWidth, w);
  QUORVANT_FUZZ_CHECK(g.alignedWidth == w || (g.alignedWidth % 16 == 0 && g.alignedWidth <= pitch),
                      "aligned width %d, width %d, pitch %d", g.alignedWidth, w, pitch);
  QUORVANT_FUZZ_CHECK(g.blockSpan >= 0 && g.blockSpan <= w, "block span %d", g.blockSpan);
  if (blockWidth > 0)
    QUORVANT_FUZZ_CHECK(g.blockSpan % blockWidth == 0 && w - g.blockSpan < blockWidth,
                        "block span %d for block width %d", g.blockSpan, blockWidth);
  QUORVANT_FUZZ_CHECK(g.tailSpan == g.alignedWidth - g.blockSpan, "tail span");

  const WalkGeometry unchanged = fitGeometry(g, PlaneView{nullptr, pitch, width, height});
  QUORVANT_FUZZ_CHECK(unchanged.rowWidth == g.rowWidth &&
                          unchanged.alignedWidth == g.alignedWidth &&
                          unchanged.blockSpan == g.blockSpan && unchanged.height == g.height,
                      "a plane of equal size changed the walk");

  const PlaneView other{nullptr, int(in.dword()), int(in.dword()), int(in.dword())};
  const WalkGeometry f = fitGeometry(g, other);
  QUORVANT_FUZZ_CHECK(f.height == std::min(g.height, std::max(other.height, 0)), "fitted height");
  QUORVANT_FUZZ_CHECK(f.rowWidth == std::min(g.rowWidth, std::max(other.rowWidth, 0)),
                      "fitted row width");
  QUORVANT_FUZZ_CHECK(f.alignedWidth >= f.rowWidth && f.alignedWidth <= g.alignedWidth,
                      "fitted aligned width");
  QUORVANT_FUZZ_CHECK(f.alignedWidth == f.rowWidth || f.alignedWidth <= other.pitch,
                      "fitted aligned width %d beyond the other plane's rows (pitch %d)",
                      f.alignedWidth, other.pitch);
  QUORVANT_FUZZ_CHECK(f.blockSpan >= 0 && f.blockSpan <= f.rowWidth, "fitted block span");
  QUORVANT_FUZZ_CHECK(f.tailSpan == f.alignedWidth - f.blockSpan, "fitted tail span");
}

}  // namespace
}  // namespace quorvant::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvant::fuzz::FuzzInput in(data, size);
  if (size > 0 && data[0] >= 0xF0) {
    in.byte();
    quorvant::fuzz::fuzzWalkGeometry(in);
  } else {
    quorvant::fuzz::fuzzPlaneOperation(in);
  }
  return 0;
}
