#include "viewer/directory_view.h"

#include <algorithm>
#include <cmath>

#include "baselib/string_functions.h"

namespace brek::Directory_view {

namespace {

double sign(double v) { return v < 0 ? -1.0 : (v > 0 ? 1.0 : 0.0); }

}  // namespace

Fit fit(double pw, double ph, const rect& cell) {
  Fit f;
  f.source = rect{0, 0, pw, ph};
  if (!(pw > 0 && ph > 0 && cell.w > 0 && cell.h > 0)) return f;
  const double rx = pw / cell.w, ry = ph / cell.h;
  const double q = rx / ry;
  if (q >= 0.9 && q <= 1.1) return f;
  const double s = std::min(rx, ry);
  const double sw = s * cell.w, sh = s * cell.h;
  f.whole = false;
  f.source = rect{(pw - sw) / 2, (ph - sh) / 2, sw, sh};
  return f;
}

point next_caption_place(const point& at, double w, double h, double cell_bottom, double gap) {
  if (cell_bottom - (2 * h + at.y) >= 0) return point{at.x, at.y + h};
  return point{at.x + gap + w, at.y};
}

bool mark_drawn(const Mark& m, double h, double pointer_y) {
  if (m.y < h / 4 && !(pointer_y <= h / 4)) return false;
  if (m.y > h - h / 4 && !(pointer_y >= h - h / 4)) return false;
  return true;
}

std::string caption_name(const std::string& file_name, const std::string& scan_dir) {
  const std::string prefix = NATIVE_String_functions::with_trailing_separator(scan_dir);
  if (!scan_dir.empty() && NATIVE_String_functions::starts_with(file_name, prefix))
    return file_name.substr(prefix.size());
  return file_name;
}

std::string header_text(const std::string& dir, const std::string& root_dir, int64_t count) {
  std::string d = dir;
  if (!root_dir.empty()) {
    const std::string prefix = NATIVE_String_functions::with_trailing_separator(root_dir);
    if (NATIVE_String_functions::starts_with(d, prefix)) d = d.substr(prefix.size());
  }
  if (!d.empty() && d.back() == '/') d.pop_back();
  return d + " [" + std::to_string(count) + "]";
}

std::vector<Dash> dashes(const point& a, const point& b) {
  std::vector<Dash> out;
  const point s{sign(b.x - a.x), sign(b.y - a.y)};
  const double len = std::max(std::fabs(b.x - a.x), std::fabs(b.y - a.y));
  const double span = std::max(std::fabs(b.x - a.x), std::fabs(b.y - a.y) + 3.0);
  if (!std::isfinite(span)) return out;
  const int64_t n = int64_t(std::min(span, 1e6)) / 4;
  auto add = [&](double from, bool white) {
    if (from >= len) return;
    const double to = std::min(from + 2, len);
    out.push_back(Dash{point{a.x + from * s.x, a.y + from * s.y}, point{a.x + to * s.x, a.y + to * s.y}, white});
  };
  for (int64_t k = 0; k <= n; ++k) add(4.0 * double(k), true);
  for (int64_t k = 0; k <= n; ++k) add(4.0 * double(k) + 2, false);
  return out;
}

std::vector<Mark> scroll_marks(double w, double h, double scroll_y) {
  std::vector<Mark> marks;
  if (!(h > 40 && w > 90)) return marks;
  marks.push_back(Mark{w / 3 - 10, h - 14, 1});
  marks.push_back(Mark{w / 2, h - 14, 2});
  marks.push_back(Mark{2 * w / 3, h - 14, 4});
  if (scroll_y > 0) {
    marks.push_back(Mark{w / 3 - 10, 14, -1});
    marks.push_back(Mark{w / 2, 14, -2});
    marks.push_back(Mark{2 * w / 3, 14, -3});
  }
  return marks;
}

std::vector<std::array<point, 3>> chevrons(const Mark& m) {
  std::vector<std::array<point, 3>> out;
  const double step = double(m.step);
  const bool big = m.step == 4;
  const double s = big ? 1.25 : -3.0;
  const double t = big ? 2.75 : 0.75;
  std::array<point, 3> p;
  if (m.step > 0) {
    p = {point{m.x - 5, m.y - 5 - 4 * s}, point{m.x + 5, m.y - 5 - 4 * s}, point{m.x, m.y - 1 - 4 * s}};
  } else {
    p = {point{m.x - 5, m.y - 4 * step}, point{m.x + 5, m.y - 4 * step}, point{m.x, m.y - 4 - 4 * step}};
  }
  const int64_t n = std::min<int64_t>(std::llabs(m.step), 3);
  for (int64_t k = 0; k < n; ++k) {
    for (point& q : p) q.y += 2 * s + t;
    out.push_back(p);
  }
  return out;
}

rect indicator(double w, double h, double hp, double scroll_y, double layout_bottom) {
  rect r{w - 14, 0, 10, 0};
  if (!(layout_bottom > 0)) return r;
  r.y = h * scroll_y / layout_bottom;
  const double bottom = h * (hp + scroll_y) / layout_bottom - r.y;
  r.h = bottom > 0 ? bottom : 0;
  return r;
}

}  // namespace brek::Directory_view
