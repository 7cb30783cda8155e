#include "embedded_host/source_clip.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace quorvant::host {

SourceClip::SourceClip(Environment& environment, const VideoInfo& info, FillFrame fillFrame,
                       FramePolicy framePolicy)
    : env(environment), vi(info), fill(std::move(fillFrame)), policy(framePolicy) {}

PVideoFrame SourceClip::GetFrame(int n, IScriptEnvironment*) {
  env.hostCall("GetFrame");
  n = std::clamp(n, 0, std::max(vi.num_frames - 1, 0));
  if (policy == FramePolicy::shared) {
    std::lock_guard<std::mutex> lock(keptMutex);
    for (const auto& entry : kept) {
      if (entry.first == n) return entry.second;
    }
  }
  PVideoFrame frame = env.NewVideoFrame(vi, FRAME_ALIGN);
  fill(n, frame);
  if (policy == FramePolicy::shared) {
    std::lock_guard<std::mutex> lock(keptMutex);
    for (const auto& entry : kept) {
      if (entry.first == n) return entry.second;  // another thread was quicker
    }
    kept.emplace_back(n, frame);
    if (kept.size() > kKeptFrames) kept.pop_front();
  }
  return frame;
}

bool SourceClip::GetParity(int n) { return (n & 1) != 0; }

void SourceClip::GetAudio(void* buf, int64, int64 count, IScriptEnvironment*) {
  const int64 bytes = count * vi.nchannels * 2;
  if (buf && bytes > 0) std::memset(buf, 0, size_t(bytes));
}

void SourceClip::dropKeptFrames() {
  std::lock_guard<std::mutex> lock(keptMutex);
  kept.clear();
}

VideoInfo videoInfo(int width, int height, int frames, int pixelType) {
  VideoInfo vi{};
  vi.width = width;
  vi.height = height;
  vi.fps_numerator = 25;
  vi.fps_denominator = 1;
  vi.num_frames = frames;
  vi.pixel_type = pixelType;
  return vi;
}

std::vector<uint8_t> planeBytes(const PVideoFrame& frame, int plane) {
  const int rowSize = frame->GetRowSize(plane);
  const int height = frame->GetHeight(plane);
  std::vector<uint8_t> bytes(size_t(std::max(rowSize, 0)) * size_t(std::max(height, 0)));
  const BYTE* src = frame->GetReadPtr(plane);
  for (int y = 0; y < height; ++y) {
    std::memcpy(bytes.data() + size_t(y) * size_t(rowSize),
                src + ptrdiff_t(y) * frame->GetPitch(plane), size_t(rowSize));
  }
  return bytes;
}

void writePlane(const PVideoFrame& frame, int plane, const std::vector<uint8_t>& bytes) {
  const int rowSize = frame->GetRowSize(plane);
  const int height = frame->GetHeight(plane);
  if (rowSize <= 0 || height <= 0) return;
  BYTE* dst = frame->GetWritePtr(plane);
  for (int y = 0; y < height && size_t(y + 1) * size_t(rowSize) <= bytes.size(); ++y) {
    std::memcpy(dst + ptrdiff_t(y) * frame->GetPitch(plane), bytes.data() + size_t(y) * rowSize,
                size_t(rowSize));
  }
}

PClip memoryClip(Environment& env, const VideoInfo& vi, std::vector<PlanarImage> images,
                 FramePolicy policy) {
  auto shared = std::make_shared<std::vector<PlanarImage>>(std::move(images));
  FillFrame fill = [shared](int n, const PVideoFrame& frame) {
    if (shared->empty()) return;
    const PlanarImage& image = (*shared)[size_t(n) % shared->size()];
    writePlane(frame, PLANAR_Y, image.y);
    if (frame->GetPitch(PLANAR_U)) {
      writePlane(frame, PLANAR_U, image.u);
      writePlane(frame, PLANAR_V, image.v);
    }
  };
  return new SourceClip(env, vi, std::move(fill), policy);
}

}  // namespace quorvant::host
