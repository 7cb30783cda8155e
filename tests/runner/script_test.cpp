// The script language through the evaluator, with the built plugin loaded
// as a host loads it: each syntax form against its plain equivalent, the
// host's `last` rule, argument checking, and faults with their locations.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "embedded_host/environment.h"
#include "embedded_host/source_clip.h"
#include "runner/host_functions.h"
#include "runner/script_evaluator.h"

namespace quorvant::script {
namespace {

using Luma = std::vector<std::vector<uint8_t>>;

std::unique_ptr<host::Environment> newEnvironment() {
  auto env = std::make_unique<host::Environment>();
  env->loadPlugin(QUORVANT_PLUGIN_PATH);
  runner::addHostFunctions(*env);
  return env;
}

// The Y planes of the first frames of the script's value.
Luma lumaOf(const std::string& text, int frames = 3) {
  const auto env = newEnvironment();
  Luma planes;
  const PClip clip = runScript(text, *env).AsClip();
  if (!clip) {
    ADD_FAILURE() << "no clip from:\n" << text;
    return planes;
  }
  for (int n = 0; n < frames; ++n)
    planes.push_back(host::planeBytes(clip->GetFrame(n, env.get()), PLANAR_Y));
  return planes;
}

const char* const kPrelude =
    "a = TestPattern(160, 16, 3)\n"
    "b = TestPattern(160, 16, 5).Sign()\n"
    "c = SimpleAverage(a, b)\n";

TEST(ScriptSyntax, EachFormEqualsItsPlainCall) {
  const struct {
    const char* form;
    const char* plain;
  } cases[] = {
      {"a.Sign()", "Sign(a)"},
      {"a.Sign", "Sign(a)"},
      {"a.Clamp(b, c, 6, 2)", "Clamp(a, b, c, 6, 2)"},
      {"a.Sign.Unsign().ShiftedMinimum(9, c)", "ShiftedMinimum(Unsign(Sign(a)), 9, c)"},
      {"(a).Sign", "Sign(a)"},
      {"SIGN(A)", "Sign(a)"},
      {"x = a.sign\nX", "Sign(a)"},
      // `last`: a clip from a bare expression, passed first when the
      // arguments as given do not match.
      {"a\nClamp(b, c, 6, 2)", "Clamp(a, b, c, 6, 2)"},
      {"b\nShiftedMinimum(5, c)", "ShiftedMinimum(b, 5, c)"},
      {"b\nUnsign", "Unsign(b)"},
      {"a\nSign(b)", "Sign(b)"},
      {"a\nx = b\nSign", "Sign(a)"},
      {"a\n5\nSign", "Sign(a)"},
      {"last = b\nSign", "Sign(b)"},
      // Integers: hexadecimal, negative, the extremes; 8-bit amounts.
      {"Clamp(a, b, c, $10, $ff)", "Clamp(a, b, c, 16, 255)"},
      {"Clamp(a, b, c, -1, -200)", "Clamp(a, b, c, 255, 56)"},
      {"ShiftedMinimum(a, $FFFFFF05, c)", "ShiftedMinimum(a, 5, c)"},
      {"ShiftedMinimum(a, -2147483648, c)", "ShiftedMinimum(a, 0, c)"},
      {"ShiftedMinimum(a, 2147483647, c)", "ShiftedMinimum(a, 255, c)"},
      {"ShiftedMinimum(a, -(-5), c)", "ShiftedMinimum(a, 5, c)"},
      // Comments, blank lines, tabs and CRLF line ends.
      {"# a comment\n\n\tx = a.Sign()   # another\r\nx\r\n", "Sign(a)"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.form);
    const Luma form = lumaOf(std::string(kPrelude) + test.form);
    const Luma plain = lumaOf(std::string(kPrelude) + test.plain);
    ASSERT_EQ(form.size(), plain.size());
    for (size_t n = 0; n < form.size(); ++n) EXPECT_EQ(form[n], plain[n]) << "frame " << n;
  }
}

// Answers how many arguments it was given.
AVSValue AVS_CDECL CountArguments(AVSValue args, void*, IScriptEnvironment*) {
  return AVSValue(args.ArraySize());
}

TEST(ScriptSyntax, LastGoesFirstOnlyWhenTheArgumentsAloneDoNotMatch) {
  const struct {
    const char* call;
    int count;
  } cases[] = {{"CountClips()", 0},
               {"CountClips(a, a)", 2},
               {"CountClipsThenInt(5)", 2},
               {"CountClipsThenInt(a, 5)", 2},
               {"a.CountClips", 1}};
  for (const auto& test : cases) {
    SCOPED_TRACE(test.call);
    const auto env = newEnvironment();
    env->AddFunction("CountClips", "c*", CountArguments, nullptr);
    env->AddFunction("CountClipsThenInt", "c+i", CountArguments, nullptr);
    runScript(std::string("a = TestPattern(160, 16, 1)\na\nx = ") + test.call, *env);
    EXPECT_EQ(env->GetVar("x").AsInt(), test.count);
  }
}

TEST(ScriptSyntax, ScriptValueIsTheFilteredPicture) {
  const Luma source = lumaOf("TestPattern(160, 16, 3)");
  const Luma signedLuma = lumaOf("TestPattern(160, 16, 3)\nSign");
  ASSERT_EQ(source.size(), 3u);
  EXPECT_NE(source[0], source[1]) << "the pattern moves";
  for (size_t n = 0; n < source.size(); ++n) {
    ASSERT_EQ(signedLuma[n].size(), source[n].size());
    for (size_t i = 0; i < source[n].size(); ++i) {
      ASSERT_EQ(signedLuma[n][i], uint8_t(source[n][i] ^ 0x80)) << "frame " << n << " byte " << i;
    }
  }
}

TEST(ScriptSyntax, NoClipLeavesLastUndefined) {
  const auto env = newEnvironment();
  EXPECT_FALSE(runScript("", *env).Defined());
  EXPECT_FALSE(runScript("x = TestPattern(160, 16, 1)\n7", *env).Defined());
}

TEST(ScriptFaults, MessageAndLocation) {
  const std::string pair = "a = TestPattern(160, 16, 1)\nb = TestPattern(160, 18, 1)\n";
  std::string longChain = "x = 1";
  for (int i = 0; i < 300; ++i) longChain += ".Sign";
  const struct {
    std::string text;
    std::string message;  // exactly, or the start of it when it ends in "..."
    int line, column;
  } cases[] = {
      // The plugin's messages, unchanged, at the call that raised them.
      {"Sign(TestPattern(126, 16, 1))", "Sign requires frame width at least 128.", 1, 1},
      {"Unsign(TestPattern(126, 16, 1))", "Sign requires frame width at least 128.", 1, 1},
      {pair + "  Clamp(a, a, b, 0, 0)", "Clamp: heights do not match.", 3, 3},
      {pair + "a.SubtractAndSign(b)", "SubtractAndSign: heights do not match.", 3, 3},
      // Argument checking, before the creator runs.
      {"Foo(1)", "there is no function named \"Foo\"", 1, 1},
      {"x = y", "there is no variable or function named \"y\"", 1, 5},
      {"Sign(\"text\")", "invalid arguments to function \"Sign\": it takes (clip), given (string)",
       1, 1},
      {"Sign", "invalid arguments to function \"Sign\": it takes (clip), given ()", 1, 1},
      {pair + "Clamp(a, b, 6, 2)",
       "invalid arguments to function \"Clamp\": it takes (clip, clip, clip, int, int), given "
       "(clip, clip, int, int)",
       3, 1},
      // A method call has its first argument already: `last` is not added.
      {pair + "a\na.Clamp(a, 6, 2)", "invalid arguments to function \"Clamp\"...", 4, 3},
      {"x = -TestPattern(160, 16, 1)", "'-' needs an integer, not a clip", 1, 5},
      // The runner's own functions.
      {"TestPattern(161, 16, 1)", "TestPattern: the size must be even...", 1, 1},
      {"TestPattern(160, 16, 0)", "TestPattern: the frame count must be at least 1 (got 0)", 1, 1},
      {"Y4MSource(\"/nonexistent/in.y4m\")",
       "Y4MSource: /nonexistent/in.y4m: cannot open: No such file or directory", 1, 1},
      {"LoadPlugin(\"/nonexistent/plugin.so\")", "cannot load plugin \"/nonexistent/plugin.so\"...",
       1, 1},
      // Syntax, found before anything runs.
      {"TestPattern(160, 16, 1)\nSign(", "expected an expression, found end of script", 2, 6},
      {"x = \"abc", "unterminated string", 1, 5},
      {"x = 5 @", "unexpected '@'", 1, 7},
      {"x = 2147483648", "integer out of range", 1, 5},
      {"x = $123456789", "integer out of range", 1, 5},
      {"x = $", "expected hexadecimal digits after '$'", 1, 5},
      {"x = 12ab", "unexpected 'a' in a number", 1, 7},
      {"Sign(a b)", "expected ',' or ')', found name \"b\"", 1, 8},
      {"a.5", "expected a function name after '.', found number 5", 1, 3},
      {"x = 1\n\n   y = 2 3", "expected end of line, found number 3", 3, 10},
      {"x = " + std::string(300, '(') + "1" + std::string(300, ')'),
       "expression nested too deeply...", 1, 206},
      {longChain, "expression nested too deeply...", 1, 1007},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.text);
    const auto env = newEnvironment();
    try {
      runScript(test.text, *env);
      ADD_FAILURE() << "no fault";
    } catch (const LocatedError& error) {
      const std::string message = error.what();
      const size_t dots = test.message.rfind("...");
      if (dots != std::string::npos && dots + 3 == test.message.size()) {
        EXPECT_EQ(message.substr(0, dots), test.message.substr(0, dots)) << message;
      } else {
        EXPECT_EQ(message, test.message);
      }
      EXPECT_EQ(error.where.line, test.line);
      EXPECT_EQ(error.where.column, test.column);
    }
  }
}

// Thousands of frames through every function: the frame pool reaches its
// size within the first frames and keeps it.
TEST(ScriptRuns, LongRunKeepsThePoolSteady) {
  const auto env = newEnvironment();
  {
    const PClip clip = runScript(
                           "src = TestPattern(128, 8, 3000)\n"
                           "flipped = src.Sign()\n"
                           "blend = SimpleAverage(flipped.Unsign, flipped)\n"
                           "lifted = ShiftedMinimum(src, 40, blend)\n"
                           "SubtractAndSign(src, blend).Clamp(lifted, src, 24, 24)\n",
                           *env)
                           .AsClip();
    ASSERT_TRUE(clip);
    host::FramePoolStats early;
    for (int n = 0; n < 3000; ++n) {
      clip->GetFrame(n, env.get());
      if (n == 99) early = env->poolStats();
    }
    const host::FramePoolStats late = env->poolStats();
    EXPECT_EQ(late.frames, early.frames);
    EXPECT_EQ(late.buffers, early.buffers);
    EXPECT_LE(late.frames, 8u);
    EXPECT_EQ(late.framesInUse, 0u);
  }
}

}  // namespace
}  // namespace quorvant::script
