// C_Sorting against std::sort on 1,000,000 integers, in one run: a sorter
// subclass whose compare and swap go through the virtual table, and a final
// one built on C_Sorting_of whose calls are direct. Prints the ratios; the
// aim is at most 1.5.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "baselib/sorting.h"

namespace {

constexpr int kCount = 1000000;

class C_Int_sorter : public brek::C_Sorting {
  BREK_CLASS(C_Int_sorter)
 public:
  std::vector<int> items;
  int32_t compare(int64_t i, int64_t j) override {
    int a = items[i], b = items[j];
    return a < b ? -1 : (a > b);
  }
  void swap(int64_t i, int64_t j) override { std::swap(items[i], items[j]); }
};

class C_Int_sorter_direct final : public brek::C_Sorting_of<C_Int_sorter_direct> {
  BREK_CLASS(C_Int_sorter_direct)
 public:
  std::vector<int> items;
  int32_t compare(int64_t i, int64_t j) override {
    int a = items[i], b = items[j];
    return a < b ? -1 : (a > b);
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
template <class Sorter>
void BM_c_sorting(benchmark::State& state) {
  auto sorter = brek::make<Sorter>();
  for (auto _ : state) {
    state.PauseTiming();
    sorter->items = input(static_cast<int>(state.range(0)));
    state.ResumeTiming();
    sorter->sort(kCount);
    benchmark::DoNotOptimize(sorter->items.data());
  }
  if (!std::is_sorted(sorter->items.begin(), sorter->items.end())) state.SkipWithError("not sorted");
}
BENCHMARK_TEMPLATE(BM_c_sorting, C_Int_sorter)->Arg(2000000000)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_c_sorting, C_Int_sorter_direct)->Arg(2000000000)->Arg(100)->Unit(benchmark::kMillisecond);

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


}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  brek_bench::Ratio_reporter reporter(brek_bench::Ratio_reporter::Clock::CPU);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  brek_bench::Ratio_reporter::print_reference("std::sort of the same integers");
  for (const char* sorter : {"C_Int_sorter", "C_Int_sorter_direct"})
    for (const char* range : {"2000000000", "100"})
      reporter.print_ratio(std::string("BM_c_sorting<") + sorter + ">/" + range, std::string("BM_std_sort/") + range);
  benchmark::Shutdown();
  return 0;
}
