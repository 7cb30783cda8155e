// Sign (also serving Unsign): flips the top bit of every luma byte, turning
// offset-128 luma into signed bytes and back. In-place walk.
#ifndef QUORVANT_FILTERS_SIGN_H
#define QUORVANT_FILTERS_SIGN_H

#include "host/avisynth.h"
#include "kernels/row_kernels.h"

namespace quorvant {

class Sign : public GenericVideoFilter {
 public:
  Sign(const PClip& child, IScriptEnvironment* env);
  PVideoFrame AVS_STDCALL GetFrame(int n, IScriptEnvironment* env) override;

 private:
  SignRow row;
};

}  // namespace quorvant

#endif  // QUORVANT_FILTERS_SIGN_H
