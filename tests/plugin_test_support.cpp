#include "tests/plugin_test_support.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <sstream>
#include <stdexcept>

namespace quorvant::test {

uint8_t patternByte(uint32_t seed, int n, int x, int y) {
  uint32_t h = seed * 0x9E3779B1u ^ uint32_t(n) * 0x85EBCA77u ^ uint32_t(x) * 0xC2B2AE3Du ^
               uint32_t(y) * 0x27D4EB2Fu;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 13;
  return uint8_t(h >> 24);
}

namespace {

// Writes every byte of `rows` rows of `pitch` bytes from `start`.
void fillRows(BYTE* start, int pitch, int rows, uint32_t seed, int n) {
  if (!start) return;
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < pitch; ++x) start[ptrdiff_t(y) * pitch + x] = patternByte(seed, n, x, y);
  }
}

std::vector<uint8_t> copyRows(const BYTE* start, int pitch, int rows) {
  if (!start || pitch <= 0 || rows <= 0) return {};
  return std::vector<uint8_t>(start, start + size_t(pitch) * size_t(rows));
}

// Reports the first index at which two planes differ, as column and row.
bool firstDifference(const char* plane, const std::vector<uint8_t>& actual,
                     const std::vector<uint8_t>& expected, int pitch, std::ostream& out) {
  if (actual.size() != expected.size()) {
    out << plane << " plane has " << actual.size() << " bytes, expected " << expected.size()
        << "; ";
    return true;
  }
  const auto mismatch = std::mismatch(actual.begin(), actual.end(), expected.begin());
  if (mismatch.first == actual.end()) return false;
  const size_t at = size_t(mismatch.first - actual.begin());
  out << plane << " plane differs at column " << (pitch ? at % size_t(pitch) : at) << " row "
      << (pitch ? at / size_t(pitch) : 0) << ": " << int(*mismatch.first) << ", expected "
      << int(*mismatch.second) << "; ";
  return true;
}

}  // namespace

void fillPattern(const PVideoFrame& frame, uint32_t seed, int n) {
  fillRows(frame->GetWritePtr(PLANAR_Y), frame->GetPitch(PLANAR_Y), frame->GetHeight(PLANAR_Y),
           seed, n);
  if (frame->GetPitch(PLANAR_U)) {
    fillRows(frame->GetWritePtr(PLANAR_U), frame->GetPitch(PLANAR_U), frame->GetHeight(PLANAR_U),
             seed ^ 0x100u, n);
    fillRows(frame->GetWritePtr(PLANAR_V), frame->GetPitch(PLANAR_V), frame->GetHeight(PLANAR_V),
             seed ^ 0x200u, n);
  }
}

PatternSource patternClip(Environment& env, const VideoInfo& vi, uint32_t seed,
                          FramePolicy policy) {
  PatternSource result;
  result.handedOut = std::make_shared<std::vector<const VideoFrame*>>();
  auto handedOut = result.handedOut;
  // Threads may ask the source for frames at once: the list takes one at a time.
  auto listLock = std::make_shared<std::mutex>();
  host::FillFrame fill = [seed, handedOut, listLock](int n, const PVideoFrame& frame) {
    {
      std::lock_guard<std::mutex> lock(*listLock);
      handedOut->push_back(frame.operator->());
    }
    fillPattern(frame, seed, n);
  };
  result.source = new SourceClip(env, vi, std::move(fill), policy);
  result.clip = result.source;
  return result;
}

std::vector<PatternSource> patternClips(Environment& env, const VideoInfo& vi, int count,
                                        FramePolicy policy) {
  std::vector<PatternSource> sources;
  for (int i = 0; i < count; ++i) sources.push_back(patternClip(env, vi, uint32_t(i + 1), policy));
  return sources;
}

std::vector<PClip> clipsOf(const std::vector<PatternSource>& sources) {
  std::vector<PClip> clips;
  for (const PatternSource& source : sources) clips.push_back(source.clip);
  return clips;
}

PClip constantClip(Environment& env, int width, int height, uint8_t value, FramePolicy policy) {
  host::PlanarImage image;
  image.width = width;
  image.height = height;
  image.y.assign(size_t(width) * size_t(height), value);
  image.u.assign(size_t(width / 2) * size_t(height / 2), 128);
  image.v = image.u;
  return host::memoryClip(env, host::videoInfo(width, height, 2), {image}, policy);
}

FrameBytes captureFrame(const PVideoFrame& frame) {
  FrameBytes bytes;
  bytes.pitch = frame->GetPitch(PLANAR_Y);
  bytes.height = frame->GetHeight(PLANAR_Y);
  bytes.pitchUV = frame->GetPitch(PLANAR_U);
  bytes.heightUV = frame->GetHeight(PLANAR_U);
  bytes.y = copyRows(frame->GetReadPtr(PLANAR_Y), bytes.pitch, bytes.height);
  if (bytes.pitchUV) {
    bytes.u = copyRows(frame->GetReadPtr(PLANAR_U), bytes.pitchUV, bytes.heightUV);
    bytes.v = copyRows(frame->GetReadPtr(PLANAR_V), bytes.pitchUV, bytes.heightUV);
  }
  return bytes;
}

