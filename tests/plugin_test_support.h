// Shared pieces of the plugin's behaviour tests: pattern clips whose frames
// are known over their whole pitch, captures of frames, the six script
// functions with their per-byte formulas, and the bytes each walk may write.
#ifndef QUORVANT_TESTS_PLUGIN_TEST_SUPPORT_H
#define QUORVANT_TESTS_PLUGIN_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "embedded_host/environment.h"
#include "embedded_host/source_clip.h"

namespace quorvant::test {

using host::Environment;
using host::FramePolicy;
using host::SourceClip;

// Loads the built plugin into a fresh embedded host for every test.
class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override { env.loadPlugin(QUORVANT_PLUGIN_PATH); }
  Environment env;
};

// A byte of a deterministic pattern that takes every value: clip seed, frame
// n, column x (the padding past the row width included), row y.
uint8_t patternByte(uint32_t seed, int n, int x, int y);

// Writes the pattern of frame n over the whole pitch of every plane of a
// writable frame.
void fillPattern(const PVideoFrame& frame, uint32_t seed, int n);

// A source clip whose frames show the pattern over the whole pitch of every
// plane, so that the bytes between the row width and the pitch are known too.
// `source` is the same object as `clip`, for dropKeptFrames; `handedOut`
// lists the frames that the clip filled, in order.
struct PatternSource {
  PClip clip;
  SourceClip* source = nullptr;
  std::shared_ptr<std::vector<const VideoFrame*>> handedOut;
};
PatternSource patternClip(Environment& env, const VideoInfo& vi, uint32_t seed, FramePolicy policy);

// `count` pattern clips of one description, seeds 1 to count, and their handles.
std::vector<PatternSource> patternClips(Environment& env, const VideoInfo& vi, int count,
                                        FramePolicy policy);
std::vector<PClip> clipsOf(const std::vector<PatternSource>& sources);

// A clip whose every luma byte is `value` (chroma: 128).
PClip constantClip(Environment& env, int width, int height, uint8_t value, FramePolicy policy);

// A frame's three planes over their whole pitch and height.
struct FrameBytes {
  int pitch = 0;
  int height = 0;
  int pitchUV = 0;
  int heightUV = 0;
  std::vector<uint8_t> y, u, v;

  uint8_t lumaAt(int x, int row) const { return y[size_t(row) * size_t(pitch) + size_t(x)]; }
};
FrameBytes captureFrame(const PVideoFrame& frame);

// What a pattern clip's frame n holds, rendered in a frame of its own (the
// host counts this as a call; do not use it while a fault is armed).
FrameBytes renderPattern(Environment& env, const VideoInfo& vi, uint32_t seed, int n);

// A new frame of this geometry as the host fills it: luma and chroma bytes.
FrameBytes filledFrame(const FrameBytes& shape, uint8_t luma, uint8_t chroma);

enum class Walk { newFrame, inPlace };

// One script function as the tests drive it: its clips, the argument list
// that a script passes (amounts fixed per case) and the byte it computes.
struct FunctionCase {
  const char* name;       // script function
  const char* className;  // the class whose messages it reports
  Walk walk;
  int clipCount;
  std::vector<AVSValue> (*arguments)(const std::vector<PClip>& clips);
  // Output byte from the input bytes at its index, in clip order.
  uint8_t (*formula)(const uint8_t* in);
};

// Sign, Unsign, SubtractAndSign, ShiftedMinimum (shift 37), Clamp (margins
// 9 and 13), SimpleAverage.
const std::vector<FunctionCase>& functionCases();
const FunctionCase& functionCase(const std::string& name);
// For parameterised test names and messages.
std::string caseName(const ::testing::TestParamInfo<FunctionCase>& info);
void PrintTo(const FunctionCase& function, std::ostream* out);

// The reference arithmetic, written from each operation's definition.
namespace formula {
uint8_t sign(int v);
uint8_t subtractAndSign(int a, int b);
uint8_t shiftedMinimum(int s, int shift, int limit);
uint8_t clamp(int s, int upper, int upperMargin, int lower, int lowerMargin);
uint8_t simpleAverage(int a, int b);
}  // namespace formula

// The width a walk covers on grouped rows: W rounded up to 16 when the pitch
// holds it, else W.
int alignedWidth(int rowWidth, int pitch);

// The output frame's expected bytes: `before` (what the output frame held
// before the call) with the walk's bytes replaced by the formula of the
// inputs at the same index. New-frame walk: bytes 0..A-1 of every row;
// in-place walk: 0..A-1 of rows 0..H-2 and 0..W-1 of the last row.
FrameBytes expectedOutput(const FunctionCase& function, const std::vector<FrameBytes>& inputs,
                          FrameBytes before, int rowWidth);

// Compares two captures plane by plane and reports the first differing
// byte of each plane with its position.
::testing::AssertionResult sameBytes(const FrameBytes& actual, const FrameBytes& expected);

// The clip value a call answers, as a handle.
PClip callFunction(Environment& env, const FunctionCase& function, const std::vector<PClip>& clips);

}  // namespace quorvant::test

#endif  // QUORVANT_TESTS_PLUGIN_TEST_SUPPORT_H
