#include "filters/sign.h"

#include "filters/filter_support.h"
#include "filters/luma_planes.h"

namespace quorvant {

Sign::Sign(const PClip& child, IScriptEnvironment* env) : GenericVideoFilter(child) {
  static const CheckMessages messages = {"Sign requires YV12.",
                                         "Sign requires frame width at least 128.",
                                         "Sign requires MMX.", nullptr, nullptr};
  checkFirstClip(vi, CPUF_MMX, messages, env);
  row = chooseRowKernels(env).sign;
}

PVideoFrame Sign::GetFrame(int n, IScriptEnvironment* env) {
  PVideoFrame source = child->GetFrame(n, env);
  PVideoFrame output = takeInPlaceOutput(source, vi, env);
  const MutablePlaneView dst = lumaWriteView(output);
  signPlane(source ? lumaReadView(source) : dst.readOnly(), dst, row);
  return output;
}

}  // namespace quorvant
