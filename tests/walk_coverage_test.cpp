// Which bytes each filter writes, seen through the host on frames filled with
// sentinels: every byte of the output frame's three planes, over the whole
// pitch, is either a byte of the walk holding its formula or untouched.
#include <gtest/gtest.h>

#include "tests/plugin_test_support.h"

namespace quorvant::test {
namespace {

constexpr uint8_t kLumaSentinel = 0xC3;
constexpr uint8_t kChromaSentinel = 0x3C;

struct Geometry {
  int width;
  int height;
  int extraPitch;  // beyond the row width rounded up to 16
};

std::vector<Geometry> geometries() {
  std::vector<Geometry> list;
  for (int width : {128, 130, 352, 640, 720, 1008, 1280, 1920}) {
    for (int height : {1, 2, 5}) list.push_back({width, height, 0});
    list.push_back({width, 3, 16});
  }
  // Pitch below the width rounded up to 16: grouped rows end at the row
  // width, and the tail span is no longer a multiple of 8.
  for (int extraPitch : {-8, -14}) {
    for (int height : {1, 2, 4}) list.push_back({130, height, extraPitch});
  }
  return list;
}

class WalkCoverage : public PluginTest, public ::testing::WithParamInterface<FunctionCase> {};

TEST_P(WalkCoverage, WritesExactlyTheWalksBytesWithTheirFormula) {
  const FunctionCase& function = GetParam();
  constexpr int kFrame = 1;
  env.setFrameFill(host::FrameFill{kLumaSentinel, kChromaSentinel});
  for (const Geometry& g : geometries()) {
    for (FramePolicy policy : {FramePolicy::fresh, FramePolicy::shared}) {
      SCOPED_TRACE(::testing::Message()
                   << "width " << g.width << " height " << g.height << " extra pitch "
                   << g.extraPitch << (policy == FramePolicy::fresh ? " fresh" : " shared"));
      env.setExtraPitch(g.extraPitch);
      const VideoInfo vi = host::videoInfo(g.width, g.height, 2);
      std::vector<PClip> clips;
      std::vector<FrameBytes> inputs;
      for (int i = 0; i < function.clipCount; ++i) {
        clips.push_back(patternClip(env, vi, uint32_t(i + 1), policy).clip);
        inputs.push_back(renderPattern(env, vi, uint32_t(i + 1), kFrame));
      }
      const PClip filter = callFunction(env, function, clips);
      const FrameBytes output = captureFrame(filter->GetFrame(kFrame, &env));

      // In place the output is the first clip's frame: what it held before
      // is the source's pattern; a new frame holds the sentinels.
      const bool inPlace = function.walk == Walk::inPlace && policy == FramePolicy::fresh;
      const FrameBytes before =
          inPlace ? inputs[0] : filledFrame(inputs[0], kLumaSentinel, kChromaSentinel);
      ASSERT_TRUE(sameBytes(output, expectedOutput(function, inputs, before, g.width)));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllFunctions, WalkCoverage, ::testing::ValuesIn(functionCases()),
                         caseName);

}  // namespace
}  // namespace quorvant::test
