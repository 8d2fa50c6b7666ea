#include "viewer/clipboard_images.h"

#include <algorithm>
#include <cmath>

#include "baselib/file_path.h"

namespace brek::Clipboard_images {

std::string next_free_name(const std::string& current_file, const std::function<bool(const std::string&)>& exists) {
  // Names with "<" stand for pictures that are no file.
  std::string base = current_file.empty() || current_file.find('<') != std::string::npos ? "0.jpg" : current_file;
  const std::string ext = File_path::extension_of(base);
  std::string stem = base.substr(0, base.size() - ext.size());

  int64_t number = 0, weight = 1;
  size_t digits = 0;
  while (!stem.empty() && stem.back() >= '0' && stem.back() <= '9') {
    // Digits beyond the largest number only make it larger: it saturates.
    if (weight <= MAX_NUMBER) number = std::min<int64_t>(MAX_NUMBER, number + (stem.back() - '0') * weight);
    if (weight <= MAX_NUMBER) weight *= 10;
    stem.pop_back();
    ++digits;
  }
  for (int64_t k = number + 1; k <= MAX_NUMBER; ++k) {
    std::string n = std::to_string(k);
    if (n.size() < digits) n.insert(0, digits - n.size(), '0');
    const std::string name = stem + n + ext;
    if (!exists(name)) return name;
  }
  return {};
}

rect normalized(const rect& r) {
  rect n = r;
  if (n.w < 0) {
    n.x += n.w;
    n.w = -n.w;
  }
  if (n.h < 0) {
    n.y += n.h;
    n.h = -n.h;
  }
  return n;
}

Cut cut_of(const rect& cut_px, const rect& image_rect, double pic_w, double pic_h) {
  Cut c;
  if (!(image_rect.w > 0) || !(image_rect.h > 0) || !(pic_w > 0) || !(pic_h > 0)) return c;
  const double left = std::max(cut_px.x, image_rect.x);
  const double top = std::max(cut_px.y, image_rect.y);
  const double right = std::min(cut_px.x + cut_px.w, image_rect.x + image_rect.w);
  const double bottom = std::min(cut_px.y + cut_px.h, image_rect.y + image_rect.h);
  if (!(right > left) || !(bottom > top)) return c;
  const double scale = pic_w / image_rect.w;
  rect s{std::max(0.0, (left - image_rect.x) * scale), std::max(0.0, (top - image_rect.y) * scale),
         (right - left) * scale, (bottom - top) * scale};
  s.w = std::min(s.w, pic_w - s.x);
  s.h = std::min(s.h, pic_h - s.y);
  if (!std::isfinite(s.w) || !std::isfinite(s.h) || s.w < 1 || s.h < 1) return c;
  c.source = s;
  c.width = int64_t(s.w);
  c.height = int64_t(s.h);
  return c;
}

}  // namespace brek::Clipboard_images
