// Writing GIF files: the LZW compression of a 2000x1500 picture of 256
// colours, and the whole save of a 2000x1500 full-colour picture (colour
// reduction, compression, file), with the program's writer against giflib
// (EGifPutLine, and GifQuantizeBuffer plus EGifPutLine) in one run. Prints
// the ratios (medians of the repetitions) and the sizes of the files.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "drawing/pixels.h"
#include "images/gif_writer.h"
#include "images/lzw_encoder.h"

namespace {

const int W = 2000, H = 1500;
std::vector<uint8_t> g_indexes;  // W x H, a dithered rendering
brek::Pixels g_photo;            // W x H, smooth full colour

void make_inputs() {
  static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  g_indexes.resize(size_t(W) * H);
  g_photo = brek::Pixels(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const int d = bayer[y & 3][x & 3];
      const int r = x * 255 / W, g = y * 255 / H;
      const int ri = std::min(15, (r * 15 + d * 16) / 255), gi = std::min(15, (g * 15 + d * 16) / 255);
      g_indexes[size_t(y) * W + x] = uint8_t(gi * 16 + ri);
      const int dx = x - W / 2, dy = y - H / 2;
      const int b = (dx * dx + dy * dy) / 4000 % 256;
      g_photo.set(x, y, brek::Pixels::bgra(uint8_t(b), uint8_t(g), uint8_t(r)));
    }
}

int write_vector(GifFileType* gif, const GifByteType* data, int n) {
  static_cast<std::vector<uint8_t>*>(gif->UserData)->insert(
      static_cast<std::vector<uint8_t>*>(gif->UserData)->end(), data, data + n);
  return n;
}

// giflib writing a one-image file of the indexes with the colour map.
std::vector<uint8_t> giflib_file(const uint8_t* indexes, const GifColorType* colours) {
  std::vector<uint8_t> out;
  int err = 0;
  GifFileType* gif = EGifOpen(&out, write_vector, &err);
  ColorMapObject* map = GifMakeMapObject(256, colours);
  EGifPutScreenDesc(gif, W, H, 8, 0, map);
  EGifPutImageDesc(gif, 0, 0, W, H, false, nullptr);
  for (int y = 0; y < H; ++y) EGifPutLine(gif, const_cast<GifPixelType*>(indexes + size_t(y) * W), W);
  EGifCloseFile(gif, &err);
  GifFreeMapObject(map);
  return out;
}

std::vector<GifColorType> grey_map() {
  std::vector<GifColorType> c(256);
  for (int i = 0; i < 256; ++i) c[size_t(i)] = {GifByteType(i), GifByteType(i), GifByteType(i)};
  return c;
}

void BM_own_lzw(benchmark::State& state) {
  std::vector<uint8_t> out;
  for (auto _ : state) {
    out.clear();
    brek::RxGIF::lzw_encode(out, g_indexes.data(), W, H, 8, false);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_own_lzw)->Unit(benchmark::kMillisecond);

void BM_giflib_lzw(benchmark::State& state) {
  const auto map = grey_map();
  for (auto _ : state) benchmark::DoNotOptimize(giflib_file(g_indexes.data(), map.data()).size());
}
BENCHMARK(BM_giflib_lzw)->Unit(benchmark::kMillisecond);

std::vector<uint8_t> own_save() {
  brek::Ref<brek::TGIFImage> gif = brek::TGIFImage::create();
  gif->assign(g_photo, 24);
  return gif->write_data();
}

std::vector<uint8_t> giflib_save() {
  const size_t n = size_t(W) * H;
  std::vector<GifByteType> r(n), g(n), b(n), out(n);
  const uint32_t* px = g_photo.words();
  for (size_t i = 0; i < n; ++i) {
    r[i] = brek::Pixels::red(px[i]);
    g[i] = brek::Pixels::green(px[i]);
    b[i] = brek::Pixels::blue(px[i]);
  }
  int size = 256;
  std::vector<GifColorType> map(256);
  GifQuantizeBuffer(W, H, &size, r.data(), g.data(), b.data(), out.data(), map.data());
  return giflib_file(out.data(), map.data());
}

void BM_own_save(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(own_save().size());
}
BENCHMARK(BM_own_save)->Unit(benchmark::kMillisecond);

void BM_giflib_save(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(giflib_save().size());
}
BENCHMARK(BM_giflib_save)->Unit(benchmark::kMillisecond);


}  // namespace

int main(int argc, char** argv) {
  make_inputs();
  std::printf("reference: giflib %d.%d.%d, EGifPutLine; for the save GifQuantizeBuffer plus EGifPutLine\n",
              GIFLIB_MAJOR, GIFLIB_MINOR, GIFLIB_RELEASE);
  std::vector<uint8_t> own;
  brek::RxGIF::lzw_encode(own, g_indexes.data(), W, H, 8, false);
  const auto map = grey_map();
  std::printf("compressed 2000x1500 indexes: own %zu bytes, giflib file %zu bytes\n", own.size(),
              giflib_file(g_indexes.data(), map.data()).size());
  std::printf("saved 2000x1500 full colour: own %zu bytes, giflib %zu bytes\n", own_save().size(),
              giflib_save().size());
  std::vector<char*> args = brek_bench::with_repetitions(argc, argv);
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  // Processor time: on a busy machine the waits for a processor would
  // weigh on whichever side they fall.
  brek_bench::Ratio_reporter reporter(brek_bench::Ratio_reporter::Clock::CPU);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_ratio("BM_own_lzw", "BM_giflib_lzw");
  reporter.print_ratio("BM_own_save", "BM_giflib_save", "aim <= 1.2");
  benchmark::Shutdown();
  return 0;
}
