// Every vector form of every row kernel against the scalar form, byte for
// byte, on each instruction set that was built and that this processor has
// (the others are skipped, saying why): rows of every width up to 300 and
// some large ones at unaligned starts with guard bytes around them, in place,
// against inaccessible pages on both sides, every operand combination, and
// whole planes through the plane functions at several pitches and heights.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/mman.h>
#include <unistd.h>
#define QUORVANT_HAS_PAGE_FENCES 1
#else
#define QUORVANT_HAS_PAGE_FENCES 0
#endif

#include "filters/luma_planes.h"
#include "kernels/instruction_set.h"
#include "kernels/row_kernels.h"

namespace quorvant {

// Names the instruction set in test output.
void PrintTo(InstructionSet set, std::ostream* out) { *out << instructionSetName(set); }

namespace {

// --- operations under test ---------------------------------------------------

// The amounts of one call: ShiftedMinimum's shift in `first`; Clamp's upper
// margin in `first` and lower margin in `second`; unused by the others.
struct Amounts {
  uint8_t first;
  uint8_t second;
};

struct RowOperation {
  const char* name;
  int inputs;
  std::vector<Amounts> amountCases;  // the corners 0 and 255 and a few between
  // Runs this operation's kernel from `kernels` over [0, width).
  void (*apply)(const LumaRowKernels& kernels, uint8_t* dst, const uint8_t* const* in, int width,
                Amounts amounts);
  // Runs its plane function from `kernels`; the first input may be dst itself.
  void (*applyPlane)(const LumaRowKernels& kernels, const PlaneView* in,
                     const MutablePlaneView& dst, Amounts amounts);
  bool inPlaceWalk;
};

const std::vector<RowOperation>& rowOperations() {
  static const std::vector<RowOperation> operations = {
      {"Sign",
       1,
       {{0, 0}},
       [](const LumaRowKernels& k, uint8_t* dst, const uint8_t* const* in, int width, Amounts) {
         k.sign(dst, in[0], width);
       },
       [](const LumaRowKernels& k, const PlaneView* in, const MutablePlaneView& dst, Amounts) {
         signPlane(in[0], dst, k.sign);
       },
       true},
      {"SubtractAndSign",
       2,
       {{0, 0}},
       [](const LumaRowKernels& k, uint8_t* dst, const uint8_t* const* in, int width, Amounts) {
         k.subtractAndSign(dst, in[0], in[1], width);
       },
       [](const LumaRowKernels& k, const PlaneView* in, const MutablePlaneView& dst, Amounts) {
         subtractAndSignPlane(in[0], in[1], dst, k.subtractAndSign);
       },
       true},
      {"ShiftedMinimum",
       2,
       {{0, 0}, {1, 0}, {20, 0}, {127, 0}, {128, 0}, {254, 0}, {255, 0}},
       [](const LumaRowKernels& k, uint8_t* dst, const uint8_t* const* in, int width, Amounts a) {
         k.shiftedMinimum(dst, in[0], in[1], width, a.first);
       },
       [](const LumaRowKernels& k, const PlaneView* in, const MutablePlaneView& dst, Amounts a) {
         shiftedMinimumPlane(in[0], in[1], dst, a.first, k.shiftedMinimum);
       },
       true},
      {"Clamp",
       3,
       {{0, 0}, {0, 255}, {255, 0}, {255, 255}, {5, 5}, {1, 254}, {128, 127}},
       [](const LumaRowKernels& k, uint8_t* dst, const uint8_t* const* in, int width, Amounts a) {
         k.clamp(dst, in[0], in[1], in[2], width, a.first, a.second);
       },
       [](const LumaRowKernels& k, const PlaneView* in, const MutablePlaneView& dst, Amounts a) {
         clampPlane(in[0], in[1], in[2], dst, a.first, a.second, k.clamp);
       },
       false},
      {"SimpleAverage",
       2,
       {{0, 0}},
       [](const LumaRowKernels& k, uint8_t* dst, const uint8_t* const* in, int width, Amounts) {
         k.simpleAverage(dst, in[0], in[1], width);
       },
       [](const LumaRowKernels& k, const PlaneView* in, const MutablePlaneView& dst, Amounts) {
         simpleAveragePlane(in[0], in[1], dst, k.simpleAverage);
       },
       false},
  };
  return operations;
}

std::string describe(const RowOperation& op, Amounts amounts) {
  return std::string(op.name) + " amounts " + std::to_string(amounts.first) + "/" +
         std::to_string(amounts.second);
}

// --- buffers -------------------------------------------------------------------

void fillRandom(uint8_t* bytes, size_t count, uint64_t seed) {
  uint64_t state = seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull;
  for (size_t i = 0; i < count; ++i) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    bytes[i] = uint8_t(state >> 32);
  }
}

// Widths 0 to 300 one by one (every remainder of every step width the forms
// use), then some large ones.
std::vector<int> rowWidths() {
  std::vector<int> widths;
  for (int w = 0; w <= 300; ++w) widths.push_back(w);
  for (int w : {511, 1920, 3840 + 13}) widths.push_back(w);
  return widths;
}

constexpr int kGuard = 64;
constexpr uint8_t kGuardByte = 0xA5;

// A row at a chosen offset from a 64-byte boundary, with guard bytes before
// and after it.
class GuardedRow {
 public:
  GuardedRow(int width, int offset, uint64_t seed)
      : width(width), start(kGuard + offset), bytes(size_t(start + width + kGuard), kGuardByte) {
    fillRandom(data(), size_t(width), seed);
  }
  uint8_t* data() { return bytes.data() + start; }
  std::vector<uint8_t> row() const {
    return std::vector<uint8_t>(bytes.begin() + start, bytes.begin() + start + width);
  }
  bool guardsIntact() const {
    auto isGuard = [](uint8_t b) { return b == kGuardByte; };
    return std::all_of(bytes.begin(), bytes.begin() + start, isGuard) &&
           std::all_of(bytes.begin() + start + width, bytes.end(), isGuard);
  }

