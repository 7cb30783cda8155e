#include "embedded_host/test_pattern.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

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
  // Diagonal stripes: a triangle wave of period 256 moving 3 pixels a frame.
  BYTE stripes[256];
  for (int phase = 0; phase < 256; ++phase) {
    stripes[phase] = BYTE(16 + (phase < 128 ? phase : 255 - phase) * 219 / 127);
  }
  // Grey ramp from black at the left edge to white at the right.
  std::vector<BYTE> ramp(static_cast<size_t>(width));
  for (int x = 0; x < width; ++x)
    ramp[size_t(x)] = BYTE(16 + int64_t(x) * 219 / std::max(1, width - 1));

  BYTE* luma = frame->GetWritePtr(PLANAR_Y);
  const int lumaPitch = frame->GetPitch(PLANAR_Y);
  for (int y = 0; y < height; ++y) {
    BYTE* row = luma + ptrdiff_t(y) * lumaPitch;
    if (y >= rampTop) {
      std::copy(ramp.begin(), ramp.end(), row);
    } else {
      const int shift = int((int64_t(y) + 3 * int64_t(n)) & 255);
      for (int x = 0; x < width; ++x) row[x] = stripes[(x + shift) & 255];
    }
    // 8-pixel checkers of near black and near white over both.
    if (y >= box.top && y < box.top + box.side) {
      for (int x = box.left; x < box.left + box.side; ++x) {
        row[x] = (((x - box.left) >> 3) ^ ((y - box.top) >> 3)) & 1 ? 235 : 16;
      }
    }
  }
  // Chroma: yellow to blue across; down, green to red and back, drifting
  // with time; grey under the checkers and the ramp.
  const int chromaWidth = width / 2;
  const int chromaHeight = height / 2;
  std::vector<BYTE> across(static_cast<size_t>(chromaWidth));
  for (int x = 0; x < chromaWidth; ++x)
    across[size_t(x)] = BYTE(64 + int64_t(x) * 128 / chromaWidth);
  BYTE* u = frame->GetWritePtr(PLANAR_U);
  BYTE* v = frame->GetWritePtr(PLANAR_V);
  const int chromaPitch = frame->GetPitch(PLANAR_U);
  for (int y = 0; y < chromaHeight; ++y) {
    BYTE* uRow = u + ptrdiff_t(y) * chromaPitch;
    BYTE* vRow = v + ptrdiff_t(y) * chromaPitch;
    if (2 * y >= rampTop) {
      std::fill(uRow, uRow + chromaWidth, BYTE(128));
      std::fill(vRow, vRow + chromaWidth, BYTE(128));
      continue;
    }
    const int phase = int((int64_t(y) * 256 / chromaHeight + 2 * int64_t(n)) & 255);
    std::copy(across.begin(), across.end(), uRow);
    std::fill(vRow, vRow + chromaWidth, BYTE(64 + (phase < 128 ? phase : 255 - phase)));
    if (2 * y >= box.top && 2 * y < box.top + box.side) {
      std::fill(uRow + box.left / 2, uRow + (box.left + box.side) / 2, BYTE(128));
      std::fill(vRow + box.left / 2, vRow + (box.left + box.side) / 2, BYTE(128));
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
  return new SourceClip(env, videoInfo(width, height, frames), std::move(fill), FramePolicy::fresh);
}

}  // namespace quorvant::host
