#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "runtime/strings.h"

using namespace brek;
namespace R = brek::Brek_runtime;

namespace {
constexpr int64_t kMax64 = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin64 = std::numeric_limits<int64_t>::min();
constexpr int32_t kMin32 = std::numeric_limits<int32_t>::min();
}  // namespace

TEST(GuardedArithmetic, IntegerDivisionAndModuloByZero) {
  EXPECT_EQ(R::int_div(7, 0), 2147483647);
  EXPECT_EQ(R::int_div(0, 0), -1);
  EXPECT_EQ(R::int_div(-7, 0), -1);
  EXPECT_EQ(R::int_div(-7, 2), -3);
  EXPECT_EQ(R::int_mod(7, 0), 7);
  EXPECT_EQ(R::int_mod(-7, 2), -1);
  // the overflowing quotient wraps instead of trapping
  EXPECT_EQ(R::int_div(kMin32, -1), kMin32);
  EXPECT_EQ(R::int_mod(kMin32, -1), 0);
  EXPECT_EQ(R::int64_div(5000000000, 0), kMax64);
  EXPECT_EQ(R::int64_div(-5, 0), -1);
  EXPECT_EQ(R::int64_div(kMin64, -1), kMin64);
  EXPECT_EQ(R::int64_mod(kMin64, -1), 0);
  EXPECT_EQ(R::int64_div(6000000000, 3), 2000000000);
  EXPECT_EQ(R::shr(-1, 1), 0x7FFFFFFF);
  EXPECT_EQ(R::shl(1, 33), 2);  // the count is taken modulo 32
  EXPECT_EQ(R::shl(1, 31), kMin32);
}

TEST(GuardedArithmetic, RealDivisionRules) {
  EXPECT_EQ(R::real_div(1, 0), R::infinity());
  EXPECT_EQ(R::real_div(0, 0), -R::infinity());
  EXPECT_EQ(R::real_div(-1, 0), -R::infinity());
  EXPECT_EQ(R::real_div(1, -0.0), R::infinity());
  EXPECT_EQ(R::real_div(3, 2), 1.5);
  EXPECT_EQ(std::bit_cast<uint64_t>(R::real_div(R::not_a_number(), 1)), 0xFFF8000000000000u);
  EXPECT_TRUE(std::isnan(R::real_div(1, std::nan(""))));
  EXPECT_EQ(std::bit_cast<uint64_t>(R::infinity()), 0x7FF0000000000000u);
}

TEST(GuardedArithmetic, ConversionsOfNanInfinityAndHugeValues) {
  const double inf = R::infinity(), nan = R::not_a_number();
  for (double bad : {nan, inf, -inf, 1e300, -1e300, 9223372036854775808.0}) EXPECT_EQ(R::real_to_int(bad), 0) << bad;
  EXPECT_EQ(R::real_to_int(-2.9), -2);
  EXPECT_EQ(R::real_to_int(3e9), 3000000000);  // 64 bits, not the low 32
  EXPECT_EQ(R::real_to_int(-9223372036854775808.0), kMin64);

  EXPECT_EQ(R::to_int64_checked(nan), 0);
  EXPECT_EQ(R::to_int64_checked(1e300), kMax64);
  EXPECT_EQ(R::to_int64_checked(-inf), kMin64);
  EXPECT_EQ(R::to_int64_checked(-7.9), -7);
  EXPECT_EQ(R::to_int32_checked(3e9), 2147483647);
  EXPECT_EQ(R::to_int32_checked(-3e9), kMin32);
  EXPECT_EQ(R::to_int32_checked(nan), 0);

  EXPECT_EQ(R::round_to_int64_checked(2.5), 3);
  EXPECT_EQ(R::round_to_int64_checked(-2.5), -3);
  EXPECT_EQ(R::round_to_int64_checked(0.49999999999999994), 0);  // x + 0.5 would give 1
  EXPECT_EQ(R::round_to_int64_checked(inf), kMax64);
  EXPECT_EQ(R::round_even_to_int64_checked(2.5), 2);
  EXPECT_EQ(R::round_even_to_int64_checked(3.5), 4);
}

TEST(NumberText, IntegersBothWays) {
  EXPECT_EQ(R::str_to_int("12ab"), 12);
  EXPECT_EQ(R::str_to_int("1_000"), 1000);
  EXPECT_EQ(R::str_to_int("-"), 0);
  EXPECT_EQ(R::str_to_int("x5"), 0);
  EXPECT_EQ(R::str_to_int(""), 0);
  EXPECT_EQ(R::str_to_int("+7"), 7);
  EXPECT_EQ(R::str_to_int("-42"), -42);
  EXPECT_EQ(R::str_to_int("5000000000"), 5000000000);
  EXPECT_EQ(R::str_to_int("9223372036854775807"), kMax64);
  EXPECT_EQ(R::str_to_int("-9223372036854775808"), kMin64);
  EXPECT_EQ(R::str_to_int("99999999999999999999"), kMax64);
  EXPECT_EQ(R::str_to_int("-99999999999999999999"), kMin64);
  EXPECT_EQ(R::int_to_str(-5000000000), "-5000000000");
  EXPECT_EQ(R::int_to_str(kMin64), "-9223372036854775808");
}

TEST(NumberText, RealsUseAPointAndReadBackExactly) {
  EXPECT_EQ(R::real_to_str(0.5), "0.5");
  EXPECT_EQ(R::real_to_str(0.1), "0.1");
  EXPECT_EQ(R::real_to_str(3.0), "3");
  EXPECT_EQ(R::real_to_str(-1234567.0), "-1234567");
  EXPECT_EQ(R::real_to_str(-0.0), "0");
  EXPECT_EQ(R::real_to_str(1e20), "1e+20");
  EXPECT_EQ(R::real_to_str(R::not_a_number()), "NAN");
  EXPECT_EQ(R::real_to_str(-R::infinity()), "-INF");
  double third = 1.0 / 3.0;
  EXPECT_EQ(std::stod(R::real_to_str(third)), third);
}

