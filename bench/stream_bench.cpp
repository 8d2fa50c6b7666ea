// Reading a 64 MiB file through C_File_stream against stdio, in one run:
// byte by byte (read_byte against getc_unlocked, stdio's own buffered byte
// read without a lock per call) and in 64 KiB pieces (read_into against
// 64 KiB freads). Prints the ratios; the aims are at most 2 for single
// bytes and 1.1 for large reads.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "baselib/file_stream.h"

namespace {

constexpr int64_t kFileSize = int64_t(64) << 20;
constexpr int64_t kPiece = 65536;

std::string g_path;

void make_file() {
  const char* base = std::getenv("TMPDIR");
  std::string dir = std::string(base && *base ? base : "/tmp") + "/stream-bench-XXXXXX";
  if (!mkdtemp(dir.data())) std::abort();
  g_path = dir + "/data.bin";
  std::vector<unsigned char> chunk(1 << 20);
  for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<unsigned char>(i * 2654435761u >> 24);
  FILE* f = std::fopen(g_path.c_str(), "wb");
  for (int64_t i = 0; i < kFileSize; i += static_cast<int64_t>(chunk.size())) std::fwrite(chunk.data(), 1, chunk.size(), f);
  std::fclose(f);
}

void remove_file() {
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(g_path).parent_path(), ec);
}

void BM_file_stream_read_byte(benchmark::State& state) {
  for (auto _ : state) {
    auto f = brek::C_File_stream::open_read(g_path);
    uint64_t sum = 0;
    for (int64_t i = 0; i < kFileSize; ++i) sum += static_cast<uint64_t>(f->read_byte());
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}
BENCHMARK(BM_file_stream_read_byte)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_getc_unlocked_byte(benchmark::State& state) {
  for (auto _ : state) {
    FILE* f = std::fopen(g_path.c_str(), "rb");
    uint64_t sum = 0;
    for (int64_t i = 0; i < kFileSize; ++i) {
      const int c = getc_unlocked(f);
      if (c != EOF) sum += static_cast<uint64_t>(c);
    }
    std::fclose(f);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}
BENCHMARK(BM_getc_unlocked_byte)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_file_stream_read_64k(benchmark::State& state) {
  brek::DynAByte piece;
  piece.set_length(kPiece);
  for (auto _ : state) {
    auto f = brek::C_File_stream::open_read(g_path);
    uint64_t sum = 0;
    while (int64_t n = f->read_into(piece)) sum += piece.data()[n - 1];
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}
BENCHMARK(BM_file_stream_read_64k)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_fread_64k(benchmark::State& state) {
  std::vector<unsigned char> piece(kPiece);
  for (auto _ : state) {
    FILE* f = std::fopen(g_path.c_str(), "rb");
    uint64_t sum = 0;
    while (size_t n = std::fread(piece.data(), 1, piece.size(), f)) sum += piece[n - 1];
    std::fclose(f);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}
BENCHMARK(BM_fread_64k)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();


}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> args = brek_bench::with_repetitions(argc, argv);
  int n = int(args.size());
  benchmark::Initialize(&n, args.data());
  make_file();
  brek_bench::Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  brek_bench::Ratio_reporter::print_reference("stdio: getc_unlocked byte by byte, fread 64 KiB at a time");
  reporter.print_ratios("BM_file_stream_read_byte", "BM_getc_unlocked_byte", "aim <= 2.0");
  reporter.print_ratios("BM_file_stream_read_64k", "BM_fread_64k", "aim <= 1.1");
  remove_file();
  benchmark::Shutdown();
  return 0;
}
