// GetFrame called from several threads at once, on one filter and on chains
// of filters, gives the same bytes as serial calls, with sources that hand
// every request a frame of its own and with sources whose frames are shared
// between the threads (which the in-place walk must then leave alone).
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "tests/plugin_test_support.h"

namespace quorvant::test {
namespace {

constexpr int kWidth = 720;
constexpr int kHeight = 48;
constexpr int kFrames = 6;
constexpr int kThreads = 4;
constexpr int kRounds = 3;

struct Graph {
  const char* name;
  int sources;
  std::function<PClip(Environment&, const std::vector<PClip>&)> build;
};

PClip invoke(Environment& env, const char* function, std::vector<AVSValue> args) {
  return env.call(function, args).AsClip();
}

std::vector<Graph> graphs() {
  std::vector<Graph> list;
  for (const FunctionCase& function : functionCases()) {
    list.push_back({function.name, function.clipCount,
                    [&function](Environment& env, const std::vector<PClip>& clips) {
                      return callFunction(env, function, clips);
                    }});
  }
  list.push_back(
      {"Unsign(SubtractAndSign(a, b))", 2, [](Environment& env, const std::vector<PClip>& c) {
         return invoke(env, "Unsign", {invoke(env, "SubtractAndSign", {c[0], c[1]})});
       }});
  list.push_back({"Clamp(Sign(a), SimpleAverage(a, b), ShiftedMinimum(b, 3, a), 2, 4)", 2,
                  [](Environment& env, const std::vector<PClip>& c) {
                    return invoke(
                        env, "Clamp",
                        {invoke(env, "Sign", {c[0]}), invoke(env, "SimpleAverage", {c[0], c[1]}),
                         invoke(env, "ShiftedMinimum", {c[1], 3, c[0]}), 2, 4});
                  }});
  return list;
}

TEST_F(PluginTest, ConcurrentGetFrameGivesTheSerialBytes) {
  for (const Graph& graph : graphs()) {
    for (FramePolicy policy : {FramePolicy::fresh, FramePolicy::shared}) {
      SCOPED_TRACE(::testing::Message()
                   << graph.name << (policy == FramePolicy::fresh ? " fresh" : " shared"));
      const PClip filter = graph.build(
          env, clipsOf(patternClips(env, host::videoInfo(kWidth, kHeight, kFrames),
                                    graph.sources, policy)));

      std::vector<std::vector<uint8_t>> serial;
      for (int n = 0; n < kFrames; ++n) {
        serial.push_back(host::planeBytes(filter->GetFrame(n, &env), PLANAR_Y));
      }

      std::atomic<int> mismatches{0};
      std::vector<std::thread> threads;
      for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
          for (int i = 0; i < kRounds * kFrames; ++i) {
            const int n = (i * (t + 1) + t) % kFrames;  // a different order per thread
            if (host::planeBytes(filter->GetFrame(n, &env), PLANAR_Y) != serial[size_t(n)]) {
              ++mismatches;
            }
          }
        });
      }
      for (std::thread& thread : threads) thread.join();
      EXPECT_EQ(mismatches, 0);
    }
  }
}

}  // namespace
}  // namespace quorvant::test
