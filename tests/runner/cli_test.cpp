// The built `quorvant` program as a user runs it: its options and exit
// statuses, Y4M in and out, every refused input, messages, and what a
// failed or interrupted run leaves behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/runner/program_runner.h"

namespace quorvant::testing {
namespace {

// Exactly one line on standard error that starts with "quorvant: " and
// contains `expected`.
void expectOneLineError(const ProgramResult& result, const std::string& expected) {
  EXPECT_EQ(result.err.rfind("quorvant: ", 0), 0u) << result.err;
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
  EXPECT_NE(result.err.find(expected), std::string::npos) << result.err;
}

std::string y4mStream(const std::string& header, const std::vector<std::string>& frames) {
  std::string bytes = header + "\n";
  for (const std::string& frame : frames) bytes += "FRAME\n" + frame;
  return bytes;
}

// A 160x16 frame (3840 bytes) of one byte value.
std::string flatFrame(char value) { return std::string(160 * 16 * 3 / 2, value); }

TEST(RunnerCommandLine, UsageErrorsExitWithTwo) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "no script: give a file or -e TEXT"},
      {{"--bogus", "x.avs"}, "unknown option \"--bogus\""},
      {{"-e"}, "-e needs a value"},
      {{"-e", "Sign", "-o"}, "-o needs a value"},
      {{"-e", "Sign", "x.avs"}, "give one script"},
      {{"a.avs", "b.avs"}, "give one script"},
      {{"--info=yes", "-e", "Sign"}, "--info takes no value"},
      {{"--frames", "3", "-e", "Sign"}, "--frames wants FIRST-LAST"},
      {{"--frames=1-x", "-e", "Sign"}, "--frames wants FIRST-LAST"},
      {{"--frames", "-1-3", "-e", "Sign"}, "--frames wants FIRST-LAST"},
      {{"--frames", "0-99999999999", "-e", "Sign"}, "--frames wants FIRST-LAST"},
      {{"--frames", "5-3", "-e", "Sign"}, "--frames 5-3: the first frame comes after the last"},
  };
  for (const auto& [arguments, message] : cases) {
    SCOPED_TRACE(message);
    const ProgramResult result = runQuorvant(arguments);
    EXPECT_EQ(result.status, 2);
    expectOneLineError(result, message);
    EXPECT_TRUE(result.out.empty());
  }
}

