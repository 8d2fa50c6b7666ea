#pragma once
// Strings and guarded arithmetic: the operations generated code uses instead
// of the language's raw primitives, so that nothing traps and nothing reads
// out of range.
//
// Strings are std::string holding UTF-8 bytes, indexed from 0 by byte.
// A character read out of range is "", substrings are clamped.
//
// Every double-to-integer conversion of the program goes through the
// checked helpers below: a NaN, an infinity or a huge value never reaches a
// C++ cast (that would be undefined behaviour).

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "runtime/dyn_array.h"

namespace brek::Brek_runtime {

// ---- integer arithmetic ----------------------------------------------------

// 32-bit division truncated toward zero. By zero: 2147483647 when a > 0,
// else -1. INT32_MIN / -1 wraps to INT32_MIN.
int32_t int_div(int32_t a, int32_t b);
// 32-bit remainder with the sign of a. By zero: a. INT32_MIN % -1 is 0.
int32_t int_mod(int32_t a, int32_t b);
// The same rules for 64-bit values: by zero INT64_MAX when a > 0, else -1;
// INT64_MIN / -1 wraps to INT64_MIN; a % 0 is a.
int64_t int64_div(int64_t a, int64_t b);
int64_t int64_mod(int64_t a, int64_t b);

int64_t max_int64(int64_t a, int64_t b);
int64_t min_int64(int64_t a, int64_t b);

// x shifted left / logically right by (n and 31), in 32 bits.
int32_t shl(int32_t x, int32_t n);
int32_t shr(int32_t x, int32_t n);

// ---- reals -----------------------------------------------------------------

// a / b. A NaN operand gives not_a_number(); b = 0 gives plus infinity when
// a > 0, minus infinity when a <= 0.
double real_div(double a, double b);
// Plus infinity.
double infinity();
// The quiet NaN with the sign bit set (bits 0xFFF8000000000000).
double not_a_number();

// Truncation toward zero; NaN, infinities and values outside the 64-bit
// range give 0.
int64_t real_to_int(double x);

// The checked conversions. Truncation toward zero, saturating at the
// target's range; NaN gives 0.
int64_t to_int64_checked(double x);
int32_t to_int32_checked(double x);
// Rounding half away from zero (2.5 -> 3, -2.5 -> -3), saturating; NaN 0.
int64_t round_to_int64_checked(double x);
// Rounding half to even (2.5 -> 2, 3.5 -> 4), saturating; NaN 0.
int64_t round_even_to_int64_checked(double x);

// ---- number texts ----------------------------------------------------------

// Decimal text, "-" for negatives.
std::string int_to_str(int64_t n);
// An optional "-" or "+", then digits ("_" is skipped) up to the first
// other byte. "" or no digits give 0. Values beyond the 64-bit range
// saturate.
int64_t str_to_int(const std::string& s);
// The shortest text that reads back as the same double, "." as decimal
// separator; an integral value gives its digits only. "NAN", "INF", "-INF".
std::string real_to_str(double x);

// ---- strings ---------------------------------------------------------------

// Byte-wise three-way comparison: negative, 0 or positive.
int str_not_equal(const std::string& a, const std::string& b);
// The one-byte string at i; "" out of range.
std::string str_char_at(const std::string& s, int64_t i);
// A copy of s whose byte i is the first byte of c (a zero byte when c is
// empty); unchanged when i is out of range.
std::string set_char_at(const std::string& s, int64_t i, const std::string& c);
// Bytes from..to inclusive, clamped; "" when the range is empty.
std::string str_substring(const std::string& s, int64_t from, int64_t to);
// Position of the first occurrence of sub, -1 when absent or sub is "".
int64_t str_index_of(const std::string& s, const std::string& sub);
// Compares s1[from1..to1] with s2[from2..to2]: negative starts become 0,
// ends are clamped to the last index; 1 when the second range runs out
// first, -1 when the first does, else the difference of the first
// differing bytes (unsigned), 0 when equal.
int64_t str_compare_range(const std::string& s1, int64_t from1, int64_t to1, const std::string& s2,
                          int64_t from2, int64_t to2);
// Compares s[from..to] with the whole of t, same rules.
int64_t str_compare_at(const std::string& s, int64_t from, int64_t to, const std::string& t);

// Case mapping of whole characters (simple Unicode mapping).
std::string upper_case(const std::string& s);
std::string lower_case(const std::string& s);

// Case-insensitive match of the whole text against a pattern where "%"
// stands for any run of characters (empty included) and "?" for one
// character. A "%" or "?" in the text is an ordinary character. Linear in
// memory, at most text x pattern steps.
bool wildcard_match(const std::string& text, const std::string& pattern);
// Equal ignoring case; otherwise, when the pattern holds "%" or "?", the
// wildcard match; else false.
bool str_matches(const std::string& s, const std::string& pattern);

// ---- membership and bytes --------------------------------------------------

// Whether one of elements 0..last equals v; false when last < 0. The
// array forms never read past the array.
bool ints_contain(const int64_t* buffer, int64_t last, int64_t v);
bool ints_contain(const DynAInt& a, int64_t last, int64_t v);
bool bytes_contain(const uint8_t* buffer, int64_t last, uint8_t v);
bool bytes_contain(const DynAByte& a, int64_t last, uint8_t v);
bool strs_contain(const std::string* buffer, int64_t last, const std::string& v);
bool strs_contain(const DynAStr& a, int64_t last, const std::string& v);
// Exact, case-sensitive membership in a whole list.
bool strs_contain(const DynAStr& a, const std::string& v);
bool strs_contain(std::initializer_list<const char*> list, const std::string& v);

// A string of the bytes from..to of base (to - from + 1 bytes; "" when
// to < from). The array form clamps to the array.
std::string bytes_to_str(const uint8_t* base, int64_t from, int64_t to);
std::string bytes_to_str(const DynAByte& a, int64_t from, int64_t to);

// Resets a plain record to its zero state.
template <class T>
void zero_fill(T& record) {
  record = T{};
}
inline void nop() {}

}  // namespace brek::Brek_runtime
