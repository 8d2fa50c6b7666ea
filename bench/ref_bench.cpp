// Copying and releasing a Ref<T> against std::shared_ptr<T>, in one run.
// Prints the ratio of the two costs; the aim is at most 0.5.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "runtime/object.h"

namespace {
class C_Payload : public brek::Brek_object {
  BREK_CLASS(C_Payload)
 public:
  int value = 1;
};

struct Plain {
  int value = 1;
};

constexpr int kCopies = 64;

void BM_ref_copy_release(benchmark::State& state) {
  auto obj = brek::make<C_Payload>();
  for (auto _ : state) {
    for (int i = 0; i < kCopies; ++i) {
      brek::Ref<C_Payload> copy = obj;
      benchmark::DoNotOptimize(copy);
    }
  }
}
BENCHMARK(BM_ref_copy_release);

void BM_shared_ptr_copy_release(benchmark::State& state) {
  auto obj = std::make_shared<Plain>();
  for (auto _ : state) {
    for (int i = 0; i < kCopies; ++i) {
      std::shared_ptr<Plain> copy = obj;
      benchmark::DoNotOptimize(copy);
    }
  }
}
BENCHMARK(BM_shared_ptr_copy_release);

void BM_make_ref(benchmark::State& state) {
  for (auto _ : state) {
    auto r = brek::make<C_Payload>();
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_make_ref);

void BM_make_shared(benchmark::State& state) {
  for (auto _ : state) {
    auto r = std::make_shared<Plain>();
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_make_shared);

// Collects the per-iteration times to print the ratios at the end.
class Ratio_reporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs) times_[r.benchmark_name()] = r.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void print_ratios() {
    auto ratio = [&](const char* a, const char* b) {
      if (times_.count(a) && times_.count(b) && times_[b] > 0)
        std::printf("ratio %s / %s = %.3f\n", a, b, times_[a] / times_[b]);
    };
    ratio("BM_ref_copy_release", "BM_shared_ptr_copy_release");
    ratio("BM_make_ref", "BM_make_shared");
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
