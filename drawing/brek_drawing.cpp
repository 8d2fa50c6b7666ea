#include "drawing/brek_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "drawing/bitmap.h"
#include "drawing/font.h"
#include "drawing/native_bitmap.h"
#include "drawing/pixel_math.h"
#include "platform/painter.h"

namespace brek {

namespace bp = brek_platform;

namespace {

// A canvas's state made ready for one drawing call: the colour target and,
// when the canvas keeps one, the alpha plane with its own pen and brush.
struct Prepared {
  Native_bitmap* nb = nullptr;
  bp::Target target;
  bp::Draw_state state;
  bool has_alpha = false;
  bp::Target alpha_target;
  bp::Draw_state alpha_state;
  int dpi = 96;
  units_measure_graphics units = units_measure_graphics::POINTS;

  int px(double v) const { return Draw_units::to_pixels(v, units, dpi); }

  template <class F>
  void both(F f) const {
    f(target, state);
    if (has_alpha) f(alpha_target, alpha_state);
  }
};

bool linear_identity(const float* m) { return m[0] == 1 && m[1] == 0 && m[2] == 0 && m[3] == 1; }
bool all_zero(const float* m) {
  for (int i = 0; i < 6; ++i)
    if (m[i] != 0) return false;
  return true;
}

// Applies the canvas state (steps: surface, transform, pen and brush,
// clip, alpha plane). False when there is nothing to draw on.
bool prepare(C_Canvas& c, Prepared& p) {
  if (c.is_none()) return false;
  Native_bitmap* nb = c.native_surface();
  if (!nb || !nb->drawable()) return false;
  p.nb = nb;
  p.target = nb->target();
  p.dpi = bp::target_dpi_x(p.target);
  p.units = c.units;

  const float* m = nb->xform;
  bp::Draw_state& s = p.state;
  if (!all_zero(m)) s.xform = bp::Xform{m[0], m[1], m[2], m[3], m[4], m[5]};

  s.pen_color = Colors::rgb(c.pen_color);
  s.pen_width = Pixel_math::trunc(c.pen_width);
  s.pen_clear = c.pen_style == pen_style::CLEAR_PEN;
  s.brush_color = Colors::rgb(c.brush_color);
  int bs = int(c.brush_style);
  s.brush = bs >= 0 && bs <= 7 ? bp::brush_kind(bs) : bp::brush_kind::SOLID;

  if (nb->printer == 0) {
    const rect& r = c.clip_rect;
    if (r.w == 0 && r.h == 0) {
      nb->clip_on = false;
    } else if (all_zero(m) || linear_identity(m)) {
      // Only a translation moves the clip; under any other transform the
      // clip set last stays.
      int ox = all_zero(m) ? 0 : Pixel_math::round_even(m[4]);
      int oy = all_zero(m) ? 0 : Pixel_math::round_even(m[5]);
      int l = p.px(r.x) + ox, t = p.px(r.y) + oy;
      int rr = l + p.px(r.w), bb = t + p.px(r.h);
      nb->clip_on = true;
      nb->clip_left = std::min(l, rr);
      nb->clip_right = std::max(l, rr);
      nb->clip_top = std::min(t, bb);
      nb->clip_bottom = std::max(t, bb);
    }
    s.clip = nb->clip_on;
    s.clip_left = nb->clip_left;
    s.clip_top = nb->clip_top;
    s.clip_right = nb->clip_right;
    s.clip_bottom = nb->clip_bottom;
  }

  if (c.alpha_plane && nb->printer == 0 && !nb->opaque && !nb->colour.empty()) {
    if (!nb->alpha || nb->alpha->width() != nb->colour.width() || nb->alpha->height() != nb->colour.height())
      nb->alpha = std::make_unique<Pixels>(nb->colour.width(), nb->colour.height(), 0xFF000000u);
    p.has_alpha = !nb->alpha->empty();
    p.alpha_target = nb->alpha_target();
    p.alpha_state = s;
    p.alpha_state.clip = false;
    p.alpha_state.pen_color = uint32_t(Colors::alpha(c.pen_color));
    p.alpha_state.brush_color = uint32_t(Colors::alpha(c.brush_color));
  } else {
    nb->alpha.reset();
  }
  return true;
}

// The pending transform multiplied by t from the left (t acts first).
void left_multiply(Native_bitmap& nb, double t11, double t12, double t21, double t22, double tdx, double tdy) {
  float* m = nb.xform;
  double o11 = m[0], o12 = m[1], o21 = m[2], o22 = m[3], odx = m[4], ody = m[5];
  if (all_zero(m)) {
    o11 = o22 = 1;
    o12 = o21 = odx = ody = 0;
  }
  double n[6] = {t11 * o11 + t12 * o21, t11 * o12 + t12 * o22, t21 * o11 + t22 * o21,
                 t21 * o12 + t22 * o22, tdx * o11 + tdy * o21 + odx, tdx * o12 + tdy * o22 + ody};
  for (int i = 0; i < 6; ++i) m[i] = std::isfinite(n[i]) ? float(n[i]) : 0.0f;
}

// ---- pixel copies done in memory ------------------------------------------

struct Box {
  int l, t, r, b;
  bool empty() const { return r <= l || b <= t; }
  Box cut(const Box& o) const { return Box{std::max(l, o.l), std::max(t, o.t), std::min(r, o.r), std::min(b, o.b)}; }
};

// Copies src box sb onto dst box db (nearest pixels when the sizes differ),
// limited to `limit` on the destination. Rows are moved with memmove in
// an order that is safe when source and destination share memory.
void copy_block(Pixels& dst, bool dst_opaque, const Box& limit, const Box& db, const Pixels& src, bool src_opaque,
                const Box& sb) {
  int dw = db.r - db.l, dh = db.b - db.t, sw = sb.r - sb.l, sh = sb.b - sb.t;
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || dst.empty() || src.empty()) return;
  Box vis = db.cut(limit).cut(Box{0, 0, dst.width(), dst.height()});
  if (vis.empty()) return;
  uint32_t force = (dst_opaque && !src_opaque) ? 0xFF000000u : 0;
  if (dw == sw && dh == sh) {
    // Source pixels that exist, moved by the offset.
    int ox = sb.l - db.l, oy = sb.t - db.t;
    Box s_in_d = Box{-ox, -oy, src.width() - ox, src.height() - oy};
    vis = vis.cut(s_in_d);
    if (vis.empty()) return;
    size_t n = size_t(vis.r - vis.l) * 4;
    bool same = dst.words() == src.words();
    auto move_row = [&](int y) {
      uint32_t* d = dst.row(y) + vis.l;
      const uint32_t* s = src.row(y + oy) + vis.l + ox;
      std::memmove(d, s, n);
      if (force)
        for (int x = 0; x < vis.r - vis.l; ++x) d[x] |= force;
    };
    if (same && oy < 0) {
      for (int y = vis.b - 1; y >= vis.t; --y) move_row(y);
    } else {
      for (int y = vis.t; y < vis.b; ++y) move_row(y);
    }
    return;
  }
  // Stretched: read from a private copy when the memory is shared.
  Pixels scratch;
  const Pixels* from = &src;
  if (dst.words() == src.words()) {
    scratch = src;
    from = &scratch;
  }
  std::vector<int> xs(size_t(vis.r - vis.l));
  for (int x = vis.l; x < vis.r; ++x) xs[size_t(x - vis.l)] = sb.l + int(int64_t(x - db.l) * sw / dw);
  for (int y = vis.t; y < vis.b; ++y) {
    int sy = sb.t + int(int64_t(y - db.t) * sh / dh);
    if (sy < 0 || sy >= from->height()) continue;
    uint32_t* d = dst.row(y);
    const uint32_t* s = from->row(sy);
    for (int x = vis.l; x < vis.r; ++x) {
      int sx = xs[size_t(x - vis.l)];
      if (sx >= 0 && sx < from->width()) d[x] = s[sx] | force;
    }
  }
}

const Pixels* picture_of(Native_bitmap& nb) { return &nb.shown(); }

// Narrows the state's clip to a box given before the world transform: the
// box's corners as the transform places them (a quarter turn or a scale
// keeps a box a box).
void narrow_clip(bp::Draw_state& s, const rect& box) {
  const bp::Xform& m = s.xform;
  double l = 0, t = 0, r = 0, b = 0;
  for (int i = 0; i < 4; ++i) {
    const double x = box.x + (i & 1 ? box.w : 0), y = box.y + (i & 2 ? box.h : 0);
    const double dx = x * m.m11 + y * m.m21 + m.dx, dy = x * m.m12 + y * m.m22 + m.dy;
    l = i == 0 ? dx : std::min(l, dx);
    r = i == 0 ? dx : std::max(r, dx);
    t = i == 0 ? dy : std::min(t, dy);
    b = i == 0 ? dy : std::max(b, dy);
  }
  int cl = Pixel_math::round_even(l), ct = Pixel_math::round_even(t);
  int cr = Pixel_math::round_even(r), cb = Pixel_math::round_even(b);
  if (s.clip) {
    cl = std::max(cl, s.clip_left);
    ct = std::max(ct, s.clip_top);
    cr = std::min(cr, s.clip_right);
    cb = std::min(cb, s.clip_bottom);
  }
  s.clip = true;
  s.clip_left = cl;
  s.clip_top = ct;
  s.clip_right = std::max(cl, cr);
  s.clip_bottom = std::max(ct, cb);
}

}  // namespace

