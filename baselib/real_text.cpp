#include "baselib/real_text.h"

#include <charconv>
#include <cmath>

namespace brek::detail {

double text_to_real(const std::string& text) {
  // Digits are gathered without "_" and handed to from_chars, which rounds
  // correctly; a sum of digit times scale would not.
  std::string clean;
  size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    if (text[i] == '-') clean += '-';
    ++i;
  }
  bool digits = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c == '_') continue;
    if (c < '0' || c > '9') break;
    clean += c;
    digits = true;
  }
  if (i < text.size() && text[i] == '.') {
    clean += '.';
    for (++i; i < text.size(); ++i) {
      char c = text[i];
      if (c == '_') continue;
      if (c < '0' || c > '9') break;
      clean += c;
      digits = true;
    }
  }
  if (!digits) return 0.0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::string exp = "e";
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '-' || text[j] == '+')) exp += text[j++];
    size_t start = exp.size();
    for (; j < text.size() && text[j] >= '0' && text[j] <= '9'; ++j) exp += text[j];
    if (exp.size() > start) clean += exp;
  }
  double value = 0.0;
  const char* first = clean.data();
  if (*first == '-' && clean.size() == 1) return 0.0;
  auto res = std::from_chars(first, clean.data() + clean.size(), value, std::chars_format::general);
  if (res.ec == std::errc::result_out_of_range) {
    // Too large gives the infinity of its sign, too small gives 0.
    bool neg = clean[0] == '-';
    size_t e = clean.find('e');
    bool tiny = e != std::string::npos && e + 1 < clean.size() && clean[e + 1] == '-';
    return tiny ? (neg ? -0.0 : 0.0) : (neg ? -HUGE_VAL : HUGE_VAL);
  }
  if (res.ec != std::errc()) return 0.0;
  return value;
}

}  // namespace brek::detail
