// quorvant: evaluates a script with the plugin loaded as a host loads it
// and writes the resulting clip as Y4M video.
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runner/options.h"
#include "runner/program.h"

int main(int argc, char** argv) {
  using namespace quorvant::runner;
  // A reader that goes away (a closed pipe) makes writes fail with an
  // error, reported as such, instead of killing the program.
  signal(SIGPIPE, SIG_IGN);
  Options options;
  try {
    options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& error) {
    std::fprintf(stderr, "quorvant: %s (see quorvant --help)\n", error.what());
    return kUsageError;
  }
  if (options.help) {
    std::fputs(usageText().c_str(), stdout);
    return kSuccess;
  }
  return runProgram(options);
}
