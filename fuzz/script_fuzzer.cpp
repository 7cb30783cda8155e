// Fuzzes the script parser and evaluator with arbitrary text, on an embedded
// host with the built plugin loaded and the TestPattern source (nothing that
// opens files). A script may be refused, but only with a LocatedError that
// points into the text; when it yields a clip of modest size, its first and
// last frames are fetched and must have the clip's size, and frame 0 is
// fetched again with each of its host calls made to raise in turn. After
// every step no frame may be left in use: the sources hand out frames of
// their own and keep none, so a frame still held is one that a filter or the
// evaluator lost.
#include <dlfcn.h>
#include <stddef.h>
#include <stdint.h>

#include <algorithm>
#include <string_view>

#include "embedded_host/environment.h"
#include "embedded_host/script_error.h"
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

bool fetchable(const VideoInfo& vi) {
  return vi.num_frames > 0 && (long long)vi.width * vi.height <= kMaxFetchedArea;
}

void fetchFrames(const PClip& clip, host::Environment& env) {
  const VideoInfo& vi = clip->GetVideoInfo();
  if (!fetchable(vi)) return;
  for (const int n : {0, vi.num_frames - 1}) {
    const PVideoFrame frame = clip->GetFrame(n, &env);
    QUORVANT_FUZZ_CHECK(
        frame->GetRowSize(PLANAR_Y) == vi.width && frame->GetHeight(PLANAR_Y) == vi.height,
        "frame %d is %dx%d in a clip of %dx%d", n, frame->GetRowSize(PLANAR_Y),
        frame->GetHeight(PLANAR_Y), vi.width, vi.height);
  }
}

size_t heldInPool(const host::Environment& env) {
  const host::FramePoolStats pool = env.poolStats();
  return pool.framesInUse + pool.buffersInUse;
}

// Makes each host call of one GetFrame (sources' GetFrame, NewVideoFrame)
// raise in turn: the error must come out of the chain, and every frame
// fetched on the way must have been let go.
void failEachHostCall(const PClip& clip, host::Environment& env) {
  env.failHostCall(0);
  clip->GetFrame(0, &env);
  const long calls = env.hostCalls();
  for (long failing = 1; failing <= calls; ++failing) {
    env.failHostCall(failing);
    bool raised = false;
    try {
      clip->GetFrame(0, &env);
    } catch (const host::ScriptError&) {
      raised = true;
    }
    env.failHostCall(0);
    QUORVANT_FUZZ_CHECK(raised, "host call %ld of %ld raised, GetFrame did not", failing, calls);
    QUORVANT_FUZZ_CHECK(heldInPool(env) == 0, "host call %ld of %ld raised: %zu left in use",
                        failing, calls, heldInPool(env));
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
    if (last.IsClip()) {
      fetchFrames(last.AsClip(), env);
      if (fetchable(last.AsClip()->GetVideoInfo())) failEachHostCall(last.AsClip(), env);
    }
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
