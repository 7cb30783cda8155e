// Counted references to clips and frames go back to where they started:
// after a run, after a host error raised at any host call inside GetFrame,
// and when the filter is destroyed (which releases its clips in reverse
// member order, the first clip last).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/plugin_test_support.h"

namespace quorvant::test {
namespace {

constexpr int kWidth = 136;
constexpr int kHeight = 4;

struct FilterUnderTest {
  std::vector<PatternSource> sources;  // the test's one handle to each clip
  PClip filter;

  void dropKeptFrames() const {
    for (const PatternSource& source : sources) source.source->dropKeptFrames();
  }
};

FilterUnderTest build(Environment& env, const FunctionCase& function, FramePolicy policy) {
  FilterUnderTest setup;
  setup.sources =
      patternClips(env, host::videoInfo(kWidth, kHeight, 3), function.clipCount, policy);
  setup.filter = callFunction(env, function, clipsOf(setup.sources));
  return setup;
}

// No frame of the pool is held by anything once the sources let go of theirs.
void expectNoFrameHeld(Environment& env, const FilterUnderTest& setup) {
  setup.dropKeptFrames();
  EXPECT_EQ(env.poolStats().framesInUse, 0u);
  EXPECT_EQ(env.poolStats().buffersInUse, 0u);
}

void expectFilterHoldsEachClipOnce(const FilterUnderTest& setup) {
  EXPECT_EQ(setup.filter->ReferenceCount(), 1);
  for (const PatternSource& source : setup.sources) EXPECT_EQ(source.clip->ReferenceCount(), 2);
}

const char* policyName(FramePolicy policy) {
  return policy == FramePolicy::fresh ? "fresh" : "shared";
}

class ReferenceCounts : public PluginTest, public ::testing::WithParamInterface<FunctionCase> {};

TEST_P(ReferenceCounts, RunsAndDestructionLeaveNothingHeld) {
  for (FramePolicy policy : {FramePolicy::fresh, FramePolicy::shared}) {
    SCOPED_TRACE(policyName(policy));
    FilterUnderTest setup = build(env, GetParam(), policy);
    expectFilterHoldsEachClipOnce(setup);
    for (int n : {0, 1, 2, 1}) {
      const PVideoFrame output = setup.filter->GetFrame(n, &env);
      EXPECT_TRUE(output->IsWritable());  // the caller holds the only reference
    }
    expectFilterHoldsEachClipOnce(setup);
    expectNoFrameHeld(env, setup);
    setup.filter = PClip();
    for (const PatternSource& source : setup.sources) {
      EXPECT_EQ(source.clip->ReferenceCount(), 1);
    }
  }
}

TEST_P(ReferenceCounts, HostErrorAtEveryCallInsideGetFrameReleasesWhatWasTaken) {
  for (FramePolicy policy : {FramePolicy::fresh, FramePolicy::shared}) {
    SCOPED_TRACE(policyName(policy));
    const FilterUnderTest setup = build(env, GetParam(), policy);
    env.failHostCall(0);
    const std::vector<uint8_t> expected =
        host::planeBytes(setup.filter->GetFrame(1, &env), PLANAR_Y);
    const long calls = env.hostCalls();
    ASSERT_GE(calls, GetParam().clipCount);
    expectNoFrameHeld(env, setup);

    for (long k = 1; k <= calls; ++k) {
      SCOPED_TRACE(::testing::Message() << "host call " << k << " of " << calls << " raises");
      env.failHostCall(k);
      try {
        setup.filter->GetFrame(1, &env);
        ADD_FAILURE() << "no error";
      } catch (const host::ScriptError& error) {
        EXPECT_NE(std::string(error.what()).find("injected failure"), std::string::npos);
      }
      env.failHostCall(0);
      expectFilterHoldsEachClipOnce(setup);
      expectNoFrameHeld(env, setup);
    }

    // Past the last host call nothing raises and the frame is whole.
    env.failHostCall(calls + 1);
    EXPECT_EQ(host::planeBytes(setup.filter->GetFrame(1, &env), PLANAR_Y), expected);
    env.failHostCall(0);
    expectNoFrameHeld(env, setup);
  }
}

INSTANTIATE_TEST_SUITE_P(AllFunctions, ReferenceCounts, ::testing::ValuesIn(functionCases()),
                         caseName);

// A source clip that records its name when it is destroyed.
class RecordingClip : public SourceClip {
 public:
  RecordingClip(Environment& env, std::string clipName,
                std::shared_ptr<std::vector<std::string>> destroyed)
      : SourceClip(
            env, host::videoInfo(kWidth, kHeight, 1), [](int, const PVideoFrame&) {},
            FramePolicy::fresh),
        name(std::move(clipName)),
        log(std::move(destroyed)) {}
  ~RecordingClip() override { log->push_back(name); }

 private:
  std::string name;
  std::shared_ptr<std::vector<std::string>> log;
};

TEST_F(PluginTest, DestroyedFilterReleasesItsExtraClipsInReverseOrderThenTheFirst) {
  struct Case {
    const char* function;
    std::vector<std::string> clips;      // in argument order
    std::vector<std::string> destroyed;  // expected order
  };
  const Case cases[] = {
      {"Sign", {"child"}, {"child"}},
      {"Unsign", {"child"}, {"child"}},
      {"SubtractAndSign", {"child", "second"}, {"second", "child"}},
      {"ShiftedMinimum", {"child", "limit"}, {"limit", "child"}},
      {"Clamp", {"child", "upper", "lower"}, {"lower", "upper", "child"}},
      {"SimpleAverage", {"child", "second"}, {"second", "child"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.function);
    auto destroyed = std::make_shared<std::vector<std::string>>();
    PClip filter;
    {
      std::vector<PClip> clips;
      for (const std::string& name : c.clips) {
        clips.push_back(new RecordingClip(env, name, destroyed));
      }
      filter = callFunction(env, functionCase(c.function), clips);
    }
    EXPECT_TRUE(destroyed->empty());
    filter = PClip();
    EXPECT_EQ(*destroyed, c.destroyed);
  }
}

}  // namespace
}  // namespace quorvant::test
