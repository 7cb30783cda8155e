#include "runner/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace quorvant::runner {
namespace {

std::string reason() { return std::strerror(errno); }

constexpr size_t kBufferBytes = 1 << 20;

// The mode a new file gets from the process's umask.
mode_t newFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool OutputFile::writesTemporary(const std::string& path) {
  struct stat existing {};
  return path != "-" && (::stat(path.c_str(), &existing) != 0 || S_ISREG(existing.st_mode));
}

OutputFile::OutputFile(const std::string& path) : target(path) {
  if (path == "-") {
    out = stdout;
    std::setvbuf(out, nullptr, _IOFBF, kBufferBytes);
    return;
  }
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) {
    throw std::runtime_error("cannot write " + path + ": it is a directory");
  }
  if (exists && !S_ISREG(existing.st_mode)) {
    out = std::fopen(path.c_str(), "wb");
    if (!out) throw std::runtime_error("cannot write " + path + ": " + reason());
    std::setvbuf(out, nullptr, _IOFBF, kBufferBytes);
    return;
  }
  // A hidden temporary beside the target, so that the rename stays on one
  // file system.
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  temporary = folder + "." + name + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    temporary.clear();
    throw std::runtime_error("cannot write " + path + ": " + reason());
  }
  // mkstemp makes the file private; give it the mode the target would have.
  ::fchmod(fd, exists ? existing.st_mode & 07777 : newFileMode());
  out = ::fdopen(fd, "wb");
  if (!out) {
    const std::string why = reason();
    ::close(fd);
    ::unlink(temporary.c_str());
    temporary.clear();
    throw std::runtime_error("cannot write " + path + ": " + why);
  }
  std::setvbuf(out, nullptr, _IOFBF, kBufferBytes);
}

OutputFile::~OutputFile() {
  if (!committed) discard();
}

void OutputFile::commit() {
  const auto fail = [this](const std::string& why) {
    discard();
    throw std::runtime_error("write error: " + why);
  };
  if (std::fflush(out) != 0 || std::ferror(out)) fail(reason());
  if (isStandardOutput()) {
    committed = true;
    return;
  }
  // On disk before it takes the target's name, so that the name never
  // shows a partial file, not even after a crash of the machine.
  if (!temporary.empty() && ::fsync(::fileno(out)) != 0) fail(reason());
  const int closed = std::fclose(out);
  out = nullptr;
  if (closed != 0) fail(reason());
  if (!temporary.empty() && std::rename(temporary.c_str(), target.c_str()) != 0) fail(reason());
  committed = true;
}

void OutputFile::discard() {
  if (out == stdout) {
    std::fflush(out);
  } else if (out) {
    std::fclose(out);
  }
  out = nullptr;
  if (!temporary.empty()) ::unlink(temporary.c_str());
  temporary.clear();
}

}  // namespace quorvant::runner
