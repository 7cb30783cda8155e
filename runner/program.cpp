#include "runner/program.h"

#include <limits.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "embedded_host/environment.h"
#include "embedded_host/y4m.h"
#include "runner/host_functions.h"
#include "runner/output_file.h"
#include "runner/progress.h"
#include "runner/script_evaluator.h"

namespace quorvant::runner {
namespace {

// A failure to report as one line, exit status 1.
class Failure : public std::runtime_error {
 public:
  explicit Failure(const std::string& what) : std::runtime_error(what) {}
};

std::string folderOfExecutable() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  const std::string executable(path, size_t(length));
  const size_t slash = executable.rfind('/');
  return slash == std::string::npos ? "." : executable.substr(0, slash);
}

std::string readScript(const Options& options, std::string& name) {
  if (options.scriptText) {
    name = "command line";
    return *options.scriptText;
  }
  std::ostringstream text;
  if (options.scriptPath == "-") {
    name = "standard input";
    text << std::cin.rdbuf();
    return text.str();
  }
  name = options.scriptPath;
  const auto unreadable = [&](const std::string& why) {
    return Failure("cannot read the script " + options.scriptPath + ": " + why);
  };
  struct stat info {};
  if (::stat(options.scriptPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    throw unreadable("it is a directory");
  }
  std::FILE* file = std::fopen(options.scriptPath.c_str(), "rb");
  if (!file) throw unreadable(std::strerror(errno));
  std::string script;
  char chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) script.append(chunk, got);
  const bool failed = std::ferror(file);
  std::fclose(file);
  if (failed) throw unreadable("read error");
  return script;
}

std::string pixelTypeName(int pixelType) {
  switch (pixelType) {
    case VideoInfo::CS_YV12:
      return "YV12";
    case VideoInfo::CS_I420:
      return "I420";
    case VideoInfo::CS_YUY2:
      return "YUY2";
    case VideoInfo::CS_BGR24:
      return "RGB24";
    case VideoInfo::CS_BGR32:
      return "RGB32";
    default: {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%08X", unsigned(pixelType));
      return hex;
    }
  }
}

void printInfo(const VideoInfo& vi) {
  const double rate = vi.fps_denominator ? double(vi.fps_numerator) / vi.fps_denominator : 0.0;
  std::printf("width: %d\nheight: %d\npixel type: %s\nframes: %d\nframe rate: %u/%u (%.3f fps)\n",
              vi.width, vi.height, pixelTypeName(vi.pixel_type).c_str(), vi.num_frames,
              vi.fps_numerator, vi.fps_denominator, rate);
  std::fflush(stdout);
}

void checkWritable(const VideoInfo& vi) {
  const bool planar420 = vi.pixel_type == VideoInfo::CS_YV12 || vi.pixel_type == VideoInfo::CS_I420;
  if (!planar420 || vi.width <= 0 || vi.height <= 0 || vi.width % 2 || vi.height % 2 ||
      vi.fps_numerator == 0 || vi.fps_denominator == 0) {
    throw Failure("cannot write the clip as Y4M: it is " + pixelTypeName(vi.pixel_type) + " " +
                  std::to_string(vi.width) + "x" + std::to_string(vi.height) + " at " +
                  std::to_string(vi.fps_numerator) + "/" + std::to_string(vi.fps_denominator) +
                  " fps; only YV12 or I420 of even sizes is written");
  }
}

// The frame's planes, after checking that they are the clip's size: only
// bytes within the frame's rows are read.
y4m::ConstPlanes planesOf(const PVideoFrame& frame, const VideoInfo& vi, int n) {
  const std::string which = "frame " + std::to_string(n);
  if (!frame) throw std::runtime_error(which + ": the clip gave no frame");
  const auto fits = [&](int plane, int width, int height) {
    return frame->GetRowSize(plane) == width && frame->GetHeight(plane) == height &&
           frame->GetPitch(plane) >= width;
  };
  if (!fits(PLANAR_Y, vi.width, vi.height) || !fits(PLANAR_U, vi.width / 2, vi.height / 2) ||
      !fits(PLANAR_V, vi.width / 2, vi.height / 2)) {
    throw std::runtime_error(which + " is " + std::to_string(frame->GetRowSize(PLANAR_Y)) + "x" +
                             std::to_string(frame->GetHeight(PLANAR_Y)) + ", not the clip's " +
                             std::to_string(vi.width) + "x" + std::to_string(vi.height) +
                             " in three planes");
  }
  const auto plane = [&](int which) {
    return y4m::ConstPlane{frame->GetReadPtr(which), frame->GetPitch(which)};
  };
  return y4m::ConstPlanes{plane(PLANAR_Y), plane(PLANAR_U), plane(PLANAR_V)};
}

// Holds back the signals that ask the program to stop while frames are
// written, so that it can remove its temporary output first; interrupted()
// tells whether one came, and takes it.
class DeferredInterrupts {
 public:
  DeferredInterrupts() {
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGINT);
    sigaddset(&stopping, SIGTERM);
    sigaddset(&stopping, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopping, &previous);
  }
  ~DeferredInterrupts() { sigprocmask(SIG_SETMASK, &previous, nullptr); }
  DeferredInterrupts(const DeferredInterrupts&) = delete;
  DeferredInterrupts& operator=(const DeferredInterrupts&) = delete;

