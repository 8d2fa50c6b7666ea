#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "baselib/string_functions.h"
#include "runtime/exceptions.h"

using namespace brek;
namespace SF = brek::NATIVE_String_functions;

namespace {
std::vector<std::string> pieces(const std::string& s, const std::string& sep) {
  return SF::split(s, sep).to_vector();
}
}  // namespace

TEST(StringFunctions, PrefixesSuffixesAndSeparators) {
  EXPECT_TRUE(SF::starts_with("abc", ""));
  EXPECT_TRUE(SF::ends_with("abc", ""));
  EXPECT_TRUE(SF::ends_with("", ""));
  EXPECT_FALSE(SF::starts_with("ab", "abc"));
  EXPECT_FALSE(SF::ends_with("bc", "abc"));
  EXPECT_TRUE(SF::ends_with("photo.jpg", ".jpg"));
  EXPECT_EQ(SF::remove_prefix("abc", "ab"), "c");
  EXPECT_EQ(SF::remove_prefix("abc", "bc"), "abc");
  EXPECT_EQ(SF::remove_suffix("abc", "bc"), "a");
  EXPECT_EQ(SF::remove_suffix("abc", "xabc"), "abc");
  EXPECT_EQ(SF::with_trailing_separator(""), "");
  EXPECT_EQ(SF::with_trailing_separator("/home/u"), "/home/u/");
  EXPECT_EQ(SF::with_trailing_separator("/home/u/"), "/home/u/");
}

TEST(StringFunctions, SearchingAndCutting) {
  EXPECT_EQ(SF::last_index_of("abcabc", "bc"), 4);
  EXPECT_EQ(SF::last_index_of("ab", "abc"), -1);
  EXPECT_EQ(SF::last_index_of("abc", ""), -1);
  EXPECT_EQ(SF::after_first("key=value=x", "="), "value=x");
  EXPECT_EQ(SF::before_first("key=value=x", "="), "key");
  EXPECT_EQ(SF::after_first("abc", "x"), "");
  EXPECT_EQ(SF::before_first("abc", "x"), "");
  EXPECT_EQ(SF::count_char("a,b,,c", ","), 3);
  EXPECT_EQ(SF::count_char("abc", ""), 0);
  EXPECT_EQ(SF::first_char_code(""), 0);
  EXPECT_EQ(SF::first_char_code("\xC3\xA4"), 0xC3);
  EXPECT_EQ(SF::char_to_str(65), "A");
  EXPECT_EQ(SF::char_to_str(0xE9), "\xC3\xA9");
  EXPECT_EQ(SF::string_if(false, "x"), "");
  EXPECT_EQ(SF::trim(" \t\r\nab c\x01 "), "ab c");
  EXPECT_EQ(SF::trim_left("  a "), "a ");
  EXPECT_EQ(SF::trim_right("  a "), "  a");
}

TEST(StringFunctions, ReplaceIsOnePassAndNeverLoops) {
  EXPECT_EQ(SF::replace("aaa", "a", "b"), "bbb");
  EXPECT_EQ(SF::replace_first("abcabc", "b", ""), "acabc");
  EXPECT_EQ(SF::replace_last("abcabc", "b", "X"), "abcaXc");
  // the new text holds the old one: each original occurrence once
  EXPECT_EQ(SF::replace("a.b.c", ".", ".."), "a..b..c");
  EXPECT_EQ(SF::replace_all("x", "x", "xx"), "xx");
  EXPECT_EQ(SF::replace("aaaa", "aa", "a"), "aa");
  EXPECT_EQ(SF::replace("abc", "", "x"), "abc");
  EXPECT_EQ(SF::replace_first("abc", "", "x"), "abc");
  EXPECT_EQ(SF::replace_last("abc", "", "x"), "abc");
}

TEST(StringFunctions, RepeatAndSplit) {
  EXPECT_EQ(SF::repeat("ab", 3), "ababab");
  EXPECT_EQ(SF::repeat("ab", 0), "");
  EXPECT_EQ(SF::repeat("ab", -2), "");
  EXPECT_THROW(SF::repeat("ab", int64_t{1} << 62), OutOfMemoryException);

  EXPECT_EQ(pieces("a,b,", ","), (std::vector<std::string>{"a", "b", ""}));
  EXPECT_TRUE(pieces("", ",").empty());
  EXPECT_EQ(pieces("a,b", ""), (std::vector<std::string>{"a,b"}));
  EXPECT_EQ(pieces("a<>b<><>", "<>"), (std::vector<std::string>{"a", "b", "", ""}));
  DynAStr reused{"old", "items"};
  SF::split(reused, "x;y", ";");
  EXPECT_EQ(reused.to_vector(), (std::vector<std::string>{"x", "y"}));
}