 private:
  int width;
  int start;
  std::vector<uint8_t> bytes;
};

// --- the fixture: one instruction set per instantiation ------------------------

class KernelEquivalence : public ::testing::TestWithParam<InstructionSet> {
 protected:
  void SetUp() override {
    const InstructionSet set = GetParam();
    if (!isBuilt(set)) GTEST_SKIP() << instructionSetName(set) << " forms are not built here";
    if (!processorHas(detectProcessorFeatures(), set)) {
      GTEST_SKIP() << "this processor lacks " << instructionSetName(set);
    }
    vector = rowKernelsFor(set);
  }

  LumaRowKernels vector{};
  const LumaRowKernels scalar = rowKernelsFor(InstructionSet::scalar);
};

TEST_P(KernelEquivalence, RowsEqualScalarAtEveryWidthAndOffset) {
  // Start offsets from a 64-byte boundary: destination and up to three inputs.
  const int offsets[][4] = {{0, 0, 0, 0}, {1, 3, 5, 7}, {15, 0, 9, 33}};
  for (const RowOperation& op : rowOperations()) {
    for (const Amounts amounts : op.amountCases) {
      for (int width : rowWidths()) {
        for (const auto& offset : offsets) {
          std::vector<GuardedRow> inputs;
          const uint8_t* in[3] = {};
          for (int i = 0; i < op.inputs; ++i) {
            inputs.emplace_back(width, offset[i + 1], uint64_t(width * 7 + i));
          }
          for (int i = 0; i < op.inputs; ++i) in[i] = inputs[size_t(i)].data();
          GuardedRow expected(width, 0, 99);
          GuardedRow actual(width, offset[0], 99);
          op.apply(scalar, expected.data(), in, width, amounts);
          op.apply(vector, actual.data(), in, width, amounts);
          const std::string where = describe(op, amounts) + " width " + std::to_string(width) +
                                    " offset " + std::to_string(offset[0]);
          ASSERT_EQ(actual.row(), expected.row()) << where;
          ASSERT_TRUE(actual.guardsIntact()) << where;
          for (const GuardedRow& input : inputs) ASSERT_TRUE(input.guardsIntact()) << where;
        }
      }
    }
  }
}

TEST_P(KernelEquivalence, InPlaceEqualsOutOfPlace) {
  for (const RowOperation& op : rowOperations()) {
    for (const Amounts amounts : op.amountCases) {
      for (int width : rowWidths()) {
        std::vector<GuardedRow> inputs;
        const uint8_t* in[3] = {};
        for (int i = 0; i < op.inputs; ++i) inputs.emplace_back(width, i, uint64_t(width + i));
        for (int i = 0; i < op.inputs; ++i) in[i] = inputs[size_t(i)].data();
        GuardedRow expected(width, 0, 0);
        op.apply(scalar, expected.data(), in, width, amounts);
        op.apply(vector, inputs[0].data(), in, width, amounts);  // dst is the first input
        const std::string where = describe(op, amounts) + " width " + std::to_string(width);
        ASSERT_EQ(inputs[0].row(), expected.row()) << where;
        ASSERT_TRUE(inputs[0].guardsIntact()) << where;
      }
    }
  }
}

// Every combination of operand bytes, each amount case (every shift), in one
// row per case: the arithmetic of the vector forms equals the scalar form's.
TEST_P(KernelEquivalence, EveryOperandCombination) {
  for (const RowOperation& op : rowOperations()) {
    const size_t count = size_t(1) << (8 * op.inputs);
    std::vector<std::vector<uint8_t>> inputs(size_t(op.inputs), std::vector<uint8_t>(count));
    const uint8_t* in[3] = {};
    for (size_t i = 0; i < count; ++i) {
      for (int k = 0; k < op.inputs; ++k) inputs[size_t(k)][i] = uint8_t(i >> (8 * k));
    }
    for (int k = 0; k < op.inputs; ++k) in[k] = inputs[size_t(k)].data();
    std::vector<Amounts> amountCases = op.amountCases;
    if (std::string(op.name) == "ShiftedMinimum") {
      amountCases.clear();
      for (int shift = 0; shift < 256; ++shift) amountCases.push_back({uint8_t(shift), 0});
    }
    std::vector<uint8_t> expected(count), actual(count);
    for (const Amounts amounts : amountCases) {
      op.apply(scalar, expected.data(), in, int(count), amounts);
      op.apply(vector, actual.data(), in, int(count), amounts);
      const auto differs = std::mismatch(actual.begin(), actual.end(), expected.begin());
      ASSERT_TRUE(differs.first == actual.end())
          << describe(op, amounts) << " operands index " << (differs.first - actual.begin()) << ": "
          << int(*differs.first) << " instead of " << int(*differs.second);
    }
  }
}

#if QUORVANT_HAS_PAGE_FENCES
// A region between two inaccessible pages, so that any read or write just
// outside it faults.
class FencedRegion {
 public:
  explicit FencedRegion(size_t size) : page(size_t(sysconf(_SC_PAGESIZE))) {
    usable = (size + page - 1) / page * page;
    total = usable + 2 * page;
    void* mapping =
        mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) throw std::bad_alloc();
    base = static_cast<uint8_t*>(mapping);
    mprotect(base, page, PROT_NONE);
    mprotect(base + page + usable, page, PROT_NONE);
  }
  ~FencedRegion() { munmap(base, total); }
  FencedRegion(const FencedRegion&) = delete;
  FencedRegion& operator=(const FencedRegion&) = delete;

