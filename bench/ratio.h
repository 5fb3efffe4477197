// Benchmarks here measure a piece of the program against a baseline timed
// in the same run, and print the ratio with its bar. Machines differ; the
// ratio of two things measured side by side does much less.
//
// Usage: register benchmarks with Google Benchmark as usual, then in main
//   zel::bench::RatioMain(argc, argv, {{"BM_Program", "BM_Baseline", 2.0}});
// The exit status is 1 when a ratio is above its bar.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace zel::bench {

struct Ratio {
  std::string measured;
  std::string baseline;
  double bar;                 // largest acceptable measured / baseline
  std::string what = "time";  // what is compared, for the printout
  std::string counter = {};   // compare this counter instead of real time
  // The baseline's counter when it differs from `counter` (a benchmark that
  // measures its own baseline, e.g. CPU time against wall time).
  std::string baseline_counter = {};
};

class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration || r.error_occurred) continue;
      std::string name = r.benchmark_name();
      auto& v = values[name];
      v.time = r.GetAdjustedRealTime();
      for (const auto& [k, c] : r.counters) v.counters[k] = c.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  struct Values {
    double time = 0;
    std::map<std::string, double> counters;
  };
  std::map<std::string, Values> values;
};

inline int RatioMain(int argc, char** argv, const std::vector<Ratio>& ratios) {
  benchmark::Initialize(&argc, argv);
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  int status = 0;
  for (const Ratio& r : ratios) {
    auto find = [&](const std::string& prefix) -> const CollectingReporter::Values* {
      for (const auto& [name, v] : reporter.values)
        if (name.rfind(prefix, 0) == 0) return &v;
      return nullptr;
    };
    const auto* m = find(r.measured);
    const auto* b = find(r.baseline);
    if (!m || !b) continue;  // filtered out
    const double mv = r.counter.empty() ? m->time : m->counters.at(r.counter);
    const std::string& bc = r.baseline_counter.empty() ? r.counter : r.baseline_counter;
    const double bv = bc.empty() ? b->time : b->counters.at(bc);
    const double ratio = bv > 0 ? mv / bv : 0;
    const bool ok = ratio <= r.bar;
    std::printf("RATIO %-40s %s %.3f x %s (bar %.2f x) %s\n", r.measured.c_str(), r.what.c_str(), ratio,
                r.baseline.c_str(), r.bar, ok ? "OK" : "OVER BAR");
    if (!ok) status = 1;
  }
  return status;
}

}  // namespace zel::bench