// ---- canvas state and shapes ------------------------------------------------------

Native_bitmap* C_Brek_drawing::canvas_attach(C_Canvas& canvas, C_Bitmap& bitmap) {
  Native_bitmap* nb = bitmap.native.get();
  if (nb) nb->canvas = Weak<C_Canvas>(Ref<C_Canvas>(&canvas));
  return nb;
}

void C_Brek_drawing::fill_rect(C_Canvas& canvas, const rect& r) {
  Prepared p;
  if (!prepare(canvas, p)) return;
  int l = p.px(r.x), t = p.px(r.y), rr = p.px(r.x + r.w), b = p.px(r.y + r.h);
  p.both([&](const bp::Target& t2, const bp::Draw_state& s) { bp::fill_rect(t2, s, l, t, rr, b); });
}

void C_Brek_drawing::rectangle(C_Canvas& canvas, const rect& r) {
  Prepared p;
  if (!prepare(canvas, p)) return;
  int l = p.px(r.x), t = p.px(r.y), rr = p.px(r.x + r.w), b = p.px(r.y + r.h);
  p.both([&](const bp::Target& t2, const bp::Draw_state& s) {
    // The outlined box fills its inside itself.
    if (s.pen_clear)
      bp::fill_rect(t2, s, l, t, rr, b);
    else
      bp::rectangle(t2, s, l, t, rr, b);
  });
}

