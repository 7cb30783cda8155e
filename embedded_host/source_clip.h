// Source clips of the embedded host: frames come from a fill function that
// writes frame n into a new writable frame. Two frame policies:
//  - shared: the clip keeps the frames it handed out (its last few), so a
//    frame it hands out is also held by the clip, hence never writable, and
//    asking twice for n gives the same frame;
//  - fresh: every request gets a new frame held only by the caller (writable).
#ifndef QUORVANT_EMBEDDED_HOST_SOURCE_CLIP_H
#define QUORVANT_EMBEDDED_HOST_SOURCE_CLIP_H

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "embedded_host/environment.h"
#include "host/avisynth.h"

namespace quorvant::host {

enum class FramePolicy { shared, fresh };

// Writes the content of frame n into a writable frame of the clip's format.
using FillFrame = std::function<void(int n, const PVideoFrame& frame)>;

class SourceClip : public IClip {
 public:
  SourceClip(Environment& env, const VideoInfo& vi, FillFrame fill, FramePolicy policy);

  // Frame numbers outside the clip are clamped to its first or last frame.
  PVideoFrame AVS_STDCALL GetFrame(int n, IScriptEnvironment* env) override;
  bool AVS_STDCALL GetParity(int n) override;
  void AVS_STDCALL GetAudio(void* buf, int64 start, int64 count, IScriptEnvironment* env) override;
  void AVS_STDCALL SetCacheHints(int, int) override {}
  const VideoInfo& AVS_STDCALL GetVideoInfo() override { return vi; }

  // Lets go of the frames the shared policy keeps.
  void dropKeptFrames();

 private:
  static constexpr size_t kKeptFrames = 4;
  Environment& env;
  VideoInfo vi;
  FillFrame fill;
  FramePolicy policy;
  std::mutex keptMutex;
  std::deque<std::pair<int, PVideoFrame>> kept;
};

// One frame's planes as plain bytes, rows packed (pitch = width).
struct PlanarImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> y, u, v;  // u and v: (width / 2) x (height / 2)
};

// A description of a clip: YV12 unless told otherwise, 25 fps.
VideoInfo videoInfo(int width, int height, int frames, int pixelType = VideoInfo::CS_YV12);

// A clip whose frame n shows images[n % images.size()] (YV12 layout; other
// pixel types get the luma bytes in their first plane).
PClip memoryClip(Environment& env, const VideoInfo& vi, std::vector<PlanarImage> images,
                 FramePolicy policy);

// Copies of a frame's planes, row by row over the row size.
std::vector<uint8_t> planeBytes(const PVideoFrame& frame, int plane);
void writePlane(const PVideoFrame& frame, int plane, const std::vector<uint8_t>& bytes);

}  // namespace quorvant::host

#endif  // QUORVANT_EMBEDDED_HOST_SOURCE_CLIP_H
