#include "baselib/text_encoding.h"

#include "runtime/runtime_services.h"

namespace brek {


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
