// Runs the benchmarks (Google Benchmark flags apply, e.g. --benchmark_filter,
// --benchmark_repetitions) and prints the ratio summary after them.
#include <benchmark/benchmark.h>

#include <iostream>

#include "bench/benchmark_names.h"
#include "bench/ratio_summary.h"
#include "kernels/instruction_set.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  quorvant::bench::registerKernelBenchmarks();
  quorvant::bench::registerGetFrameBenchmarks(QUORVANT_PLUGIN_PATH);

  quorvant::bench::RatioCollector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  const quorvant::InstructionSet dispatched = quorvant::chooseInstructionSet(
      quorvant::detectProcessorFeatures(), quorvant::InstructionSet::avx2);
  quorvant::bench::printRatioSummary(std::cout, collector, dispatched);
  benchmark::Shutdown();
  return 0;
}
