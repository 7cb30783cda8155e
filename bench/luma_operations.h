// The five luma operations as the benchmarks see them: how many planes each
// reads, which walk its filter uses, its plane function, and the script call
// that builds its filter over given clips.
#ifndef QUORVANT_BENCH_LUMA_OPERATIONS_H
#define QUORVANT_BENCH_LUMA_OPERATIONS_H

#include <array>
#include <vector>

#include "host/avisynth.h"
#include "kernels/plane_view.h"
#include "kernels/row_kernels.h"

namespace quorvant::bench {

struct LumaOperation {
  const char* name;  // the filter class and its script function
  int inputPlanes;   // planes read; every operation writes one
  bool inPlaceWalk;  // else the new-frame walk
  // The plane function over inputs[0 .. inputPlanes) into out.
  void (*runPlane)(const PlaneView* inputs, const MutablePlaneView& out,
                   const LumaRowKernels& kernels);
  // Script arguments for the filter over clips[0 .. inputPlanes).
  std::vector<AVSValue> (*scriptArguments)(const std::vector<PClip>& clips);
};

const std::array<LumaOperation, 5>& lumaOperations();

// Bytes a frame of the operation moves: every input plane read and the
// output plane written, rowWidth * height each.
inline double bytesMoved(const LumaOperation& operation, int rowWidth, int height) {
  return double(operation.inputPlanes + 1) * rowWidth * height;
}

}  // namespace quorvant::bench

#endif  // QUORVANT_BENCH_LUMA_OPERATIONS_H
