// Median time per iteration of every benchmark in a run, whatever the reporting flags.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace bench {

// Seconds per iteration by run name ("BM_X/arg"): the median of the repetitions seen, or the
// reported median when only aggregates reach the reporter.
class MedianTimes {
 public:
  using Run = benchmark::BenchmarkReporter::Run;

  void add(const Run& run) {
    if (run.error_occurred) return;
    // The value the console shows, back in seconds.
    const double secs = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    const std::string name = run.run_name.str();
    if (run.run_type == Run::RT_Iteration)
      samples_[name].push_back(secs);
    else if (run.aggregate_name == "median" && run.aggregate_unit == benchmark::kTime)
      reported_[name] = secs;
  }

  // 0 when the benchmark did not run.
  double seconds(const std::string& name) const {
    const auto it = samples_.find(name);
    if (it != samples_.end() && !it->second.empty()) return median(it->second);
    const auto m = reported_.find(name);
    return m == reported_.end() ? 0.0 : m->second;
  }

  // ours / reference, 0 when either is missing.
  double ratio(const std::string& ours, const std::string& reference) const {
    const double o = seconds(ours), r = seconds(reference);
    return o > 0 && r > 0 ? o / r : 0.0;
  }

 private:
  // The upper median of an even count, so that a pair of repetitions gives a measured value.
  static double median(std::vector<double> v) {
    const auto mid = v.begin() + std::ptrdiff_t(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
  }

  std::map<std::string, std::vector<double>> samples_;
  std::map<std::string, double> reported_;
};

}  // namespace bench