TEST(Strings, ClampedAccess) {
  EXPECT_EQ(R::str_char_at("abc", 3), "");
  EXPECT_EQ(R::str_char_at("abc", -1), "");
  EXPECT_EQ(R::str_char_at("abc", 1), "b");
  EXPECT_EQ(R::str_substring("abcdef", 4, 99), "ef");
  EXPECT_EQ(R::str_substring("abc", 2, 1), "");
  EXPECT_EQ(R::str_substring("abc", -5, 0), "a");
  EXPECT_EQ(R::str_substring("abc", 3, 9), "");
  EXPECT_EQ(R::set_char_at("abc", 1, "xyz"), "axc");
  EXPECT_EQ(R::set_char_at("abc", 1, ""), std::string("a\0c", 3));
  EXPECT_EQ(R::set_char_at("abc", 3, "x"), "abc");
  EXPECT_EQ(R::str_index_of("abcabc", "ca"), 2);
  EXPECT_EQ(R::str_index_of("abc", "x"), -1);
  EXPECT_EQ(R::str_index_of("abc", ""), -1);
}

TEST(Strings, RangeComparison) {
  EXPECT_EQ(R::str_compare_at("abcdef", 1, 2, "bc"), 0);
  EXPECT_EQ(R::str_compare_at("abcdef", 1, 2, "bcd"), -1);
  EXPECT_EQ(R::str_compare_at("abcdef", 1, 2, "b"), 1);
  EXPECT_EQ(R::str_compare_at("abc", 0, 2, "abd"), 'c' - 'd');
  EXPECT_GT(R::str_compare_at("\xE9", 0, 0, "a"), 0);  // bytes compare unsigned
  EXPECT_EQ(R::str_compare_at("abc", -3, 99, "abc"), 0);
  EXPECT_EQ(R::str_compare_range("xxabc", 2, 4, "abcyy", 0, 2), 0);
  EXPECT_LT(R::str_not_equal("B", "a"), 0);
  EXPECT_GT(R::str_not_equal("\xC3\xA4", "z"), 0);
  EXPECT_NE(R::str_not_equal("x", ""), 0);
  EXPECT_EQ(R::str_not_equal("", ""), 0);
}

TEST(Strings, CaseMappingKeepsWholeCharacters) {
  EXPECT_EQ(R::upper_case("Photo \xC3\xB6l \xCE\xB1"), "PHOTO \xC3\x96L \xCE\x91");  // ö -> Ö, α -> Α
  EXPECT_EQ(R::lower_case("\xC3\x96L.JPG"), "\xC3\xB6l.jpg");
  EXPECT_EQ(R::upper_case("a\xFF" "b"), "A\xFF" "B");  // a stray byte survives
}

TEST(Strings, MatchesAndWildcards) {
  EXPECT_TRUE(R::str_matches("Photo.JPG", "photo.jpg"));
  EXPECT_FALSE(R::str_matches("a", "b"));
  EXPECT_TRUE(R::str_matches("Photo.JPG", "%.jpg"));
  EXPECT_TRUE(R::wildcard_match("abc", "a?c"));
  EXPECT_FALSE(R::wildcard_match("ac", "a?c"));
  EXPECT_TRUE(R::wildcard_match("abc", "%"));
  EXPECT_TRUE(R::wildcard_match("", "%"));
  EXPECT_TRUE(R::wildcard_match("", "%%"));
  EXPECT_FALSE(R::wildcard_match("", "?"));
  EXPECT_FALSE(R::wildcard_match("abc", "b%"));
  EXPECT_TRUE(R::wildcard_match("abcbc", "%bc"));
  EXPECT_TRUE(R::wildcard_match("a.b.jpg", "%.%.jpg"));
  EXPECT_FALSE(R::wildcard_match("abc", "abcd"));
  EXPECT_TRUE(R::wildcard_match("\xC3\x96l.png", "?l.png"));  // "?" is one character, not one byte
  // a "%" in the text is an ordinary character; one in the pattern a wildcard
  EXPECT_TRUE(R::wildcard_match("50%off", "50%"));
  EXPECT_TRUE(R::wildcard_match("50%off", "%%off"));
  EXPECT_FALSE(R::wildcard_match("50off", "50?off"));
  // many "%" against a long text that almost matches: no blow-up, no guard
  std::string text(5000, 'a');
  std::string pattern;
  for (int i = 0; i < 200; ++i) pattern += "%a";
  EXPECT_FALSE(R::wildcard_match(text, pattern + "b"));
  EXPECT_TRUE(R::wildcard_match(text, pattern));
}

TEST(Strings, MembershipNeverReadsPastTheArray) {
  DynAInt ints{4, 5, 6};
  EXPECT_TRUE(R::ints_contain(ints, 99, 6));
  EXPECT_FALSE(R::ints_contain(ints, 1, 6));
  EXPECT_FALSE(R::ints_contain(ints, -1, 4));
  DynAStr strs{"BMP", "JPG"};
  EXPECT_TRUE(R::strs_contain(strs, "JPG"));
  EXPECT_FALSE(R::strs_contain(strs, "jpg"));
  EXPECT_TRUE(R::strs_contain({"BMP", "GIF"}, "GIF"));
  DynAByte bytes{'a', 'b', 'c'};
  EXPECT_EQ(R::bytes_to_str(bytes, 1, 10), "bc");
  EXPECT_EQ(R::bytes_to_str(bytes, 2, 1), "");
}
