#pragma once
// Reading a real from text with "." whatever the locale, for the reals the
// settings store keeps as text.

#include <string>

namespace brek::detail {

// Reads a real from the start of the text: an optional sign, digits with
// "_" skipped, a "." fraction and an "e" exponent; reading stops at the
// first other character. A text without a number gives 0.
double text_to_real(const std::string& text);

}  // namespace brek::detail