  uint8_t* first() { return base + page; }
  uint8_t* end() { return base + page + usable; }

 private:
  size_t page;
  size_t usable;
  size_t total;
  uint8_t* base;
};

TEST_P(KernelEquivalence, NeverTouchesBytesOutsideTheRow) {
  for (const RowOperation& op : rowOperations()) {
    for (int width : rowWidths()) {
      // Every row ends at the fence after it, then starts at the fence before it.
      for (bool atEnd : {true, false}) {
        std::vector<std::unique_ptr<FencedRegion>> regions;
        uint8_t* rows[4] = {};
        for (int i = 0; i <= op.inputs; ++i) {
          regions.push_back(std::make_unique<FencedRegion>(size_t(width)));
          rows[i] = atEnd ? regions.back()->end() - width : regions.back()->first();
          fillRandom(rows[i], size_t(width), uint64_t(i));
        }
        std::vector<uint8_t> expected(static_cast<size_t>(width), 0);
        const uint8_t* in[3] = {rows[1], rows[2], rows[3]};
        op.apply(scalar, expected.data(), in, width, op.amountCases.back());
        op.apply(vector, rows[0], in, width, op.amountCases.back());
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), rows[0]))
            << op.name << " width " << width;
      }
    }
  }
}
#endif

// Whole planes through the plane functions: the walk with a vector form
// writes the same bytes as with the scalar form, in place and out of place,
// and nothing before the plane's first row or after its last row's end.
TEST_P(KernelEquivalence, PlanesEqualScalarForEveryPitchAndHeight) {
  struct PlaneShape {
    int width;
    int pitch;
  };
  // Pitches equal to the width, rounded up to 16, with room to spare, and
  // below the width rounded up to 16 (the aligned width is then the width).
  const PlaneShape shapes[] = {{128, 128}, {130, 144}, {130, 136}, {200, 256},  {333, 336},
                               {333, 340}, {640, 640}, {720, 768}, {1920, 1920}};
  const int heights[] = {1, 2, 3, 17};
  for (const RowOperation& op : rowOperations()) {
    const Amounts amounts = op.amountCases.back();
    for (const PlaneShape shape : shapes) {
      for (int height : heights) {
        for (bool inPlace : {false, true}) {
          if (inPlace && !op.inPlaceWalk) continue;
          const size_t planeBytes = size_t(shape.pitch) * size_t(height);
          // Plane buffers: kGuard bytes, the plane, kGuard bytes.
          std::vector<std::vector<uint8_t>> inputs(size_t(op.inputs));
          for (int i = 0; i < op.inputs; ++i) {
            inputs[size_t(i)].resize(planeBytes + 2 * kGuard);
            fillRandom(inputs[size_t(i)].data(), inputs[size_t(i)].size(), uint64_t(i + height));
          }
          std::vector<uint8_t> initialOutput(planeBytes + 2 * kGuard);
          if (inPlace) {
            initialOutput = inputs[0];
          } else {
            fillRandom(initialOutput.data(), initialOutput.size(), 77);
          }
          auto run = [&](const LumaRowKernels& kernels) {
            std::vector<std::vector<uint8_t>> in = inputs;
            std::vector<uint8_t> out = initialOutput;
            std::vector<uint8_t>& target = inPlace ? in[0] : out;
            const MutablePlaneView dst{target.data() + kGuard, shape.pitch, shape.width, height};
            PlaneView views[3];
            for (int i = 0; i < op.inputs; ++i) {
              views[i] = PlaneView{in[size_t(i)].data() + kGuard, shape.pitch, shape.width, height};
            }
            if (inPlace) views[0] = dst.readOnly();
            op.applyPlane(kernels, views, dst, amounts);
            return target;
          };
          const std::vector<uint8_t> expected = run(scalar);
          const std::vector<uint8_t> actual = run(vector);
          const std::string where = describe(op, amounts) + " width " +
                                    std::to_string(shape.width) + " pitch " +
                                    std::to_string(shape.pitch) + " height " +
                                    std::to_string(height) + (inPlace ? " in place" : "");
          ASSERT_EQ(actual, expected) << where;
          // The guards before row 0 and after the last row's pitch stay as they were.
          const size_t writtenEnd = kGuard + planeBytes;
          ASSERT_TRUE(std::equal(actual.begin(), actual.begin() + kGuard, initialOutput.begin()))
              << where;
          ASSERT_TRUE(std::equal(actual.begin() + std::ptrdiff_t(writtenEnd), actual.end(),
                                 initialOutput.begin() + std::ptrdiff_t(writtenEnd)))
              << where;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryInstructionSet, KernelEquivalence,
                         ::testing::Values(InstructionSet::mmx, InstructionSet::sse2,
                                           InstructionSet::avx2),
                         [](const ::testing::TestParamInfo<InstructionSet>& info) {
                           return std::string(instructionSetName(info.param));
                         });

// --- the reference itself and the choice of forms -----------------------------

// The scalar forms against worked values of each operation.
TEST(ScalarForms, MatchWorkedValues) {
  const LumaRowKernels k = rowKernelsFor(InstructionSet::scalar);
  struct Case {
    uint8_t a, b, c, amount1, amount2, expected;
  };
  auto check = [](const char* what, const std::vector<Case>& cases, auto apply) {
    for (const Case& c : cases) {
      uint8_t out = 0;
      apply(c, &out);
      EXPECT_EQ(int(out), int(c.expected))
          << what << " of " << int(c.a) << ", " << int(c.b) << ", " << int(c.c) << " amounts "
          << int(c.amount1) << "/" << int(c.amount2);
    }
  };
  check("Sign", {{0, 0, 0, 0, 0, 128}, {128, 0, 0, 0, 0, 0}, {255, 0, 0, 0, 0, 127}},
        [&](const Case& c, uint8_t* out) { k.sign(out, &c.a, 1); });
  check("SubtractAndSign",
        {{228, 100, 0, 0, 0, 0x7F},
         {100, 228, 0, 0, 0, 0x80},
         {50, 50, 0, 0, 0, 0},
         {10, 20, 0, 0, 0, 0xF6}},
        [&](const Case& c, uint8_t* out) { k.subtractAndSign(out, &c.a, &c.b, 1); });
  check("ShiftedMinimum",
        {{100, 200, 0, 20, 0, 120},
         {100, 110, 0, 20, 0, 110},
         {250, 255, 0, 10, 0, 255},
         {250, 3, 0, 10, 0, 3}},
        [&](const Case& c, uint8_t* out) { k.shiftedMinimum(out, &c.a, &c.b, 1, c.amount1); });
  check("Clamp",
        {{100, 90, 60, 5, 5, 95},
         {70, 90, 60, 5, 5, 70},
         {40, 90, 60, 5, 5, 55},
         {100, 50, 80, 0, 0, 80},
         {10, 50, 80, 0, 0, 80},
         {255, 250, 3, 10, 10, 255},
         {0, 250, 3, 10, 10, 0}},
        [&](const Case& c, uint8_t* out) {
          k.clamp(out, &c.a, &c.b, &c.c, 1, c.amount1, c.amount2);
        });
  check("SimpleAverage",
        {{0, 0, 0, 0, 0, 0},
         {0, 1, 0, 0, 0, 1},
         {1, 2, 0, 0, 0, 2},
         {10, 13, 0, 0, 0, 12},
         {0, 255, 0, 0, 0, 128},
         {254, 255, 0, 0, 0, 255}},
        [&](const Case& c, uint8_t* out) { k.simpleAverage(out, &c.a, &c.b, 1); });
}

TEST(InstructionSetChoice, NeverAboveTheCeilingNorWhatIsMissing) {
  const ProcessorFeatures everything = {true, true, true, true};
  const ProcessorFeatures nothing = {false, false, false, false};
  const ProcessorFeatures noAvx2 = {true, true, true, false};
  const InstructionSet all[] = {InstructionSet::scalar, InstructionSet::mmx, InstructionSet::sse2,
                                InstructionSet::avx2};
  for (const ProcessorFeatures& features : {everything, nothing, noAvx2}) {
    for (InstructionSet ceiling : all) {
      const InstructionSet chosen = chooseInstructionSet(features, ceiling);
      EXPECT_LE(chosen, ceiling);
      EXPECT_TRUE(isBuilt(chosen));
      EXPECT_TRUE(processorHas(features, chosen));
      // Nothing better that was built and present is passed over.
      for (InstructionSet better : all) {
        if (better > chosen && better <= ceiling) {
          EXPECT_FALSE(isBuilt(better) && processorHas(features, better))
              << instructionSetName(better) << " passed over for " << instructionSetName(chosen);
        }
      }
    }
  }
  EXPECT_EQ(chooseInstructionSet(nothing, InstructionSet::avx2), InstructionSet::scalar);
}

}  // namespace
}  // namespace quorvant
