#include "windows/conformance/pattern_clip.h"

namespace quorvant::conformance {

PatternClip::PatternClip(TestEnvironment& environment, const VideoInfo& info, int lumaPitch,
                         int clipNumber, LumaPattern lumaPattern, FrameSharing policy,
                         DestructionLog* destroyed)
    : host(environment),
      vi(info),
      pitch(lumaPitch),
      id(clipNumber),
      pattern(lumaPattern),
      sharing(policy),
      log(destroyed) {}

PatternClip::~PatternClip() {
  if (log) log->record(id);
}

uint8_t PatternClip::lumaByte(int n, int x, int y) const {
  switch (pattern) {
    case LumaPattern::column:
      return uint8_t(x);
    case LumaPattern::row:
      return uint8_t(y);
    case LumaPattern::hashed:
      break;
  }
  uint32_t v = uint32_t(id) * 0x9E3779B1u ^ uint32_t(x) * 0x85EBCA6Bu ^ uint32_t(y) * 0xC2B2AE35u ^
               uint32_t(n) * 0x27D4EB2Fu;
  v ^= v >> 15;
  v *= 0x2C1B3C6Du;
  v ^= v >> 12;
  v *= 0x297A2D39u;
  v ^= v >> 15;
  return uint8_t(v);
}

PVideoFrame PatternClip::GetFrame(int n, IScriptEnvironment*) {
  host.hostCall();
  if (sharing == FrameSharing::shared && kept && keptNumber == n) {
    last = kept.operator->();
    return kept;
  }
  PVideoFrame frame = host.makeFrame(layout());
  uint8_t* luma = frame->GetWritePtr(PLANAR_Y);
  for (int y = 0; y < vi.height; ++y) {
    for (int x = 0; x < pitch; ++x) luma[y * pitch + x] = lumaByte(n, x, y);
  }
  const PlaneGeometry g = planeGeometry(layout());
  uint8_t* chroma = frame->GetWritePtr(PLANAR_U);
  for (int i = 0; i < 2 * g.chromaSize; ++i) chroma[i] = chromaByte(n, i);
  if (sharing == FrameSharing::shared) {
    kept = frame;
    keptNumber = n;
  }
  last = frame.operator->();
  return frame;
}

void PatternClip::GetAudio(void* buf, int64 start, int64 count, IScriptEnvironment*) {
  audioStart = start;
  audioCount = count;
  if (buf) *static_cast<uint8_t*>(buf) = uint8_t(id);
}

}  // namespace quorvant::conformance
