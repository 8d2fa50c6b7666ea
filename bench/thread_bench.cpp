// The cost of thread objects, in one run:
// - an unstarted C_Thread (image objects derive from it and are never
//   started, thousands at a time) against a plain object of the same size;
//   the aim is a ratio near 1;
// - starting a body and waiting for its end against a bare std::thread
//   started and joined; the aim is at most 1.5.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/ratio_reporter.h"
#include "baselib/thread.h"

namespace {

class C_Idle_job : public brek::C_Thread {
  BREK_CLASS(C_Idle_job)
 public:
  int64_t width = 0;
  void run() override { width = 1; }
};

// The same fields without the thread machinery.
class C_Plain_twin : public brek::Brek_object {
  BREK_CLASS(C_Plain_twin)
 public:
  void* record = nullptr;
  int64_t id = 0;
  bool started = false;
  bool stop_requested = false;
  int64_t width = 0;
};

void BM_unstarted_thread_object(benchmark::State& state) {
  for (auto _ : state) {
    auto r = brek::make<C_Idle_job>();
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_unstarted_thread_object);

void BM_plain_object(benchmark::State& state) {
  for (auto _ : state) {
    auto r = brek::make<C_Plain_twin>();
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_plain_object);

void BM_start_until_finished(benchmark::State& state) {
  for (auto _ : state) {
    auto job = brek::make<C_Idle_job>();
    brek::Ref<brek::C_Thread> t = job->start();
    while (!t->is_finished()) std::this_thread::yield();
  }
}
BENCHMARK(BM_start_until_finished)->UseRealTime();

void BM_std_thread_join(benchmark::State& state) {
  for (auto _ : state) {
    int64_t width = 0;
    std::thread t([&width] { width = 1; });
    t.join();
    benchmark::DoNotOptimize(width);
  }
}
BENCHMARK(BM_std_thread_join)->UseRealTime();


}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  brek_bench::Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  brek_bench::Ratio_reporter::print_reference("a plain object of the same size; a std::thread started and joined");
  reporter.print_ratio("BM_unstarted_thread_object", "BM_plain_object");
  reporter.print_ratio("BM_start_until_finished/real_time", "BM_std_thread_join/real_time");
  benchmark::Shutdown();
  return 0;
}
