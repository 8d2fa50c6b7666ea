// Decoding and composing every frame of a 200-frame 640x480 animation and
// of one 4000x3000 still, with the program's own GIF reader against giflib
// (DGifSlurp plus the same composition by rows into the same 32-bit
// pixels), in one run. The animation runs through all four disposals,
// with full and partial frames, transparent pixels in half of them. Before
// timing, every frame of both is compared pixel for pixel. Prints the
// ratios (medians of the repetitions); the aim is at most 0.8.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
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

// Frame f's disposal cycles through unspecified, leave, background and
// previous; every fifth frame covers the screen, the others a part of it
// that moves; every other frame leaves unchanged pixels transparent (255).
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
    const bool full = f % 5 == 0 || frames == 1;
    const bool sparse = f % 2 == 1 && !prev.empty();
    const int fw = full ? w : w / 2, fh = full ? h : h / 2;
    const int left = full ? 0 : (f * 37) % (w - fw), top = full ? 0 : (f * 23) % (h - fh);
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = frames == 1 ? DISPOSAL_UNSPECIFIED : (f + 1) % 4;
    gcb.DelayTime = 4;
    gcb.TransparentColor = sparse ? 255 : NO_TRANSPARENT_COLOR;
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
    EGifPutImageDesc(gif, left, top, fw, fh, false, nullptr);
    for (int y = top; y < top + fh; ++y) {
      const uint8_t* row = px.data() + static_cast<size_t>(y) * w;
      for (int x = left; x < left + fw; ++x) {
        uint8_t v = row[x] == 255 ? 254 : row[x];
        line[static_cast<size_t>(x - left)] =
            (sparse && prev[static_cast<size_t>(y) * w + x] == row[x]) ? 255 : v;
      }
      EGifPutLine(gif, line.data(), fw);
    }
    prev = px;
  }
  EGifCloseFile(gif, &err);
  GifFreeMapObject(map);
  return out;
}

// ---- giflib: DGifSlurp and the same composition ------------------------------

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

// giflib's frames composed one after another as the own reader composes
// them: by rows, each frame's disposal applied to its own rectangle before
// the next is drawn, only the rectangle kept for "restore previous".
class Giflib_frames {
 public:
  explicit Giflib_frames(const std::vector<uint8_t>& bytes) : reader_{&bytes} {
    int err = 0;
    gif_ = DGifOpen(&reader_, read_vector, &err);
    if (gif_ && DGifSlurp(gif_) != GIF_OK) {
      DGifCloseFile(gif_, &err);
      gif_ = nullptr;
    }
    if (!gif_) return;
    const ColorMapObject* global = gif_->SColorMap;
    if (global && gif_->SBackGroundColor < global->ColorCount) {
      const GifColorType& c = global->Colors[gif_->SBackGroundColor];
      back_ = brek::Pixels::bgra(c.Blue, c.Green, c.Red);
    }
    canvas_.resize(gif_->SWidth, gif_->SHeight, back_);
  }
  ~Giflib_frames() {
    int err = 0;
    if (gif_) DGifCloseFile(gif_, &err);
  }
  int count() const { return gif_ ? gif_->ImageCount : 0; }
  const brek::Pixels& canvas() const { return canvas_; }

  // Ends frame i - 1 by its disposal and draws frame i.
  void draw(int i) {
    if (i > 0) dispose(i - 1);
    const SavedImage& im = gif_->SavedImages[i];
    const GifImageDesc& d = im.ImageDesc;
    GraphicsControlBlock gcb = control(i);
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif_->SColorMap;
    uint32_t table[256];
    std::fill_n(table, 256, brek::Pixels::bgra(128, 128, 128));
    for (int k = 0; map && k < map->ColorCount && k < 256; ++k)
      table[k] = brek::Pixels::bgra(map->Colors[k].Blue, map->Colors[k].Green, map->Colors[k].Red);
    int x0, y0, x1, y1;
    if (!clip(d, x0, y0, x1, y1)) return;
    if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
      saved_.resize(x1 - x0, y1 - y0);
      for (int y = y0; y < y1; ++y)
        std::memcpy(saved_.row(y - y0), canvas_.row(y) + x0, static_cast<size_t>(x1 - x0) * 4);
    }
    const int t = gcb.TransparentColor;
    for (int y = y0; y < y1; ++y) {
      const uint8_t* src = im.RasterBits + static_cast<size_t>(y - d.Top) * d.Width - d.Left;
      uint32_t* dst = canvas_.row(y);
      if (t < 0) {
        for (int x = x0; x < x1; ++x) dst[x] = table[src[x]];
      } else {
        for (int x = x0; x < x1; ++x)
          if (src[x] != t) dst[x] = table[src[x]];
      }
    }
  }

 private:
  GraphicsControlBlock control(int i) const {
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(gif_, i, &gcb);
    return gcb;
  }
  bool clip(const GifImageDesc& d, int& x0, int& y0, int& x1, int& y1) const {
    x0 = std::max(0, d.Left), y0 = std::max(0, d.Top);
    x1 = std::min(canvas_.width(), d.Left + d.Width), y1 = std::min(canvas_.height(), d.Top + d.Height);
    return x0 < x1 && y0 < y1;
  }
  void dispose(int i) {
    const GifImageDesc& d = gif_->SavedImages[i].ImageDesc;
    int x0, y0, x1, y1;
    if (!clip(d, x0, y0, x1, y1)) return;
    const int mode = control(i).DisposalMode;
    if (mode == DISPOSE_BACKGROUND) {
      for (int y = y0; y < y1; ++y) std::fill(canvas_.row(y) + x0, canvas_.row(y) + x1, back_);
    } else if (mode == DISPOSE_PREVIOUS) {
      for (int y = y0; y < y1; ++y)
        std::memcpy(canvas_.row(y) + x0, saved_.row(y - y0), static_cast<size_t>(x1 - x0) * 4);
    }
  }

  Reader reader_;
  GifFileType* gif_ = nullptr;
  uint32_t back_ = 0xFF000000u;
  brek::Pixels canvas_, saved_;
};

