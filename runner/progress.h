// A progress line on a terminal: frames done, total and rate, redrawn a few
// times a second in place. Silent when given no stream.
#ifndef QUORVANT_RUNNER_PROGRESS_H
#define QUORVANT_RUNNER_PROGRESS_H

#include <chrono>
#include <cstdio>
#include <string>

namespace quorvant::runner {

// "frame 120/1000, 48.0 frames/s"
std::string progressLine(int done, int total, double seconds);

class Progress {
 public:
  Progress(std::FILE* terminal, int total);
  void frameDone();
  // The final line and an end of line (when anything was shown).
  void finish();
  // An end of line, so that a message that follows starts on its own line.
  void abandon();

 private:
  using Clock = std::chrono::steady_clock;
  void draw();

  std::FILE* terminal;
  int total;
  int done = 0;
  Clock::time_point start = Clock::now();
  Clock::time_point lastDrawn = start;
  bool shown = false;
};

}  // namespace quorvant::runner

#endif  // QUORVANT_RUNNER_PROGRESS_H