  bool interrupted() const {
    sigset_t pending;
    sigpending(&pending);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
      if (sigismember(&pending, signal)) {
        const timespec now{0, 0};
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, signal);
        sigtimedwait(&one, nullptr, &now);
        return true;
      }
    }
    return false;
  }

 private:
  sigset_t stopping;
  sigset_t previous;
};

void writeFrames(const PClip& clip, host::Environment& env, const Options& options,
                 FrameRange range) {
  const VideoInfo vi = clip->GetVideoInfo();
  checkWritable(vi);
  // Signals that would stop the program wait while a temporary file exists,
  // so that it is always removed. Elsewhere (a pipe or a device that may
  // block) they keep their usual effect.
  std::optional<DeferredInterrupts> interrupts;
  if (OutputFile::writesTemporary(options.output)) interrupts.emplace();
  OutputFile output(options.output);
  const bool showProgress = !options.quiet && !output.isStandardOutput() && ::isatty(STDERR_FILENO);
  Progress progress(showProgress ? stderr : nullptr, range.last - range.first + 1);
  // What a failure adds: the target keeps its old content, or stays absent.
  const std::string untouched =
      output.replacesTarget() ? " (" + options.output + " was not written)" : "";
  const auto stopWhenInterrupted = [&]() {
    if (interrupts && interrupts->interrupted()) throw Failure("interrupted" + untouched);
  };
  try {
    y4m::Format format;
    format.width = vi.width;
    format.height = vi.height;
    format.fpsNumerator = vi.fps_numerator;
    format.fpsDenominator = vi.fps_denominator;
    y4m::Y4MWriter writer(output.stream(), format);
    for (int n = range.first; n <= range.last; ++n) {
      stopWhenInterrupted();
      PVideoFrame frame;
      try {
        frame = clip->GetFrame(n, &env);
      } catch (const std::bad_alloc&) {
        throw Failure("frame " + std::to_string(n) + ": out of memory" + untouched);
      } catch (const std::exception& error) {
        throw Failure("frame " + std::to_string(n) + ": " + error.what() + untouched);
      }
      writer.writeFrame(planesOf(frame, vi, n));
      progress.frameDone();
    }
    stopWhenInterrupted();
    output.commit();
  } catch (const Failure&) {
    progress.abandon();
    throw;
  } catch (const std::exception& error) {  // a frame of another size, a write that failed
    progress.abandon();
    throw Failure(error.what() + untouched);
  }
  progress.finish();
}

// One line: "pool: F frames (f in use), B buffers (b in use), peak memory K KiB".
void printPoolStats(const host::FramePoolStats& pool) {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::fprintf(stderr,
               "pool: %zu frames (%zu in use), %zu buffers (%zu in use), peak memory %ld KiB\n",
               pool.frames, pool.framesInUse, pool.buffers, pool.buffersInUse, usage.ru_maxrss);
}

int evaluateAndWrite(const Options& options) {
  std::string scriptName;
  const std::string text = readScript(options, scriptName);

  host::Environment env;
  addHostFunctions(env);
  const std::optional<std::string> plugin = options.plugin ? options.plugin : defaultPluginPath();
  if (plugin) {
    try {
      env.loadPlugin(*plugin);
    } catch (const std::exception& error) {
      throw Failure(error.what());
    }
  }

  AVSValue result;
  try {
    result = script::runScript(text, env);
  } catch (const script::LocatedError& error) {
    std::string message = error.what();
    if (message.rfind("there is no", 0) == 0 && !env.findFunction("Sign")) {
      message += " (no plugin is loaded: use --plugin PATH or LoadPlugin)";
    }
    throw Failure(scriptName + ":" + std::to_string(error.where.line) + ":" +
                  std::to_string(error.where.column) + ": " + message);
  }
  if (!result.IsClip()) {
    throw Failure(scriptName + ": the script's value, last, is not a clip");
  }
  const PClip clip = result.AsClip();
  result = AVSValue();
  const VideoInfo& vi = clip->GetVideoInfo();
  FrameRange range{0, vi.num_frames - 1};
  if (options.frames) {
    range = *options.frames;
    if (range.last >= vi.num_frames) {
      throw Failure("--frames " + std::to_string(range.first) + "-" + std::to_string(range.last) +
                    ": the clip has " +
                    (vi.num_frames > 0 ? std::to_string(vi.num_frames) + " frames (0-" +
                                             std::to_string(vi.num_frames - 1) + ")"
                                       : std::string("no frames")));
    }
  }
  if (options.info) {
    printInfo(vi);
    return kSuccess;
  }
  writeFrames(clip, env, options, range);
  if (options.poolStats) printPoolStats(env.poolStats());
  return kSuccess;
}

}  // namespace

std::optional<std::string> defaultPluginPath() {
  const std::string folder = folderOfExecutable();
  for (const std::string& candidate :
       {folder + "/libquorvant.so", folder + "/../lib/avisynth/libquorvant.so"}) {
    if (::access(candidate.c_str(), R_OK) == 0) return candidate;
  }
  return std::nullopt;
}

int runProgram(const Options& options) {
  if (!options.info && options.output == "-" && ::isatty(STDOUT_FILENO)) {
    std::fprintf(stderr,
                 "quorvant: standard output is a terminal: write the video with -o FILE or "
                 "into a pipe\n");
    return kUsageError;
  }
  try {
    return evaluateAndWrite(options);
  } catch (const Failure& failure) {
    std::fprintf(stderr, "quorvant: %s\n", failure.what());
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "quorvant: out of memory\n");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quorvant: %s\n", error.what());
  }
  return kFailure;
}

}  // namespace quorvant::runner
