#include "tests/runner/program_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quorvant::testing {
namespace {

std::vector<char*> argumentVector(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  return argv;
}

void finish(pid_t child, ProgramResult& result) {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
}

}  // namespace

ProgramResult runCommand(const std::vector<std::string>& arguments, const std::string& input) {
  // A child that stops reading must not kill the test with SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC)) {
    ADD_FAILURE() << "pipe failed";
    return {};
  }
  const std::vector<char*> argv = argumentVector(arguments);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    ::execvp(argv[0], argv.data());
    _exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  ::fcntl(in[1], F_SETFL, O_NONBLOCK);

  ProgramResult result;
  size_t written = 0;
  int inFd = in[1];
  if (input.empty()) {
    ::close(inFd);
    inFd = -1;
  }
  bool outOpen = true, errOpen = true;
  char buffer[1 << 16];
  while (outOpen || errOpen) {
    pollfd fds[3] = {
        {outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}, {inFd, POLLOUT, 0}};
    if (::poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (inFd >= 0 && fds[2].revents) {
      const ssize_t put = ::write(inFd, input.data() + written, input.size() - written);
      if (put > 0) written += size_t(put);
      if (put < 0 && errno != EAGAIN) written = input.size();  // the child closed its input
      if (written == input.size()) {
        ::close(inFd);
        inFd = -1;
      }
    }
    for (int i = 0; i < 2; ++i) {
      if (!fds[i].revents) continue;
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        (i == 0 ? result.out : result.err).append(buffer, size_t(got));
      } else if (got == 0 || errno != EINTR) {
        (i == 0 ? outOpen : errOpen) = false;
      }
    }
  }
  if (inFd >= 0) ::close(inFd);
  ::close(out[0]);
  ::close(err[0]);
  finish(child, result);
  return result;
}

std::string quorvantPath() { return QUORVANT_RUNNER_PATH; }

ProgramResult runQuorvant(const std::vector<std::string>& arguments, const std::string& input) {
  std::vector<std::string> command{quorvantPath()};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return runCommand(command, input);
}

ProgramResult runQuorvantInTerminal(const std::vector<std::string>& arguments) {
  std::vector<std::string> command{quorvantPath()};
  command.insert(command.end(), arguments.begin(), arguments.end());
  const std::vector<char*> argv = argumentVector(command);
  int terminal = -1;
  const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    ::execv(argv[0], argv.data());
    _exit(127);
  }
  ProgramResult result;
  if (child < 0) {
    ADD_FAILURE() << "forkpty failed";
    return result;
  }
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(terminal, buffer, sizeof buffer);
    if (got > 0) {
      result.out.append(buffer, size_t(got));
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // EIO once the child has gone
    }
  }
  ::close(terminal);
  finish(child, result);
  return result;
}

TemporaryFolder::TemporaryFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string name = std::string(base && *base ? base : "/tmp") + "/quorvant-test-XXXXXX";
  if (!::mkdtemp(name.data())) ADD_FAILURE() << "mkdtemp failed";
  folder = name;
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

std::vector<std::string> TemporaryFolder::entries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

bool fileExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

Y4MVideo parseY4M(const std::string& bytes) {
  Y4MVideo video;
  const size_t end = bytes.find('\n');
  if (bytes.compare(0, 10, "YUV4MPEG2 ") != 0 || end == std::string::npos) {
    ADD_FAILURE() << "not a Y4M stream: " << bytes.substr(0, 40);
    return video;
  }
  video.header = bytes.substr(0, end);
  std::istringstream fields(video.header);
  for (std::string field; fields >> field;) {
    if (field[0] == 'W') video.width = std::atoi(field.c_str() + 1);
    if (field[0] == 'H') video.height = std::atoi(field.c_str() + 1);
  }
  const size_t frameBytes = size_t(video.width) * video.height * 3 / 2;
  for (size_t at = end + 1; at < bytes.size(); at += 6 + frameBytes) {
    if (bytes.compare(at, 6, "FRAME\n") != 0 || bytes.size() - at - 6 < frameBytes) {
      ADD_FAILURE() << "bad frame " << video.frames.size() << " at byte " << at;
      break;
    }
    video.frames.push_back(bytes.substr(at + 6, frameBytes));
  }
  return video;
}

std::string flipTopBits(std::string bytes) {
  for (char& byte : bytes) byte = char(uint8_t(byte) ^ 0x80);
  return bytes;
}

}  // namespace quorvant::testing
