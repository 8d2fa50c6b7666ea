// Copying and releasing a Ref<T> against std::shared_ptr<T>, in one run.
// Prints the ratio of the two costs; the aim is at most 0.5.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "bench/ratio_reporter.h"
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

// An object released while a weak reference still names it: the weak
// reference then reads the class's None (here through a scratch copy).
void BM_release_with_weak_ref(benchmark::State& state) {
  for (auto _ : state) {
    auto r = brek::make<C_Payload>();
    brek::Weak<C_Payload> w = r;
    r.reset();
    benchmark::DoNotOptimize(w->value);
  }
}
BENCHMARK(BM_release_with_weak_ref);

void BM_release_with_weak_ptr(benchmark::State& state) {
  for (auto _ : state) {
    auto r = std::make_shared<Plain>();
    std::weak_ptr<Plain> w = r;
    r.reset();
    benchmark::DoNotOptimize(w.expired());
  }
}
BENCHMARK(BM_release_with_weak_ptr);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  brek_bench::Ratio_reporter reporter(brek_bench::Ratio_reporter::Clock::CPU);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  brek_bench::Ratio_reporter::print_reference("std::shared_ptr copies and std::make_shared");
  reporter.print_ratio("BM_ref_copy_release", "BM_shared_ptr_copy_release", "aim <= 0.5");
  reporter.print_ratio("BM_make_ref", "BM_make_shared");
  reporter.print_ratio("BM_release_with_weak_ref", "BM_release_with_weak_ptr");
  benchmark::Shutdown();
  return 0;
}
