// Where the video goes. A named regular file is written under a temporary
// name in the same folder and renamed over the target only by commit(), so
// a run that fails (or is interrupted) leaves the target as it was and no
// half-written file behind. Standard output, and targets that are not
// regular files (a device such as /dev/null, a named pipe), are written
// directly.
#ifndef QUORVANT_RUNNER_OUTPUT_FILE_H
#define QUORVANT_RUNNER_OUTPUT_FILE_H

#include <cstdio>
#include <string>

namespace quorvant::runner {

class OutputFile {
 public:
  // "-" is standard output. Throws std::runtime_error when the file (or its
  // temporary) cannot be created.
  explicit OutputFile(const std::string& path);
  // Without commit(): closes and removes the temporary.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  std::FILE* stream() const { return out; }
  bool isStandardOutput() const { return out == stdout; }
  // Whether the target appears only at commit() (a regular file).
  bool replacesTarget() const { return !temporary.empty(); }
  // Whether OutputFile(path) will write a temporary and rename it.
  static bool writesTemporary(const std::string& path);

  // Flushes everything to the file and puts it in place. Throws
  // std::runtime_error with the reason when that fails (disk full, ...).
  void commit();

 private:
  void discard();

  std::string target;
  std::string temporary;  // empty when writing the target directly
  std::FILE* out = nullptr;
  bool committed = false;
};

}  // namespace quorvant::runner

#endif  // QUORVANT_RUNNER_OUTPUT_FILE_H
