#include "runtime/unicode.h"

namespace brek::Unicode {

int32_t decode_one(const std::string& s, size_t i, size_t& len) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  size_t n = s.size();
  unsigned char b = p[i];
  len = 1;
  if (b < 0x80) return b;
  int need;
  int32_t cp;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    need = 1;
    cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    need = 2;
    cp = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;  // overlong
    if (b == 0xED) hi = 0x9F;  // surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    need = 3;
    cp = b & 0x07;
    if (b == 0xF0) lo = 0x90;  // overlong
    if (b == 0xF4) hi = 0x8F;  // above U+10FFFF
  } else {
    return -1;
  }
  size_t j = i + 1;
  for (int k = 0; k < need; ++k, ++j) {
    unsigned char min = k == 0 ? lo : 0x80, max = k == 0 ? hi : 0xBF;
    if (j >= n || p[j] < min || p[j] > max) {
      len = j - i;
      return -1;
    }
    cp = (cp << 6) | (p[j] & 0x3F);
  }
  len = j - i;
  return cp;
}

std::u32string decode_utf8(const std::string& s) {
  std::u32string out;
  out.reserve(s.size());
  size_t i = 0, len = 0;
  while (i < s.size()) {
    int32_t cp = decode_one(s, i, len);
    out.push_back(cp < 0 ? REPLACEMENT : static_cast<char32_t>(cp));
    i += len;
  }
  return out;
}

void append_utf8(std::string& out, char32_t cp) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = REPLACEMENT;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string encode_utf8(const std::u32string& cps) {
  std::string out;
  out.reserve(cps.size());
  for (char32_t cp : cps) append_utf8(out, cp);
  return out;
}

std::u16string to_utf16(const std::string& s) {
  std::u16string out;
  out.reserve(s.size());
  for (char32_t cp : decode_utf8(s)) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

void Utf16_joiner::unit(char16_t u) {
  if (pending_) {
    if (u >= 0xDC00 && u <= 0xDFFF) {
      append_utf8(out_, 0x10000 + ((static_cast<char32_t>(pending_) - 0xD800) << 10) + (u - 0xDC00));
      pending_ = 0;
      return;
    }
    append_utf8(out_, REPLACEMENT);
    pending_ = 0;
  }
  if (u >= 0xD800 && u <= 0xDBFF)
    pending_ = u;
  else
    append_utf8(out_, u);  // a lone low surrogate becomes U+FFFD there
}

void Utf16_joiner::finish() {
  if (pending_) append_utf8(out_, REPLACEMENT);
  pending_ = 0;
}

std::string from_utf16(const std::u16string& units) {
  std::string out;
  out.reserve(units.size());
  Utf16_joiner j(out);
  for (char16_t u : units) j.unit(u);
  j.finish();
  return out;
}

}  // namespace brek::Unicode
