// What each script function computes: the worked values of every operation,
// integer arguments taken as 8-bit amounts, the properties that follow from
// the arithmetic, and what passes through from the first clip. Every luma
// byte of the output frame is checked, the last row included, both when an
// in-place filter writes into its source frame and into a new frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tests/plugin_test_support.h"

namespace quorvant::test {
namespace {

constexpr int kWidth = 130;
constexpr int kHeight = 3;
constexpr int kFrame = 1;
constexpr FramePolicy kPolicies[] = {FramePolicy::fresh, FramePolicy::shared};

const char* policyName(FramePolicy policy) {
  return policy == FramePolicy::fresh ? "fresh" : "shared";
}

// The arguments of a script call: clips in argument order, amounts where
// the function's parameter string has its integers.
std::vector<AVSValue> scriptArguments(const std::string& function, const std::vector<PClip>& c,
                                      const std::vector<int>& amounts) {
  if (function == "ShiftedMinimum") return {c.at(0), amounts.at(0), c.at(1)};
  if (function == "Clamp") return {c.at(0), c.at(1), c.at(2), amounts.at(0), amounts.at(1)};
  return std::vector<AVSValue>(c.begin(), c.end());
}

std::vector<uint8_t> outputLuma(Environment& env, const std::string& function,
                                const std::vector<PClip>& clips,
                                const std::vector<int>& amounts = {}) {
  const PClip filter = env.call(function, scriptArguments(function, clips, amounts)).AsClip();
  return host::planeBytes(filter->GetFrame(kFrame, &env), PLANAR_Y);
}

std::vector<uint8_t> constantLuma(uint8_t value) {
  return std::vector<uint8_t>(size_t(kWidth) * kHeight, value);
}

struct WorkedValue {
  const char* function;
  std::vector<uint8_t> inputs;  // one constant luma per clip, in argument order
  std::vector<int> amounts;     // script integers
  uint8_t output;
};

const WorkedValue kWorkedValues[] = {
    {"Sign", {0x00}, {}, 0x80},
    {"Sign", {0x10}, {}, 0x90},
    {"Sign", {0x7F}, {}, 0xFF},
    {"Sign", {0x80}, {}, 0x00},
    {"Sign", {0x81}, {}, 0x01},
    {"Sign", {0xEB}, {}, 0x6B},
    {"Sign", {0xFF}, {}, 0x7F},
    {"Unsign", {0x80}, {}, 0x00},
    {"Unsign", {0xFF}, {}, 0x7F},
    {"Unsign", {0x00}, {}, 0x80},
    {"Unsign", {0x01}, {}, 0x81},

    {"SubtractAndSign", {255, 0}, {}, 0x7F},
    {"SubtractAndSign", {0, 255}, {}, 0x80},
    {"SubtractAndSign", {200, 100}, {}, 0x64},
    {"SubtractAndSign", {100, 200}, {}, 0x9C},
    {"SubtractAndSign", {128, 127}, {}, 0x01},
    {"SubtractAndSign", {127, 128}, {}, 0xFF},
    {"SubtractAndSign", {227, 100}, {}, 0x7F},
    {"SubtractAndSign", {228, 100}, {}, 0x7F},
    {"SubtractAndSign", {100, 228}, {}, 0x80},
    {"SubtractAndSign", {100, 229}, {}, 0x80},
    {"SubtractAndSign", {77, 77}, {}, 0x00},

    {"ShiftedMinimum", {100, 200}, {20}, 120},
    {"ShiftedMinimum", {100, 110}, {20}, 110},
    {"ShiftedMinimum", {100, 110}, {10}, 110},
    {"ShiftedMinimum", {250, 255}, {20}, 255},
    {"ShiftedMinimum", {250, 240}, {20}, 240},
    {"ShiftedMinimum", {40, 30}, {0}, 30},
    {"ShiftedMinimum", {0, 17}, {255}, 17},

    {"Clamp", {100, 90, 60}, {5, 5}, 95},
    {"Clamp", {70, 90, 60}, {5, 5}, 70},
    {"Clamp", {40, 90, 60}, {5, 5}, 55},
    {"Clamp", {100, 50, 80}, {0, 0}, 80},
    {"Clamp", {10, 50, 80}, {0, 0}, 80},
    {"Clamp", {255, 250, 3}, {10, 10}, 255},
    {"Clamp", {0, 250, 3}, {10, 10}, 0},

    {"SimpleAverage", {0, 0}, {}, 0},
    {"SimpleAverage", {0, 1}, {}, 1},
    {"SimpleAverage", {1, 2}, {}, 2},
    {"SimpleAverage", {3, 4}, {}, 4},
    {"SimpleAverage", {10, 13}, {}, 12},
    {"SimpleAverage", {0, 255}, {}, 128},
    {"SimpleAverage", {254, 255}, {}, 255},
    {"SimpleAverage", {255, 255}, {}, 255},
};

TEST_F(PluginTest, WorkedValuesOnEveryByte) {
  for (const WorkedValue& value : kWorkedValues) {
    for (FramePolicy policy : kPolicies) {
      SCOPED_TRACE(::testing::Message()
                   << value.function << " of " << ::testing::PrintToString(value.inputs)
                   << " amounts " << ::testing::PrintToString(value.amounts) << ", "
                   << policyName(policy));
      std::vector<PClip> clips;
      for (uint8_t input : value.inputs) {
        clips.push_back(constantClip(env, kWidth, kHeight, input, policy));
      }
      EXPECT_EQ(outputLuma(env, value.function, clips, value.amounts), constantLuma(value.output));
    }
  }
}

// Unsign turns SubtractAndSign's signed difference into offset-128 form:
// clamp(a - b + 128, 0, 255).
TEST_F(PluginTest, UnsignOfSubtractAndSignIsTheOffsetDifference) {
  const struct {
    uint8_t a, b, offsetForm;
  } values[] = {{255, 0, 255},   {0, 255, 0},     {200, 100, 228}, {100, 200, 28},
                {128, 127, 129}, {127, 128, 127}, {227, 100, 255}, {228, 100, 255},
                {100, 228, 0},   {100, 229, 0},   {77, 77, 128}};
  for (const auto& value : values) {
    for (FramePolicy policy : kPolicies) {
      SCOPED_TRACE(::testing::Message()
                   << int(value.a) << " - " << int(value.b) << ", " << policyName(policy));
      const PClip difference =
          env.call("SubtractAndSign", {constantClip(env, kWidth, kHeight, value.a, policy),
                                       constantClip(env, kWidth, kHeight, value.b, policy)})
              .AsClip();
      EXPECT_EQ(outputLuma(env, "Unsign", {difference}), constantLuma(value.offsetForm));
    }
  }
}

// Pattern clips (seeds 1, 2, 3) and what their frame kFrame holds.
struct Patterns {
  std::vector<PClip> clips;
  std::vector<FrameBytes> frames;
};

Patterns patterns(Environment& env, int count, FramePolicy policy,
                  const std::vector<int>& pixelTypes = {}) {
  Patterns result;
  for (int i = 0; i < count; ++i) {
    const int pixelType = i < int(pixelTypes.size()) ? pixelTypes[i] : VideoInfo::CS_YV12;
    const VideoInfo vi = host::videoInfo(kWidth, kHeight, 2, pixelType);
    result.clips.push_back(patternClip(env, vi, uint32_t(i + 1), policy).clip);
    result.frames.push_back(renderPattern(env, vi, uint32_t(i + 1), kFrame));
  }
  return result;
}

// The output luma (row width by height) that `byte` gives at every index.
std::vector<uint8_t> expectedLuma(const std::vector<FrameBytes>& inputs,
                                  const std::function<uint8_t(const uint8_t*)>& byte) {
  std::vector<uint8_t> luma;
  for (int row = 0; row < kHeight; ++row) {
    for (int x = 0; x < kWidth; ++x) {
      uint8_t in[3] = {};
      for (size_t i = 0; i < inputs.size(); ++i) in[i] = inputs[i].lumaAt(x, row);
      luma.push_back(byte(in));
    }
  }
  return luma;
}

TEST_F(PluginTest, IntegerArgumentsAreTakenModulo256) {
  for (FramePolicy policy : kPolicies) {
    SCOPED_TRACE(policyName(policy));
    for (int shift : {300, -1, 256, -20, -200, 255, 0}) {
      SCOPED_TRACE(::testing::Message() << "ShiftedMinimum amount " << shift);
      const Patterns p = patterns(env, 2, policy);
      const int amount = shift & 0xFF;
      EXPECT_EQ(outputLuma(env, "ShiftedMinimum", p.clips, {shift}),
                expectedLuma(p.frames, [amount](const uint8_t* in) {
                  return formula::shiftedMinimum(in[0], amount, in[1]);
                }));
    }
    const struct {
      int upper, lower;
    } margins[] = {{256, -1}, {-1, 256}, {-5, 300}, {-1, -1}, {512, -256}};
    for (const auto& margin : margins) {
      SCOPED_TRACE(::testing::Message()
                   << "Clamp margins " << margin.upper << ", " << margin.lower);
      const Patterns p = patterns(env, 3, policy);
      const int upper = margin.upper & 0xFF;
      const int lower = margin.lower & 0xFF;
      EXPECT_EQ(outputLuma(env, "Clamp", p.clips, {margin.upper, margin.lower}),
                expectedLuma(p.frames, [upper, lower](const uint8_t* in) {
                  return formula::clamp(in[0], in[1], upper, in[2], lower);
                }));
    }
  }
}

// Identities that follow from the arithmetic, on pattern frames: `call`
// builds the output clip from the pattern clips, `expected` gives its byte.
struct Identity {
  const char* what;
  int clips;
  std::function<PClip(Environment&, const std::vector<PClip>&)> call;
  std::function<uint8_t(const uint8_t*)> expected;
};

PClip invoke(Environment& env, const char* function, std::vector<AVSValue> args) {
  return env.call(function, args).AsClip();
}

TEST_F(PluginTest, IdentitiesOfTheOperations) {
  const auto first = [](const uint8_t* in) { return in[0]; };
  const Identity identities[] = {
      {"Sign twice", 1,
       [](Environment& e, auto& c) { return invoke(e, "Sign", {invoke(e, "Sign", {c[0]})}); },
       first},
      {"Unsign of Sign", 1,
       [](Environment& e, auto& c) { return invoke(e, "Unsign", {invoke(e, "Sign", {c[0]})}); },
       first},
      {"Sign of Unsign", 1,
       [](Environment& e, auto& c) { return invoke(e, "Sign", {invoke(e, "Unsign", {c[0]})}); },
       first},
      {"SubtractAndSign of a clip and itself", 1,
       [](Environment& e, auto& c) {
         return invoke(e, "SubtractAndSign", {c[0], c[0]});
       },
       [](const uint8_t*) { return uint8_t(0); }},
      {"Unsign of SubtractAndSign of a clip and itself", 1,
       [](Environment& e, auto& c) {
         return invoke(e, "Unsign", {invoke(e, "SubtractAndSign", {c[0], c[0]})});
       },
       [](const uint8_t*) { return uint8_t(128); }},
      {"ShiftedMinimum limited by its own clip", 1,
       [](Environment& e, auto& c) {
         return invoke(e, "ShiftedMinimum", {c[0], 37, c[0]});
       },
       first},
      {"ShiftedMinimum by 0 is the minimum", 2,
       [](Environment& e, auto& c) {
         return invoke(e, "ShiftedMinimum", {c[0], 0, c[1]});
       },
       [](const uint8_t* in) { return std::min(in[0], in[1]); }},
      {"ShiftedMinimum by -1 is the limit", 2,
       [](Environment& e, auto& c) {
         return invoke(e, "ShiftedMinimum", {c[0], -1, c[1]});
       },
       [](const uint8_t* in) { return in[1]; }},
      {"Clamp between its own clip", 1,
       [](Environment& e, auto& c) {
         return invoke(e, "Clamp", {c[0], c[0], c[0], 0, 0});
       },
       first},
      {"Clamp with margins -1 is unbounded", 3,
       [](Environment& e, auto& c) {
         return invoke(e, "Clamp", {c[0], c[1], c[2], -1, -1});
       },
       first},
      {"Clamp with crossed bounds gives the lower clip", 2,
       [](Environment& e, auto& c) {
         // An upper bound of 0 lies below every lower byte but 0.
         const PClip zero = constantClip(e, kWidth, kHeight, 0, FramePolicy::shared);
         return invoke(e, "Clamp", {c[0], zero, c[1], 0, 0});
       },
       [](const uint8_t* in) { return in[1]; }},
      {"SimpleAverage of a clip and itself", 1,
       [](Environment& e, auto& c) {
         return invoke(e, "SimpleAverage", {c[0], c[0]});
       },
       first},
      {"SimpleAverage with its clips exchanged", 2,
       [](Environment& e, auto& c) {
         return invoke(e, "SimpleAverage", {c[1], c[0]});
       },
       [](const uint8_t* in) { return formula::simpleAverage(in[0], in[1]); }},
  };
  for (const Identity& identity : identities) {
    for (FramePolicy policy : kPolicies) {
      SCOPED_TRACE(::testing::Message() << identity.what << ", " << policyName(policy));
      const Patterns p = patterns(env, identity.clips, policy);
      EXPECT_EQ(host::planeBytes(identity.call(env, p.clips)->GetFrame(kFrame, &env), PLANAR_Y),
                expectedLuma(p.frames, identity.expected));
    }
  }
}

// Only width and height of an extra clip are compared: one of another pixel
// type is read through its first plane, row by row with its own pitch, over
// the first clip's widths.
TEST_F(PluginTest, ExtraClipOfAnotherPixelTypeIsReadThroughItsFirstPlane) {
  for (FramePolicy policy : kPolicies) {
    SCOPED_TRACE(policyName(policy));
    {
      const Patterns p = patterns(env, 2, policy, {VideoInfo::CS_YV12, VideoInfo::CS_YUY2});
      EXPECT_EQ(outputLuma(env, "SimpleAverage", p.clips),
                expectedLuma(p.frames, [](const uint8_t* in) {
                  return formula::simpleAverage(in[0], in[1]);
                }));
    }
    {
      const Patterns p = patterns(env, 2, policy, {VideoInfo::CS_I420, VideoInfo::CS_BGR32});
      EXPECT_EQ(outputLuma(env, "ShiftedMinimum", p.clips, {5}),
                expectedLuma(p.frames, [](const uint8_t* in) {
                  return formula::shiftedMinimum(in[0], 5, in[1]);
                }));
    }
  }
}

// A source clip whose parity and audio say which clip answered.
class MarkedClip : public SourceClip {
 public:
  MarkedClip(Environment& env, const VideoInfo& vi, uint8_t clipMark)
      : SourceClip(
            env, vi, [](int n, const PVideoFrame& frame) { fillPattern(frame, 1, n); },
            FramePolicy::shared),
        mark(clipMark) {}
  bool AVS_STDCALL GetParity(int n) override { return ((n + mark) & 1) != 0; }
  void AVS_STDCALL GetAudio(void* buf, int64, int64 count, IScriptEnvironment*) override {
    std::fill_n(static_cast<uint8_t*>(buf), size_t(count), mark);
  }

