// Each operation's plane function with every form of its row kernel, and a
// copy that moves as many bytes: an operation reading k planes and writing
// one moves k + 1 plane sizes, and memcpy of (k + 1) / 2 plane sizes, row by
// row between two buffers of plane layout, moves as many over the same
// working set.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/benchmark_names.h"
#include "bench/luma_operations.h"
#include "bench/plane_buffer.h"
#include "kernels/instruction_set.h"

namespace quorvant::bench {

namespace {

void runKernel(benchmark::State& state, const LumaOperation& operation, FrameSize size,
               InstructionSet set) {
  const LumaRowKernels kernels = rowKernelsFor(set);
  std::vector<PlaneBuffer> inputs;
  std::vector<PlaneView> views;
  inputs.reserve(size_t(operation.inputPlanes));
  for (int i = 0; i < operation.inputPlanes; ++i) {
    inputs.emplace_back(size.width, size.height, uint64_t(i + 1));
    views.push_back(inputs.back().view());
  }
  PlaneBuffer output(size.width, size.height, 99);
  const MutablePlaneView out = output.mutableView();
  for (auto _ : state) {
    operation.runPlane(views.data(), out, kernels);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(
      int64_t(double(state.iterations()) * bytesMoved(operation, size.width, size.height)));
}

void runCopy(benchmark::State& state, const LumaOperation& operation, FrameSize size) {
  // Frame heights are even, so (k + 1) / 2 plane sizes are whole rows.
  const int rows = (operation.inputPlanes + 1) * size.height / 2;
  PlaneBuffer from(size.width, rows, 1);
  PlaneBuffer to(size.width, rows, 99);
  const PlaneView src = from.view();
  const MutablePlaneView dst = to.mutableView();
  for (auto _ : state) {
    for (int y = 0; y < rows; ++y) std::memcpy(dst.row(y), src.row(y), size_t(size.width));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(
      int64_t(double(state.iterations()) * bytesMoved(operation, size.width, size.height)));
}

}  // namespace

void registerKernelBenchmarks() {
  const ProcessorFeatures features = detectProcessorFeatures();
  const InstructionSet sets[] = {InstructionSet::avx2, InstructionSet::sse2, InstructionSet::mmx,
                                 InstructionSet::scalar};
  for (const FrameSize& size : kFrameSizes) {
    for (const LumaOperation& operation : lumaOperations()) {
      for (InstructionSet set : sets) {
        if (!isBuilt(set) || !processorHas(features, set)) continue;
        benchmark::RegisterBenchmark(
            benchmarkName("kernel", operation.name, size, instructionSetName(set)).c_str(),
            [&operation, size, set](benchmark::State& state) {
              runKernel(state, operation, size, set);
            })
            ->Unit(benchmark::kMicrosecond);
      }
      benchmark::RegisterBenchmark(
          benchmarkName("copy", operation.name, size).c_str(),
          [&operation, size](benchmark::State& state) { runCopy(state, operation, size); })
          ->Unit(benchmark::kMicrosecond);
    }
  }
}

}  // namespace quorvant::bench
