// Frame sizes and the names under which every benchmark is registered, so
// that the ratio summary finds the runs it compares:
//   kernel/<operation>/<size>/<instruction set>   plane function, one form
//   copy/<operation>/<size>                       memcpy of as many bytes
//   getframe/<operation>/<size>/<walk>            whole filter through the host
//   fetch/<operation>/<size>/<walk>               the same call's source fetches alone
#ifndef QUORVANT_BENCH_BENCHMARK_NAMES_H
#define QUORVANT_BENCH_BENCHMARK_NAMES_H

#include <array>
#include <string>

namespace quorvant::bench {

struct FrameSize {
  int width;
  int height;
  std::string label() const { return std::to_string(width) + "x" + std::to_string(height); }
};

// Cache-resident, full HD and UHD.
constexpr std::array<FrameSize, 3> kFrameSizes = {{{640, 480}, {1920, 1080}, {3840, 2160}}};

constexpr const char* kInPlace = "in_place";
constexpr const char* kNewFrame = "new_frame";

inline std::string benchmarkName(const std::string& kind, const std::string& operation,
                                 const FrameSize& size, const std::string& variant = "") {
  std::string name = kind + "/" + operation + "/" + size.label();
  return variant.empty() ? name : name + "/" + variant;
}

void registerKernelBenchmarks();
// pluginPath: the built plugin, loaded by the embedded host.
void registerGetFrameBenchmarks(const std::string& pluginPath);

}  // namespace quorvant::bench

#endif  // QUORVANT_BENCH_BENCHMARK_NAMES_H
