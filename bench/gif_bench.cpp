// Decoding and composing every frame of a 200-frame 640x480 animation and
// of one 4000x3000 still, with the program's own GIF reader against giflib
// (DGifSlurp plus a plain composition into the same 32-bit pixels), in one
// run. Prints the ratios; the aim is at most 1.2.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "drawing/pixels.h"
#include "images/gif.h"

namespace {

std::vector<uint8_t> g_animation;
std::vector<uint8_t> g_still;

// ---- making the files with giflib's encoder ----------------------------------

int write_vector(GifFileType* gif, const GifByteType* data, int n) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + n);
  return n;
}

// 16 levels of red by 16 of green, a little blue: 256 colours.
ColorMapObject* make_colormap() {
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  for (int i = 0; i < 256; ++i) {
    map->Colors[i].Red = static_cast<GifByteType>((i & 15) * 17);
    map->Colors[i].Green = static_cast<GifByteType>((i >> 4) * 17);
    map->Colors[i].Blue = static_cast<GifByteType>(((i >> 2) & 3) * 60);
  }
  return map;
}

// A smooth picture quantised with an ordered dither, as GIF encoders make
// them from photographs and renderings; a disc moves over it.
void paint(std::vector<uint8_t>& px, int w, int h, int frame) {
  static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  const int cx = 80 + (frame * 7) % (w - 160), cy = h / 2 + ((frame * 5) % 120) - 60;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int d = bayer[y & 3][x & 3];
      int r = ((x + frame * 3) % w) * 255 / w, g = y * 255 / h;
      if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < 60 * 60) r = 255 - r, g = 255 - g;
      int ri = std::min(15, (r * 15 + d * 16) / 255), gi = std::min(15, (g * 15 + d * 16) / 255);
      px[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(gi * 16 + ri);
    }
  }
}

std::vector<uint8_t> encode(int w, int h, int frames) {
  std::vector<uint8_t> out;
  int err = 0;
  GifFileType* gif = EGifOpen(&out, write_vector, &err);
  EGifSetGifVersion(gif, true);
  ColorMapObject* map = make_colormap();
  EGifPutScreenDesc(gif, w, h, 8, 0, map);
  std::vector<uint8_t> px(static_cast<size_t>(w) * h), prev, line(static_cast<size_t>(w));
  for (int f = 0; f < frames; ++f) {
    paint(px, w, h, f);
    // Every other frame keeps only what changed, the rest transparent, as
    // optimised animations do.
    bool sparse = f % 2 == 1;
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSE_DO_NOT;
    gcb.DelayTime = 4;
    gcb.TransparentColor = sparse ? 255 : NO_TRANSPARENT_COLOR;
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
    EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr);
    for (int y = 0; y < h; ++y) {
      const uint8_t* row = px.data() + static_cast<size_t>(y) * w;
      for (int x = 0; x < w; ++x) {
        uint8_t v = row[x] == 255 ? 254 : row[x];
        line[static_cast<size_t>(x)] = (sparse && prev[static_cast<size_t>(y) * w + x] == row[x]) ? 255 : v;
      }
      EGifPutLine(gif, line.data(), w);
    }
    prev = px;
  }
  EGifCloseFile(gif, &err);
  GifFreeMapObject(map);
  return out;
}

// ---- giflib: DGifSlurp and a plain composition --------------------------------

struct Reader {
  const std::vector<uint8_t>* bytes;
  size_t pos = 0;
};
int read_vector(GifFileType* gif, GifByteType* buf, int n) {
  auto* r = static_cast<Reader*>(gif->UserData);
  size_t k = std::min<size_t>(static_cast<size_t>(n), r->bytes->size() - r->pos);
  std::memcpy(buf, r->bytes->data() + r->pos, k);
  r->pos += k;
  return static_cast<int>(k);
}

