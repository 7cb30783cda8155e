// SimpleAverage: (first + second + 1) >> 1 per luma byte. New-frame walk.
#ifndef QUORVANT_FILTERS_SIMPLE_AVERAGE_H
#define QUORVANT_FILTERS_SIMPLE_AVERAGE_H

#include "host/avisynth.h"
#include "kernels/row_kernels.h"

namespace quorvant {

class SimpleAverage : public GenericVideoFilter {
 public:
  SimpleAverage(const PClip& child, const PClip& second, IScriptEnvironment* env);
  PVideoFrame AVS_STDCALL GetFrame(int n, IScriptEnvironment* env) override;

 private:
  PClip second;
  SimpleAverageRow row;
};

}  // namespace quorvant

#endif  // QUORVANT_FILTERS_SIMPLE_AVERAGE_H
