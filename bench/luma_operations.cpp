#include "bench/luma_operations.h"

#include "filters/luma_planes.h"

namespace quorvant::bench {

namespace {

// Amounts of the benchmarked calls; the kernels take the same time for any.
constexpr uint8_t kShift = 20;
constexpr uint8_t kUpperMargin = 5;
constexpr uint8_t kLowerMargin = 5;

}  // namespace

const std::array<LumaOperation, 5>& lumaOperations() {
  static const std::array<LumaOperation, 5> operations = {{
      {"Sign", 1, true,
       [](const PlaneView* in, const MutablePlaneView& out, const LumaRowKernels& k) {
         signPlane(in[0], out, k.sign);
       },
       [](const std::vector<PClip>& c) { return std::vector<AVSValue>{c[0]}; }},
      {"SubtractAndSign", 2, true,
       [](const PlaneView* in, const MutablePlaneView& out, const LumaRowKernels& k) {
         subtractAndSignPlane(in[0], in[1], out, k.subtractAndSign);
       },
       [](const std::vector<PClip>& c) {
         return std::vector<AVSValue>{c[0], c[1]};
       }},
      {"ShiftedMinimum", 2, true,
       [](const PlaneView* in, const MutablePlaneView& out, const LumaRowKernels& k) {
         shiftedMinimumPlane(in[0], in[1], out, kShift, k.shiftedMinimum);
       },
       [](const std::vector<PClip>& c) {
         return std::vector<AVSValue>{c[0], int(kShift), c[1]};
       }},
      {"Clamp", 3, false,
       [](const PlaneView* in, const MutablePlaneView& out, const LumaRowKernels& k) {
         clampPlane(in[0], in[1], in[2], out, kUpperMargin, kLowerMargin, k.clamp);
       },
       [](const std::vector<PClip>& c) {
         return std::vector<AVSValue>{c[0], c[1], c[2], int(kUpperMargin), int(kLowerMargin)};
       }},
      {"SimpleAverage", 2, false,
       [](const PlaneView* in, const MutablePlaneView& out, const LumaRowKernels& k) {
         simpleAveragePlane(in[0], in[1], out, k.simpleAverage);
       },
       [](const std::vector<PClip>& c) {
         return std::vector<AVSValue>{c[0], c[1]};
       }},
  }};
  return operations;
}

}  // namespace quorvant::bench
