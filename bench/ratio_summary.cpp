#include "bench/ratio_summary.h"

#include <algorithm>
#include <cstdio>

#include "bench/benchmark_names.h"
#include "bench/luma_operations.h"

namespace quorvant::bench {

namespace {

double toMicroseconds(double value, benchmark::TimeUnit unit) {
  switch (unit) {
    case benchmark::kNanosecond:
      return value / 1e3;
    case benchmark::kMicrosecond:
      return value;
    case benchmark::kMillisecond:
      return value * 1e3;
    case benchmark::kSecond:
      return value * 1e6;
  }
  return value;
}

// Targets, as ratios of CPU time per frame.
constexpr double kMaxKernelOverCopy = 1.05;      // at 1920x1080 and above
constexpr double kMinScalarOverKernel = 10.0;    // at 640x480
constexpr double kMaxGetFrameOverKernel = 1.10;  // at 1920x1080

// One table cell: a ratio of two times, blank when either did not run,
// marked '!' when a target applies and is missed.
std::string ratioCell(double numerator, double denominator, double min, double max,
                      bool targetApplies) {
  if (numerator < 0 || denominator <= 0) return "-";
  const double ratio = numerator / denominator;
  const bool missed = targetApplies && (ratio < min || ratio > max);
  char text[32];
  std::snprintf(text, sizeof text, "%.2f%s", ratio, missed ? "!" : "");
  return text;
}

std::string timeCell(double microseconds) {
  if (microseconds < 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", microseconds);
  return text;
}

}  // namespace

void RatioCollector::ReportRuns(const std::vector<Run>& runs) {
  // Repetitions of one benchmark arrive together, then its aggregates.
  const Run* fastest = nullptr;
  double fastestMicroseconds = 0;
  for (const Run& run : runs) {
    if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
    const double microseconds = toMicroseconds(run.GetAdjustedCPUTime(), run.time_unit);
    if (!fastest || microseconds < fastestMicroseconds) {
      fastest = &run;
      fastestMicroseconds = microseconds;
    }
    maxRepetitions = std::max(maxRepetitions, int(std::max<int64_t>(run.repetitions, 1)));
  }
  if (!fastest) {
    // Failed runs are shown as they are; aggregates are left out.
    std::vector<Run> failed;
    for (const Run& run : runs) {
      if (run.error_occurred) failed.push_back(run);
    }
    if (!failed.empty()) ConsoleReporter::ReportRuns(failed);
    return;
  }
  best[fastest->run_name.function_name] = fastestMicroseconds;
  ConsoleReporter::ReportRuns({*fastest});
}

double RatioCollector::bestMicroseconds(const std::string& name) const {
  const auto found = best.find(name);
  return found == best.end() ? -1.0 : found->second;
}

void printRatioSummary(std::ostream& out, const RatioCollector& runs, InstructionSet dispatched) {
  const std::string kernelSet = instructionSetName(dispatched);
  char line[256];
  out << "\nRatios (CPU time per frame, best of " << runs.repetitions()
      << " repetition(s); dispatched kernel: " << kernelSet << ")\n"
      << "  kernel/copy      dispatched plane function over a memcpy of as many bytes"
         " (target <= 1.05 at 1920x1080 and 3840x2160)\n"
      << "  sse2/copy        the SSE2 form over the same copy\n"
      << "  scalar/kernel    scalar form over the dispatched kernel (target >= 10 at 640x480)\n"
      << "  getframe/kernel  whole-filter GetFrame less its source fetches, over the kernel"
         " (target <= 1.10 at 1920x1080)\n"
      << "  '!' marks a missed target\n\n";
  std::snprintf(line, sizeof line, "%-16s %-10s %9s %9s %7s %7s %7s %8s %9s %9s\n", "operation",
                "size", "copy us", "kernel us", "GB/s", "k/copy", "sse2/cp", "scalar/k", "gf inplc",
                "gf new");
  out << line;
  for (const FrameSize& size : kFrameSizes) {
    const bool large = size.width >= 1920;
    const bool small = size.width == 640;
    const bool fullHd = size.width == 1920;
    for (const LumaOperation& operation : lumaOperations()) {
      const double copy = runs.bestMicroseconds(benchmarkName("copy", operation.name, size));
      const double kernel =
          runs.bestMicroseconds(benchmarkName("kernel", operation.name, size, kernelSet));
      const double sse2 =
          runs.bestMicroseconds(benchmarkName("kernel", operation.name, size, "sse2"));
      const double scalar =
          runs.bestMicroseconds(benchmarkName("kernel", operation.name, size, "scalar"));
      auto addedByFilter = [&](const char* walk) {
        const double whole =
            runs.bestMicroseconds(benchmarkName("getframe", operation.name, size, walk));
        const double fetch =
            runs.bestMicroseconds(benchmarkName("fetch", operation.name, size, walk));
        return whole < 0 || fetch < 0 ? -1.0 : std::max(whole - fetch, 0.0);
      };
      const double bytesPerSecond =
          kernel > 0 ? bytesMoved(operation, size.width, size.height) / (kernel * 1e-6) : -1.0;
      char rate[32] = "-";
      if (bytesPerSecond > 0) std::snprintf(rate, sizeof rate, "%.1f", bytesPerSecond / 1e9);
      std::snprintf(
          line, sizeof line, "%-16s %-10s %9s %9s %7s %7s %7s %8s %9s %9s\n", operation.name,
          size.label().c_str(), timeCell(copy).c_str(), timeCell(kernel).c_str(), rate,
          ratioCell(kernel, copy, 0, kMaxKernelOverCopy, large).c_str(),
          ratioCell(sse2, copy, 0, kMaxKernelOverCopy, false).c_str(),
          ratioCell(scalar, kernel, kMinScalarOverKernel, 1e9, small).c_str(),
          operation.inPlaceWalk
              ? ratioCell(addedByFilter(kInPlace), kernel, 0, kMaxGetFrameOverKernel, fullHd)
                    .c_str()
              : "-",
          ratioCell(addedByFilter(kNewFrame), kernel, 0, kMaxGetFrameOverKernel, fullHd).c_str());
      out << line;
    }
  }
}

}  // namespace quorvant::bench
