// SubtractAndSign: first - second per luma byte, saturated to -128..127 and
// stored as signed bytes. In-place walk.
#ifndef QUORVANT_FILTERS_SUBTRACT_AND_SIGN_H
#define QUORVANT_FILTERS_SUBTRACT_AND_SIGN_H

#include "host/avisynth.h"
#include "kernels/row_kernels.h"

namespace quorvant {

class SubtractAndSign : public GenericVideoFilter {
 public:
  SubtractAndSign(const PClip& child, const PClip& second, IScriptEnvironment* env);
  PVideoFrame AVS_STDCALL GetFrame(int n, IScriptEnvironment* env) override;

 private:
  PClip second;
  SubtractAndSignRow row;
};

}  // namespace quorvant

#endif  // QUORVANT_FILTERS_SUBTRACT_AND_SIGN_H
