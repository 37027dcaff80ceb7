// A console reporter for the throughput benches: after the usual table, one
// line per benchmark with its speed in MB/s and as a multiple of the first
// benchmark's speed, the baseline the bench runs first (a plain memcpy over
// the same bytes). Benchmarks report their bytes with SetBytesProcessed. One
// reporter per bench run; single-threaded.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vsci::bench {

class ThroughputReporter : public benchmark::ConsoleReporter {
 public:
  // `describe` prints what was measured (document sizes) above the lines.
  explicit ThroughputReporter(std::function<void()> describe) : describe_(std::move(describe)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto it = run.counters.find("bytes_per_second");
      if (it == run.counters.end() || run.error_occurred) continue;
      const double mb_per_s = it->second.value / 1e6;
      if (baseline_ == 0) {
        baseline_ = mb_per_s;
        baseline_name_ = run.benchmark_name();
      }
      char line[200];
      std::snprintf(line, sizeof line, "%-36s %9.1f MB/s  %6.3f x %s", run.benchmark_name().c_str(), mb_per_s,
                    mb_per_s / baseline_, baseline_name_.c_str());
      lines_.push_back(line);
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    describe_();
    for (const std::string& l : lines_) std::printf("%s\n", l.c_str());
  }

 private:
  std::function<void()> describe_;
  double baseline_ = 0;
  std::string baseline_name_;
  std::vector<std::string> lines_;
};

// Runs the registered benchmarks with a ThroughputReporter.
inline int run_throughput_benchmarks(int argc, char** argv, std::function<void()> describe) {
  benchmark::Initialize(&argc, argv);
  ThroughputReporter reporter(std::move(describe));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace vsci::bench