FrameBytes renderPattern(Environment& env, const VideoInfo& vi, uint32_t seed, int n) {
  const PVideoFrame frame = env.NewVideoFrame(vi, FRAME_ALIGN);
  fillPattern(frame, seed, n);
  return captureFrame(frame);
}

FrameBytes filledFrame(const FrameBytes& shape, uint8_t luma, uint8_t chroma) {
  FrameBytes bytes = shape;
  std::fill(bytes.y.begin(), bytes.y.end(), luma);
  std::fill(bytes.u.begin(), bytes.u.end(), chroma);
  std::fill(bytes.v.begin(), bytes.v.end(), chroma);
  return bytes;
}

namespace formula {
uint8_t sign(int v) { return uint8_t((v + 128) % 256); }
uint8_t subtractAndSign(int a, int b) { return uint8_t(std::clamp(a - b, -128, 127) & 0xFF); }
uint8_t shiftedMinimum(int s, int shift, int limit) { return uint8_t(std::min(s + shift, limit)); }
uint8_t clamp(int s, int upper, int upperMargin, int lower, int lowerMargin) {
  const int high = std::min(upper + upperMargin, 255);
  const int low = std::max(lower - lowerMargin, 0);
  return uint8_t(std::max(std::min(s, high), low));
}
uint8_t simpleAverage(int a, int b) { return uint8_t((a + b + 1) / 2); }
}  // namespace formula

const std::vector<FunctionCase>& functionCases() {
  using Clips = std::vector<PClip>;
  using Args = std::vector<AVSValue>;
  static const std::vector<FunctionCase> cases = {
      {"Sign", "Sign", Walk::inPlace, 1, [](const Clips& c) { return Args{c[0]}; },
       [](const uint8_t* in) { return formula::sign(in[0]); }},
      {"Unsign", "Sign", Walk::inPlace, 1, [](const Clips& c) { return Args{c[0]}; },
       [](const uint8_t* in) { return formula::sign(in[0]); }},
      {"SubtractAndSign", "SubtractAndSign", Walk::inPlace, 2,
       [](const Clips& c) {
         return Args{c[0], c[1]};
       },
       [](const uint8_t* in) { return formula::subtractAndSign(in[0], in[1]); }},
      {"ShiftedMinimum", "ShiftedMinimum", Walk::inPlace, 2,
       [](const Clips& c) {
         return Args{c[0], 37, c[1]};
       },
       [](const uint8_t* in) { return formula::shiftedMinimum(in[0], 37, in[1]); }},
      {"Clamp", "Clamp", Walk::newFrame, 3,
       [](const Clips& c) {
         return Args{c[0], c[1], c[2], 9, 13};
       },
       [](const uint8_t* in) { return formula::clamp(in[0], in[1], 9, in[2], 13); }},
      {"SimpleAverage", "SimpleAverage", Walk::newFrame, 2,
       [](const Clips& c) {
         return Args{c[0], c[1]};
       },
       [](const uint8_t* in) { return formula::simpleAverage(in[0], in[1]); }},
  };
  return cases;
}

const FunctionCase& functionCase(const std::string& name) {
  for (const FunctionCase& function : functionCases()) {
    if (name == function.name) return function;
  }
  throw std::invalid_argument("no function case " + name);
}

std::string caseName(const ::testing::TestParamInfo<FunctionCase>& info) { return info.param.name; }

void PrintTo(const FunctionCase& function, std::ostream* out) { *out << function.name; }

int alignedWidth(int rowWidth, int pitch) {
  const int rounded = (rowWidth + 15) / 16 * 16;
  return rounded <= pitch ? rounded : rowWidth;
}

FrameBytes expectedOutput(const FunctionCase& function, const std::vector<FrameBytes>& inputs,
                          FrameBytes before, int rowWidth) {
  const FrameBytes& first = inputs.at(0);
  const int aligned = alignedWidth(rowWidth, first.pitch);
  for (int row = 0; row < first.height; ++row) {
    const bool lastRow = row == first.height - 1;
    const int width = function.walk == Walk::inPlace && lastRow ? rowWidth : aligned;
    for (int x = 0; x < width; ++x) {
      uint8_t in[3] = {};
      for (size_t i = 0; i < inputs.size(); ++i) in[i] = inputs[i].lumaAt(x, row);
      before.y[size_t(row) * size_t(before.pitch) + size_t(x)] = function.formula(in);
    }
  }
  return before;
}

::testing::AssertionResult sameBytes(const FrameBytes& actual, const FrameBytes& expected) {
  std::ostringstream out;
  bool differs = firstDifference("Y", actual.y, expected.y, expected.pitch, out);
  differs |= firstDifference("U", actual.u, expected.u, expected.pitchUV, out);
  differs |= firstDifference("V", actual.v, expected.v, expected.pitchUV, out);
  if (differs) return ::testing::AssertionFailure() << out.str();
  return ::testing::AssertionSuccess();
}

PClip callFunction(Environment& env, const FunctionCase& function,
                   const std::vector<PClip>& clips) {
  return env.call(function.name, function.arguments(clips)).AsClip();
}

}  // namespace quorvant::test
