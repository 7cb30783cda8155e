// Fuzzes the script parser and evaluator with arbitrary text, on an embedded
// host with the built plugin loaded and the TestPattern source (nothing that
// opens files). A script may be refused, but only with a LocatedError that
// points into the text; when it yields a clip of modest size, its first and
// last frames are fetched and must have the clip's size. Afterwards no frame
// may be left in use: the sources hand out frames of their own and keep none,
// so a frame still held is one that a filter or the evaluator lost.
#include <dlfcn.h>
#include <stddef.h>
#include <stdint.h>

#include <algorithm>
#include <string_view>

#include "embedded_host/environment.h"
#include "fuzz/fuzz_check.h"
#include "host/avisynth.h"
#include "runner/host_functions.h"
#include "runner/script_evaluator.h"
#include "runner/script_syntax.h"

namespace quorvant::fuzz {
namespace {

// Frames above this many luma bytes are not fetched: a script can ask for
// 8192 x 8192 patterns, which would only slow the fuzzer down.
constexpr long long kMaxFetchedArea = 1 << 18;

void fetchFrames(const PClip& clip, host::Environment& env) {
  const VideoInfo& vi = clip->GetVideoInfo();
  if (vi.num_frames <= 0 || (long long)vi.width * vi.height > kMaxFetchedArea) return;
  for (const int n : {0, vi.num_frames - 1}) {
    const PVideoFrame frame = clip->GetFrame(n, &env);
    QUORVANT_FUZZ_CHECK(
        frame->GetRowSize(PLANAR_Y) == vi.width && frame->GetHeight(PLANAR_Y) == vi.height,
        "frame %d is %dx%d in a clip of %dx%d", n, frame->GetRowSize(PLANAR_Y),
        frame->GetHeight(PLANAR_Y), vi.width, vi.height);
  }
}

void fuzzScript(std::string_view text) {
  // Each environment loads and unloads the plugin; kept resident, its code
  // and the fuzzer's coverage counters in it stay where they are.
  static void* const resident = dlopen(QUORVANT_PLUGIN_PATH, RTLD_NOW | RTLD_NODELETE);
  QUORVANT_FUZZ_CHECK(resident != nullptr, "cannot load %s", QUORVANT_PLUGIN_PATH);
  host::Environment env;
  env.loadPlugin(QUORVANT_PLUGIN_PATH);
  runner::addTestPattern(env);
  try {
    const AVSValue last = script::runScript(text, env);
    if (last.IsClip()) fetchFrames(last.AsClip(), env);
  } catch (const script::LocatedError& error) {
    // Refused: the place must be one in the text (1-based).
    const size_t lines = size_t(std::count(text.begin(), text.end(), '\n')) + 1;
    QUORVANT_FUZZ_CHECK(
        error.where.line >= 1 && size_t(error.where.line) <= lines && error.where.column >= 1,
        "\"%s\" placed at line %d, column %d of %zu lines", error.what(), error.where.line,
        error.where.column, lines);
  }
  const host::FramePoolStats pool = env.poolStats();
  QUORVANT_FUZZ_CHECK(pool.framesInUse == 0 && pool.buffersInUse == 0,
                      "%zu frames and %zu buffers left in use", pool.framesInUse,
                      pool.buffersInUse);
}

}  // namespace
}  // namespace quorvant::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvant::fuzz::fuzzScript(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
