#include "viewer/clipboard_images.h"

#include <algorithm>
#include <cmath>

#include "baselib/file_path.h"
#include "images/image_file_name.h"

namespace brek::Clipboard_images {

std::string incremented(std::string digits) {
  for (size_t i = digits.size(); i > 0; --i) {
    if (digits[i - 1] != '9') {
      ++digits[i - 1];
      return digits;
    }
    digits[i - 1] = '0';
  }
  return "1" + digits;
}

std::string fitted_name(std::string head, const std::string& tail) {
  const size_t name_start = head.rfind('/') + 1;  // 0 without a directory
  const size_t bytes = head.size() - name_start + tail.size();
  if (bytes > MAX_NAME_BYTES) {
    const size_t over = bytes - MAX_NAME_BYTES;
    if (over > head.size() - name_start) return {};
    size_t cut = head.size() - over;
    while (cut > name_start && (static_cast<unsigned char>(head[cut]) & 0xC0) == 0x80) --cut;
    head.erase(cut);
  }
  return head + tail;
}

std::string next_free_name(const std::string& current_file, const std::function<bool(const std::string&)>& exists) {
  std::string base = Image_file_name::names_a_file(current_file) ? current_file : "0.jpg";
  const std::string ext = File_path::extension_of(base);
  std::string stem = base.substr(0, base.size() - ext.size());

  // The number is counted on as text: a date and time in the name has
  // more digits than any integer holds.
  size_t first_digit = stem.size();
  while (first_digit > 0 && stem[first_digit - 1] >= '0' && stem[first_digit - 1] <= '9') --first_digit;
  std::string number = stem.substr(first_digit);
  stem.erase(first_digit);
  for (int64_t tries = 0; tries < MAX_TRIES; ++tries) {
    number = incremented(number);
    // A number grown past what the name may hold takes its room from the
    // stem's text; the number and the extension stay.
    const std::string name = fitted_name(stem, number + ext);
    if (name.empty()) return {};
    if (!exists(name)) return name;
  }
  return {};
}

uint64_t picture_digest(const Pixels& p) {
  // FNV-1a over the size and the pixel words.
  uint64_t h = 14695981039346656037ull;
  auto mix = [&h](uint64_t v) {
    h ^= v;
    h *= 1099511628211ull;
  };
  mix(uint64_t(p.width()));
  mix(uint64_t(p.height()));
  const uint32_t* w = p.words();
  const size_t n = size_t(p.width()) * size_t(p.height());
  for (size_t i = 0; i < n; ++i) mix(w[i]);
  return h;
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