TEST(RunnerCommandLine, HelpAndInfo) {
  const ProgramResult help = runQuorvant({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: quorvant [options] SCRIPT\n", 0), 0u);

  const ProgramResult info = runQuorvant({"--info", "-e", "TestPattern(320, 240, 7)"});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(
      info.out,
      "width: 320\nheight: 240\npixel type: YV12\nframes: 7\nframe rate: 25/1 (25.000 fps)\n");
  EXPECT_TRUE(info.err.empty());
}

TEST(RunnerCommandLine, BundledExampleUsesEveryFunction) {
  const std::string script = readFile(QUORVANT_EXAMPLE_PATH);
  for (const char* function : {"Sign", "Unsign", "SimpleAverage", "ShiftedMinimum",
                               "SubtractAndSign", "Clamp", "TestPattern"}) {
    EXPECT_NE(script.find(function), std::string::npos) << function;
  }
  const ProgramResult result = runQuorvant({QUORVANT_EXAMPLE_PATH, "--frames", "0-2"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(parseY4M(result.out).frames.size(), 3u);
}

TEST(RunnerOutput, FramesAsY4MOnStandardOutput) {
  const ProgramResult plain = runQuorvant({"-e", "TestPattern(160, 16, 4)"});
  const ProgramResult flipped = runQuorvant({"-e", "TestPattern(160, 16, 4).Sign"});
  const ProgramResult clamped =
      runQuorvant({"-e", "x = TestPattern(160, 16, 4)\nClamp(x, x, x, 0, 0)"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  ASSERT_EQ(flipped.status, 0) << flipped.err;
  ASSERT_EQ(clamped.status, 0) << clamped.err;
  const Y4MVideo source = parseY4M(plain.out);
  const Y4MVideo signedVideo = parseY4M(flipped.out);
  const Y4MVideo clampedVideo = parseY4M(clamped.out);
  EXPECT_EQ(source.header, "YUV4MPEG2 W160 H16 F25:1 Ip A0:0 C420jpeg");
  ASSERT_EQ(source.frames.size(), 4u);
  ASSERT_EQ(signedVideo.frames.size(), 4u);
  ASSERT_EQ(clampedVideo.frames.size(), 4u);
  const size_t lumaBytes = 160 * 16;
  for (size_t n = 0; n < 4; ++n) {
    SCOPED_TRACE(n);
    // Sign works in the source's own (writable) frame: its chroma stays.
    EXPECT_EQ(signedVideo.luma(n), flipTopBits(source.luma(n)));
    EXPECT_EQ(signedVideo.frames[n].substr(lumaBytes), source.frames[n].substr(lumaBytes));
    // Clamp writes a new frame, whose chroma the host made neutral.
    EXPECT_EQ(clampedVideo.luma(n), source.luma(n));
    EXPECT_EQ(clampedVideo.frames[n].substr(lumaBytes), std::string(lumaBytes / 2, char(128)));
  }
}

TEST(RunnerOutput, FrameRange) {
  const ProgramResult all = runQuorvant({"-e", "TestPattern(160, 16, 4)"});
  const ProgramResult some = runQuorvant({"--frames", "1-2", "-e", "TestPattern(160, 16, 4)"});
  ASSERT_EQ(some.status, 0) << some.err;
  const Y4MVideo whole = parseY4M(all.out);
  const Y4MVideo part = parseY4M(some.out);
  ASSERT_EQ(part.frames.size(), 2u);
  EXPECT_EQ(part.frames[0], whole.frames[1]);
  EXPECT_EQ(part.frames[1], whole.frames[2]);

  const ProgramResult beyond = runQuorvant({"--frames", "2-4", "-e", "TestPattern(160, 16, 4)"});
  EXPECT_EQ(beyond.status, 1);
  expectOneLineError(beyond, "--frames 2-4: the clip has 4 frames (0-3)");
  EXPECT_TRUE(beyond.out.empty());
}

// 136 x 10: rows of 136 and 68 bytes in frames whose pitches are 144 and 80,
// so planes are read and written row by row.
TEST(RunnerY4M, RoundTripThroughAFileAndStandardInput) {
  TemporaryFolder folder;
  const std::string file = folder.file("pattern.y4m");
  const ProgramResult written = runQuorvant({"-o", file, "-e", "TestPattern(136, 10, 5).Sign"});
  ASSERT_EQ(written.status, 0) << written.err;
  const std::string bytes = readFile(file);
  EXPECT_EQ(parseY4M(bytes).frames.size(), 5u);

  const ProgramResult fromFile = runQuorvant({"-e", "Y4MSource(\"" + file + "\")"});
  EXPECT_EQ(fromFile.status, 0) << fromFile.err;
  EXPECT_EQ(fromFile.out, bytes);

  const ProgramResult fromPipe = runQuorvant({"-e", "Y4MSource(\"-\").Unsign"}, bytes);
  EXPECT_EQ(fromPipe.status, 0) << fromPipe.err;
  const ProgramResult plain = runQuorvant({"-e", "TestPattern(136, 10, 5)"});
  EXPECT_EQ(fromPipe.out, plain.out);

  // A script on standard input.
  const ProgramResult scriptIn = runQuorvant({"-"}, "TestPattern(136, 10, 5)\n");
  EXPECT_EQ(scriptIn.status, 0) << scriptIn.err;
  EXPECT_EQ(scriptIn.out, plain.out);

  // The output may replace the input: it is read to the end first.
  const ProgramResult inPlace =
      runQuorvant({"-o", file, "-e", "Y4MSource(\"" + file + "\").Unsign"});
  EXPECT_EQ(inPlace.status, 0) << inPlace.err;
  EXPECT_EQ(readFile(file), plain.out);
}

TEST(RunnerY4M, AcceptedHeadersKeepRateAndCount) {
  TemporaryFolder folder;
  const std::string frame = flatFrame(100);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"YUV4MPEG2 W160 H16 F25:1", "25/1"},
      {"YUV4MPEG2 W160 H16 F30000:1001 Ip A1:1 C420", "30000/1001"},
      {"YUV4MPEG2 W160 H16 F24:1 C420jpeg XYSCSS=420JPEG", "24/1"},
      {"YUV4MPEG2 W160 H16 F50:1 It C420paldv", "50/1"},
      {"YUV4MPEG2 C420mpeg2 F60000:1001 H16 W160", "60000/1001"},
      {"YUV4MPEG2 W160 H16", "25/1"},
  };
  for (const auto& [header, rate] : cases) {
    SCOPED_TRACE(header);
    std::string bytes = y4mStream(header, {frame, frame});
    bytes += "FRAME Ixyz\n" + frame;  // frame parameters are allowed
    writeFile(folder.file("in.y4m"), bytes);
    const ProgramResult info =
        runQuorvant({"--info", "-e", "Y4MSource(\"" + folder.file("in.y4m") + "\")"});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("width: 160\nheight: 16\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("frames: 3\nframe rate: " + rate + " "), std::string::npos) << info.out;
  }
}

TEST(RunnerY4M, BadInputIsRefusedWithWhatIsWrong) {
  TemporaryFolder folder;
  const std::string frame = flatFrame(50);
  const std::string header = "YUV4MPEG2 W160 H16 F25:1 C420jpeg";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "the input is empty"},
      {"RIFF\x10\0\0\0AVI LIST", "not a Y4M stream: it does not begin with \"YUV4MPEG2 \""},
      {"YUV4MPEG2X W160 H16\n", "not a Y4M stream"},
      {"YUV4MPEG2 W160 H16", "truncated: the stream header has no end of line"},
      {"YUV4MPEG2 W160 H16 X" + std::string(5000, 'x') + "\n",
       "malformed header: no end of line in its first 4096 bytes"},
      {y4mStream("YUV4MPEG2 H16 F25:1", {frame}), "malformed header: no width (W)"},
      {y4mStream("YUV4MPEG2 W160 F25:1", {frame}), "malformed header: no height (H)"},
      {y4mStream("YUV4MPEG2 W16x H16", {frame}), "malformed header: bad width \"W16x\""},
      {y4mStream("YUV4MPEG2 W-160 H16", {frame}), "malformed header: bad width \"W-160\""},
      {y4mStream("YUV4MPEG2 W160 H16 F25:0", {frame}),
       "malformed header: bad frame rate \"F25:0\""},
      {y4mStream("YUV4MPEG2 W160 H16 F25", {frame}), "malformed header: bad frame rate \"F25\""},
      {y4mStream(header + " C444", {frame}), "unsupported chroma format \"C444\""},
      {y4mStream("YUV4MPEG2 W160 H16 C420p10", {frame}), "unsupported chroma format \"C420p10\""},
      {y4mStream("YUV4MPEG2 W160 H16 Cmono", {frame}), "unsupported chroma format \"Cmono\""},
      {y4mStream("YUV4MPEG2 W0 H16", {frame}), "frame size 0x16 is empty"},
      {y4mStream("YUV4MPEG2 W100000 H16", {frame}), "frame size 100000x16 is too large"},
      {y4mStream("YUV4MPEG2 W9999999999 H9999999999", {frame}),
       "frame size 9999999999x9999999999 is too large"},
      {y4mStream("YUV4MPEG2 W16384 H16384", {frame}), "frame size 16384x16384 is too large"},
      {y4mStream("YUV4MPEG2 W161 H16", {frame}), "frame size 161x16 is odd"},
      {y4mStream(header, {}), "the stream has no frames"},
      {y4mStream(header, {frame, frame.substr(0, 100)}),
       "truncated: frame 1 has 100 of 3840 bytes"},
      {y4mStream(header, {frame}) + "FRA", "truncated: frame 1 has an incomplete header"},
      {y4mStream(header, {frame}) + "FRAMX\n" + frame,
       "malformed frame 1: expected \"FRAME\" at byte 3880, found \"FRAMX\""},
      {y4mStream(header, {frame + "\xff"}), "malformed frame 1: expected \"FRAME\""},
  };
  const std::string path = folder.file("bad.y4m");
  for (const auto& [bytes, message] : cases) {
    SCOPED_TRACE(message);
    writeFile(path, bytes);
    const ProgramResult result = runQuorvant({"-e", "\n  Y4MSource(\"" + path + "\")"});
    EXPECT_EQ(result.status, 1);
    expectOneLineError(result, "command line:2:3: Y4MSource: " + path + ": " + message);
    EXPECT_TRUE(result.out.empty());
  }
  const ProgramResult folderAsInput = runQuorvant({"-e", "Y4MSource(\"" + folder.path() + "\")"});
  expectOneLineError(folderAsInput, ": cannot open: it is a directory");
}

TEST(RunnerMessages, ScriptFaultsNameFileLineAndColumn) {
  TemporaryFolder folder;
  const std::string script = folder.file("faulty.avs");
  writeFile(script,
            "a = TestPattern(160, 16, 1)\nb = TestPattern(160, 18, 1)\n# heights differ\n  "
            "Clamp(a, a, b, 0, 0)\n");
  const ProgramResult plugin = runQuorvant({script});
  EXPECT_EQ(plugin.status, 1);
  EXPECT_EQ(plugin.err, "quorvant: " + script + ":4:3: Clamp: heights do not match.\n");

  const ProgramResult syntax = runQuorvant({"-e", "x = 1\nSign(x"});
  EXPECT_EQ(syntax.status, 1);
  EXPECT_EQ(syntax.err, "quorvant: command line:2:7: expected ',' or ')', found end of script\n");

  const ProgramResult noClip = runQuorvant({"-e", "x = 5"});
  EXPECT_EQ(noClip.status, 1);
  expectOneLineError(noClip, "command line: the script's value, last, is not a clip");

  const ProgramResult missing = runQuorvant({folder.file("absent.avs")});
  EXPECT_EQ(missing.status, 1);
  expectOneLineError(missing, "cannot read the script " + folder.file("absent.avs") +
                                  ": No such file or directory");
  expectOneLineError(runQuorvant({folder.path()}), ": it is a directory");
}

TEST(RunnerPlugins, NamedDefaultAndScriptLoaded) {
  const ProgramResult named = runQuorvant(
      {"--plugin", QUORVANT_PLUGIN_PATH, "--info", "-e", "TestPattern(160, 16, 1).Sign"});
  EXPECT_EQ(named.status, 0) << named.err;

  const ProgramResult absent =
      runQuorvant({"--plugin", "/nonexistent/libquorvant.so", "-e", "TestPattern(160, 16, 1)"});
  EXPECT_EQ(absent.status, 1);
  expectOneLineError(absent, "cannot load plugin \"/nonexistent/libquorvant.so\"");

  const ProgramResult notAPlugin =
      runQuorvant({"--plugin", "libc.so.6", "-e", "TestPattern(160, 16, 1)"});
  EXPECT_EQ(notAPlugin.status, 1);
  expectOneLineError(notAPlugin, "it has no AvisynthPluginInit2");

  // A second plugin loaded by the script, its functions beside the default's.
  const ProgramResult loaded = runQuorvant({"--info", "-e",
                                            "LoadPlugin(\"" QUORVANT_FAILING_PLUGIN_PATH
                                            "\")\nTestPattern(160, 16, 3).Sign.FailAt(7)"});
  EXPECT_EQ(loaded.status, 0) << loaded.err;
}

TEST(RunnerOutputFile, FailedRunLeavesTargetAsItWas) {
  TemporaryFolder folder;
  const std::string target = folder.file("out.y4m");
  const std::string failing =
      "LoadPlugin(\"" QUORVANT_FAILING_PLUGIN_PATH "\")\nTestPattern(160, 16, 10).FailAt(5)";

  // No target yet: none after a failure, nor any temporary.
  ProgramResult result = runQuorvant({"-o", target, "-e", failing});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "quorvant: frame 5: FailAt: frame 5 fails on purpose. (" + target +
                            " was not written)\n");
  EXPECT_TRUE(folder.entries().empty());

  // An existing target keeps its bytes after a failure, also when the
  // script fails before any frame.
  writeFile(target, "old content");
  ::chmod(target.c_str(), 0640);
  result = runQuorvant({"-o", target, "-e", failing});
  EXPECT_EQ(result.status, 1);
  result = runQuorvant({"-o", target, "-e", "Sign(1)"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(readFile(target), "old content");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.y4m"});

  // A run that succeeds replaces it, keeping its permissions.
  result = runQuorvant({"-o", target, "-e", "TestPattern(160, 16, 10)"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(parseY4M(readFile(target)).frames.size(), 10u);
  struct stat info {};
  ::stat(target.c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.y4m"});
}

TEST(RunnerOutputFile, InterruptedRunRemovesItsTemporary) {
  TemporaryFolder folder;
  const std::string target = folder.file("out.y4m");
  const std::string program = quorvantPath();
  const std::string script = "TestPattern(128, 16, 100000)";
  const pid_t child = ::fork();
  if (child == 0) {
    const char* argv[] = {program.c_str(), "-o", target.c_str(), "-e", script.c_str(), nullptr};
    ::execv(argv[0], const_cast<char**>(argv));
    _exit(127);
  }
  // Wait for the temporary to appear: frames are being written.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (folder.entries().empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(folder.entries().size(), 1u);
  ::kill(child, SIGINT);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_TRUE(folder.entries().empty());
}

TEST(RunnerOutputFile, ClosedPipeIsAWriteError) {
  const ProgramResult result = runCommand(
      {"bash", "-c",
       "'" + quorvantPath() +
           "' -e 'TestPattern(640, 480, 500)' | head -c 100 > /dev/null; echo ${PIPESTATUS[0]}"});
  EXPECT_EQ(result.out, "1\n");
  expectOneLineError(result, "write error: Broken pipe");
}

TEST(RunnerTerminal, ProgressOnlyOnATerminalAndNoVideoToIt) {
  TemporaryFolder folder;
  const std::string target = folder.file("out.y4m");
  const ProgramResult shown =
      runQuorvantInTerminal({"-o", target, "-e", "TestPattern(160, 16, 40)"});
  EXPECT_EQ(shown.status, 0);
  EXPECT_NE(shown.out.find("frame 40/40, "), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find(" frames/s"), std::string::npos) << shown.out;

  const ProgramResult quiet =
      runQuorvantInTerminal({"--quiet", "-o", target, "-e", "TestPattern(160, 16, 40)"});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.out, "");

  const ProgramResult toTerminal = runQuorvantInTerminal({"-e", "TestPattern(160, 16, 40)"});
  EXPECT_EQ(toTerminal.status, 2);
  EXPECT_NE(toTerminal.out.find("standard output is a terminal"), std::string::npos);
}

}  // namespace
}  // namespace quorvant::testing