 private:
  uint8_t mark;
};

TEST_F(PluginTest, DescriptionParityAndAudioComeFromTheFirstClip) {
  VideoInfo firstInfo = host::videoInfo(kWidth, kHeight, 7);
  firstInfo.fps_numerator = 30000;
  firstInfo.fps_denominator = 1001;
  firstInfo.audio_samples_per_second = 48000;
  firstInfo.sample_type = 2;
  firstInfo.num_audio_samples = 123456;
  firstInfo.nchannels = 2;
  VideoInfo otherInfo = host::videoInfo(kWidth, kHeight, 99, VideoInfo::CS_I420);
  otherInfo.audio_samples_per_second = 44100;
  for (const FunctionCase& function : functionCases()) {
    SCOPED_TRACE(function.name);
    std::vector<PClip> clips = {new MarkedClip(env, firstInfo, 1)};
    for (int i = 1; i < function.clipCount; ++i) clips.push_back(new MarkedClip(env, otherInfo, 2));
    const PClip filter = callFunction(env, function, clips);

    const VideoInfo& vi = filter->GetVideoInfo();
    EXPECT_EQ(vi.width, firstInfo.width);
    EXPECT_EQ(vi.height, firstInfo.height);
    EXPECT_EQ(vi.fps_numerator, firstInfo.fps_numerator);
    EXPECT_EQ(vi.fps_denominator, firstInfo.fps_denominator);
    EXPECT_EQ(vi.num_frames, firstInfo.num_frames);
    EXPECT_EQ(vi.pixel_type, firstInfo.pixel_type);
    EXPECT_EQ(vi.audio_samples_per_second, firstInfo.audio_samples_per_second);
    EXPECT_EQ(vi.sample_type, firstInfo.sample_type);
    EXPECT_EQ(vi.num_audio_samples, firstInfo.num_audio_samples);
    EXPECT_EQ(vi.nchannels, firstInfo.nchannels);
    EXPECT_EQ(filter->GetVersion(), 2);
    for (int n : {0, 1, 6}) EXPECT_EQ(filter->GetParity(n), clips[0]->GetParity(n)) << n;
    uint8_t audio[16] = {};
    filter->GetAudio(audio, 0, 16, &env);
    EXPECT_TRUE(std::all_of(std::begin(audio), std::end(audio), [](uint8_t b) { return b == 1; }));
  }
}

}  // namespace
}  // namespace quorvant::test
