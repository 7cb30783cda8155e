// The host-free plane operations on planes that host frames never have: a
// height of 0 or less, a pitch below the row width rounded up to 16 (a tail
// that is not a multiple of 8), a row width below the block width. Each
// plane sits in a buffer with guard bytes before and after it, and the bytes
// of every row past what the walk covers must stay as they were. Also the
// walk geometry worked out for the widths and block widths in use.
#include "filters/luma_planes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "filters/plane_walks.h"
#include "kernels/instruction_set.h"
#include "kernels/row_kernels.h"

namespace quorvant {
namespace {

TEST(WalkGeometry, WorkedWidthsForEachBlockWidth) {
  struct Spans {
    int blockSpan;
    int tailGroups;
  };
  struct Row {
    int width;
    int aligned;
    Spans block64, block24, block56;
  };
  const Row rows[] = {
      {128, 128, {128, 0}, {120, 1}, {112, 2}},      {130, 144, {128, 2}, {120, 3}, {112, 4}},
      {352, 352, {320, 4}, {336, 2}, {336, 2}},      {640, 640, {640, 0}, {624, 2}, {616, 3}},
      {720, 720, {704, 2}, {720, 0}, {672, 6}},      {1280, 1280, {1280, 0}, {1272, 1}, {1232, 6}},
      {1920, 1920, {1920, 0}, {1920, 0}, {1904, 2}},
  };
  for (const Row& row : rows) {
    const int pitch = (row.width + 15) / 16 * 16;
    for (const auto& [blockWidth, spans] :
         {std::pair{64, row.block64}, std::pair{24, row.block24}, std::pair{56, row.block56}}) {
      SCOPED_TRACE(::testing::Message() << "width " << row.width << " block " << blockWidth);
      const WalkGeometry g = walkGeometry(row.width, pitch, 5, blockWidth);
      EXPECT_EQ(g.rowWidth, row.width);
      EXPECT_EQ(g.alignedWidth, row.aligned);
      EXPECT_EQ(g.blockSpan, spans.blockSpan);
      EXPECT_EQ(g.tailSpan, spans.tailGroups * 8);
      EXPECT_EQ(g.height, 5);
    }
  }
}

TEST(WalkGeometry, PitchBelowTheRoundedWidthKeepsTheRowWidth) {
  const WalkGeometry narrow = walkGeometry(130, 136, 3, 56);
  EXPECT_EQ(narrow.alignedWidth, 130);
  EXPECT_EQ(narrow.blockSpan, 112);
  EXPECT_EQ(narrow.tailSpan, 18);
  const WalkGeometry empty = walkGeometry(-4, 16, -2, 24);
  EXPECT_EQ(empty.rowWidth, 0);
  EXPECT_EQ(empty.height, 0);
  EXPECT_EQ(empty.tailSpan, empty.alignedWidth - empty.blockSpan);
}

// --- plane operations on guarded buffers -------------------------------------

constexpr int kGuard = 64;
constexpr uint8_t kGuardByte = 0xEE;

uint8_t patternByte(int plane, int offset) {
  return uint8_t((offset * 131 + plane * 71 + (offset >> 8) * 29) ^ (plane << 5));
}

// One plane of `height` rows of `pitch` bytes (at least one row of storage)
// between guard zones.
struct GuardedPlane {
  int pitch;
  int rowWidth;
  int height;
  std::vector<uint8_t> storage;

