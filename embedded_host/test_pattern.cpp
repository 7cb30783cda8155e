#include "embedded_host/test_pattern.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "embedded_host/source_clip.h"
#include "embedded_host/y4m.h"

namespace quorvant::host {
namespace {

// 0, 1, ..., range, range - 1, ..., 1, 0, 1, ...: a position that bounces.
int bounce(int64_t t, int range) {
  if (range <= 0) return 0;
  const int64_t phase = t % (2 * int64_t(range));
  return int(phase <= range ? phase : 2 * int64_t(range) - phase);
}

struct Box {
  int left, top, side;
  bool contains(int x, int y) const {
    return x >= left && x < left + side && y >= top && y < top + side;
  }
};

// The bouncing box of frame n, in luma coordinates (even, so that it covers
// whole chroma samples).
Box boxOf(int n, int width, int height) {
  const int side = std::max(2, std::min(width, height) / 4) & ~1;
  return Box{bounce(int64_t(n) * 6, width - side) & ~1, bounce(int64_t(n) * 4, height - side) & ~1,
             side};
}

void drawFrame(int n, int width, int height, const PVideoFrame& frame) {
  const Box box = boxOf(n, width, height);
  const int rampTop = height - (std::max(2, height / 8) & ~1);
  BYTE* luma = frame->GetWritePtr(PLANAR_Y);
  const int lumaPitch = frame->GetPitch(PLANAR_Y);
  for (int y = 0; y < height; ++y) {
    BYTE* row = luma + ptrdiff_t(y) * lumaPitch;
    for (int x = 0; x < width; ++x) {
      int value;
      if (box.contains(x, y)) {
        // 8-pixel checkers of near black and near white.
        value = (((x - box.left) >> 3) ^ ((y - box.top) >> 3)) & 1 ? 235 : 16;
      } else if (y >= rampTop) {
        // Grey ramp from black at the left edge to white at the right.
        value = 16 + int(int64_t(x) * 219 / std::max(1, width - 1));
      } else {
        // Diagonal stripes, a triangle wave of period 256 moving 3 pixels a frame.
        const int phase = int((int64_t(x) + y + 3 * int64_t(n)) & 255);
        value = 16 + (phase < 128 ? phase : 255 - phase) * 219 / 127;
      }
      row[x] = BYTE(value);
    }
  }
  BYTE* u = frame->GetWritePtr(PLANAR_U);
  BYTE* v = frame->GetWritePtr(PLANAR_V);
  const int chromaPitch = frame->GetPitch(PLANAR_U);
  const int chromaWidth = width / 2;
  const int chromaHeight = height / 2;
  for (int y = 0; y < chromaHeight; ++y) {
    BYTE* uRow = u + ptrdiff_t(y) * chromaPitch;
    BYTE* vRow = v + ptrdiff_t(y) * chromaPitch;
    for (int x = 0; x < chromaWidth; ++x) {
      if (box.contains(2 * x, 2 * y) || 2 * y >= rampTop) {
        uRow[x] = vRow[x] = 128;  // the checkers and the ramp stay grey
        continue;
      }
      // Yellow to blue across; down, green to red and back, drifting with time.
      uRow[x] = BYTE(64 + int64_t(x) * 128 / std::max(1, chromaWidth));
      const int phase = int((int64_t(y) * 256 / std::max(1, chromaHeight) + 2 * int64_t(n)) & 255);
      vRow[x] = BYTE(64 + (phase < 128 ? phase : 255 - phase));
    }
  }
}

}  // namespace

PClip testPatternClip(Environment& env, int width, int height, int frames) {
  const bool sidesFit = width >= 2 && height >= 2 && width <= y4m::kMaxSide &&
                        height <= y4m::kMaxSide && int64_t(width) * height <= y4m::kMaxArea;
  if (!sidesFit || width % 2 != 0 || height % 2 != 0) {
    throw ScriptError("TestPattern: the size must be even, 2 to " + std::to_string(y4m::kMaxSide) +
                      " a side and at most " + std::to_string(y4m::kMaxArea) + " pixels (got " +
                      std::to_string(width) + "x" + std::to_string(height) + ")");
  }
  if (frames < 1) {
    throw ScriptError("TestPattern: the frame count must be at least 1 (got " +
                      std::to_string(frames) + ")");
  }
  FillFrame fill = [width, height](int n, const PVideoFrame& frame) {
    drawFrame(n, width, height, frame);
  };
  return new SourceClip(env, videoInfo(width, height, frames), std::move(fill),
                        FramePolicy::fresh);
}

}  // namespace quorvant::host
