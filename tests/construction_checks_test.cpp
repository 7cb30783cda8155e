// The checks each function makes when a script calls it: the 23 messages,
// the order of the checks (pixel type, width, CPU flag, each extra clip's
// width then height), what is not checked, and the host's own argument
// check before any creator runs. No reference taken by a refused call
// stays held.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/plugin_test_support.h"

namespace quorvant::test {
namespace {

struct ClipSpec {
  int width = 128;
  int height = 8;
  int pixelType = VideoInfo::CS_YV12;
};

constexpr ClipSpec kGood{};
constexpr int kAllFlags = Environment::kDefaultCpuFlags;
constexpr int kNoMmx = CPUF_INTEGER_SSE | CPUF_SSE | CPUF_SSE2;
constexpr int kMmxOnly = CPUF_MMX | CPUF_INTEGER_SSE;
// Passes the host's YV12 bit test without being YV12 or I420 exactly.
constexpr int kYv12Lookalike = VideoInfo::CS_YV12 | VideoInfo::CS_I420;

struct CheckCase {
  const char* function;
  std::vector<ClipSpec> clips;  // in argument order
  int cpuFlags;
  const char* message;  // nullptr: the call builds a filter
};

const ClipSpec kYuy2{128, 8, VideoInfo::CS_YUY2};
const ClipSpec kRgb24{128, 8, VideoInfo::CS_BGR24};
const ClipSpec kRgb32{128, 8, VideoInfo::CS_BGR32};

const CheckCase kCases[] = {
    // Sign, and Unsign with the same messages.
    {"Sign", {kYuy2}, kAllFlags, "Sign requires YV12."},
    {"Sign", {{126, 8}}, kAllFlags, "Sign requires frame width at least 128."},
    {"Sign", {kGood}, kNoMmx, "Sign requires MMX."},
    {"Unsign", {kRgb24}, kAllFlags, "Sign requires YV12."},
    {"Unsign", {{120, 8}}, kAllFlags, "Sign requires frame width at least 128."},
    {"Unsign", {kGood}, 0, "Sign requires MMX."},
    {"Sign", {{1920, 8, kYv12Lookalike}}, kAllFlags, "Sign requires frame width at least 128."},
    {"Sign", {{126, 8, VideoInfo::CS_YUY2}}, 0, "Sign requires YV12."},
    {"Sign", {{126, 8}}, 0, "Sign requires frame width at least 128."},
    {"Sign", {{128, 8}}, kAllFlags, nullptr},
    {"Unsign", {{128, 2, VideoInfo::CS_I420}}, kMmxOnly, nullptr},

    {"SubtractAndSign", {kRgb32, {64, 4}}, kAllFlags, "SubtractAndSign requires YV12."},
    {"SubtractAndSign",
     {{120, 8}, {120, 8}},
     kAllFlags,
     "SubtractAndSign requires frame width at least 128."},
    {"SubtractAndSign", {kGood, {64, 4}}, kNoMmx, "SubtractAndSign requires MMX."},
    {"SubtractAndSign", {kGood, {130, 8}}, kAllFlags, "SubtractAndSign: widths do not match."},
    {"SubtractAndSign", {kGood, {128, 10}}, kAllFlags, "SubtractAndSign: heights do not match."},
    {"SubtractAndSign", {kGood, {130, 10}}, kAllFlags, "SubtractAndSign: widths do not match."},
    {"SubtractAndSign", {kGood, kYuy2}, kAllFlags, nullptr},

    {"ShiftedMinimum", {kYuy2, kGood}, kAllFlags, "ShiftedMinimum requires YV12."},
    {"ShiftedMinimum",
     {{127, 8}, {127, 8}},
     kAllFlags,
     "ShiftedMinimum requires frame width at least 128."},
    {"ShiftedMinimum", {kGood, kGood}, 0, "ShiftedMinimum requires MMX."},
    {"ShiftedMinimum", {kGood, {126, 8}}, kAllFlags, "ShiftedMinimum: widths do not match."},
    {"ShiftedMinimum", {kGood, {128, 4}}, kAllFlags, "ShiftedMinimum: heights do not match."},
    {"ShiftedMinimum", {kGood, kRgb32}, kMmxOnly, nullptr},

    {"Clamp", {kYuy2, kGood, kGood}, kAllFlags, "Clamp requires YV12."},
    {"Clamp",
     {{126, 8}, {126, 8}, {126, 8}},
     kAllFlags,
     "Clamp requires frame width at least 128."},
    {"Clamp", {kGood, kGood, kGood}, kMmxOnly, "Clamp requires SSE."},
    {"Clamp", {kGood, {144, 8}, kGood}, kAllFlags, "Clamp: widths do not match."},
    {"Clamp", {kGood, {128, 6}, kGood}, kAllFlags, "Clamp: heights do not match."},
    {"Clamp", {kGood, kGood, {112, 8}}, kAllFlags, "Clamp: widths do not match."},
    {"Clamp", {kGood, kGood, {128, 12}}, kAllFlags, "Clamp: heights do not match."},
    {"Clamp", {kGood, {128, 6}, {112, 8}}, kAllFlags, "Clamp: heights do not match."},
    {"Clamp", {kGood, kGood, kGood}, CPUF_SSE, nullptr},
    {"Clamp", {kGood, kRgb32, {128, 8, VideoInfo::CS_I420}}, kAllFlags, nullptr},

    {"SimpleAverage", {kRgb24, kGood}, kAllFlags, "SimpleAverage requires YV12."},
    {"SimpleAverage",
     {{120, 8}, kGood},
     kAllFlags,
     "SimpleAverage requires frame width at least 128."},
    {"SimpleAverage", {kGood, kGood}, CPUF_SSE, "SimpleAverage requires MMX."},
    {"SimpleAverage", {kGood, {130, 8}}, kAllFlags, "SimpleAverage: widths do not match."},
    {"SimpleAverage", {kGood, {128, 16}}, kAllFlags, "SimpleAverage: heights do not match."},
    {"SimpleAverage", {kGood, kYuy2}, kAllFlags, nullptr},
};

TEST_F(PluginTest, ConstructionChecksReportTheFirstFailureAndReleaseEveryClip) {
  std::set<std::string> messages;
  for (const CheckCase& c : kCases) {
    SCOPED_TRACE(::testing::Message()
                 << c.function << " expecting " << (c.message ? c.message : "a filter"));
    env.setCpuFlags(c.cpuFlags);
    std::vector<PClip> clips;
    for (const ClipSpec& spec : c.clips) {
      clips.push_back(patternClip(env, host::videoInfo(spec.width, spec.height, 2, spec.pixelType),
                                  1, FramePolicy::shared)
                          .clip);
    }
    const FunctionCase& function = functionCase(c.function);
    if (c.message) {
      try {
        callFunction(env, function, clips);
        ADD_FAILURE() << "no error";
      } catch (const host::ScriptError& error) {
        EXPECT_STREQ(error.what(), c.message);
      }
      messages.insert(c.message);
    } else {
      const PClip filter = callFunction(env, function, clips);
      ASSERT_TRUE(filter);
      EXPECT_EQ(filter->ReferenceCount(), 1);
    }
    for (const PClip& clip : clips) EXPECT_EQ(clip->ReferenceCount(), 1);
  }
  EXPECT_EQ(messages.size(), 23u);
}

// The host checks the arguments against the parameter string and refuses a
// call that does not match before the creator runs: with no CPU flags the
// creator would have reported the missing MMX or SSE instead.
TEST_F(PluginTest, ArgumentsNotMatchingTheParameterStringAreRefusedByTheHost) {
  env.setCpuFlags(0);
  const PClip c = patternClip(env, host::videoInfo(128, 8, 2), 1, FramePolicy::shared).clip;
  struct Call {
    const char* function;
    std::vector<AVSValue> args;
  };
  const Call calls[] = {
      {"Sign", {}},
      {"Sign", {1}},
      {"Unsign", {c, c}},
      {"Unsign", {1.5f}},
      {"SubtractAndSign", {c}},
      {"SubtractAndSign", {c, 3}},
      {"SimpleAverage", {c, c, c}},
      {"ShiftedMinimum", {c, c, 3}},
      {"ShiftedMinimum", {c, 2.0f, c}},
      {"Clamp", {c, c, c, 1}},
      {"Clamp", {c, c, c, 1.0f, 2}},
      {"Clamp", {c, c, c, 1, 2, 3}},
      {"Clamp", {c, c, "c", 1, 2}},
  };
  long heldByTheLists = 0;
  for (const Call& call : calls) {
    for (const AVSValue& arg : call.args) heldByTheLists += arg.IsClip();
    SCOPED_TRACE(::testing::Message()
                 << call.function << " with " << call.args.size() << " arguments");
    try {
      env.call(call.function, call.args);
      ADD_FAILURE() << "no error";
    } catch (const host::ScriptError& error) {
      EXPECT_EQ(error.what(),
                "invalid arguments to function \"" + std::string(call.function) + "\"");
    }
  }
  EXPECT_EQ(c->ReferenceCount(), 1 + heldByTheLists);
}

}  // namespace
}  // namespace quorvant::test