uint64_t giflib_frames(const std::vector<uint8_t>& bytes) {
  Giflib_frames g(bytes);
  uint64_t sum = 0;
  for (int i = 0; i < g.count(); ++i) {
    g.draw(i);
    sum += g.canvas().row(g.canvas().height() / 2)[g.canvas().width() / 2];
  }
  return sum;
}

uint64_t own_frames(const std::vector<uint8_t>& bytes) {
  brek::Ref<brek::C_Gif> gif = brek::C_Gif::read_from_bytes(bytes.data(), static_cast<int64_t>(bytes.size()));
  uint64_t sum = 0;
  for (int64_t i = 0; i < gif->frame_count(); ++i) {
    gif->set_current_frame(i);
    const brek::Pixels& p = gif->render_current_frame();
    sum += p.row(p.height() / 2)[p.width() / 2];
  }
  return sum;
}

// Every pixel of every frame of both; false, saying where, at the first
// difference.
bool same_frames(const std::vector<uint8_t>& bytes, const char* name) {
  Giflib_frames g(bytes);
  brek::Ref<brek::C_Gif> gif = brek::C_Gif::read_from_bytes(bytes.data(), static_cast<int64_t>(bytes.size()));
  if (g.count() == 0 || gif->frame_count() != g.count()) {
    std::printf("%s: %lld frames, giflib %d\n", name, static_cast<long long>(gif->frame_count()), g.count());
    return false;
  }
  for (int i = 0; i < g.count(); ++i) {
    g.draw(i);
    gif->set_current_frame(i);
    if (!(gif->render_current_frame() == g.canvas())) {
      std::printf("%s: frame %d differs from giflib's\n", name, i);
      return false;
    }
  }
  std::printf("%s: all %d frames equal giflib's, pixel for pixel\n", name, g.count());
  return true;
}

void BM_own_animation(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(own_frames(g_animation));
  state.SetItemsProcessed(state.iterations() * 200);
}
BENCHMARK(BM_own_animation)->Unit(benchmark::kMillisecond);

void BM_giflib_animation(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(giflib_frames(g_animation));
  state.SetItemsProcessed(state.iterations() * 200);
}
BENCHMARK(BM_giflib_animation)->Unit(benchmark::kMillisecond);

void BM_own_still(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(own_frames(g_still));
}
BENCHMARK(BM_own_still)->Unit(benchmark::kMillisecond);

void BM_giflib_still(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(giflib_frames(g_still));
}
BENCHMARK(BM_giflib_still)->Unit(benchmark::kMillisecond);


}  // namespace

int main(int argc, char** argv) {
  g_animation = encode(640, 480, 200);
  g_still = encode(4000, 3000, 1);
  std::printf("reference: giflib %d.%d.%d DGifSlurp plus the same composition\n", GIFLIB_MAJOR, GIFLIB_MINOR,
              GIFLIB_RELEASE);
  std::printf("animation: 200 frames of 640x480, %zu bytes; still: 4000x3000, %zu bytes\n",
              g_animation.size(), g_still.size());
  if (!same_frames(g_animation, "animation") || !same_frames(g_still, "still")) return 1;
  std::vector<char*> args = brek_bench::with_repetitions(argc, argv);
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  // Processor time: on a busy machine the waits for a processor would
  // weigh on whichever side they fall.
  brek_bench::Ratio_reporter reporter(brek_bench::Ratio_reporter::Clock::CPU);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_ratio("BM_own_animation", "BM_giflib_animation", "aim <= 0.8");
  reporter.print_ratio("BM_own_still", "BM_giflib_still", "aim <= 0.8");
  benchmark::Shutdown();
  return 0;
}