void C_Brek_drawing::line(C_Canvas& canvas, const point& p1, const point& p2) {
  Prepared p;
  if (!prepare(canvas, p)) return;
  int x1 = p.px(p1.x), y1 = p.px(p1.y), x2 = p.px(p2.x), y2 = p.px(p2.y);
  p.both([&](const bp::Target& t, const bp::Draw_state& s) { bp::line(t, s, x1, y1, x2, y2); });
}

void C_Brek_drawing::ellipse(C_Canvas& canvas, const rect& r) {
  Prepared p;
  if (!prepare(canvas, p)) return;
  int l = p.px(r.x), t = p.px(r.y), rr = p.px(r.x + r.w) + 1, b = p.px(r.y + r.h) + 1;
  p.both([&](const bp::Target& t2, const bp::Draw_state& s) { bp::ellipse(t2, s, l, t, rr, b); });
}

void C_Brek_drawing::arc(C_Canvas& canvas, const rect& r, double a, double b, bool pie) {
  Prepared p;
  if (!prepare(canvas, p)) return;
  int l = p.px(r.x), t = p.px(r.y), rr = p.px(r.x + r.w), bb = p.px(r.y + r.h);
  int cx = (l + rr) / 2, cy = (t + bb) / 2;
  double rb = b * M_PI / 180, ra = a * M_PI / 180;
  int xs = cx + Pixel_math::trunc(100 * std::cos(rb)), ys = cy + Pixel_math::trunc(100 * std::sin(rb));
  int xe = cx + Pixel_math::trunc(100 * std::cos(ra)), ye = cy + Pixel_math::trunc(100 * std::sin(ra));
  p.both([&](const bp::Target& t2, const bp::Draw_state& s) { bp::arc(t2, s, l, t, rr, bb, xs, ys, xe, ye, pie); });
}

