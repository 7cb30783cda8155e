#include "embedded_host/y4m_source.h"

#include <memory>
#include <utility>

#include "embedded_host/source_clip.h"
#include "embedded_host/y4m.h"

namespace quorvant::host {

PClip y4mSourceClip(Environment& env, const std::string& path) {
  const std::string prefix = "Y4MSource: " + path + ": ";
  std::shared_ptr<const y4m::Y4MReader> reader;
  try {
    reader = std::make_shared<const y4m::Y4MReader>(y4m::fileSource(path));
  } catch (const y4m::FormatError& error) {
    throw ScriptError(prefix + error.what());
  }
  const y4m::Format& format = reader->format();
  VideoInfo vi = videoInfo(format.width, format.height, reader->frameCount());
  vi.fps_numerator = format.fpsNumerator;
  vi.fps_denominator = format.fpsDenominator;

  FillFrame fill = [reader, prefix](int n, const PVideoFrame& frame) {
    const y4m::Planes planes{{frame->GetWritePtr(PLANAR_Y), frame->GetPitch(PLANAR_Y)},
                             {frame->GetWritePtr(PLANAR_U), frame->GetPitch(PLANAR_U)},
                             {frame->GetWritePtr(PLANAR_V), frame->GetPitch(PLANAR_V)}};
    try {
      reader->readFrame(n, planes);
    } catch (const y4m::FormatError& error) {
      throw ScriptError(prefix + error.what());
    }
  };
  return new SourceClip(env, vi, std::move(fill), FramePolicy::fresh);
}

}  // namespace quorvant::host
