// Interoperation with a real Y4M client: ffmpeg writes a Y4M that the runner
// reads, and reads back what the runner writes, through files and through
// pipes; the Y plane must be ffmpeg's own decoding of its source with every
// top bit flipped (the script applies Sign).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/runner/program_runner.h"

namespace quorvant::testing {
namespace {

// Rows of 330 and 165 bytes: neither fills its frame's pitch.
constexpr int kWidth = 330;
constexpr int kHeight = 240;
constexpr int kFrames = 8;
constexpr size_t kLumaBytes = size_t(kWidth) * kHeight;
constexpr size_t kFrameBytes = kLumaBytes * 3 / 2;
const char* const kSource = "testsrc2=size=330x240:rate=30000/1001";

bool ffmpegMissing() {
  static const bool missing = runCommand({"ffmpeg", "-version"}).status != 0;
  return missing;
}

#define SKIP_WITHOUT_FFMPEG()                                                       \
  do {                                                                              \
    if (ffmpegMissing()) {                                                          \
      const char* required = std::getenv("QUORVANT_REQUIRE_FFMPEG");                \
      if (required && std::string(required) == "1") FAIL() << "ffmpeg is required"; \
      GTEST_SKIP() << "ffmpeg is not installed";                                    \
    }                                                                               \
  } while (false)

// Decodes a video file (or "-" with `input`) to raw 8-bit 4:2:0 frames.
std::string ffmpegDecode(const std::string& path, const std::string& input = "") {
  const ProgramResult result = runCommand(
      {"ffmpeg", "-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "yuv420p", "-"}, input);
  EXPECT_EQ(result.status, 0) << result.err;
  return result.out;
}

// Y planes flipped, chroma the same (Sign writes into the source's frame).
void expectSigned(const std::string& expected, const std::string& got) {
  ASSERT_EQ(got.size(), expected.size());
  ASSERT_EQ(expected.size(), kFrames * kFrameBytes);
  for (size_t n = 0; n < kFrames; ++n) {
    const size_t start = n * kFrameBytes;
    EXPECT_EQ(got.substr(start, kLumaBytes), flipTopBits(expected.substr(start, kLumaBytes)))
        << "frame " << n;
    EXPECT_EQ(got.substr(start + kLumaBytes, kFrameBytes - kLumaBytes),
              expected.substr(start + kLumaBytes, kFrameBytes - kLumaBytes))
        << "frame " << n;
  }
}

TEST(FfmpegInterop, ThroughFiles) {
  SKIP_WITHOUT_FFMPEG();
  TemporaryFolder folder;
  const std::string source = folder.file("source.y4m");
  const std::string output = folder.file("signed.y4m");
  const ProgramResult made =
      runCommand({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", kSource, "-frames:v",
                  std::to_string(kFrames), "-pix_fmt", "yuv420p", "-f", "yuv4mpegpipe", source});
  ASSERT_EQ(made.status, 0) << made.err;

  const ProgramResult info = runQuorvant({"--info", "-e", "Y4MSource(\"" + source + "\")"});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out,
            "width: 330\nheight: 240\npixel type: YV12\nframes: 8\n"
            "frame rate: 30000/1001 (29.970 fps)\n");

  const ProgramResult run = runQuorvant({"-o", output, "-e", "Y4MSource(\"" + source + "\").Sign"});
  ASSERT_EQ(run.status, 0) << run.err;
  expectSigned(ffmpegDecode(source), ffmpegDecode(output));

  const ProgramResult rate =
      runCommand({"ffprobe", "-v", "error", "-show_entries", "stream=r_frame_rate,width,height",
                  "-of", "csv=p=0", output});
  EXPECT_EQ(rate.out, "330,240,30000/1001\n") << rate.err;
}

TEST(FfmpegInterop, ThroughPipes) {
  SKIP_WITHOUT_FFMPEG();
  const std::string frames = std::to_string(kFrames);
  const ProgramResult direct =
      runCommand({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", kSource, "-frames:v", frames, "-f",
                  "rawvideo", "-pix_fmt", "yuv420p", "-"});
  ASSERT_EQ(direct.status, 0) << direct.err;
  const ProgramResult piped = runCommand(
      {"bash", "-c",
       "set -o pipefail; ffmpeg -v error -f lavfi -i " + std::string(kSource) + " -frames:v " +
           frames + " -pix_fmt yuv420p -f yuv4mpegpipe - | '" + quorvantPath() +
           "' -e 'Y4MSource(\"-\").Sign' | ffmpeg -v error -f yuv4mpegpipe -i - -f rawvideo "
           "-pix_fmt yuv420p -"});
  ASSERT_EQ(piped.status, 0) << piped.err;
  expectSigned(direct.out, piped.out);
}

}  // namespace
}  // namespace quorvant::testing
