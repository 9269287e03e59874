#include "ratio_reporter.h"

#include <algorithm>
#include <cstdio>

namespace bench {

namespace {

struct Spread {
  double median;
  double lowest;
  double highest;
};

Spread SpreadOf(std::vector<double> values) {
  if (values.empty()) {
    return {0, 0, 0};
  }
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  const double median =
      values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
  return {median, values.front(), values.back()};
}

}  // namespace

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
  std::vector<Run> aggregates;
  for (const Run& run : runs) {
    if (run.run_type == Run::RT_Aggregate) {
      aggregates.push_back(run);
      continue;
    }
    if (run.error_occurred) {
      std::fprintf(stderr, "%s: %s\n", run.benchmark_name().c_str(), run.error_message.c_str());
      continue;
    }
    if (byLabel_.find(run.report_label) == byLabel_.end()) {
      order_.push_back(run.report_label);
    }
    for (const auto& [name, counter] : run.counters) {
      byLabel_[run.report_label].counters[name].push_back(counter.value);
    }
  }
  if (!aggregates.empty()) {
    ConsoleReporter::ReportRuns(aggregates);
  }
}

void RatioReporter::Finalize() {
  ConsoleReporter::Finalize();
  PrintLargeFiles();
  PrintSmallFile();
}

void RatioReporter::PrintLargeFiles() const {
  std::printf(
      "\nLarge files: the call beside a copy of the same bytes, each timed on a removed\n"
      "destination; median of the repetitions (lowest-highest)\n"
      "%-22s %10s %10s  %-20s %s\n",
      "case", "call ms", "copy ms", "call/copy", "target");
  for (const std::string& label : order_) {
    const auto& counters = byLabel_.at(label).counters;
    if (counters.count("ratio") == 0 || counters.count("copy_ms") == 0) {
      continue;
    }
    const Spread ratio = SpreadOf(counters.at("ratio"));
    char range[32];
    std::snprintf(range, sizeof range, "%.2f (%.2f-%.2f)", ratio.median, ratio.lowest,
                  ratio.highest);
    std::printf("%-22s %10.1f %10.1f  %-20s <= %.1f\n", label.c_str(),
                SpreadOf(counters.at("call_ms")).median, SpreadOf(counters.at("copy_ms")).median,
                range, SpreadOf(counters.at("target")).median);
  }
}

void RatioReporter::PrintSmallFile() const {
  bool headed = false;
  for (const std::string& label : order_) {
    const auto& counters = byLabel_.at(label).counters;
    if (counters.count("call_per_s") == 0) {
      continue;
    }
    if (!headed) {
      std::printf(
          "\nSmall file: calls per second beside a minimal copy (open, read, write, close);\n"
          "median of the repetitions (lowest-highest)\n"
          "%-30s %-26s %-26s %s\n",
          "case", "call/s", "copy/s", "call time/copy time");
      headed = true;
    }
    const Spread calls = SpreadOf(counters.at("call_per_s"));
    const Spread copies = SpreadOf(counters.at("copy_per_s"));
    char callText[40];
    char copyText[40];
    std::snprintf(callText, sizeof callText, "%.0f (%.0f-%.0f)", calls.median, calls.lowest,
                  calls.highest);
    std::snprintf(copyText, sizeof copyText, "%.0f (%.0f-%.0f)", copies.median, copies.lowest,
                  copies.highest);
    std::printf("%-30s %-26s %-26s %.2f\n", label.c_str(), callText, copyText,
                SpreadOf(counters.at("ratio")).median);
  }
}

}  // namespace bench
