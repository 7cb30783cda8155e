// A long run of the runner keeps its memory flat: a chain of every filter
// over a few thousand TestPattern frames ends with the host's frame pool no
// larger than after a tenth of them, nothing left in use, and (outside
// sanitizer builds, whose allocators hold freed memory back) the same peak
// memory give or take a little.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/runner/program_runner.h"

namespace quorvant::testing {
namespace {

struct RunFigures {
  size_t frames = 0, framesInUse = 0, buffers = 0, buffersInUse = 0;
  long peakKiB = 0;
};

// Every filter class, both walks, in-place writes into fresh source frames.
std::string chainScript(int frames) {
  return "a = TestPattern(320, 240, " + std::to_string(frames) +
         ")\n"
         "b = a.Sign\n"
         "Clamp(SimpleAverage(a, b), ShiftedMinimum(a, 3, b), SubtractAndSign(a, b).Unsign, 2, "
         "3)\n";
}

RunFigures runChain(int frames) {
  const ProgramResult run =
      runQuorvant({"--quiet", "--pool-stats", "-o", "/dev/null", "-e", chainScript(frames)});
  RunFigures figures;
  EXPECT_EQ(run.status, 0) << run.err;
  const size_t line = run.err.find("pool: ");
  EXPECT_NE(line, std::string::npos) << run.err;
  if (line == std::string::npos) return figures;
  EXPECT_EQ(std::sscanf(run.err.c_str() + line,
                        "pool: %zu frames (%zu in use), %zu buffers (%zu in use), peak memory "
                        "%ld KiB",
                        &figures.frames, &figures.framesInUse, &figures.buffers,
                        &figures.buffersInUse, &figures.peakKiB),
            5)
      << run.err;
  return figures;
}

TEST(LongRun, FramePoolAndMemoryStayFlatOverThousandsOfFrames) {
  const RunFigures shortRun = runChain(300);
  const RunFigures longRun = runChain(3000);

  EXPECT_EQ(longRun.framesInUse, 0u);
  EXPECT_EQ(longRun.buffersInUse, 0u);
  // The pool reached its size within the first 300 frames and kept it.
  EXPECT_EQ(longRun.frames, shortRun.frames);
  EXPECT_EQ(longRun.buffers, shortRun.buffers);
  // Seven filters hold a few frames at once, not one per frame served.
  EXPECT_LE(longRun.buffers, 16u);
#ifndef QUORVANT_SANITIZED
  // 2700 more frames leaking 500 bytes each would not pass (a frame is
  // 112.5 KiB).
  EXPECT_LE(longRun.peakKiB - shortRun.peakKiB, 1024)
      << "peak memory " << shortRun.peakKiB << " KiB after 300 frames, " << longRun.peakKiB
      << " KiB after 3000";
#endif
}

}  // namespace
}  // namespace quorvant::testing
