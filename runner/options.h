// The runner's command line:
//   quorvant [options] SCRIPT   |   quorvant [options] -e TEXT
#ifndef QUORVANT_RUNNER_OPTIONS_H
#define QUORVANT_RUNNER_OPTIONS_H

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvant::runner {

struct FrameRange {
  int first = 0;
  int last = 0;  // inclusive
};

struct Options {
  std::string scriptPath;                 // when the script is a file
  std::optional<std::string> scriptText;  // -e TEXT
  std::string output = "-";               // -o FILE; "-" is standard output
  bool info = false;                      // --info: properties instead of frames
  std::optional<FrameRange> frames;       // --frames FIRST-LAST
  std::optional<std::string> plugin;      // --plugin PATH
  bool quiet = false;                     // --quiet: no progress
  bool help = false;                      // --help
  // --pool-stats, left out of --help: after writing, the host's frame pool
  // and the peak memory on standard error (the leak test reads them).
  bool poolStats = false;
};

// A command line that cannot be obeyed (exit status 2).
class UsageError : public std::runtime_error {
 public:
  explicit UsageError(const std::string& what) : std::runtime_error(what) {}
};

// Reads the arguments that follow the program's name. Throws UsageError.
Options parseOptions(const std::vector<std::string>& arguments);

// What --help prints.
std::string usageText();

}  // namespace quorvant::runner

#endif  // QUORVANT_RUNNER_OPTIONS_H
