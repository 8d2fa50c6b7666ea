// Decoding a 24-megapixel JPEG photograph at full size and at 1/8, against
// djpeg (the library's own command-line decoder) with the same scale and
// the integer DCT, in one run. The headline is the decode into a new
// bitmap, as opening a picture does: its 96 MB of fresh memory must not
// cost more than the decode. Prints the ratios (medians of 5 rounds); the
// aim is at most 1.1.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_pictures.h"
#include "bench/ratio_reporter.h"
#include "drawing/pixel_memory.h"
#include "drawing/pixels.h"
#include "images/jpeg_codec.h"

extern char** environ;

namespace {

std::string g_dir;
std::string g_file;

// A photograph-like picture: smooth light, texture and sharp edges.
void make_photo() {
  const int w = 6000, h = 4000;
  brek::Pixels p = brek_bench::photo(w, h);
  std::vector<uint8_t> jpeg;
  brek::Jpeg_codec::encode(p, 90, jpeg);
  g_dir = brek_bench::temp_dir("jpeg-bench");
  g_file = g_dir + "/photo.jpg";
  FILE* f = std::fopen(g_file.c_str(), "wb");
  std::fwrite(jpeg.data(), 1, jpeg.size(), f);
  std::fclose(f);
  std::printf("test photograph: %dx%d, %zu bytes\n", w, h, jpeg.size());
}

std::vector<uint8_t> read_all(const std::string& path) {
  std::vector<uint8_t> bytes;
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return bytes;
  off_t size = lseek(fd, 0, SEEK_END);
  bytes.resize(size_t(size));
  ssize_t got = pread(fd, bytes.data(), bytes.size(), 0);
  close(fd);
  bytes.resize(got > 0 ? size_t(got) : 0);
  return bytes;
}

// Decodes into a new bitmap each time (`fresh`), as opening a picture
// does, so the kernel's handing out of new pages is counted; or into one
// bitmap again and again, as a viewer that kept its buffer would.
void ours(benchmark::State& state, int factor, bool fresh = false) {
  brek::Pixels kept;
  for (auto _ : state) {
    std::vector<uint8_t> bytes = read_all(g_file);
    brek::Pixels p;
    brek::Pixels& target = fresh ? p : kept;
    brek::Jpeg_codec::decode(bytes.data(), bytes.size(), factor, target);
    benchmark::DoNotOptimize(target.words());
  }
}

void djpeg(benchmark::State& state, int factor) {
  std::string scale = "1/" + std::to_string(factor);
  for (auto _ : state) {
    const char* argv[] = {"djpeg", "-dct", "int", "-scale", scale.c_str(), "-outfile", "/dev/null",
                          g_file.c_str(), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, "djpeg", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      state.SkipWithError("djpeg not found");
      return;
    }
    int status;
    waitpid(pid, &status, 0);
  }
}

void BM_decode_full(benchmark::State& s) { ours(s, 1); }
void BM_djpeg_full(benchmark::State& s) { djpeg(s, 1); }
void BM_decode_full_fresh_bitmap(benchmark::State& s) { ours(s, 1, true); }
void BM_decode_eighth(benchmark::State& s) { ours(s, 8); }
void BM_djpeg_eighth(benchmark::State& s) { djpeg(s, 8); }
#define ROUNDS ->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(5)->ReportAggregatesOnly(true)
BENCHMARK(BM_decode_full_fresh_bitmap) ROUNDS;
BENCHMARK(BM_djpeg_full) ROUNDS;
BENCHMARK(BM_decode_full) ROUNDS;
BENCHMARK(BM_decode_eighth) ROUNDS;
BENCHMARK(BM_djpeg_eighth) ROUNDS;
#undef ROUNDS


}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  make_photo();
  brek_bench::Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  brek_bench::Ratio_reporter::print_reference(
      "djpeg -dct int -scale 1/N on one thread, output to /dev/null (ours reads large baseline files on two)");
  std::printf("transparent huge pages: %s\n",
              brek::Pixel_memory::huge_pages_offered() ? "offered" : "not offered (4 KiB pages)");
  reporter.print_ratio("BM_decode_full_fresh_bitmap", "BM_djpeg_full", "headline, aim <= 1.1");
  reporter.print_ratio("BM_decode_full", "BM_djpeg_full", "aim <= 1.1");
  reporter.print_ratio("BM_decode_eighth", "BM_djpeg_eighth", "aim <= 1.1");
  benchmark::Shutdown();
  std::remove(g_file.c_str());
  rmdir(g_dir.c_str());
  return 0;
}