void C_Brek_drawing::polygon(C_Canvas& canvas, const DynAReal& xs, const DynAReal& ys, bool closed) {
  Prepared p;
  if (!prepare(canvas, p)) return;
  int64_t n = std::min(xs.count(), ys.count());
  if (n <= 0) return;
  std::vector<int> xy(size_t(n) * 2);
  for (int64_t i = 0; i < n; ++i) {
    xy[size_t(2 * i)] = p.px(xs.get(i));
    xy[size_t(2 * i + 1)] = p.px(ys.get(i));
  }
  p.both([&](const bp::Target& t, const bp::Draw_state& s) { bp::polygon(t, s, xy.data(), int(n), closed); });
}

void C_Brek_drawing::text_out(C_Canvas& canvas, const std::string& text, const point& pt) {
  Prepared p;
  if (!prepare(canvas, p)) return;
  canvas.font->apply();
  bp::Font_desc f = canvas.font->desc_at(p.dpi);
  int x = p.px(pt.x), y = p.px(pt.y);
  // Text is clipped like every shape: to the clip in force, transform
  // offset included.
  bp::text_out(p.target, p.state, f, x, y, text, Colors::rgb(canvas.pen_color));
  if (p.has_alpha)
    bp::text_out(p.alpha_target, p.alpha_state, f, x, y, text, uint32_t(Colors::alpha(canvas.pen_color)));
}

void C_Brek_drawing::text_with_font(C_Canvas& canvas, const std::string& text, rect& out) {
  out = rect{};
  Prepared p;
  if (!prepare(canvas, p)) return;
  canvas.font->apply();
  bp::Font_desc f = canvas.font->desc_at(p.dpi);
  bp::Extent e = bp::text_extent(p.target, f, text);
  out.w = Draw_units::from_pixels(e.width, p.units, p.dpi);
  out.h = Draw_units::from_pixels(e.height, p.units, p.dpi);
}

void C_Brek_drawing::copy_rect(C_Canvas& dest, const rect& dr, C_Canvas& source, const rect& sr) {
  Prepared pd, ps;
  if (!prepare(dest, pd) || !prepare(source, ps)) return;
  Box db{Pixel_math::trunc(dr.x), Pixel_math::trunc(dr.y), Pixel_math::trunc(dr.x + dr.w),
         Pixel_math::trunc(dr.y + dr.h)};
  Box sb{Pixel_math::trunc(sr.x), Pixel_math::trunc(sr.y), Pixel_math::trunc(sr.x + sr.w),
         Pixel_math::trunc(sr.y + sr.h)};
  if (db.r < db.l) std::swap(db.l, db.r);
  if (db.b < db.t) std::swap(db.t, db.b);
  if (sb.r < sb.l) std::swap(sb.l, sb.r);
  if (sb.b < sb.t) std::swap(sb.t, sb.b);
  Native_bitmap& dn = *pd.nb;
  Native_bitmap& sn = *ps.nb;
  if (sn.printer != 0 || sn.colour.empty()) return;
  const float* m = dn.xform;
  if (dn.printer == 0 && (all_zero(m) || linear_identity(m))) {
    // In memory: a translation at most, so rows move as they are.
    int ox = all_zero(m) ? 0 : Pixel_math::round_even(m[4]);
    int oy = all_zero(m) ? 0 : Pixel_math::round_even(m[5]);
    Box moved{db.l + ox, db.t + oy, db.r + ox, db.b + oy};
    Box limit = pd.state.clip ? Box{pd.state.clip_left, pd.state.clip_top, pd.state.clip_right, pd.state.clip_bottom}
                              : Box{INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2};
    copy_block(dn.colour, dn.opaque, limit, moved, sn.colour, sn.opaque, sb);
  } else {
    bp::copy_pixels(pd.target, pd.state, db.l, db.t, db.r, db.b, sn.raster(), sb.l, sb.t, sb.r, sb.b);
  }
  if (pd.has_alpha) {
    if (sn.alpha) {
      bp::copy_pixels(pd.alpha_target, pd.alpha_state, db.l, db.t, db.r, db.b, Native_bitmap::raster_of(*sn.alpha, true),
                      sb.l, sb.t, sb.r, sb.b);
    } else {
      bp::Draw_state white = pd.alpha_state;
      white.brush = bp::brush_kind::SOLID;
      white.brush_color = 0xFFFFFF;
      bp::fill_rect(pd.alpha_target, white, db.l, db.t, db.r, db.b);
    }
  }
}

