#pragma once
// Long_int: the wide integer of stream sizes and positions. It is stored in
// 128 bits (four 32-bit words, least significant first), but every
// operation computes in signed 64 bits, wrapping on overflow, and stores
// its result sign-extended to 128 bits. Values produced here are always
// such sign extensions.
//
// Division by zero does not trap: a dividend of 0 or more gives
// 9223372036854775807, a negative one -1. INT64_MIN / -1 wraps to INT64_MIN.

#include <cstdint>
#include <string>

#include "runtime/dyn_array.h"
#include "runtime/object.h"

namespace brek {

struct Long_int {
  uint32_t w0 = 0, w1 = 0, w2 = 0, w3 = 0;

  // Operation codes of native_op.
  static constexpr int64_t OP_ADD = 0;
  static constexpr int64_t OP_NEGATE = 1;
  static constexpr int64_t OP_MULTIPLY = 2;
  static constexpr int64_t OP_DIVIDE = 3;

  static Long_int from_int64(int64_t x);
  // The signed 64-bit value held in w0 and w1.
  static int64_t to_int64(const Long_int& v);

  static Long_int add(const Long_int& a, const Long_int& b);
  static Long_int add_int64(const Long_int& a, int64_t n);
  static Long_int negate(const Long_int& a);
  static Long_int subtract(const Long_int& a, const Long_int& b);
  static Long_int subtract_int64(const Long_int& a, int64_t n);
  static Long_int multiply(const Long_int& a, const Long_int& b);
  static Long_int multiply_int64(const Long_int& a, int64_t n);
  static Long_int divide(const Long_int& a, const Long_int& b);
  static Long_int divide_int64(const Long_int& a, int64_t n);
  // -1, 0 or 1, comparing the full 128-bit values directly (a subtraction
  // would wrap for operands far apart).
  static int64_t compare(const Long_int& a, const Long_int& b);
  static bool equal(const Long_int& a, const Long_int& b) { return compare(a, b) == 0; }

  // The exchange-array form of the arithmetic: items 0-1 hold the low and
  // high 32-bit words of a, items 2-3 those of b; four items are appended
  // and items 4-5 receive the result's words, each sign-extended. op 0 a+b,
  // 1 -a, 2 a*b, 3 a/b. Items missing from the array read 0.
  static void native_op(DynAInt& exchange, int64_t op);

  // Decimal text of the 64-bit value.
  static std::string to_text(const Long_int& v);

  int64_t value() const { return to_int64(*this); }
  bool is_negative() const { return static_cast<int32_t>(w3) < 0; }
};

inline Long_int operator+(const Long_int& a, const Long_int& b) { return Long_int::add(a, b); }
inline Long_int operator-(const Long_int& a, const Long_int& b) { return Long_int::subtract(a, b); }
inline Long_int operator-(const Long_int& a) { return Long_int::negate(a); }
inline Long_int operator*(const Long_int& a, const Long_int& b) { return Long_int::multiply(a, b); }
inline Long_int operator/(const Long_int& a, const Long_int& b) { return Long_int::divide(a, b); }
inline bool operator==(const Long_int& a, const Long_int& b) { return Long_int::compare(a, b) == 0; }
inline bool operator<(const Long_int& a, const Long_int& b) { return Long_int::compare(a, b) < 0; }
inline bool operator<=(const Long_int& a, const Long_int& b) { return Long_int::compare(a, b) <= 0; }
inline bool operator>(const Long_int& a, const Long_int& b) { return Long_int::compare(a, b) > 0; }
inline bool operator>=(const Long_int& a, const Long_int& b) { return Long_int::compare(a, b) >= 0; }

// The class of the native long-integer unit; it holds no state.
class C_NATIVE_Long_int : public Brek_object {
  BREK_CLASS(C_NATIVE_Long_int)
};

}  // namespace brek
