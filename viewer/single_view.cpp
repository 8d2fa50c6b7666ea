#include "viewer/single_view.h"

#include <algorithm>
#include <cmath>

#include "baselib/mathematics.h"
#include "runtime/strings.h"

namespace brek::Single_view {

double clamp_scale(double scale) {
  if (std::isnan(scale)) return 1.0;
  return std::clamp(scale, MIN_SCALE, MAX_SCALE);
}

bool pointer_inside(double box_w, double box_h, double inner, const point& p) {
  double l = inner, t = inner, r = box_w - inner, b = box_h - inner;
  return l <= p.x && p.x <= r && t <= p.y && p.y <= b;
}

double pan(double w, double d, double p, double m) {
  if (d <= w) return (w - d) / 2;
  double span = w - 10 * m;
  double x;
  if (span > 0) {
    x = (p - 5 * m) * (w - d) / span;
  } else {
    // The window is narrower than the two pan margins: the pointer's
    // place across the whole window decides.
    double f = w > 0 ? p / w : 0;
    if (std::isnan(f)) f = 0;
    x = std::clamp(f, 0.0, 1.0) * (w - d);
  }
  if (std::isnan(x) || x > 0) x = 0;
  if (x + d < w) x = w - d;
  return x;
}

Placement place(const Input& in) {
  Placement out;
  const double W = in.box_w, H = in.box_h, w = in.pic_w, h = in.pic_h;
  if (!(w > 0) || !(h > 0)) return out;
  const double s = clamp_scale(in.scale);
  const bool inside = pointer_inside(W, H, in.inner, in.pointer);

  double k;
  if (!inside || (w * s < W && h * s < H) || in.ctrl) {
    out.fitted = true;
    if (W - w >= 0 && H - h >= 0 && s <= 1.0 && !in.ctrl)
      k = 1.0;
    else
      k = std::min(W / w, H / h);
    if (!Mathematics::approx_equal(s, 1.0) && inside && !in.ctrl) k = s;
  } else {
    out.fitted = false;
    k = s;
  }
  if (!(k > 0)) k = 0;
  // However the zoom came about, the stretched picture keeps a bounded size.
  double longest = std::max(w, h) * k;
  if (longest > MAX_SIDE) k = MAX_SIDE / std::max(w, h);
  out.factor = k;

  const double dw = double(Brek_runtime::to_int64_checked(w * k));
  const double dh = double(Brek_runtime::to_int64_checked(h * k));
  const double m = in.margin;
  if (out.fitted) {
    out.r = rect{(W - dw) / 2, (H - dh) / 2, dw, dh};
    if (in.ctrl && dw > 3 * m && dh > 3 * m) out.r = C_Geometry::rect_inflate(out.r, -m, -m);
  } else {
    out.r = rect{pan(W, dw, in.pointer.x, m), pan(H, dh, in.pointer.y, m), dw, dh};
  }
  return out;
}

int64_t take_notches(double& rest, double amount) {
  if (!std::isfinite(amount) || amount == 0) return 0;
  if (rest != 0 && (rest < 0) != (amount < 0)) rest = 0;
  rest += amount;
  // The small turns of a touchpad need not add up to a notch exactly.
  const double n = std::trunc(rest / WHEEL_NOTCH + (rest < 0 ? -1e-9 : 1e-9));
  rest -= n * WHEEL_NOTCH;
  if (std::fabs(rest) < 1e-9) rest = 0;
  return int64_t(std::clamp(n, -double(MAX_NOTCHES), double(MAX_NOTCHES)));
}

}  // namespace brek::Single_view
