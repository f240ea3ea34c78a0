// A console reporter that prints closing tables of same-run ratios from the run's medians.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

#include "bench/median_times.h"

namespace bench {

// The console output as usual, then each table printed from the run's medians.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  using Table = std::function<void(const MedianTimes&)>;
  explicit RatioReporter(std::vector<Table> tables) : tables_(std::move(tables)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) times_.add(r);
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    if (SmokeRun()) {
      std::printf("\nsmoke run: too short to measure, so no ratio tables\n");
    } else {
      for (const Table& t : tables_) t(times_);
    }
    std::fflush(stdout);
  }

  // ./test runs each benchmark once, briefly, to keep it building and running; its times are
  // page faults and cold caches, not speed.
  static bool SmokeRun() {
    const char* smoke = std::getenv("ZX_BENCH_SMOKE");
    return smoke != nullptr && *smoke != '\0' && *smoke != '0';
  }

 private:
  std::vector<Table> tables_;
  MedianTimes times_;
};

// main() of a benchmark program with closing ratio tables.
inline int RunWithRatios(int argc, char** argv, std::vector<RatioReporter::Table> tables) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter(std::move(tables));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench
