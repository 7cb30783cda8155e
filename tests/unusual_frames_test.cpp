// Frames that pass the construction checks without holding what the walks
// expect: a first clip of height 0, and an extra clip of equal width and
// height whose pixel type has no whole bytes per pixel, so that its frames
// hold no luma bytes at all. The filters must not read or write outside
// those frames' rows (the sanitizer build sees any byte past the buffers).
#include <gtest/gtest.h>

#include "tests/plugin_test_support.h"

namespace quorvant::test {
namespace {

constexpr uint8_t kLumaSentinel = 0x5A;
constexpr uint8_t kChromaSentinel = 0xA5;

TEST_F(PluginTest, FirstClipOfHeightZeroGivesAnEmptyFrame) {
  for (const FunctionCase& function : functionCases()) {
    for (FramePolicy policy : {FramePolicy::fresh, FramePolicy::shared}) {
      SCOPED_TRACE(::testing::Message()
                   << function.name << (policy == FramePolicy::fresh ? " fresh" : " shared"));
      std::vector<PClip> clips;
      for (int i = 0; i < function.clipCount; ++i) {
        clips.push_back(patternClip(env, host::videoInfo(128, 0, 2), 1, policy).clip);
      }
      const PVideoFrame output = callFunction(env, function, clips)->GetFrame(0, &env);
      EXPECT_EQ(output->GetHeight(PLANAR_Y), 0);
    }
  }
  EXPECT_EQ(env.poolStats().framesInUse, 0u);
}

TEST_F(PluginTest, ExtraClipWithoutLumaBytesIsNeverReadAndNothingIsComputed) {
  constexpr int kWidth = 144;
  constexpr int kHeight = 4;
  constexpr int kNoWholeBytes = 0;  // passes the checks: only width and height are compared
  env.setFrameFill(host::FrameFill{kLumaSentinel, kChromaSentinel});
  const VideoInfo yv12 = host::videoInfo(kWidth, kHeight, 2);
  const VideoInfo empty = host::videoInfo(kWidth, kHeight, 2, kNoWholeBytes);
  for (const FunctionCase& function : functionCases()) {
    if (function.clipCount < 2) continue;
    for (FramePolicy policy : {FramePolicy::fresh, FramePolicy::shared}) {
      SCOPED_TRACE(::testing::Message()
                   << function.name << (policy == FramePolicy::fresh ? " fresh" : " shared"));
      std::vector<PClip> clips = {patternClip(env, yv12, 1, policy).clip};
      while (int(clips.size()) < function.clipCount) {
        clips.push_back(patternClip(env, empty, 2, policy).clip);
      }
      const FrameBytes output = captureFrame(callFunction(env, function, clips)->GetFrame(0, &env));
      const FrameBytes source = renderPattern(env, yv12, 1, 0);
      const bool inPlace = function.walk == Walk::inPlace && policy == FramePolicy::fresh;
      EXPECT_TRUE(sameBytes(
          output, inPlace ? source : filledFrame(source, kLumaSentinel, kChromaSentinel)));
    }
  }
}

}  // namespace
}  // namespace quorvant::test
