// Collects the runs of one benchmark session and prints the ratios that
// show speed: each kernel against its copy baseline, the scalar form
// against the dispatched kernel, and whole-filter GetFrame against its kernel.
#ifndef QUORVANT_BENCH_RATIO_SUMMARY_H
#define QUORVANT_BENCH_RATIO_SUMMARY_H

#include <benchmark/benchmark.h>

#include <map>
#include <ostream>
#include <string>

#include "kernels/instruction_set.h"

namespace quorvant::bench {

// Keeps, per benchmark, the repetition with the lowest CPU time per
// iteration (the one least disturbed by other work on the machine) and
// shows that one as the console reporter does; the aggregates over
// repetitions (mean, median, deviation) are not shown.
class RatioCollector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;

  // Microseconds per frame, or a negative value when the benchmark did not run.
  double bestMicroseconds(const std::string& name) const;
  int repetitions() const { return maxRepetitions; }

 private:
  std::map<std::string, double> best;
  int maxRepetitions = 0;
};

// The ratio table and the targets it was read against; a ratio that misses
// its target is marked with '!'.
void printRatioSummary(std::ostream& out, const RatioCollector& runs, InstructionSet dispatched);

}  // namespace quorvant::bench

#endif  // QUORVANT_BENCH_RATIO_SUMMARY_H
