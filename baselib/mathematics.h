#pragma once
// Real-number functions with defined results where a raw call would trap or
// be undefined, the rule for approximately equal reals, and the number text
// parser ("." as decimal separator, "_" as digit separator, an exponent).

#include <cstdint>
#include <string>

namespace brek::Mathematics {

double square(double x);
// x raised to y; NaN when x = 0 and y < 0, when y is infinite, or when the
// result is not a finite number while x and y are (a domain error or an
// overflow).
double power(double x, double y);
// Square root; a negative x is logged as an invalid operation and gives 0.
double sqrt(double x);
bool is_nan(double x);
// -x when x < 0, else x (NaN stays NaN).
double abs_real(double x);
// Magnitude; the smallest value wraps to itself.
int64_t int64_abs(int64_t n);
// -1, 0 or 1; 0 for 0, -0 and NaN.
int64_t sign(double x);
// To an integer, ties to even, as a double.
double round_real(double x);
// Equal within 1e-9 of the smaller magnitude (1e-11 when that magnitude is
// at most 1e-6); false when either is NaN.
bool approx_equal(double x, double y);
bool approx_equal_2(double x, double y);
double pi();
// Sine and cosine in radians; 0 (logged) for an infinite argument.
double sin(double x);
double cos(double x);
// Reads a number: an optional sign at the start, digits with "_" skipped, an
// optional "." and fraction, an optional "E"/"e" exponent (read like
// Brek_runtime::str_to_int). Reading stops at the first other character; the
// accepted characters are converted exactly. "" or no digits give 0.
double str_to_real(const std::string& s);
// Nearest integer, halves away from zero (2.5 -> 3, -2.5 -> -3); saturates
// at the 64-bit range, NaN gives 0.
int64_t round_to_int64(double x);

}  // namespace brek::Mathematics
