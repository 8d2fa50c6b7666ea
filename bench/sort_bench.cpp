// C_Sorting (compare and swap through virtual calls) against std::sort on
// 1,000,000 integers, in one run. Prints the ratio; the aim is at most 1.5.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "baselib/sorting.h"

namespace {

constexpr int kCount = 1000000;

class C_Int_sorter : public brek::C_Sorting {
  BREK_CLASS(C_Int_sorter)
 public:
  std::vector<int> items;
  int32_t compare(int64_t i, int64_t j) override {
    int a = items[i], b = items[j];
    return (a > b) - (a < b);
  }
  void swap(int64_t i, int64_t j) override { std::swap(items[i], items[j]); }
};

const std::vector<int>& input(int range) {
  static std::map<int, std::vector<int>> cache;
  auto& v = cache[range];
  if (v.empty()) {
    std::mt19937 rng(42);
    v.resize(kCount);
    for (int& x : v) x = static_cast<int>(rng() % static_cast<unsigned>(range));
  }
  return v;
}

// range: how many distinct values (many duplicates for small ranges)
void BM_c_sorting(benchmark::State& state) {
  auto sorter = brek::make<C_Int_sorter>();
  for (auto _ : state) {
    state.PauseTiming();
    sorter->items = input(static_cast<int>(state.range(0)));
    state.ResumeTiming();
    sorter->sort(kCount);
    benchmark::DoNotOptimize(sorter->items.data());
  }
  if (!std::is_sorted(sorter->items.begin(), sorter->items.end())) state.SkipWithError("not sorted");
}
BENCHMARK(BM_c_sorting)->Arg(2000000000)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_std_sort(benchmark::State& state) {
  std::vector<int> items;
  for (auto _ : state) {
    state.PauseTiming();
    items = input(static_cast<int>(state.range(0)));
    state.ResumeTiming();
    std::sort(items.begin(), items.end());
    benchmark::DoNotOptimize(items.data());
  }
}
BENCHMARK(BM_std_sort)->Arg(2000000000)->Arg(100)->Unit(benchmark::kMillisecond);

class Ratio_reporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs) times_[r.benchmark_name()] = r.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void print_ratios() {
    auto ratio = [&](const std::string& a, const std::string& b) {
      if (times_.count(a) && times_.count(b) && times_[b] > 0)
        std::printf("ratio %s / %s = %.3f\n", a.c_str(), b.c_str(), times_[a] / times_[b]);
    };
    ratio("BM_c_sorting/2000000000", "BM_std_sort/2000000000");
    ratio("BM_c_sorting/100", "BM_std_sort/100");
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_ratios();
  benchmark::Shutdown();
  return 0;
}
