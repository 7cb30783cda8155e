// What every filter class shares on the host side: the construction checks
// with their messages, the kernel choice, luma views of host frames and the
// in-place walk's choice of output frame.
#ifndef QUORVANT_FILTERS_FILTER_SUPPORT_H
#define QUORVANT_FILTERS_FILTER_SUPPORT_H

#include "host/avisynth.h"
#include "kernels/instruction_set.h"
#include "kernels/plane_view.h"
#include "kernels/row_kernels.h"

namespace quorvant {

// The five messages of one filter class, in check order.
struct CheckMessages {
  const char* notYv12;
  const char* tooNarrow;
  const char* missingCpu;
  const char* widthsDiffer;
  const char* heightsDiffer;
};

// Pixel type YV12 or I420, row size at least 128, the host reports cpuFlag;
// the first failure raises its message through the host.
void checkFirstClip(const VideoInfo& vi, int cpuFlag, const CheckMessages& messages,
                    IScriptEnvironment* env);

// The extra clip's width, then its height, must equal the first clip's.
void checkExtraClip(const VideoInfo& vi, const PClip& extra, const CheckMessages& messages,
                    IScriptEnvironment* env);

// The row kernels for this processor, lowered to what the host reports:
// without SSE2 in the host's flags no SSE2 or wider form is used.
LumaRowKernels chooseRowKernels(IScriptEnvironment* env);

PlaneView lumaReadView(const PVideoFrame& frame);
// Asks the frame for its write address once; the frame must be writable.
MutablePlaneView lumaWriteView(const PVideoFrame& frame);

// The in-place walk's output: the source frame itself when only this call
// holds it (the handle moves from source to the result), else a new frame.
PVideoFrame takeInPlaceOutput(PVideoFrame& source, const VideoInfo& vi, IScriptEnvironment* env);

}  // namespace quorvant

#endif  // QUORVANT_FILTERS_FILTER_SUPPORT_H