// Composes every frame into canvas; returns a checksum of the frames.
uint64_t giflib_frames(const std::vector<uint8_t>& bytes, brek::Pixels& canvas) {
  Reader r{&bytes};
  int err = 0;
  GifFileType* gif = DGifOpen(&r, read_vector, &err);
  if (!gif || DGifSlurp(gif) != GIF_OK) return 0;
  const ColorMapObject* global = gif->SColorMap;
  uint32_t back = 0xFF000000u;
  if (global && gif->SBackGroundColor < global->ColorCount) {
    const GifColorType& c = global->Colors[gif->SBackGroundColor];
    back = brek::Pixels::bgra(c.Blue, c.Green, c.Red);
  }
  canvas.resize(gif->SWidth, gif->SHeight, back);
  brek::Pixels saved;
  uint64_t sum = 0;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& im = gif->SavedImages[i];
    const GifImageDesc& d = im.ImageDesc;
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(gif, i, &gcb);
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : global;
    uint32_t table[256];
    std::fill_n(table, 256, brek::Pixels::bgra(128, 128, 128));
    for (int k = 0; map && k < map->ColorCount && k < 256; ++k)
      table[k] = brek::Pixels::bgra(map->Colors[k].Blue, map->Colors[k].Green, map->Colors[k].Red);
    if (gcb.DisposalMode == DISPOSE_PREVIOUS) saved = canvas;
    const int x0 = std::max(0, d.Left), y0 = std::max(0, d.Top);
    const int x1 = std::min(canvas.width(), d.Left + d.Width), y1 = std::min(canvas.height(), d.Top + d.Height);
    const int t = gcb.TransparentColor;
    for (int y = y0; y < y1; ++y) {
      const uint8_t* src = im.RasterBits + static_cast<size_t>(y - d.Top) * d.Width - d.Left;
      uint32_t* dst = canvas.row(y);
      for (int x = x0; x < x1; ++x)
        if (src[x] != t) dst[x] = table[src[x]];
    }
    sum += canvas.row(canvas.height() / 2)[canvas.width() / 2];
    if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
      for (int y = y0; y < y1; ++y) std::fill(canvas.row(y) + x0, canvas.row(y) + x1, back);
    } else if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
      canvas = saved;
    }
  }
  DGifCloseFile(gif, &err);
  return sum;
}

uint64_t own_frames(const std::vector<uint8_t>& bytes) {
  brek::Ref<brek::C_Gif> gif = brek::C_Gif::load_from_bytes(bytes.data(), static_cast<int64_t>(bytes.size()));
  uint64_t sum = 0;
  for (int64_t i = 0; i < gif->frame_count(); ++i) {
    gif->set_current_frame(i);
    const brek::Pixels& p = gif->render_current_frame();
    sum += p.row(p.height() / 2)[p.width() / 2];
  }
  return sum;
}

void BM_own_animation(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(own_frames(g_animation));
  state.SetItemsProcessed(state.iterations() * 200);
}
BENCHMARK(BM_own_animation)->Unit(benchmark::kMillisecond);

void BM_giflib_animation(benchmark::State& state) {
  brek::Pixels canvas;
  for (auto _ : state) benchmark::DoNotOptimize(giflib_frames(g_animation, canvas));
  state.SetItemsProcessed(state.iterations() * 200);
}
BENCHMARK(BM_giflib_animation)->Unit(benchmark::kMillisecond);

void BM_own_still(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(own_frames(g_still));
}
BENCHMARK(BM_own_still)->Unit(benchmark::kMillisecond);

void BM_giflib_still(benchmark::State& state) {
  brek::Pixels canvas;
  for (auto _ : state) benchmark::DoNotOptimize(giflib_frames(g_still, canvas));
}
BENCHMARK(BM_giflib_still)->Unit(benchmark::kMillisecond);


}  // namespace

int main(int argc, char** argv) {
  g_animation = encode(640, 480, 200);
  g_still = encode(4000, 3000, 1);
  std::printf("animation: 200 frames of 640x480, %zu bytes; still: 4000x3000, %zu bytes\n",
              g_animation.size(), g_still.size());
  // Both sides must see the same pictures.
  brek::Pixels canvas;
  if (own_frames(g_animation) != giflib_frames(g_animation, canvas) ||
      own_frames(g_still) != giflib_frames(g_still, canvas)) {
    std::printf("the two decoders disagree\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  brek_bench::Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_ratio("BM_own_animation", "BM_giflib_animation");
  reporter.print_ratio("BM_own_still", "BM_giflib_still");
  benchmark::Shutdown();
  return 0;
}
