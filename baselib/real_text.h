#pragma once
// Real numbers as text with "." whatever the locale: the file sizes shown to
// the user and the reals kept in the configuration store both use it.

#include <string>

namespace brek::detail {

// The shortest text that reads back as the same double, in plain decimal
// notation (never an exponent); "nan", "inf" and "-inf" for the others.
std::string real_to_text(double value);

// Reads a real from the start of the text: an optional sign, digits with
// "_" skipped, a "." fraction and an "e" exponent; reading stops at the
// first other character. A text without a number gives 0.
double text_to_real(const std::string& text);

}  // namespace brek::detail
