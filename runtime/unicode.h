#pragma once
// Code points of the program's UTF-8 strings: decoding with replacement of
// malformed input, encoding, and UTF-16 units with surrogate pairs.

#include <cstdint>
#include <string>

namespace brek::Unicode {

inline constexpr char32_t REPLACEMENT = 0xFFFD;

// Decodes the sequence starting at byte i of s. Returns its code point and
// sets len to its length in bytes; a malformed sequence returns -1 with len
// covering the bytes up to the one that broke it (at least 1).
int32_t decode_one(const std::string& s, size_t i, size_t& len);
// The code points of a UTF-8 string; each malformed sequence becomes U+FFFD.
std::u32string decode_utf8(const std::string& s);
// UTF-8 of code points; surrogates and values above U+10FFFF become U+FFFD.
std::string encode_utf8(const std::u32string& cps);
void append_utf8(std::string& out, char32_t cp);
// UTF-16 units of a UTF-8 string, and back (lone surrogates become U+FFFD).
std::u16string to_utf16(const std::string& s);
std::string from_utf16(const std::u16string& units);

// Appends UTF-16 units to a UTF-8 string one by one, pairing surrogates;
// a lone surrogate becomes U+FFFD. Call finish() after the last unit.
class Utf16_joiner {
 public:
  explicit Utf16_joiner(std::string& out) : out_(out) {}
  void unit(char16_t u);
  void finish();

 private:
  std::string& out_;
  char16_t pending_ = 0;
};

}  // namespace brek::Unicode
