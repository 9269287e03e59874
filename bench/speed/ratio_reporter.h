// Prints, after Google Benchmark's own table, the figures the speed
// benchmark exists for: each case's time as a multiple of the copy's, as
// the median of the repetitions with their range.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Only the aggregates reach the console table; every repetition is kept
  // for the summary.
  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;

 private:
  struct Repetitions {
    std::map<std::string, std::vector<double>> counters;
  };
  void PrintLargeFiles() const;
  void PrintSmallFile() const;

  std::vector<std::string> order_;
  std::map<std::string, Repetitions> byLabel_;
};

}  // namespace bench