  GuardedPlane(int planePitch, int width, int rows, int seed)
      : pitch(planePitch),
        rowWidth(width),
        height(rows),
        storage(size_t(2 * kGuard + planePitch * std::max(rows, 1))) {
    for (size_t i = 0; i < storage.size(); ++i) {
      storage[i] = seed < 0 ? kGuardByte : patternByte(seed, int(i));
    }
  }
  uint8_t* data() { return storage.data() + kGuard; }
  PlaneView view() { return PlaneView{data(), pitch, rowWidth, height}; }
  MutablePlaneView mutableView() { return MutablePlaneView{data(), pitch, rowWidth, height}; }
  uint8_t at(int x, int y) const { return storage[size_t(kGuard + y * pitch + x)]; }
};

struct PlaneOperation {
  const char* name;
  bool inPlaceWalk;
  int inputs;
  void (*apply)(const LumaRowKernels& kernels, const PlaneView* in, const MutablePlaneView& dst);
  uint8_t (*formula)(const uint8_t* in);
};

const PlaneOperation kOperations[] = {
    {"sign", true, 1,
     [](const LumaRowKernels& k, const PlaneView* in, const MutablePlaneView& dst) {
       signPlane(in[0], dst, k.sign);
     },
     [](const uint8_t* in) { return uint8_t(in[0] ^ 0x80); }},
    {"subtractAndSign", true, 2,
     [](const LumaRowKernels& k, const PlaneView* in, const MutablePlaneView& dst) {
       subtractAndSignPlane(in[0], in[1], dst, k.subtractAndSign);
     },
     [](const uint8_t* in) { return uint8_t(std::clamp(in[0] - in[1], -128, 127)); }},
    {"shiftedMinimum", true, 2,
     [](const LumaRowKernels& k, const PlaneView* in, const MutablePlaneView& dst) {
       shiftedMinimumPlane(in[0], in[1], dst, 37, k.shiftedMinimum);
     },
     [](const uint8_t* in) { return uint8_t(std::min(in[0] + 37, int(in[1]))); }},
    {"clamp", false, 3,
     [](const LumaRowKernels& k, const PlaneView* in, const MutablePlaneView& dst) {
       clampPlane(in[0], in[1], in[2], dst, 9, 13, k.clamp);
     },
     [](const uint8_t* in) {
       return uint8_t(std::max(std::min(int(in[0]), std::min(in[1] + 9, 255)), in[2] - 13));
     }},
    {"simpleAverage", false, 2,
     [](const LumaRowKernels& k, const PlaneView* in, const MutablePlaneView& dst) {
       simpleAveragePlane(in[0], in[1], dst, k.simpleAverage);
     },
     [](const uint8_t* in) { return uint8_t((in[0] + in[1] + 1) / 2); }},
};

struct PlaneShape {
  int width;
  int pitch;
  int height;
};

std::vector<PlaneShape> unusualShapes() {
  std::vector<PlaneShape> shapes;
  // No rows at all.
  for (int height : {0, -1, -3}) {
    shapes.push_back({128, 128, height});
    shapes.push_back({130, 144, height});
  }
  for (int height : {1, 2, 3}) {
    // Pitch below the width rounded up to 16: the tail span is not a
    // multiple of 8 and ends at the row width.
    for (PlaneShape shape : {PlaneShape{130, 136, 0}, PlaneShape{130, 130, 0},
                             PlaneShape{135, 140, 0}, PlaneShape{1001, 1004, 0}}) {
      shape.height = height;
      shapes.push_back(shape);
    }
    // Row widths below every block width, with and without room to round up.
    for (int width : {0, 1, 5, 8, 20, 23, 24, 40, 55, 63}) {
      shapes.push_back({width, width, height});
      shapes.push_back({width, (width + 15) / 16 * 16 + 16, height});
    }
  }
  return shapes;
}

// The bytes a walk writes: 0..A-1 of every row (new-frame walk), or of
// every row but the last, whose bytes 0..W-1 only (in-place walk), where A
// is W rounded up to 16 when the pitch holds it, else W. No row when the
// height is 0 or less.
std::vector<uint8_t> expectedStorage(const PlaneOperation& operation, const PlaneShape& shape,
                                     const std::vector<GuardedPlane>& inputs,
                                     std::vector<uint8_t> before) {
  const int rounded = (shape.width + 15) / 16 * 16;
  const int aligned = rounded <= shape.pitch ? rounded : shape.width;
  for (int y = 0; y < shape.height; ++y) {
    const bool lastRow = y == shape.height - 1;
    const int width = operation.inPlaceWalk && lastRow ? shape.width : aligned;
    for (int x = 0; x < width; ++x) {
      uint8_t in[3] = {};
      for (size_t i = 0; i < inputs.size(); ++i) in[i] = inputs[i].at(x, y);
      before[size_t(kGuard + y * shape.pitch + x)] = operation.formula(in);
    }
  }
  return before;
}

// Index of the first differing byte, relative to the plane's start.
::testing::AssertionResult sameStorage(const std::vector<uint8_t>& actual,
                                       const std::vector<uint8_t>& expected, int pitch) {
  const auto mismatch = std::mismatch(actual.begin(), actual.end(), expected.begin());
  if (mismatch.first == actual.end()) return ::testing::AssertionSuccess();
  const long offset = long(mismatch.first - actual.begin()) - kGuard;
  return ::testing::AssertionFailure()
         << "byte at plane offset " << offset << " (row " << (pitch ? offset / pitch : 0)
         << ", column " << (pitch ? offset % pitch : offset) << ") is " << int(*mismatch.first)
         << ", expected " << int(*mismatch.second);
}

std::vector<InstructionSet> availableSets() {
  std::vector<InstructionSet> sets;
  const ProcessorFeatures features = detectProcessorFeatures();
  for (InstructionSet set :
       {InstructionSet::scalar, InstructionSet::mmx, InstructionSet::sse2, InstructionSet::avx2}) {
    if (isBuilt(set) && processorHas(features, set)) sets.push_back(set);
  }
  return sets;
}

TEST(LumaPlanes, UnusualPlanesAreWalkedWithinTheirRows) {
  for (InstructionSet set : availableSets()) {
    const LumaRowKernels kernels = rowKernelsFor(set);
    for (const PlaneOperation& operation : kOperations) {
      for (const PlaneShape& shape : unusualShapes()) {
        for (bool intoFirst : {false, true}) {
          if (intoFirst && !operation.inPlaceWalk) continue;
          SCOPED_TRACE(::testing::Message()
                       << operation.name << " " << instructionSetName(set) << " width "
                       << shape.width << " pitch " << shape.pitch << " height " << shape.height
                       << (intoFirst ? " in place" : ""));
          std::vector<GuardedPlane> inputs;
          for (int i = 0; i < operation.inputs; ++i) {
            inputs.emplace_back(shape.pitch, shape.width, shape.height, i + 1);
          }
          // In place the destination is the first plane itself; else a
          // plane of guard bytes.
          GuardedPlane dst =
              intoFirst ? inputs[0] : GuardedPlane(shape.pitch, shape.width, shape.height, -1);
          const std::vector<uint8_t> expected =
              expectedStorage(operation, shape, inputs, dst.storage);
          const std::vector<GuardedPlane> inputsBefore = inputs;
          std::vector<PlaneView> views;
          for (GuardedPlane& input : inputs) views.push_back(input.view());
          if (intoFirst) views[0] = dst.view();
          operation.apply(kernels, views.data(), dst.mutableView());
          ASSERT_TRUE(sameStorage(dst.storage, expected, shape.pitch));
          for (size_t i = 0; i < inputs.size(); ++i) {
            ASSERT_TRUE(sameStorage(inputs[i].storage, inputsBefore[i].storage, shape.pitch));
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace quorvant
