#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "baselib/text_encoding.h"

using namespace brek;
namespace SF = brek::NATIVE_String_functions;

namespace {
DynAByte bytes_of(std::vector<uint8_t> v) { return DynAByte(std::move(v)); }
std::vector<uint8_t> encoded(const std::string& s, encoding e) {
  DynAByte b{9, 9, 9};  // encoders empty the target first
  SF::encode_text(s, e, b);
  return b.to_vector();
}
// "A", "ö" (U+00F6), "€" (U+20AC), "😀" (U+1F600) in UTF-8.
const std::string kMixed = "A\xC3\xB6\xE2\x82\xAC\xF0\x9F\x98\x80";
}  // namespace

TEST(TextEncoding, Utf16BothByteOrdersKeepSurrogatePairs) {
  EXPECT_EQ(encoded("A", encoding::UTF16_BIG), (std::vector<uint8_t>{0x00, 0x41}));
  EXPECT_EQ(encoded("A", encoding::UTF16), (std::vector<uint8_t>{0x41, 0x00}));
  std::vector<uint8_t> le = {0x41, 0, 0xF6, 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE};
  std::vector<uint8_t> be = {0, 0x41, 0, 0xF6, 0x20, 0xAC, 0xD8, 0x3D, 0xDE, 0x00};
  EXPECT_EQ(encoded(kMixed, encoding::UTF16), le);
  EXPECT_EQ(encoded(kMixed, encoding::UTF16_BIG), be);
  EXPECT_EQ(SF::utf16le_to_text(bytes_of(le)), kMixed);
  EXPECT_EQ(SF::utf16be_to_text(bytes_of(be)), kMixed);
  // an odd trailing byte is ignored; under two bytes there is no text
  le.push_back(0x42);
  EXPECT_EQ(SF::utf16le_to_text(bytes_of(le)), kMixed);
  EXPECT_EQ(SF::utf16le_to_text(bytes_of({0x41})), "");
  // lone surrogates become U+FFFD instead of broken UTF-8
  EXPECT_EQ(SF::utf16le_to_text(bytes_of({0x3D, 0xD8, 0x41, 0x00})), "\xEF\xBF\xBD" "A");
  EXPECT_EQ(SF::utf16le_to_text(bytes_of({0x00, 0xDE})), "\xEF\xBF\xBD");
}

TEST(TextEncoding, Utf32BothByteOrdersKeepAstralCharacters) {
  EXPECT_EQ(SF::utf32le_to_text(bytes_of({0x41, 0, 0, 0, 0x00, 0xF6, 0x01, 0x00})), "A\xF0\x9F\x98\x80");
  std::vector<uint8_t> be = encoded(kMixed, encoding::UTF32_BIG);
  EXPECT_EQ(be, (std::vector<uint8_t>{0, 0, 0, 0x41, 0, 0, 0, 0xF6, 0, 0, 0x20, 0xAC, 0, 0x01, 0xF6, 0x00}));
  EXPECT_EQ(SF::utf32be_to_text(bytes_of(be)), kMixed);
  std::vector<uint8_t> le = encoded(kMixed, encoding::UTF32);
  EXPECT_EQ(le.size(), 16u);
  le.insert(le.end(), {1, 2, 3});  // trailing partial group
  EXPECT_EQ(SF::utf32le_to_text(bytes_of(le)), kMixed);
  EXPECT_EQ(SF::utf32le_to_text(bytes_of({0x41, 0, 0})), "");
  // out-of-range values and surrogates are not characters
  EXPECT_EQ(SF::utf32le_to_text(bytes_of({0, 0, 0x11, 0, 0x00, 0xD8, 0, 0})), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(TextEncoding, Utf8ReplacesMalformedSequences) {
  EXPECT_EQ(SF::utf8_to_text(bytes_of({0xEF, 0xBB, 0xBF, 'a'})), "\xEF\xBB\xBF" "a");
  // a lone continuation byte, an overlong form, a truncated sequence
  EXPECT_EQ(SF::utf8_to_text(bytes_of({'a', 0x80, 'b', 0xC0, 0xAF, 'c', 0xE2, 0x82})),
            "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD" "c\xEF\xBF\xBD");
  EXPECT_EQ(encoded(kMixed, encoding::UTF8), std::vector<uint8_t>(kMixed.begin(), kMixed.end()));
  EXPECT_TRUE(encoded("", encoding::UTF8).empty());
}

TEST(TextEncoding, Utf7RoundTripAndKnownForms) {
  auto text = [](const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); };
  EXPECT_EQ(text(encoded("1 + 1", encoding::UTF7)), "1 +- 1");
  EXPECT_EQ(text(encoded("\xC2\xA3" "1", encoding::UTF7)), "+AKM-1");  // U+00A3
  std::string hi = "Hi Mom -\xE2\x98\xBA-!";                           // U+263A
  for (const std::string& s : {hi, kMixed, std::string("a+b~c\\d\r\n"), std::string()}) {
    std::vector<uint8_t> b = encoded(s, encoding::UTF7);
    for (uint8_t c : b) EXPECT_LT(c, 0x80);
    EXPECT_EQ(SF::utf7_to_text(bytes_of(b)), s);
  }
  // what other writers produce: no closing "-", a "-" absorbed by the run
  EXPECT_EQ(SF::utf7_to_text(bytes_of({'+', 'Z', 'e', 'V', 'n', 'L', 'I', 'q', 'e', '-'})),
            "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");
  EXPECT_EQ(SF::utf7_to_text(bytes_of({'+', 'A', 'K', 'M', '.'})), "\xC2\xA3.");
}

TEST(TextEncoding, DefaultAndAsciiMoveBytesUnchanged) {
  std::string odd = "a\xFF\x00z";
  odd.resize(4);
  for (encoding e : {encoding::DEFAULT, encoding::ASCII}) {
    std::vector<uint8_t> b = encoded(odd, e);
    EXPECT_EQ(b, std::vector<uint8_t>(odd.begin(), odd.end()));
    EXPECT_EQ(SF::decode_text(bytes_of(b), e), odd);
  }
}