rect C_Brek_drawing::picture_box(C_Canvas& canvas, const rect& r) {
  Native_bitmap* nb = canvas.native_surface();
  if (nb && nb->printer != 0) {
    const bp::Target t = nb->target();
    const double kx = bp::target_dpi_x(t) / 72.0, ky = bp::target_dpi_y(t) / 72.0;
    auto pt = [&](double v) { return C_Canvas::convert_units(v, canvas.units, units_measure_graphics::POINTS); };
    return rect{pt(r.x) * kx, pt(r.y) * ky, pt(r.w) * kx, pt(r.h) * ky};
  }
  auto px = [&](double v) { return C_Canvas::convert_units(v, canvas.units, units_measure_graphics::PIXELS); };
  return rect{px(r.x), px(r.y), px(r.w), px(r.h)};
}

point C_Brek_drawing::picture_size(C_Canvas& canvas, double w, double h) {
  Native_bitmap* nb = canvas.native_surface();
  if (!nb || nb->printer == 0) return point{w, h};
  // Pixels of the screen become pixels of the page.
  const bp::Target t = nb->target();
  const double screen = bp::screen_dpi();
  return point{w * bp::target_dpi_x(t) / screen, h * bp::target_dpi_y(t) / screen};
}

void C_Brek_drawing::draw_bitmap(C_Canvas& canvas, double h, double w, double y, double x, Native_bitmap* source,
                                 const rect* within) {
  if (!source) return;
  Prepared p;
  if (!prepare(canvas, p)) return;
  const Pixels* pic = picture_of(*source);
  if (pic->empty()) return;
  // Animation frames carry alpha; the colour pixels are opaque unless 32-bit.
  bool opaque = pic == &source->colour ? source->opaque : false;
  // Drawn onto itself: read from a copy.
  Pixels own_copy;
  if (p.nb == source || (p.target.raster.bits && p.target.raster.bits == pic->bytes())) {
    own_copy = *pic;
    pic = &own_copy;
  }
  if (within) {
    narrow_clip(p.state, *within);
    if (p.has_alpha) narrow_clip(p.alpha_state, *within);
  }
  bp::Raster src = Native_bitmap::raster_of(*pic, opaque);
  bp::stretch_mode mode =
      canvas.quality == quality_drawing_lines_shapes::LOW ? bp::stretch_mode::PLAIN : bp::stretch_mode::HALFTONE;
  const bool unscaled = !source->animation && w == pic->width() && h == pic->height();
  const int l = Pixel_math::round_even(x), t = Pixel_math::round_even(y);
  const int r = unscaled ? l + pic->width() : Pixel_math::round_even(x + w);
  const int b = unscaled ? t + pic->height() : Pixel_math::round_even(y + h);
  bp::draw_picture(p.target, p.state, src, l, t, r, b, unscaled, mode);
  if (p.has_alpha) {
    bp::Draw_state white = p.alpha_state;
    white.brush = bp::brush_kind::SOLID;
    white.brush_color = 0xFFFFFF;
    bp::fill_rect(p.alpha_target, white, l, t, r, b);
  }
}

