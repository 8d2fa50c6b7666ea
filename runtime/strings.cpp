#include "runtime/strings.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <locale.h>
#include <type_traits>
#include <wctype.h>

#include "runtime/runtime_services.h"
#include "runtime/unicode.h"

namespace brek::Brek_runtime {

namespace {
constexpr int64_t kInt64Max = std::numeric_limits<int64_t>::max();
constexpr int64_t kInt64Min = std::numeric_limits<int64_t>::min();
// 2^63: the first double above the int64 range.
constexpr double kTwo63 = 9223372036854775808.0;
}  // namespace

// ---- integer arithmetic ----------------------------------------------------

namespace {
// One rule for both widths: by zero the largest value for a positive
// dividend, else -1; the smallest value divided by -1 wraps (negated as
// unsigned) instead of trapping.
template <class I>
I guarded_div(I a, I b) {
  using U = std::make_unsigned_t<I>;
  if (b == 0) return a > 0 ? std::numeric_limits<I>::max() : -1;
  if (b == -1) return static_cast<I>(U{0} - static_cast<U>(a));
  return a / b;
}
template <class I>
I guarded_mod(I a, I b) {
  if (b == 0) return a;
  if (b == -1) return 0;
  return a % b;
}
}  // namespace

int32_t int_div(int32_t a, int32_t b) { return guarded_div(a, b); }
int32_t int_mod(int32_t a, int32_t b) { return guarded_mod(a, b); }
int64_t int64_div(int64_t a, int64_t b) { return guarded_div(a, b); }
int64_t int64_mod(int64_t a, int64_t b) { return guarded_mod(a, b); }

int64_t max_int64(int64_t a, int64_t b) { return a > b ? a : b; }
int64_t min_int64(int64_t a, int64_t b) { return a < b ? a : b; }

int32_t shl(int32_t x, int32_t n) { return static_cast<int32_t>(static_cast<uint32_t>(x) << (n & 31)); }
int32_t shr(int32_t x, int32_t n) { return static_cast<int32_t>(static_cast<uint32_t>(x) >> (n & 31)); }

// ---- reals -----------------------------------------------------------------

double infinity() { return std::bit_cast<double>(uint64_t{0x7FF0000000000000}); }
double not_a_number() { return std::bit_cast<double>(uint64_t{0xFFF8000000000000}); }

double real_div(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return not_a_number();
  if (b == 0) return a > 0 ? infinity() : -infinity();
  return a / b;
}

int64_t real_to_int(double x) {
  if (!(x >= -kTwo63 && x < kTwo63)) return 0;  // NaN, infinities, out of range
  return static_cast<int64_t>(x);
}

int64_t to_int64_checked(double x) {
  if (std::isnan(x)) return 0;
  if (x >= kTwo63) return kInt64Max;
  if (x <= -kTwo63) return kInt64Min;
  return static_cast<int64_t>(x);  // truncates toward zero
}

int32_t to_int32_checked(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483647.0) return 2147483647;
  if (x <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int32_t>(x);
}

int64_t round_to_int64_checked(double x) { return to_int64_checked(std::round(x)); }
int64_t round_even_to_int64_checked(double x) { return to_int64_checked(std::nearbyint(x)); }

// ---- number texts ----------------------------------------------------------

std::string int_to_str(int64_t n) { return std::to_string(n); }

int64_t str_to_int(const std::string& s) {
  if (s.empty()) return 0;
  size_t i = 0;
  bool negative = false;
  if (s[0] == '-' || s[0] == '+') {
    negative = s[0] == '-';
    i = 1;
  }
  // The magnitude saturates at 2^63, which is exactly INT64_MIN's.
  const uint64_t limit = negative ? uint64_t{1} << 63 : static_cast<uint64_t>(kInt64Max);
  uint64_t value = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c == '_') continue;
    if (c < '0' || c > '9') break;
    uint64_t d = static_cast<uint64_t>(c - '0');
    value = value > (limit - d) / 10 ? limit : value * 10 + d;
  }
  if (negative) return value == (uint64_t{1} << 63) ? kInt64Min : -static_cast<int64_t>(value);
  return static_cast<int64_t>(value);
}

