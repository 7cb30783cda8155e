// Whole-filter GetFrame through the embedded host, the plugin loaded as a
// host loads it, for both walks:
//  - in_place: the first clip's source hands out a new frame held only by
//    the caller (FramePolicy::fresh), which the in-place walk writes into and
//    returns;
//  - new_frame: the first clip's source keeps the frame it hands out
//    (FramePolicy::shared), so it is never writable and the filter takes a
//    new frame from the host.
// Extra clips come from shared sources. The host does not fill new frames
// (a real host does not) and the fresh source writes nothing into its
// frames, so a fetch costs only taking a frame from the pool. What the
// filter adds to its kernel is getframe minus fetch: fetch/... makes the
// same fetches in the same order, holding the frames as long, without the
// filter.
#include <benchmark/benchmark.h>

#include <optional>
#include <vector>

#include "bench/benchmark_names.h"
#include "bench/luma_operations.h"
#include "bench/plane_buffer.h"
#include "embedded_host/environment.h"
#include "embedded_host/source_clip.h"

namespace quorvant::bench {

namespace {

struct FilterSetup {
  std::vector<PClip> clips;  // first clip, then the extra clips
  PClip filter;
};

FilterSetup buildFilter(host::Environment& env, const LumaOperation& operation, FrameSize size,
                        bool writableSource) {
  const VideoInfo vi = host::videoInfo(size.width, size.height, 1);
  FilterSetup setup;
  for (int i = 0; i < operation.inputPlanes; ++i) {
    const bool fresh = i == 0 && writableSource;
    host::FillFrame fill = [i, fresh](int, const PVideoFrame& frame) {
      if (fresh) return;
      fillRandom(frame->GetWritePtr(PLANAR_Y),
                 size_t(frame->GetPitch(PLANAR_Y)) * size_t(frame->GetHeight(PLANAR_Y)),
                 uint64_t(i + 1));
    };
    setup.clips.push_back(new host::SourceClip(
        env, vi, fill, fresh ? host::FramePolicy::fresh : host::FramePolicy::shared));
  }
  setup.filter = env.call(operation.name, operation.scriptArguments(setup.clips)).AsClip();
  return setup;
}

void runGetFrame(benchmark::State& state, const std::string& pluginPath,
                 const LumaOperation& operation, FrameSize size, bool writableSource,
                 bool fetchOnly) {
  host::Environment env;
  env.loadPlugin(pluginPath);
  env.setFrameFill(std::nullopt);
  const FilterSetup setup = buildFilter(env, operation, size, writableSource);
  // The walks fetch in these orders: the in-place walk its extra clip
  // first, the new-frame walk the first clip first.
  std::vector<PClip> fetchOrder;
  if (operation.inPlaceWalk) {
    fetchOrder.assign(setup.clips.begin() + 1, setup.clips.end());
    fetchOrder.push_back(setup.clips[0]);
  } else {
    fetchOrder = setup.clips;
  }
  std::vector<PVideoFrame> fetched(fetchOrder.size());
  for (auto _ : state) {
    if (fetchOnly) {
      for (size_t i = 0; i < fetchOrder.size(); ++i) fetched[i] = fetchOrder[i]->GetFrame(0, &env);
      for (PVideoFrame& frame : fetched) frame = PVideoFrame();
    } else {
      PVideoFrame output = setup.filter->GetFrame(0, &env);
      benchmark::DoNotOptimize(output);
    }
    benchmark::ClobberMemory();
  }
  if (!fetchOnly) {
    state.SetBytesProcessed(
        int64_t(double(state.iterations()) * bytesMoved(operation, size.width, size.height)));
  }
}

}  // namespace

void registerGetFrameBenchmarks(const std::string& pluginPath) {
  for (const FrameSize& size : kFrameSizes) {
    for (const LumaOperation& operation : lumaOperations()) {
      for (bool writableSource : {true, false}) {
        // The new-frame walk takes a new frame whatever its source.
        if (writableSource && !operation.inPlaceWalk) continue;
        const char* walk = writableSource ? kInPlace : kNewFrame;
        for (bool fetchOnly : {false, true}) {
          benchmark::RegisterBenchmark(
              benchmarkName(fetchOnly ? "fetch" : "getframe", operation.name, size, walk).c_str(),
              [pluginPath, &operation, size, writableSource, fetchOnly](benchmark::State& state) {
                runGetFrame(state, pluginPath, operation, size, writableSource, fetchOnly);
              })
              ->Unit(benchmark::kMicrosecond);
        }
      }
    }
  }
}

}  // namespace quorvant::bench
