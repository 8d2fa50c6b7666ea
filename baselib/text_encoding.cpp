#include "baselib/text_encoding.h"

#include "runtime/runtime_services.h"

namespace brek {

namespace Unicode {

std::u32string decode_utf8(const std::string& s) {
  std::u32string out;
  out.reserve(s.size());
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  size_t n = s.size(), i = 0;
  while (i < n) {
    unsigned char b = p[i];
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    int need;
    char32_t cp;
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
      out.push_back(REPLACEMENT);
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < need; ++k, ++j) {
      unsigned char c = j < n ? p[j] : 0;
      unsigned char min = k == 0 ? lo : 0x80, max = k == 0 ? hi : 0xBF;
      if (j >= n || c < min || c > max) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (c & 0x3F);
    }
    // A broken sequence is replaced once, up to the byte that broke it.
    out.push_back(ok ? cp : REPLACEMENT);
    i = j;
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

namespace {
// Joins UTF-16 units into UTF-8, pairing surrogates; a lone one is U+FFFD.
class Utf16_joiner {
 public:
  explicit Utf16_joiner(std::string& out) : out_(out) {}
  void unit(char16_t u) {
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
  void finish() {
    if (pending_) append_utf8(out_, REPLACEMENT);
    pending_ = 0;
  }

 private:
  std::string& out_;
  char16_t pending_ = 0;
};
}  // namespace

std::string from_utf16(const std::u16string& units) {
  std::string out;
  out.reserve(units.size());
  Utf16_joiner j(out);
  for (char16_t u : units) j.unit(u);
  j.finish();
  return out;
}

}  // namespace Unicode

namespace NATIVE_String_functions {

namespace {

std::string raw_bytes(const DynAByte& bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.begin()), static_cast<size_t>(bytes.count()));
}

void put_raw(const std::string& s, DynAByte& bytes) {
  bytes.clear();
  bytes.set_length(static_cast<int64_t>(s.size()));
  for (size_t i = 0; i < s.size(); ++i) bytes.set(static_cast<int64_t>(i), static_cast<uint8_t>(s[i]));
}

std::string utf16_to_text(const DynAByte& bytes, bool big) {
  std::string out;
  int64_t n = bytes.count() / 2;
  out.reserve(static_cast<size_t>(n));
  Unicode::Utf16_joiner j(out);
  for (int64_t i = 0; i < n; ++i) {
    uint16_t a = bytes.get(2 * i), b = bytes.get(2 * i + 1);
    j.unit(static_cast<char16_t>(big ? (a << 8) | b : (b << 8) | a));
  }
  j.finish();
  return out;
}

std::string utf32_to_text(const DynAByte& bytes, bool big) {
  std::string out;
  int64_t n = bytes.count() / 4;
  out.reserve(static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i) {
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k) {
      uint32_t byte = bytes.get(4 * i + k);
      v |= big ? byte << (8 * (3 - k)) : byte << (8 * k);
    }
    Unicode::append_utf8(out, v);  // invalid values become U+FFFD
  }
  return out;
}

void text_to_utf16(const std::string& s, DynAByte& bytes, bool big) {
  std::u16string units = Unicode::to_utf16(s);
  bytes.clear();
  bytes.set_length(static_cast<int64_t>(units.size()) * 2);
  for (size_t i = 0; i < units.size(); ++i) {
    uint8_t hi = static_cast<uint8_t>(units[i] >> 8), lo = static_cast<uint8_t>(units[i]);
    bytes.set(2 * i, big ? hi : lo);
    bytes.set(2 * i + 1, big ? lo : hi);
  }
}

void text_to_utf32(const std::string& s, DynAByte& bytes, bool big) {
  std::u32string cps = Unicode::decode_utf8(s);
  bytes.clear();
  bytes.set_length(static_cast<int64_t>(cps.size()) * 4);
  for (size_t i = 0; i < cps.size(); ++i)
    for (int k = 0; k < 4; ++k) {
      int shift = big ? 8 * (3 - k) : 8 * k;
      bytes.set(static_cast<int64_t>(4 * i + k), static_cast<uint8_t>(cps[i] >> shift));
    }
}

// ---- UTF-7 -----------------------------------------------------------------

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64_value(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Characters written as themselves: the directly encoded set and white
// space. Everything else goes into base64 runs, which keeps the output
// safe for every reader.
bool utf7_direct(char32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '\'': case '(': case ')': case ',': case '-': case '.': case '/': case ':': case '?':
    case ' ': case '\t': case '\r': case '\n':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string bytes_to_ansi(const DynAByte& bytes) { return raw_bytes(bytes); }
std::string bytes_to_ascii(const DynAByte& bytes) { return raw_bytes(bytes); }

std::string utf8_to_text(const DynAByte& bytes) { return Unicode::encode_utf8(Unicode::decode_utf8(raw_bytes(bytes))); }

std::string utf16le_to_text(const DynAByte& bytes) { return utf16_to_text(bytes, false); }
std::string utf16be_to_text(const DynAByte& bytes) { return utf16_to_text(bytes, true); }
std::string utf32le_to_text(const DynAByte& bytes) { return utf32_to_text(bytes, false); }
std::string utf32be_to_text(const DynAByte& bytes) { return utf32_to_text(bytes, true); }

std::string utf7_to_text(const DynAByte& bytes) {
  std::string out;
  Unicode::Utf16_joiner j(out);
  int64_t n = bytes.count();
  int64_t i = 0;
  while (i < n) {
    Brek_runtime::loop_tick();
    unsigned char c = bytes.get(i);
    if (c != '+') {
      j.unit(c < 0x80 ? c : static_cast<char16_t>(Unicode::REPLACEMENT));
      ++i;
      continue;
    }
    ++i;
    if (i < n && bytes.get(i) == '-') {  // "+-" is a plus sign
      j.unit('+');
      ++i;
      continue;
    }
    uint32_t bits = 0;
    int nbits = 0;
    while (i < n) {
      int v = base64_value(bytes.get(i));
      if (v < 0) break;
      bits = (bits << 6) | static_cast<uint32_t>(v);
      nbits += 6;
      if (nbits >= 16) {
        nbits -= 16;
        j.unit(static_cast<char16_t>(bits >> nbits));
        bits &= (1u << nbits) - 1;
      }
      ++i;
    }
    // Leftover bits are padding. A "-" ending the run belongs to it.
    if (i < n && bytes.get(i) == '-') ++i;
  }
  j.finish();
  return out;
}

void ansi_to_bytes(const std::string& s, DynAByte& bytes) { put_raw(s, bytes); }
void ascii_to_bytes(const std::string& s, DynAByte& bytes) { put_raw(s, bytes); }

void text_to_utf8(const std::string& s, DynAByte& bytes) {
  put_raw(Unicode::encode_utf8(Unicode::decode_utf8(s)), bytes);
}

void text_to_utf16le(const std::string& s, DynAByte& bytes) { text_to_utf16(s, bytes, false); }
void text_to_utf16be(const std::string& s, DynAByte& bytes) { text_to_utf16(s, bytes, true); }
void text_to_utf32le(const std::string& s, DynAByte& bytes) { text_to_utf32(s, bytes, false); }
void text_to_utf32be(const std::string& s, DynAByte& bytes) { text_to_utf32(s, bytes, true); }

void text_to_utf7(const std::string& s, DynAByte& bytes) {
  std::u16string units = Unicode::to_utf16(s);
  std::string out;
  size_t i = 0;
  while (i < units.size()) {
    Brek_runtime::loop_tick();
    char16_t u = units[i];
    if (u == '+') {
      out += "+-";
      ++i;
      continue;
    }
    if (utf7_direct(u)) {
      out.push_back(static_cast<char>(u));
      ++i;
      continue;
    }
    out.push_back('+');
    uint32_t bits = 0;
    int nbits = 0;
    while (i < units.size() && units[i] != '+' && !utf7_direct(units[i])) {
      bits = (bits << 16) | units[i];
      nbits += 16;
      while (nbits >= 6) {
        nbits -= 6;
        out.push_back(kBase64[(bits >> nbits) & 0x3F]);
      }
      bits &= (1u << nbits) - 1;
      ++i;
    }
    if (nbits > 0) out.push_back(kBase64[(bits << (6 - nbits)) & 0x3F]);
    out.push_back('-');
  }
  put_raw(out, bytes);
}

std::string decode_text(const DynAByte& bytes, encoding e) {
  switch (e) {
    case encoding::UTF8: return utf8_to_text(bytes);
    case encoding::UTF16: return utf16le_to_text(bytes);
    case encoding::UTF16_BIG: return utf16be_to_text(bytes);
    case encoding::UTF7: return utf7_to_text(bytes);
    case encoding::UTF32: return utf32le_to_text(bytes);
    case encoding::UTF32_BIG: return utf32be_to_text(bytes);
    case encoding::ASCII: return bytes_to_ascii(bytes);
    default: return bytes_to_ansi(bytes);
  }
}

void encode_text(const std::string& s, encoding e, DynAByte& bytes) {
  switch (e) {
    case encoding::UTF8: text_to_utf8(s, bytes); break;
    case encoding::UTF16: text_to_utf16le(s, bytes); break;
    case encoding::UTF16_BIG: text_to_utf16be(s, bytes); break;
    case encoding::UTF7: text_to_utf7(s, bytes); break;
    case encoding::UTF32: text_to_utf32le(s, bytes); break;
    case encoding::UTF32_BIG: text_to_utf32be(s, bytes); break;
    case encoding::ASCII: ascii_to_bytes(s, bytes); break;
    default: ansi_to_bytes(s, bytes); break;
  }
}

}  // namespace NATIVE_String_functions
}  // namespace brek
