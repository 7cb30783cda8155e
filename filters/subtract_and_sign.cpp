#include "filters/subtract_and_sign.h"

#include "filters/filter_support.h"
#include "filters/luma_planes.h"

namespace quorvant {

SubtractAndSign::SubtractAndSign(const PClip& child, const PClip& secondClip,
                                 IScriptEnvironment* env)
    : GenericVideoFilter(child), second(secondClip) {
  static const CheckMessages messages = {
      "SubtractAndSign requires YV12.", "SubtractAndSign requires frame width at least 128.",
      "SubtractAndSign requires MMX.", "SubtractAndSign: widths do not match.",
      "SubtractAndSign: heights do not match."};
  checkFirstClip(vi, CPUF_MMX, messages, env);
  checkExtraClip(vi, second, messages, env);
  row = chooseRowKernels(env).subtractAndSign;
}

PVideoFrame SubtractAndSign::GetFrame(int n, IScriptEnvironment* env) {
  const PVideoFrame secondFrame = second->GetFrame(n, env);
  PVideoFrame source = child->GetFrame(n, env);
  PVideoFrame output = takeInPlaceOutput(source, vi, env);
  const MutablePlaneView dst = lumaWriteView(output);
  subtractAndSignPlane(source ? lumaReadView(source) : dst.readOnly(), lumaReadView(secondFrame),
                       dst, row);
  return output;
}

}  // namespace quorvant
