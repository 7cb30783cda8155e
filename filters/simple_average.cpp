#include "filters/simple_average.h"

#include "filters/filter_support.h"
#include "filters/luma_planes.h"

namespace quorvant {

SimpleAverage::SimpleAverage(const PClip& child, const PClip& secondClip,
                             IScriptEnvironment* env)
    : GenericVideoFilter(child), second(secondClip) {
  static const CheckMessages messages = {
      "SimpleAverage requires YV12.", "SimpleAverage requires frame width at least 128.",
      "SimpleAverage requires MMX.", "SimpleAverage: widths do not match.",
      "SimpleAverage: heights do not match."};
  checkFirstClip(vi, CPUF_MMX, messages, env);
  checkExtraClip(vi, second, messages, env);
  row = chooseRowKernels(env).simpleAverage;
}

PVideoFrame SimpleAverage::GetFrame(int n, IScriptEnvironment* env) {
  const PVideoFrame source = child->GetFrame(n, env);
  const PVideoFrame secondFrame = second->GetFrame(n, env);
  PVideoFrame output = env->NewVideoFrame(vi, FRAME_ALIGN);
  simpleAveragePlane(lumaReadView(source), lumaReadView(secondFrame), lumaWriteView(output), row);
  return output;
}

}  // namespace quorvant
