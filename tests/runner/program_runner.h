// Runs the built `quorvant` program (or any command) as a user would, and
// gives back its exit status and what it printed; temporary folders and
// small Y4M builders for the runner's tests.
#ifndef QUORVANT_TESTS_RUNNER_PROGRAM_RUNNER_H
#define QUORVANT_TESTS_RUNNER_PROGRAM_RUNNER_H

#include <cstdint>
#include <string>
#include <vector>

namespace quorvant::testing {

struct ProgramResult {
  int status = -1;  // the exit status; -1 when killed by a signal
  int signal = 0;   // the signal that killed it, if one did
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `arguments` (the first is the program) with `input` on standard input.
ProgramResult runCommand(const std::vector<std::string>& arguments, const std::string& input = "");

// Runs the built runner with these arguments.
ProgramResult runQuorvant(const std::vector<std::string>& arguments, const std::string& input = "");

// Runs the built runner with a terminal as its standard input, output and
// error; answers everything the terminal showed (in `out`).
ProgramResult runQuorvantInTerminal(const std::vector<std::string>& arguments);

// The path of the built runner.
std::string quorvantPath();

// A new empty folder, removed with its content by the destructor.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::string& path() const { return folder; }
  std::string file(const std::string& name) const { return folder + "/" + name; }
  // Names of the entries in the folder, sorted.
  std::vector<std::string> entries() const;

 private:
  std::string folder;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// A Y4M stream as read back: header fields and each frame's planes.
struct Y4MVideo {
  std::string header;  // the stream header line, without '\n'
  int width = 0, height = 0;
  std::vector<std::string> frames;  // each frame's data, Y then U then V
  std::string luma(size_t frame) const {
    return frames.at(frame).substr(0, size_t(width) * height);
  }
};
// Splits a stream written by the runner (frame headers exactly "FRAME").
// Fails the current test on anything else.
Y4MVideo parseY4M(const std::string& bytes);

// Each byte with its top bit flipped.
std::string flipTopBits(std::string bytes);

}  // namespace quorvant::testing

#endif  // QUORVANT_TESTS_RUNNER_PROGRAM_RUNNER_H
