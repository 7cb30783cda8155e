// ShiftedMinimum: min(first + shift, limit) per luma byte, the sum taken
// without wrap-around. In-place walk.
#ifndef QUORVANT_FILTERS_SHIFTED_MINIMUM_H
#define QUORVANT_FILTERS_SHIFTED_MINIMUM_H

#include <stdint.h>

#include "host/avisynth.h"
#include "kernels/row_kernels.h"

namespace quorvant {

class ShiftedMinimum : public GenericVideoFilter {
 public:
  ShiftedMinimum(const PClip& child, uint8_t shift, const PClip& limit, IScriptEnvironment* env);
  PVideoFrame AVS_STDCALL GetFrame(int n, IScriptEnvironment* env) override;

 private:
  uint8_t shift;
  PClip limit;
  ShiftedMinimumRow row;
};

}  // namespace quorvant

#endif  // QUORVANT_FILTERS_SHIFTED_MINIMUM_H
