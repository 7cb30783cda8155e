// The output frame each filter returns: the in-place walk writes into the
// first clip's frame only when that call alone holds it; otherwise, and
// always for the new-frame walk, the output is a new frame and every input
// frame is left as it was.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/plugin_test_support.h"

namespace quorvant::test {
namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 6;
constexpr int kFrame = 1;

bool handedOut(const PatternSource& source, const VideoFrame* frame) {
  const auto& frames = *source.handedOut;
  return std::find(frames.begin(), frames.end(), frame) != frames.end();
}

struct FilterRun {
  PVideoFrame output;
  std::vector<PatternSource> sources;
};

FilterRun runFunction(Environment& env, const FunctionCase& function, FramePolicy policy) {
  FilterRun run;
  run.sources = patternClips(env, host::videoInfo(kWidth, kHeight, 2), function.clipCount, policy);
  run.output = callFunction(env, function, clipsOf(run.sources))->GetFrame(kFrame, &env);
  return run;
}

// Every input frame still shows its pattern (the shared policy hands out
// the same frame again for the same n).
void expectInputsUnchanged(Environment& env, const FilterRun& run) {
  for (size_t i = 0; i < run.sources.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << "input clip " << i);
    const VideoInfo& vi = run.sources[i].clip->GetVideoInfo();
    EXPECT_TRUE(sameBytes(captureFrame(run.sources[i].clip->GetFrame(kFrame, &env)),
                          renderPattern(env, vi, uint32_t(i + 1), kFrame)));
  }
}

class InPlaceWalk : public PluginTest, public ::testing::WithParamInterface<FunctionCase> {};

TEST_P(InPlaceWalk, WritesIntoAWritableSourceFrameAndReturnsIt) {
  const FilterRun run = runFunction(env, GetParam(), FramePolicy::fresh);
  ASSERT_EQ(run.sources[0].handedOut->size(), 1u);
  EXPECT_EQ(run.output.operator->(), run.sources[0].handedOut->back());
  EXPECT_TRUE(run.output->IsWritable());
  const FrameBytes output = captureFrame(run.output);
  const FrameBytes source = renderPattern(env, host::videoInfo(kWidth, kHeight, 2), 1, kFrame);
  EXPECT_EQ(output.u, source.u);
  EXPECT_EQ(output.v, source.v);
}

TEST_P(InPlaceWalk, SharedSourceFrameGivesANewFrameWithTheSameLuma) {
  const FilterRun inPlace = runFunction(env, GetParam(), FramePolicy::fresh);
  const FilterRun shared = runFunction(env, GetParam(), FramePolicy::shared);
  for (const PatternSource& source : shared.sources) {
    EXPECT_FALSE(handedOut(source, shared.output.operator->()));
  }
  EXPECT_TRUE(shared.output->IsWritable());
  EXPECT_EQ(host::planeBytes(shared.output, PLANAR_Y), host::planeBytes(inPlace.output, PLANAR_Y));
  expectInputsUnchanged(env, shared);
}

INSTANTIATE_TEST_SUITE_P(Functions, InPlaceWalk,
                         ::testing::Values(functionCase("Sign"), functionCase("Unsign"),
                                           functionCase("SubtractAndSign"),
                                           functionCase("ShiftedMinimum")),
                         caseName);

class NewFrameWalk : public PluginTest, public ::testing::WithParamInterface<FunctionCase> {};

TEST_P(NewFrameWalk, ReturnsANewFrameEvenWhenTheSourceFrameIsWritable) {
  for (FramePolicy policy : {FramePolicy::fresh, FramePolicy::shared}) {
    const FilterRun run = runFunction(env, GetParam(), policy);
    for (const PatternSource& source : run.sources) {
      EXPECT_FALSE(handedOut(source, run.output.operator->()));
    }
    EXPECT_TRUE(run.output->IsWritable());
    if (policy == FramePolicy::shared) expectInputsUnchanged(env, run);
  }
}

INSTANTIATE_TEST_SUITE_P(Functions, NewFrameWalk,
                         ::testing::Values(functionCase("Clamp"), functionCase("SimpleAverage")),
                         caseName);

// Hands the frame made for one request to the next request too, keeping it
// only in between: after both, the filter's two handles are all that hold
// it, as when a host hands one frame to both operands of a call.
class FrameTwiceClip : public IClip {
 public:
  FrameTwiceClip(Environment& environment, const VideoInfo& info) : env(environment), vi(info) {}

  PVideoFrame AVS_STDCALL GetFrame(int n, IScriptEnvironment*) override {
    if (pending) {
      const PVideoFrame frame = pending;
      pending = PVideoFrame();
      return frame;
    }
    pending = env.NewVideoFrame(vi, FRAME_ALIGN);
    fillPattern(pending, 1, n);
    made.push_back(pending.operator->());
    return pending;
  }
  bool AVS_STDCALL GetParity(int) override { return false; }
  void AVS_STDCALL GetAudio(void*, int64, int64, IScriptEnvironment*) override {}
  void AVS_STDCALL SetCacheHints(int, int) override {}
  const VideoInfo& AVS_STDCALL GetVideoInfo() override { return vi; }

  std::vector<const VideoFrame*> made;

 private:
  Environment& env;
  VideoInfo vi;
  PVideoFrame pending;
};

TEST_F(PluginTest, OneFrameAsBothOperandsIsNotWrittenInPlace) {
  const VideoInfo vi = host::videoInfo(kWidth, kHeight, 2);
  const std::vector<uint8_t> source = host::planeBytes(
      [&] {
        const PVideoFrame frame = env.NewVideoFrame(vi);
        fillPattern(frame, 1, kFrame);
        return frame;
      }(),
      PLANAR_Y);
  struct Case {
    const char* name;
    std::vector<uint8_t> expected;
  };
  const Case cases[] = {{"SubtractAndSign", std::vector<uint8_t>(source.size(), 0)},
                        {"ShiftedMinimum", source}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto* twice = new FrameTwiceClip(env, vi);
    const PClip clip = twice;
    std::vector<AVSValue> args = {clip, clip};
    if (std::string(c.name) == "ShiftedMinimum") args = {clip, 0, clip};
    const PVideoFrame output = env.call(c.name, args).AsClip()->GetFrame(kFrame, &env);
    ASSERT_EQ(twice->made.size(), 1u);
    EXPECT_NE(output.operator->(), twice->made[0]);
    EXPECT_EQ(host::planeBytes(output, PLANAR_Y), c.expected);
  }
}

TEST_F(PluginTest, SameSharedClipAsBothOperandsLeavesItsFrameUnchanged) {
  const PatternSource a =
      patternClip(env, host::videoInfo(kWidth, kHeight, 2), 1, FramePolicy::shared);
  const PVideoFrame output =
      env.call("SubtractAndSign", {a.clip, a.clip}).AsClip()->GetFrame(kFrame, &env);
  EXPECT_FALSE(handedOut(a, output.operator->()));
  const std::vector<uint8_t> luma = host::planeBytes(output, PLANAR_Y);
  EXPECT_TRUE(std::all_of(luma.begin(), luma.end(), [](uint8_t v) { return v == 0; }));
  EXPECT_TRUE(sameBytes(captureFrame(a.clip->GetFrame(kFrame, &env)),
                        renderPattern(env, a.clip->GetVideoInfo(), 1, kFrame)));
}

}  // namespace
}  // namespace quorvant::test
