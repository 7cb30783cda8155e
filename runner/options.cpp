#include "runner/options.h"

#include <climits>

namespace quorvant::runner {
namespace {

// A decimal number 0 to INT_MAX, digits only.
bool parseFrameNumber(const std::string& text, int& value) {
  if (text.empty() || text.size() > 10) return false;
  long long number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  if (number > INT_MAX) return false;
  value = int(number);
  return true;
}

FrameRange parseFrameRange(const std::string& text) {
  const size_t dash = text.find('-');
  FrameRange range;
  if (dash == std::string::npos || !parseFrameNumber(text.substr(0, dash), range.first) ||
      !parseFrameNumber(text.substr(dash + 1), range.last)) {
    throw UsageError("--frames wants FIRST-LAST (two frame numbers, such as 0-99), not \"" + text +
                     "\"");
  }
  if (range.first > range.last) {
    throw UsageError("--frames " + text + ": the first frame comes after the last");
  }
  return range;
}

}  // namespace

Options parseOptions(const std::vector<std::string>& arguments) {
  Options options;
  bool haveScript = false;
  bool optionsEnded = false;
  const auto takeScript = [&](const std::string& path, std::optional<std::string> text) {
    if (haveScript) throw UsageError("give one script: a file or -e TEXT");
    haveScript = true;
    options.scriptPath = path;
    options.scriptText = std::move(text);
  };
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
      takeScript(argument, std::nullopt);
      continue;
    }
    // --name=value, or the value in the next argument.
    std::string name = argument;
    std::optional<std::string> attached;
    const size_t equals = argument.find('=');
    if (argument.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      name = argument.substr(0, equals);
      attached = argument.substr(equals + 1);
    }
    const auto value = [&]() -> std::string {
      if (attached) return *attached;
      if (i + 1 >= arguments.size()) throw UsageError(name + " needs a value");
      return arguments[++i];
    };
    const auto noValue = [&]() {
      if (attached) throw UsageError(name + " takes no value");
    };
    if (name == "--") {
      noValue();
      optionsEnded = true;
    } else if (name == "-o" || name == "--output") {
      options.output = value();
      if (options.output.empty()) throw UsageError(name + " needs a file name");
    } else if (name == "-e") {
      takeScript("", value());
    } else if (name == "--info") {
      noValue();
      options.info = true;
    } else if (name == "--frames") {
      options.frames = parseFrameRange(value());
    } else if (name == "--plugin") {
      options.plugin = value();
    } else if (name == "--quiet" || name == "-q") {
      noValue();
      options.quiet = true;
    } else if (name == "--pool-stats") {
      noValue();
      options.poolStats = true;
    } else if (name == "--help" || name == "-h") {
      noValue();
      options.help = true;
    } else {
      throw UsageError("unknown option \"" + argument + "\"");
    }
  }
  if (!haveScript && !options.help) throw UsageError("no script: give a file or -e TEXT");
  return options;
}

std::string usageText() {
  return R"(Usage: quorvant [options] SCRIPT
       quorvant [options] -e TEXT

Evaluates a script in the host's syntax with the Quorvant plugin loaded
and writes the resulting clip as YUV4MPEG2 (Y4M) video. SCRIPT is a file,
or - to read the script from standard input.

Options:
  -o FILE            write to FILE, replaced only when complete
                     (default, and "-": standard output)
  --info             print width, height, pixel type, frame count and
                     frame rate instead of frames
  --frames FIRST-LAST
                     write only frames FIRST to LAST (inclusive)
  --plugin PATH      load this plugin library instead of the one
                     installed beside the program
  -e TEXT            the script itself, instead of a file
  --quiet            no progress report (shown on a terminal while
                     writing to a file)
  --help             this text

Script functions besides the plugin's:
  TestPattern(int width, int height, int frames)
  Y4MSource(string path)        8-bit 4:2:0 Y4M; "-" is standard input
  LoadPlugin(string path)

Exit status: 0 success; 1 script, plugin or input error; 2 usage error.
)";
}

}  // namespace quorvant::runner
