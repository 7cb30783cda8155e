#include "filters/clamp.h"

#include "filters/filter_support.h"
#include "filters/luma_planes.h"

namespace quorvant {

Clamp::Clamp(const PClip& child, const PClip& upperClip, const PClip& lowerClip,
             uint8_t upperAmount, uint8_t lowerAmount, IScriptEnvironment* env)
    : GenericVideoFilter(child),
      upper(upperClip),
      lower(lowerClip),
      upperMargin(upperAmount),
      lowerMargin(lowerAmount) {
  static const CheckMessages messages = {"Clamp requires YV12.",
                                         "Clamp requires frame width at least 128.",
                                         "Clamp requires SSE.", "Clamp: widths do not match.",
                                         "Clamp: heights do not match."};
  checkFirstClip(vi, CPUF_SSE, messages, env);
  checkExtraClip(vi, upper, messages, env);
  checkExtraClip(vi, lower, messages, env);
  row = chooseRowKernels(env).clamp;
}

PVideoFrame Clamp::GetFrame(int n, IScriptEnvironment* env) {
  const PVideoFrame source = child->GetFrame(n, env);
  const PVideoFrame upperFrame = upper->GetFrame(n, env);
  const PVideoFrame lowerFrame = lower->GetFrame(n, env);
  PVideoFrame output = env->NewVideoFrame(vi, FRAME_ALIGN);
  clampPlane(lumaReadView(source), lumaReadView(upperFrame), lumaReadView(lowerFrame),
             lumaWriteView(output), upperMargin, lowerMargin, row);
  return output;
}

}  // namespace quorvant
