// Decoding a 24-megapixel JPEG photograph at full size and at 1/8 into a
// new bitmap each time, as opening a picture does, against libjpeg-turbo
// alone decoding the same bytes (integer DCT, same scale) into a fresh heap
// buffer in the same process. Two files: one without restart markers (as
// most programs write) and one with a marker after every MCU row (as many
// cameras write). Rounds are interleaved; wall time and the CPU time of
// the whole process (every thread) are compared. Aims: wall <= 1.0 and
// CPU <= 1.1 for each.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_pictures.h"
#include "bench/ratio_reporter.h"
#include "drawing/pixel_memory.h"
#include "drawing/pixels.h"
#include "images/jpeg_codec.h"

namespace {

std::string g_dir;
std::string g_plain, g_restarts;

void make_photos() {
  const int w = 6000, h = 4000;
  brek::Pixels p = brek_bench::photo(w, h);
  g_dir = brek_bench::temp_dir("jpeg-bench");
  g_plain = g_dir + "/photo.jpg";
  g_restarts = g_dir + "/camera.jpg";
  const std::vector<uint8_t> plain = brek_bench::libjpeg_encode(p, 90, 0);
  const std::vector<uint8_t> restarts = brek_bench::libjpeg_encode(p, 90, 1);
  brek_bench::write_file(g_plain, plain);
  brek_bench::write_file(g_restarts, restarts);
  std::printf("test photograph: %dx%d, %zu bytes; with a restart marker a row: %zu bytes\n", w, h, plain.size(),
              restarts.size());
}

void ours(benchmark::State& state, const std::string& file, int factor) {
  for (auto _ : state) {
    std::vector<uint8_t> bytes = brek_bench::read_file(file);
    brek::Pixels p;
    brek::Jpeg_codec::decode(bytes.data(), bytes.size(), factor, p);
    benchmark::DoNotOptimize(p.words());
  }
}

void libjpeg(benchmark::State& state, const std::string& file, int factor) {
  for (auto _ : state) {
    std::vector<uint8_t> bytes = brek_bench::read_file(file);
    brek_bench::Plain_picture p;
    brek_bench::libjpeg_decode(bytes, factor, p);
    benchmark::DoNotOptimize(p.data());
  }
}

void BM_ours_full(benchmark::State& s) { ours(s, g_plain, 1); }
void BM_libjpeg_full(benchmark::State& s) { libjpeg(s, g_plain, 1); }
void BM_ours_eighth(benchmark::State& s) { ours(s, g_plain, 8); }
void BM_libjpeg_eighth(benchmark::State& s) { libjpeg(s, g_plain, 8); }
void BM_ours_full_restarts(benchmark::State& s) { ours(s, g_restarts, 1); }
void BM_libjpeg_full_restarts(benchmark::State& s) { libjpeg(s, g_restarts, 1); }
void BM_ours_eighth_restarts(benchmark::State& s) { ours(s, g_restarts, 8); }
void BM_libjpeg_eighth_restarts(benchmark::State& s) { libjpeg(s, g_restarts, 8); }
#define CLOCKS ->UseRealTime()->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond)->MinTime(0.5)
BENCHMARK(BM_ours_full) CLOCKS;
BENCHMARK(BM_libjpeg_full) CLOCKS;
BENCHMARK(BM_ours_eighth) CLOCKS;
BENCHMARK(BM_libjpeg_eighth) CLOCKS;
BENCHMARK(BM_ours_full_restarts) CLOCKS;
BENCHMARK(BM_libjpeg_full_restarts) CLOCKS;
BENCHMARK(BM_ours_eighth_restarts) CLOCKS;
BENCHMARK(BM_libjpeg_eighth_restarts) CLOCKS;
#undef CLOCKS

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> args = brek_bench::with_repetitions(argc, argv);
  int n = int(args.size());
  benchmark::Initialize(&n, args.data());
  make_photos();
  brek_bench::Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  brek_bench::Ratio_reporter::print_reference(
      "libjpeg-turbo alone in this process: the same bytes, scale and integer DCT, into a fresh heap buffer; "
      "CPU is the process's, all threads");
  std::printf("transparent huge pages: %s\n",
              brek::Pixel_memory::huge_pages_offered() ? "offered" : "not offered (4 KiB pages)");
  const char* aim = "aim wall <= 1.0, CPU <= 1.1";
  reporter.print_ratios("BM_ours_full", "BM_libjpeg_full", aim);
  reporter.print_ratios("BM_ours_eighth", "BM_libjpeg_eighth", aim);
  reporter.print_ratios("BM_ours_full_restarts", "BM_libjpeg_full_restarts", aim);
  reporter.print_ratios("BM_ours_eighth_restarts", "BM_libjpeg_eighth_restarts", aim);
  benchmark::Shutdown();
  std::remove(g_plain.c_str());
  std::remove(g_restarts.c_str());
  rmdir(g_dir.c_str());
  return 0;
}
