#include "baselib/long_int.h"

#include <limits>

namespace brek {

namespace {

// Wrapping signed 64-bit arithmetic, computed on unsigned values so that
// overflow is defined.
int64_t wrap_add(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}
int64_t wrap_neg(int64_t a) { return static_cast<int64_t>(0 - static_cast<uint64_t>(a)); }
int64_t wrap_mul(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(b));
}
int64_t safe_div(int64_t a, int64_t b) {
  if (b == 0) return a >= 0 ? std::numeric_limits<int64_t>::max() : -1;
  if (b == -1) return wrap_neg(a);  // INT64_MIN / -1 wraps instead of trapping
  return a / b;
}

int64_t compute(int64_t a, int64_t b, int64_t op) {
  switch (op) {
    case Long_int::OP_ADD: return wrap_add(a, b);
    case Long_int::OP_NEGATE: return wrap_neg(a);
    case Long_int::OP_MULTIPLY: return wrap_mul(a, b);
    case Long_int::OP_DIVIDE: return safe_div(a, b);
    default: return 0;
  }
}

int64_t join_words(int64_t lo, int64_t hi) {
  return static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(hi)) << 32) |
                              static_cast<uint32_t>(lo));
}

}  // namespace

Long_int Long_int::from_int64(int64_t x) {
  Long_int r;
  uint64_t u = static_cast<uint64_t>(x);
  r.w0 = static_cast<uint32_t>(u);
  r.w1 = static_cast<uint32_t>(u >> 32);
  uint32_t ext = x < 0 ? 0xFFFFFFFFu : 0u;
  r.w2 = ext;
  r.w3 = ext;
  return r;
}

int64_t Long_int::to_int64(const Long_int& v) {
  return static_cast<int64_t>((static_cast<uint64_t>(v.w1) << 32) | v.w0);
}

Long_int Long_int::add(const Long_int& a, const Long_int& b) {
  return from_int64(wrap_add(to_int64(a), to_int64(b)));
}
Long_int Long_int::add_int64(const Long_int& a, int64_t n) { return from_int64(wrap_add(to_int64(a), n)); }
Long_int Long_int::negate(const Long_int& a) { return from_int64(wrap_neg(to_int64(a))); }
Long_int Long_int::subtract(const Long_int& a, const Long_int& b) { return add(a, negate(b)); }
Long_int Long_int::subtract_int64(const Long_int& a, int64_t n) { return subtract(a, from_int64(n)); }
Long_int Long_int::multiply(const Long_int& a, const Long_int& b) {
  return from_int64(wrap_mul(to_int64(a), to_int64(b)));
}
Long_int Long_int::multiply_int64(const Long_int& a, int64_t n) { return from_int64(wrap_mul(to_int64(a), n)); }
Long_int Long_int::divide(const Long_int& a, const Long_int& b) {
  return from_int64(safe_div(to_int64(a), to_int64(b)));
}
Long_int Long_int::divide_int64(const Long_int& a, int64_t n) { return divide(a, from_int64(n)); }

int64_t Long_int::compare(const Long_int& a, const Long_int& b) {
  // Most significant word first; the top word is signed.
  if (a.w3 != b.w3) return static_cast<int32_t>(a.w3) < static_cast<int32_t>(b.w3) ? -1 : 1;
  if (a.w2 != b.w2) return a.w2 < b.w2 ? -1 : 1;
  if (a.w1 != b.w1) return a.w1 < b.w1 ? -1 : 1;
  if (a.w0 != b.w0) return a.w0 < b.w0 ? -1 : 1;
  return 0;
}

void Long_int::native_op(DynAInt& exchange, int64_t op) {
  int64_t a = join_words(exchange.get(0), exchange.get(1));
  int64_t b = join_words(exchange.get(2), exchange.get(3));
  int64_t r = compute(a, b, op);
  for (int i = 0; i < 4; ++i) exchange.append(0);
  // An array that came with fewer operand words still gets the result's.
  while (exchange.count() < 6) exchange.append(0);
  exchange.set(4, static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(r))));
  exchange.set(5, static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(r) >> 32)));
}

std::string Long_int::to_text(const Long_int& v) { return std::to_string(to_int64(v)); }

}  // namespace brek