void C_Brek_drawing::reset_transform(C_Canvas& canvas) {
  if (canvas.is_none()) return;
  Native_bitmap* nb = canvas.native_surface();
  if (!nb) return;
  float id[6] = {1, 0, 0, 1, 0, 0};
  std::memcpy(nb->xform, id, sizeof id);
}

void C_Brek_drawing::translate_transform(C_Canvas& canvas, double dx, double dy) {
  if (canvas.is_none()) return;
  Native_bitmap* nb = canvas.native_surface();
  if (!nb || !nb->drawable()) return;
  int dpi = bp::target_dpi_x(nb->target());
  left_multiply(*nb, 1, 0, 0, 1, Draw_units::to_pixels(dx, canvas.units, dpi),
                Draw_units::to_pixels(dy, canvas.units, dpi));
}

void C_Brek_drawing::rotate_transform(C_Canvas& canvas, double angle) {
  if (canvas.is_none() || !std::isfinite(angle)) return;
  Native_bitmap* nb = canvas.native_surface();
  if (!nb || !nb->drawable()) return;
  double t = angle * M_PI / 180;
  left_multiply(*nb, std::cos(t), std::sin(t), -std::sin(t), std::cos(t), 0, 0);
}

void C_Brek_drawing::scale_transform(C_Canvas& canvas, double sx, double sy) {
  if (canvas.is_none() || !std::isfinite(sx) || !std::isfinite(sy)) return;
  Native_bitmap* nb = canvas.native_surface();
  if (!nb || !nb->drawable()) return;
  left_multiply(*nb, sx, 0, 0, sy, 0, 0);
}

// ---- bitmaps --------------------------------------------------------------------

bool C_Brek_drawing::set_bitmap_size(Native_bitmap& nb, int64_t width, int64_t height) {
  if (!Pixels::size_allowed(width, height)) {
    nb.colour.clear();
    nb.alpha.reset();
    return false;
  }
  int w = int(width), h = int(height);
  if (nb.colour.width() == w && nb.colour.height() == h) return true;
  // The picture keeps its top-left part, as a resized bitmap does.
  Pixels grown(w, h, nb.opaque ? 0xFF000000u : 0xFF000000u);
  int cw = std::min(w, nb.colour.width()), ch = std::min(h, nb.colour.height());
  for (int y = 0; y < ch; ++y) std::memcpy(grown.row(y), nb.colour.row(y), size_t(cw) * 4);
  nb.colour = std::move(grown);
  if (nb.alpha) {
    Pixels plane(w, h, 0xFF000000u);
    int aw = std::min(w, nb.alpha->width()), ah = std::min(h, nb.alpha->height());
    for (int y = 0; y < ah; ++y) std::memcpy(plane.row(y), nb.alpha->row(y), size_t(aw) * 4);
    *nb.alpha = std::move(plane);
  }
  return true;
}

bool C_Brek_drawing::paste_from_clipboard(Native_bitmap& nb) {
  Pixels fresh;
  bool opaque = nb.opaque;
  bool ok = bp::clipboard_get_image([&](int w, int h) {
    if (!fresh.resize(w, h)) return bp::Raster{};
    return Native_bitmap::raster_of(fresh, opaque);
  });
  if (!ok || fresh.empty()) return false;
  nb.colour = std::move(fresh);
  nb.alpha.reset();
  Ref<C_Bitmap> owner = nb.owner.lock();
  if (!owner.is_none()) {
    owner->width = nb.colour.width();
    owner->height = nb.colour.height();
  }
  return true;
}

bool C_Brek_drawing::copy_to_clipboard(Native_bitmap& nb) {
  bp::clipboard_set_image(nb.raster());
  return true;
}

}  // namespace brek