std::string real_to_str(double x) {
  if (std::isnan(x)) return "NAN";
  if (std::isinf(x)) return x > 0 ? "INF" : "-INF";
  // Integral values below 1e17 are exact as int64 and read best as digits.
  if (x == std::trunc(x) && std::fabs(x) < 1e17) return std::to_string(static_cast<int64_t>(x));
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general);
  std::string out(buf, r.ptr);
  // The C++ conversion never uses ",", but the separator is "." whatever
  // happens upstream.
  for (char& c : out)
    if (c == ',') {
      c = '.';
      break;
    }
  return out;
}

// ---- strings ---------------------------------------------------------------

int str_not_equal(const std::string& a, const std::string& b) {
  int r = a.compare(b);  // char_traits<char>::compare is unsigned, like memcmp
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

std::string str_char_at(const std::string& s, int64_t i) {
  if (i < 0 || static_cast<uint64_t>(i) >= s.size()) return std::string();
  return std::string(1, s[static_cast<size_t>(i)]);
}

std::string set_char_at(const std::string& s, int64_t i, const std::string& c) {
  std::string r = s;
  if (i >= 0 && static_cast<uint64_t>(i) < r.size()) r[static_cast<size_t>(i)] = c.empty() ? '\0' : c[0];
  return r;
}

std::string str_substring(const std::string& s, int64_t from, int64_t to) {
  int64_t len = static_cast<int64_t>(s.size());
  if (from < 0) from = 0;
  if (from > to || from >= len) return std::string();
  int64_t end = to < len - 1 ? to : len - 1;
  return s.substr(static_cast<size_t>(from), static_cast<size_t>(end - from + 1));
}

int64_t str_index_of(const std::string& s, const std::string& sub) {
  if (sub.empty()) return -1;
  size_t p = s.find(sub);
  return p == std::string::npos ? -1 : static_cast<int64_t>(p);
}

int64_t str_compare_range(const std::string& s1, int64_t from1, int64_t to1, const std::string& s2,
                          int64_t from2, int64_t to2) {
  if (from1 < 0) from1 = 0;
  if (from2 < 0) from2 = 0;
  int64_t last1 = static_cast<int64_t>(s1.size()) - 1, last2 = static_cast<int64_t>(s2.size()) - 1;
  if (to1 > last1) to1 = last1;
  if (to2 > last2) to2 = last2;
  int64_t i = from1, j = from2;
  for (; i <= to1; ++i, ++j) {
    if (j > to2) return 1;
    auto a = static_cast<unsigned char>(s1[static_cast<size_t>(i)]);
    auto b = static_cast<unsigned char>(s2[static_cast<size_t>(j)]);
    if (a != b) return static_cast<int64_t>(a) - static_cast<int64_t>(b);
  }
  return j > to2 ? 0 : -1;
}

int64_t str_compare_at(const std::string& s, int64_t from, int64_t to, const std::string& t) {
  return str_compare_range(s, from, to, t, 0, static_cast<int64_t>(t.size()) - 1);
}

namespace {

locale_t utf8_ctype() {
  static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return loc;
}

template <bool Upper>
std::string map_case(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  locale_t loc = utf8_ctype();
  size_t i = 0, len = 0;
  while (i < s.size()) {
    auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      if (Upper && b >= 'a' && b <= 'z') b = static_cast<unsigned char>(b - 32);
      if (!Upper && b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b + 32);
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    int32_t cp = Unicode::decode_one(s, i, len);
    if (cp < 0 || !loc) {
      out.append(s, i, len);  // bytes that are no character stay as they are
    } else {
      wint_t m = Upper ? towupper_l(static_cast<wint_t>(cp), loc) : towlower_l(static_cast<wint_t>(cp), loc);
      Unicode::append_utf8(out, static_cast<char32_t>(m));
    }
    i += len;
  }
  return out;
}

// Code points of a text for matching; undecodable bytes keep a value of
// their own above the Unicode range so that they still match themselves.
std::u32string match_units(const std::string& s) {
  std::u32string out;
  out.reserve(s.size());
  size_t i = 0, len = 0;
  while (i < s.size()) {
    int32_t cp = Unicode::decode_one(s, i, len);
    if (cp >= 0) {
      out.push_back(static_cast<char32_t>(cp));
    } else {
      for (size_t k = 0; k < len; ++k) out.push_back(0x110000 + static_cast<unsigned char>(s[i + k]));
    }
    i += len;
  }
  return out;
}

}  // namespace

std::string upper_case(const std::string& s) { return map_case<true>(s); }
std::string lower_case(const std::string& s) { return map_case<false>(s); }

bool wildcard_match(const std::string& text, const std::string& pattern) {
  std::u32string t = match_units(lower_case(text));
  std::u32string p = match_units(lower_case(pattern));
  // Greedy scan that remembers the last "%": on a mismatch the "%" takes one
  // more character and the scan resumes after it. No recursion, no
  // exponential backtracking.
  size_t ti = 0, pi = 0, star = std::u32string::npos, mark = 0;
  while (ti < t.size()) {
    loop_tick();
    if (pi < p.size() && p[pi] == U'%') {
      star = pi++;
      mark = ti;
    } else if (pi < p.size() && (p[pi] == U'?' || p[pi] == t[ti])) {
      ++pi;
      ++ti;
    } else if (star != std::u32string::npos) {
      pi = star + 1;
      ti = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == U'%') ++pi;
  return pi == p.size();
}

bool str_matches(const std::string& s, const std::string& pattern) {
  if (upper_case(s) == upper_case(pattern)) return true;
  if (pattern.find_first_of("%?") == std::string::npos) return false;
  return wildcard_match(s, pattern);
}

// ---- membership and bytes --------------------------------------------------

namespace {
template <class E>
bool contains_upto(const E* buffer, int64_t last, const E& v) {
  return buffer && buffer_contains(buffer, last, v);
}
template <class A, class E>
bool array_contains_upto(const A& a, int64_t last, const E& v) {
  return buffer_contains(a.data(), std::min(last, a.count() - 1), v);
}
}  // namespace

bool ints_contain(const int64_t* buffer, int64_t last, int64_t v) { return contains_upto(buffer, last, v); }
bool ints_contain(const DynAInt& a, int64_t last, int64_t v) { return array_contains_upto(a, last, v); }
bool bytes_contain(const uint8_t* buffer, int64_t last, uint8_t v) { return contains_upto(buffer, last, v); }
bool bytes_contain(const DynAByte& a, int64_t last, uint8_t v) { return array_contains_upto(a, last, v); }
bool strs_contain(const std::string* buffer, int64_t last, const std::string& v) {
  return contains_upto(buffer, last, v);
}
bool strs_contain(const DynAStr& a, int64_t last, const std::string& v) { return array_contains_upto(a, last, v); }
bool strs_contain(const DynAStr& a, const std::string& v) { return a.index_of(v) >= 0; }
bool strs_contain(std::initializer_list<const char*> list, const std::string& v) {
  for (const char* s : list)
    if (v == s) return true;
  return false;
}

std::string bytes_to_str(const uint8_t* base, int64_t from, int64_t to) {
  if (!base || to < from) return std::string();
  return std::string(reinterpret_cast<const char*>(base + from), static_cast<size_t>(to - from + 1));
}

std::string bytes_to_str(const DynAByte& a, int64_t from, int64_t to) {
  if (from < 0) from = 0;
  if (to > a.count() - 1) to = a.count() - 1;
  if (to < from) return std::string();
  return bytes_to_str(a.data(), from, to);
}

}  // namespace brek::Brek_runtime
