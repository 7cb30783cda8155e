#include "filters/shifted_minimum.h"

#include "filters/filter_support.h"
#include "filters/luma_planes.h"

namespace quorvant {

ShiftedMinimum::ShiftedMinimum(const PClip& child, uint8_t shiftAmount, const PClip& limitClip,
                               IScriptEnvironment* env)
    : GenericVideoFilter(child), shift(shiftAmount), limit(limitClip) {
  static const CheckMessages messages = {
      "ShiftedMinimum requires YV12.", "ShiftedMinimum requires frame width at least 128.",
      "ShiftedMinimum requires MMX.", "ShiftedMinimum: widths do not match.",
      "ShiftedMinimum: heights do not match."};
  checkFirstClip(vi, CPUF_MMX, messages, env);
  checkExtraClip(vi, limit, messages, env);
  row = chooseRowKernels(env).shiftedMinimum;
}

PVideoFrame ShiftedMinimum::GetFrame(int n, IScriptEnvironment* env) {
  const PVideoFrame limitFrame = limit->GetFrame(n, env);
  PVideoFrame source = child->GetFrame(n, env);
  PVideoFrame output = takeInPlaceOutput(source, vi, env);
  const MutablePlaneView dst = lumaWriteView(output);
  shiftedMinimumPlane(source ? lumaReadView(source) : dst.readOnly(), lumaReadView(limitFrame),
                      dst, shift, row);
  return output;
}

}  // namespace quorvant
