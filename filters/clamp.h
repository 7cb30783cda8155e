// Clamp: each luma byte confined between upper + upperMargin (saturated) and
// lower - lowerMargin (saturated), the lower bound applied last. New-frame walk.
#ifndef QUORVANT_FILTERS_CLAMP_H
#define QUORVANT_FILTERS_CLAMP_H

#include <stdint.h>

#include "host/avisynth.h"
#include "kernels/row_kernels.h"

namespace quorvant {

class Clamp : public GenericVideoFilter {
 public:
  Clamp(const PClip& child, const PClip& upper, const PClip& lower, uint8_t upperMargin,
        uint8_t lowerMargin, IScriptEnvironment* env);
  PVideoFrame AVS_STDCALL GetFrame(int n, IScriptEnvironment* env) override;

 private:
  // Destroyed in reverse order: lower, then upper, then the base's child.
  PClip upper;
  PClip lower;
  uint8_t upperMargin;
  uint8_t lowerMargin;
  ClampRow row;
};

}  // namespace quorvant

#endif  // QUORVANT_FILTERS_CLAMP_H
