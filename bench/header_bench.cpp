// Reading the dimensions (and size and dates) of 10,000 image files of
// mixed formats from their headers into new image objects, against a bare C loop of open, a
// 512-byte read, fstat and close over the same files, in one run. Prints
// the ratio; the aim is at most 1.5.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "drawing/pixels.h"
#include "images/bmp_codec.h"
#include "images/image.h"
#include "images/jpeg_codec.h"

namespace {

std::string g_dir;
std::vector<std::string> g_files;

void put16le(std::string& s, uint32_t v) { s.push_back(char(v)); s.push_back(char(v >> 8)); }
void put32be(std::string& s, uint32_t v) {
  for (int i = 3; i >= 0; --i) s.push_back(char(v >> (8 * i)));
}

// One small file per format, written round-robin with varying sizes.
void make_files() {
  const char* base = std::getenv("TMPDIR");
  std::string t = std::string(base && *base ? base : "/tmp") + "/header-bench-XXXXXX";
  std::vector<char> buf(t.begin(), t.end());
  buf.push_back('\0');
  g_dir = mkdtemp(buf.data());
  brek::Pixels pic(40, 30);
  std::vector<uint8_t> jpeg;
  brek::Jpeg_codec::encode(pic, 90, jpeg);
  auto bmp = brek::Bmp_codec::encode24(pic);
  std::string gif = "GIF89a";
  put16le(gif, 40);
  put16le(gif, 30);
  gif.resize(800, '\0');
  std::string png = "\x89PNG\r\n\x1a\n";
  put32be(png, 13);
  png += "IHDR";
  put32be(png, 40);
  put32be(png, 30);
  png.resize(900, '\0');
  std::string ico = std::string("\0\0\1\0\1\0", 6) + "\x28\x1e";
  ico.resize(700, '\0');
  std::string pcx = {10, 5, 1, 8, 0, 0, 0, 0, 39, 0, 29, 0};
  pcx.resize(1000, '\0');
  std::string psd = std::string("8BPS\0\1", 6) + std::string(8, '\0');
  put32be(psd, 30);
  put32be(psd, 40);
  psd.resize(1200, '\0');
  std::string tga(12, '\0');
  put16le(tga, 40);
  put16le(tga, 30);
  tga.resize(3618, '\0');
  std::string tif = std::string("II*\0\x08\0\0\0", 8);
  tif += std::string("\x02\0", 2) + std::string("\0\x01\x03\0\x01\0\0\0\x28\0\0\0", 12) +
         std::string("\x01\x01\x03\0\x01\0\0\0\x1e\0\0\0", 12) + std::string(4, '\0');
  tif.resize(1500, '\0');
  std::vector<std::pair<std::string, std::string>> kinds = {
      {".jpg", std::string(jpeg.begin(), jpeg.end())}, {".bmp", std::string(bmp.begin(), bmp.end())},
      {".gif", gif}, {".png", png}, {".ico", ico}, {".pcx", pcx}, {".psd", psd}, {".tga", tga}, {".tif", tif}};
  for (int i = 0; i < 10000; ++i) {
    auto& [ext, bytes] = kinds[size_t(i) % kinds.size()];
    std::string name = g_dir + "/img" + std::to_string(i) + ext;
    FILE* f = std::fopen(name.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    g_files.push_back(name);
  }
}

void BM_header_dimensions(benchmark::State& state) {
  for (auto _ : state) {
    // A new image object per file, as a directory listing makes them.
    int64_t known = 0;
    for (const std::string& f : g_files) {
      brek::Ref<brek::C_Image> image = brek::C_Image::create();
      image->file_name = f;
      image->read_header_info(300, 200);
      known += image->width > 0;
    }
    if (known != int64_t(g_files.size())) state.SkipWithError("a header was not read");
  }
}
BENCHMARK(BM_header_dimensions)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_bare_open_read_fstat(benchmark::State& state) {
  char buf[512];
  for (auto _ : state) {
    int64_t bytes = 0;
    for (const std::string& f : g_files) {
      int fd = open(f.c_str(), O_RDONLY);
      if (fd < 0) continue;
      bytes += read(fd, buf, sizeof buf);
      struct stat st;
      fstat(fd, &st);
      bytes += st.st_size & 1;
      close(fd);
    }
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(BM_bare_open_read_fstat)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(0.5)->Repetitions(5)->ReportAggregatesOnly(true);


}  // namespace

int main(int argc, char** argv) {
  make_files();
  brek_bench::run_and_compare(argc, argv,
                              "a bare C loop of open, a 512-byte read, fstat and close over the same files",
                              "BM_header_dimensions", "BM_bare_open_read_fstat", "aim <= 1.5");
  std::error_code ec;
  std::filesystem::remove_all(g_dir, ec);
  return 0;
}
