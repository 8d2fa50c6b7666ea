#pragma once
// Console output of Google Benchmark plus the ratios between our code and
// the named reference measured in the same run. Benchmarks that run work
// on more than one thread measure the process's CPU time
// (MeasureProcessCPUTime) and print both ratios (print_ratios), so a
// second thread shows as the CPU it costs and not only as wall time saved.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace brek_bench {

class Ratio_reporter : public benchmark::ConsoleReporter {
 public:
  enum class Clock { REAL, CPU };
  explicit Ratio_reporter(Clock clock = Clock::REAL) : clock_(clock) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs) {
      const Times t{r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
      if (r.run_type == Run::RT_Aggregate) {
        // With repetitions the median stands for the benchmark.
        if (r.aggregate_name != "median") continue;
        times_[r.run_name.function_name] = t;
        if (!r.run_name.args.empty()) times_[r.run_name.function_name + "/" + r.run_name.args] = t;
      } else {
        times_[r.benchmark_name()] = t;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // The time of a benchmark by its name, or of the first one whose name
  // starts with name + "/" (a benchmark with arguments), on the reporter's
  // clock; 0 when absent.
  double time(const std::string& name) const {
    const Times t = times(name);
    return clock_ == Clock::CPU ? t.cpu : t.wall;
  }

  // Prints "reference: text": what the ratios below measure against.
  static void print_reference(const char* text) { std::printf("reference: %s\n", text); }

  // Prints "ratio a / b = x" with an optional note such as "aim <= 1.5".
  void print_ratio(const std::string& a, const std::string& b, const char* note = nullptr) const {
    double ta = time(a), tb = time(b);
    if (ta <= 0 || tb <= 0) return;
    if (note)
      std::printf("ratio %s / %s = %.3f (%s)\n", a.c_str(), b.c_str(), ta / tb, note);
    else
      std::printf("ratio %s / %s = %.3f\n", a.c_str(), b.c_str(), ta / tb);
  }

  // Prints "ratio a / b = wall x, CPU y" with an optional note: both clocks
  // whatever the reporter's own.
  void print_ratios(const std::string& a, const std::string& b, const char* note = nullptr) const {
    const Times ta = times(a), tb = times(b);
    if (ta.wall <= 0 || tb.wall <= 0 || tb.cpu <= 0) return;
    std::printf("ratio %s / %s = wall %.3f, CPU %.3f%s%s%s\n", a.c_str(), b.c_str(), ta.wall / tb.wall,
                ta.cpu / tb.cpu, note ? " (" : "", note ? note : "", note ? ")" : "");
  }

 private:
  struct Times {
    double wall = 0, cpu = 0;
  };
  Times times(const std::string& name) const {
    auto it = times_.find(name);
    if (it != times_.end()) return it->second;
    for (const auto& [key, t] : times_)
      if (key.rfind(name + "/", 0) == 0) return t;
    return {};
  }

  Clock clock_;
  std::map<std::string, Times> times_;
};

// The command line with "--benchmark_repetitions=<rounds>" added unless it
// names a number of repetitions itself, the rounds of the benchmarks taken
// in turns: the ratios are then of medians, and a busy spell of the
// machine falls on both sides of a ratio alike.
inline std::vector<char*> with_repetitions(int argc, char** argv, int rounds = 5) {
  static std::string option;
  static std::string interleave = "--benchmark_enable_random_interleaving=true";
  option = "--benchmark_repetitions=" + std::to_string(rounds);
  std::vector<char*> args(argv, argv + argc);
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]).rfind("--benchmark_repetitions", 0) == 0) return args;
  args.push_back(option.data());
  args.push_back(interleave.data());
  return args;
}

// The run of a program that compares one pair: every benchmark, then the
// reference named and the ratio of ours to it.
inline void run_and_compare(int& argc, char** argv, const char* reference, const char* ours, const char* theirs,
                            const char* aim) {
  benchmark::Initialize(&argc, argv);
  Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  Ratio_reporter::print_reference(reference);
  reporter.print_ratio(ours, theirs, aim);
  benchmark::Shutdown();
}

}  // namespace brek_bench
