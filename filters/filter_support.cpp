#include "filters/filter_support.h"

namespace quorvant {

void checkFirstClip(const VideoInfo& vi, int cpuFlag, const CheckMessages& messages,
                    IScriptEnvironment* env) {
  if (!vi.IsYV12()) env->ThrowError(messages.notYv12);
  if (vi.RowSize() < 128) env->ThrowError(messages.tooNarrow);
  if (!(env->GetCPUFlags() & cpuFlag)) env->ThrowError(messages.missingCpu);
}

void checkExtraClip(const VideoInfo& vi, const PClip& extra, const CheckMessages& messages,
                    IScriptEnvironment* env) {
  const VideoInfo& other = extra->GetVideoInfo();
  if (other.width != vi.width) env->ThrowError(messages.widthsDiffer);
  if (other.height != vi.height) env->ThrowError(messages.heightsDiffer);
}

LumaRowKernels chooseRowKernels(IScriptEnvironment* env) {
  const InstructionSet ceiling =
      (env->GetCPUFlags() & CPUF_SSE2) ? InstructionSet::avx2 : InstructionSet::mmx;
  return rowKernelsFor(chooseInstructionSet(detectProcessorFeatures(), ceiling));
}

PlaneView lumaReadView(const PVideoFrame& frame) {
  return PlaneView{frame->GetReadPtr(PLANAR_Y), frame->GetPitch(PLANAR_Y),
                   frame->GetRowSize(PLANAR_Y), frame->GetHeight(PLANAR_Y)};
}

MutablePlaneView lumaWriteView(const PVideoFrame& frame) {
  return MutablePlaneView{frame->GetWritePtr(PLANAR_Y), frame->GetPitch(PLANAR_Y),
                          frame->GetRowSize(PLANAR_Y), frame->GetHeight(PLANAR_Y)};
}

PVideoFrame takeInPlaceOutput(PVideoFrame& source, const VideoInfo& vi,
                              IScriptEnvironment* env) {
  if (!source->IsWritable()) return env->NewVideoFrame(vi, FRAME_ALIGN);
  PVideoFrame output = source;  // two handles for a moment ...
  source = PVideoFrame();       // ... and one again: the frame stays writable
  return output;
}

}  // namespace quorvant
