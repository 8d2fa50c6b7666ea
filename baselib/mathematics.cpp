#include "baselib/mathematics.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

#include "runtime/runtime_services.h"
#include "runtime/strings.h"

namespace brek::Mathematics {

namespace R = Brek_runtime;

double square(double x) { return x * x; }

double power(double x, double y) {
  if ((x == 0 && y < 0) || std::isinf(y)) return R::not_a_number();
  double r = std::pow(x, y);
  if (!std::isfinite(r) && std::isfinite(x) && std::isfinite(y)) return R::not_a_number();
  return r;
}

double sqrt(double x) {
  if (x < 0) {
    R::log_exception_text("Invalid_operation: square root of a negative number");
    return 0;
  }
  return std::sqrt(x);
}

bool is_nan(double x) {
  uint64_t bits = std::bit_cast<uint64_t>(x);
  return (bits & 0x7FF0000000000000u) == 0x7FF0000000000000u && (bits & 0x000FFFFFFFFFFFFFu) != 0;
}

double abs_real(double x) { return x < 0 ? -x : x; }

int64_t int64_abs(int64_t n) {
  return n < 0 ? static_cast<int64_t>(0ull - static_cast<uint64_t>(n)) : n;
}

int64_t sign(double x) {
  if (x < 0) return -1;
  if (x > 0) return 1;
  return 0;
}

double round_real(double x) { return std::nearbyint(x); }

bool approx_equal(double x, double y) {
  if (std::isnan(x) || std::isnan(y)) return false;
  double tolerance = std::min(std::fabs(x), std::fabs(y)) * 1e-9;
  if (1e-9 - tolerance * 1e6 >= 0) tolerance = 1e-11;
  return std::fabs(x - y) < tolerance;
}

bool approx_equal_2(double x, double y) { return approx_equal(x, y); }

double pi() { return std::bit_cast<double>(uint64_t{0x400921FB54442D18}); }

namespace {
double trig(double x, double (*f)(double)) {
  if (std::isinf(x)) {
    R::log_exception_text("Invalid_operation: trigonometric function of an infinite value");
    return 0;
  }
  return f(x);
}
}  // namespace

double sin(double x) { return trig(x, [](double v) { return std::sin(v); }); }
double cos(double x) { return trig(x, [](double v) { return std::cos(v); }); }

double str_to_real(const std::string& s) {
  // Gather what the number's syntax accepts into a clean text, then convert
  // that exactly: adding digit by digit would give 0.30000000000000004 for
  // "0.3".
  std::string mantissa;
  bool negative = false;
  size_t i = 0, n = s.size();
  for (; i < n; ++i) {
    R::loop_tick();
    char c = s[i];
    if (i == 0 && (c == '-' || c == '+')) {
      negative = c == '-';
    } else if (c == '_') {
    } else if (c >= '0' && c <= '9') {
      mantissa.push_back(c);
    } else {
      break;
    }
  }
  if (i < n && s[i] == '.') {
    mantissa.push_back('.');
    for (++i; i < n; ++i) {
      R::loop_tick();
      char c = s[i];
      if (c == '_') continue;
      if (c < '0' || c > '9') break;
      mantissa.push_back(c);
    }
  }
  int64_t exponent = 0;
  if (i < n && (s[i] == 'E' || s[i] == 'e')) {
    ++i;
    if (i < n && s[i] == '+') {
      exponent = R::str_to_int(s.substr(i + 1));
    } else if (i < n && s[i] == '-') {
      // "e--9223372036854775808" must not negate the smallest value.
      int64_t e = R::str_to_int(s.substr(i + 1));
      exponent = e == std::numeric_limits<int64_t>::min() ? std::numeric_limits<int64_t>::max() : -e;
    } else {
      exponent = R::str_to_int(s.substr(i));
    }
  }
  if (mantissa.find_first_of("0123456789") == std::string::npos) return negative ? -0.0 : 0.0;
  // Beyond this the value is 0 or infinite whatever the mantissa holds;
  // keeping the exponent small keeps the conversion's arithmetic in range.
  const int64_t cap = 100000 + static_cast<int64_t>(mantissa.size());
  if (exponent > cap) exponent = cap;
  if (exponent < -cap) exponent = -cap;
  std::string text = mantissa + "e" + std::to_string(exponent);
  double value = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (r.ec == std::errc::result_out_of_range) {
    // Overflow or underflow: the decimal magnitude of the first significant
    // digit decides which.
    size_t point = mantissa.find('.');
    if (point == std::string::npos) point = mantissa.size();
    size_t first = mantissa.find_first_of("123456789");
    int64_t magnitude = first < point ? static_cast<int64_t>(point - first) - 1
                                      : -static_cast<int64_t>(first - point);
    value = magnitude + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return negative ? -value : value;
}

int64_t round_to_int64(double x) { return R::round_to_int64_checked(x); }

}  // namespace brek::Mathematics
