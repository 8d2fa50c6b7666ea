#include "drawing/bitmap.h"

#include <algorithm>
#include <cstring>

#include "drawing/brek_drawing.h"
#include "runtime/runtime_services.h"
#include "runtime/strings.h"

namespace brek {

namespace {

bool kept_depth(int64_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

// Tiles keep both pictures in cache while a quarter turn walks one of them
// across its rows.
constexpr int TILE = 64;

}  // namespace

C_Bitmap::~C_Bitmap() = default;

int64_t C_Bitmap::depth_for(int64_t bits) {
  if (kept_depth(bits)) return bits;
  if (bits == 0) return 24;  // the default depth on Linux
  return 32;
}

Ref<C_Bitmap> C_Bitmap::create(int64_t width, int64_t height, int64_t bits) {
  return make<C_Bitmap>(width, height, depth_for(bits));
}

void C_Bitmap::make_native(bool opaque) {
  native = std::make_unique<Native_bitmap>();
  native->opaque = opaque;
  native->owner = Weak<C_Bitmap>(Ref<C_Bitmap>(this));
  if (!C_Brek_drawing::set_bitmap_size(*native, width, height)) {
    // Nothing is allocated for a size that is not positive or too large:
    // the bitmap is empty and says so.
    width = 0;
    height = 0;
  }
}

void C_Bitmap::init() {
  if (is_none()) return;
  make_native(C_Brek_drawing::depth_is_opaque(bits));
}

void C_Bitmap::destroy_hook() {
  settle();
  canvas_obj.reset();
  saved_canvas.reset();
  native.reset();
  Brek_object::destroy_hook();
}

void C_Bitmap::set_size(int64_t w, int64_t h) {
  if (is_none() || !native) return;
  settle();
  if (w <= 0) w = 1;
  if (h <= 0) h = 1;
  width = w;
  height = h;
  if (!C_Brek_drawing::set_bitmap_size(*native, w, h)) {
    width = 0;
    height = 0;
  }
}

Ref<C_Canvas> C_Bitmap::canvas() {
  if (is_none()) return Ref<C_Canvas>();
  settle();
  if (canvas_obj.is_none()) canvas_obj = C_Canvas::create_on_bitmap(Ref<C_Bitmap>(this));
  return canvas_obj;
}

void C_Bitmap::draw_at(const Ref<C_Canvas>& target, const point& p) {
  if (is_none() || !native || target.is_none()) return;
  settle();
  // At the size of what is shown (an animation's frame may differ from the
  // colour pixels).
  const Pixels& shown = native->shown();
  const rect at = C_Brek_drawing::picture_box(*target, rect{p.x, p.y, 0, 0});
  const point size = C_Brek_drawing::picture_size(*target, double(shown.width()), double(shown.height()));
  C_Brek_drawing::draw_bitmap(*target, size.y, size.x, at.y, at.x, native.get());
}

void C_Bitmap::stretch_draw(const Ref<C_Canvas>& target, const rect& r) {
  if (is_none() || !native || target.is_none()) return;
  settle();
  const rect box = C_Brek_drawing::picture_box(*target, r);
  C_Brek_drawing::draw_bitmap(*target, box.h, box.w, box.y, box.x, native.get());
}

void C_Bitmap::stretch_draw(const Ref<C_Canvas>& target, const rect& r, const rect& within) {
  if (is_none() || !native || target.is_none()) return;
  settle();
  const rect box = C_Brek_drawing::picture_box(*target, r);
  const rect clip = C_Brek_drawing::picture_box(*target, within);
  C_Brek_drawing::draw_bitmap(*target, box.h, box.w, box.y, box.x, native.get(), &clip);
}

Ref<C_Bitmap> C_Bitmap::rotated(bool mirror_h, bool mirror_v, int64_t angle, bool invert, bool ticking) {
  if (is_none() || !native) return Ref<C_Bitmap>();
  settle();
  int32_t a = Brek_runtime::int_mod(int32_t(angle + 360), 360);
  if (a != 0 && a != 90 && a != 180 && a != 270) return Ref<C_Bitmap>();
  const Pixels& src = native->colour;
  int W = src.width(), H = src.height();
  bool turn = a == 90 || a == 270;
  int64_t w2 = turn ? H : W, h2 = turn ? W : H;
  // A picture with alpha keeps it: the new bitmap takes the source's depth
  // then, the default depth otherwise.
  Ref<C_Bitmap> out = create(w2, h2, has_alpha() ? 32 : 0);
  Pixels* dst = out->pixels();
  if (!dst || dst->empty() || src.empty()) return out;
  int DW = dst->width(), DH = dst->height();
  if ((turn ? H : W) != DW || (turn ? W : H) != DH) return out;
  uint32_t force = out->has_alpha() ? 0 : 0xFF000000u;
  // The colour channels flipped, alpha kept (or forced opaque), as
  // inverted() gives them.
  uint32_t flip = invert ? 0x00FFFFFFu : 0;
  for (int ty = 0; ty < H; ty += TILE) {
    for (int tx = 0; tx < W; tx += TILE) {
      int ey = std::min(H, ty + TILE), ex = std::min(W, tx + TILE);
      for (int y = ty; y < ey; ++y) {
        const uint32_t* s = src.row(y);
        for (int x = tx; x < ex; ++x) {
          int dx, dy;
          switch (a) {
            case 90: dx = H - 1 - y; dy = x; break;
            case 180: dx = W - 1 - x; dy = H - 1 - y; break;
            case 270: dx = y; dy = W - 1 - x; break;
            default: dx = x; dy = y; break;
          }
          if (mirror_h) dx = DW - 1 - dx;
          if (mirror_v) dy = DH - 1 - dy;
          dst->row(dy)[dx] = (s[x] ^ flip) | force;
        }
        if (ticking) Brek_runtime::loop_tick();
      }
    }
  }
  return out;
}

Ref<C_Bitmap> C_Bitmap::inverted(bool ticking) {
  if (is_none() || !native) return Ref<C_Bitmap>();
  settle();
  Ref<C_Bitmap> out = create(width, height, has_alpha() ? 32 : 0);
  Pixels* dst = out->pixels();
  const Pixels& src = native->colour;
  if (!dst || dst->empty() || src.width() != dst->width() || src.height() != dst->height()) return out;
  uint32_t keep = out->has_alpha() ? 0xFF000000u : 0;
  uint32_t force = out->has_alpha() ? 0 : 0xFF000000u;
  const uint32_t* s = src.words();
  uint32_t* d = dst->words();
  const size_t n = size_t(src.width()) * size_t(src.height());
  // A tick a tile's row: as often as a turn ticks.
  for (size_t at = 0; at < n; at += TILE) {
    const size_t end = std::min(n, at + TILE);
    for (size_t i = at; i < end; ++i) d[i] = ((~s[i]) & 0x00FFFFFFu) | (s[i] & keep) | force;
    if (ticking) Brek_runtime::loop_tick();
  }
  return out;
}

bool C_Bitmap::extension_loadable(const std::string& ext) {
  std::string e = Brek_runtime::upper_case(ext);
  return e == "BMP" || e == "JPG" || e == "JPEG" || e == "ICO" || e == "CUR" || e == "GIF";
}

bool C_Bitmap::extension_savable(const std::string& ext) {
  return ext == "BMP" || ext == "JPG" || ext == "JPEG" || ext == "GIF";
}

bool C_Bitmap::paste_from_clipboard() {
  if (is_none() || !native) return false;
  settle();
  return C_Brek_drawing::paste_from_clipboard(*native);
}

bool C_Bitmap::copy_to_clipboard() {
  if (is_none() || !native) return false;
  settle();
  return C_Brek_drawing::copy_to_clipboard(*native);
}

Pixels* C_Bitmap::pixels() { return native ? &native->colour : nullptr; }
const Pixels* C_Bitmap::pixels() const { return native ? &native->colour : nullptr; }

void C_Bitmap::take_pixel_size() {
  if (is_none() || !native) return;
  width = native->colour.width();
  height = native->colour.height();
  if (native->alpha &&
      (native->alpha->width() != native->colour.width() || native->alpha->height() != native->colour.height()))
    native->alpha.reset();
}

// ---- C_Icon -----------------------------------------------------------------------

namespace {
C_Icon::File_decoder g_icon_decoder = nullptr;
}

void C_Icon::set_file_decoder(File_decoder decoder) { g_icon_decoder = decoder; }
C_Icon::File_decoder C_Icon::file_decoder() { return g_icon_decoder; }

Ref<C_Icon> C_Icon::create(int64_t width, int64_t height, int64_t bits) {
  auto icon = make<C_Icon>();
  icon->bits = kept_depth(bits) ? bits : 32;
  icon->set_size(width, height);
  return icon;
}

void C_Icon::init() {
  if (is_none()) return;
  make_native(false);
}

Ref<C_Icon> C_Icon::load_from_file(const std::string& path, Load_failure* why) {
  Ref<C_Icon> icon = create(1, 1, 32);
  if (!g_icon_decoder || !icon->native) return Ref<C_Icon>();
  Pixels loaded;
  bool ok = false;
  try {
    ok = g_icon_decoder(path, loaded, why);
  } catch (...) {
    ok = false;
  }
  if (!ok || loaded.empty()) return Ref<C_Icon>();
  icon->native->colour = std::move(loaded);
  icon->take_pixel_size();
  return icon;
}

}  // namespace brek
