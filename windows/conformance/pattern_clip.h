// Source clips of the conformance host. Frame n of a clip holds a luma
// pattern that the cases can recompute byte by byte (over the whole pitch,
// so that bytes past the row width are known too) and a chroma pattern of its
// own. Two frame policies:
//  - shared: the clip keeps the last frame it handed out, so that frame is
//    never writable, and asking again for the same n gives the same frame;
//  - fresh: every request gets a new frame that only the caller holds.
#ifndef QUORVANT_WINDOWS_CONFORMANCE_PATTERN_CLIP_H
#define QUORVANT_WINDOWS_CONFORMANCE_PATTERN_CLIP_H

#include <stdint.h>

#include "host/avisynth.h"
#include "windows/conformance/test_environment.h"

namespace quorvant::conformance {

enum class FrameSharing { shared, fresh };

enum class LumaPattern {
  hashed,  // well-mixed bytes
  column,  // the column number (mod 256)
  row,     // the row number (mod 256)
};

// The ids of destroyed clips, in the order of their destruction.
struct DestructionLog {
  static constexpr int kCapacity = 16;
  int count = 0;
  int ids[kCapacity];
  void record(int id) {
    if (count < kCapacity) ids[count] = id;
    ++count;
  }
};

class PatternClip : public IClip {
 public:
  PatternClip(TestEnvironment& host, const VideoInfo& vi, int pitch, int id, LumaPattern pattern,
              FrameSharing sharing, DestructionLog* log);
  ~PatternClip() override;

  PVideoFrame AVS_STDCALL GetFrame(int n, IScriptEnvironment* env) override;
  bool AVS_STDCALL GetParity(int n) override { return ((n + id) & 1) != 0; }
  // Marks the buffer's first byte with the clip's id and notes the range.
  void AVS_STDCALL GetAudio(void* buf, int64 start, int64 count, IScriptEnvironment* env) override;
  void AVS_STDCALL SetCacheHints(int, int) override {}
  const VideoInfo& AVS_STDCALL GetVideoInfo() override { return vi; }

  int clipId() const { return id; }
  FrameLayout layout() const { return FrameLayout{vi.width, vi.height, pitch}; }
  // Luma byte (x, y) of frame n, for any x below the pitch.
  uint8_t lumaByte(int n, int x, int y) const;
  // Byte i of frame n's chroma planes, U then V.
  uint8_t chromaByte(int n, int i) const { return uint8_t(n * 13 + id * 41 + i * 3); }
  // The frame last handed out, to tell whether a filter wrote into it.
  const VideoFrame* lastFrame() const { return last; }
  int64 lastAudioStart() const { return audioStart; }
  int64 lastAudioCount() const { return audioCount; }

 private:
  TestEnvironment& host;
  VideoInfo vi;
  int pitch;
  int id;
  LumaPattern pattern;
  FrameSharing sharing;
  DestructionLog* log;
  PVideoFrame kept;
  int keptNumber = -1;
  const VideoFrame* last = nullptr;
  int64 audioStart = -1;
  int64 audioCount = -1;
};

}  // namespace quorvant::conformance

#endif  // QUORVANT_WINDOWS_CONFORMANCE_PATTERN_CLIP_H
