#include "runner/progress.h"

namespace quorvant::runner {

std::string progressLine(int done, int total, double seconds) {
  char line[96];
  std::snprintf(line, sizeof line, "frame %d/%d, %.1f frames/s", done, total,
                seconds > 0 ? done / seconds : 0.0);
  return line;
}

Progress::Progress(std::FILE* stream, int frames) : terminal(stream), total(frames) {}

void Progress::frameDone() {
  ++done;
  if (!terminal) return;
  const Clock::time_point now = Clock::now();
  if (now - lastDrawn < std::chrono::milliseconds(250)) return;
  lastDrawn = now;
  draw();
}

void Progress::finish() {
  if (!terminal) return;
  draw();
  std::fputc('\n', terminal);
  shown = false;
}

void Progress::abandon() {
  if (terminal && shown) std::fputc('\n', terminal);
  shown = false;
}

void Progress::draw() {
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  // \r and clear to the end of the line: redraw in place.
  std::fprintf(terminal, "\r%s\x1b[K", progressLine(done, total, seconds).c_str());
  std::fflush(terminal);
  shown = true;
}

}  // namespace quorvant::runner
