#include "baselib/string_functions.h"

#include "runtime/exceptions.h"
#include "runtime/runtime_services.h"
#include "runtime/strings.h"
#include "runtime/unicode.h"

namespace brek::NATIVE_String_functions {

namespace R = Brek_runtime;

bool starts_with(const std::string& s, const std::string& p) {
  return p.size() <= s.size() && s.compare(0, p.size(), p) == 0;
}

bool ends_with(const std::string& s, const std::string& t) {
  return t.size() <= s.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

std::string ensure_suffix(const std::string& s, const std::string& t) { return ends_with(s, t) ? s : s + t; }

std::string path_separator() { return "/"; }

std::string with_trailing_separator(const std::string& s) {
  if (s.empty()) return s;
  return ensure_suffix(s, path_separator());
}

std::string remove_suffix(const std::string& s, const std::string& t) {
  return ends_with(s, t) ? s.substr(0, s.size() - t.size()) : s;
}

std::string remove_prefix(const std::string& s, const std::string& p) {
  return starts_with(s, p) ? s.substr(p.size()) : s;
}

int64_t last_index_of(const std::string& s, const std::string& t) {
  if (t.empty() || t.size() > s.size()) return -1;
  size_t p = s.rfind(t);
  return p == std::string::npos ? -1 : static_cast<int64_t>(p);
}

std::string after_first(const std::string& s, const std::string& t) {
  int64_t p = R::str_index_of(s, t);
  return p < 0 ? std::string() : s.substr(static_cast<size_t>(p) + t.size());
}

std::string before_first(const std::string& s, const std::string& t) {
  int64_t p = R::str_index_of(s, t);
  return p < 0 ? std::string() : s.substr(0, static_cast<size_t>(p));
}

std::string string_if(bool flag, const std::string& s) { return flag ? s : std::string(); }

std::string char_to_str(int64_t code) {
  if (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::string();
  std::string out;
  Unicode::append_utf8(out, static_cast<char32_t>(code));
  return out;
}

int64_t first_char_code(const std::string& s) { return s.empty() ? 0 : static_cast<unsigned char>(s[0]); }

std::string upper_case(const std::string& s) { return R::upper_case(s); }
std::string lower_case(const std::string& s) { return R::lower_case(s); }

namespace {
bool blank(char c) { return static_cast<unsigned char>(c) <= 32; }
}  // namespace

std::string trim_left(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && blank(s[i])) ++i;
  return s.substr(i);
}

std::string trim_right(const std::string& s) {
  size_t n = s.size();
  while (n > 0 && blank(s[n - 1])) --n;
  return s.substr(0, n);
}

std::string trim_right_2(const std::string& s) { return trim_right(s); }
std::string trim(const std::string& s) { return trim_left(trim_right(s)); }

int64_t count_char(const std::string& s, const std::string& c) {
  if (c.empty()) return 0;
  int64_t n = 0;
  for (size_t p = s.find(c); p != std::string::npos; p = s.find(c, p + c.size())) ++n;
  return n;
}

std::string replace_first(const std::string& s, const std::string& old_text, const std::string& new_text) {
  int64_t p = R::str_index_of(s, old_text);
  if (p < 0) return s;
  std::string r = s;
  r.replace(static_cast<size_t>(p), old_text.size(), new_text);
  return r;
}

std::string replace_last(const std::string& s, const std::string& old_text, const std::string& new_text) {
  int64_t p = last_index_of(s, old_text);
  if (p < 0) return s;
  std::string r = s;
  r.replace(static_cast<size_t>(p), old_text.size(), new_text);
  return r;
}

std::string replace(const std::string& s, const std::string& old_text, const std::string& new_text) {
  if (old_text.empty()) return s;
  std::string out;
  size_t from = 0;
  for (size_t p = s.find(old_text); p != std::string::npos; p = s.find(old_text, from)) {
    R::loop_tick();
    out.append(s, from, p - from);
    out += new_text;
    from = p + old_text.size();
  }
  out.append(s, from, std::string::npos);
  return out;
}

std::string replace_all(const std::string& s, const std::string& old_text, const std::string& new_text) {
  return replace(s, old_text, new_text);
}

std::string repeat(const std::string& s, int64_t n) {
  if (n <= 0 || s.empty()) return std::string();
  if (static_cast<uint64_t>(n) > (std::string().max_size() / 2) / s.size())
    throw OutOfMemoryException("Out of memory");
  std::string out;
  out.reserve(s.size() * static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i) {
    R::loop_tick();
    out += s;
  }
  return out;
}

void split(DynAStr& array, const std::string& s, const std::string& separator) {
  array.clear();
  if (s.empty()) return;
  if (separator.empty()) {
    array.append(s);
    return;
  }
  size_t from = 0;
  for (size_t p = s.find(separator); p != std::string::npos; p = s.find(separator, from)) {
    R::loop_tick();
    array.append(s.substr(from, p - from));
    from = p + separator.size();
  }
  array.append(s.substr(from));
}

DynAStr split(const std::string& s, const std::string& separator) {
  DynAStr a;
  split(a, s, separator);
  return a;
}

bool wildcard_match(const std::string& text, const std::string& pattern) {
  return R::wildcard_match(text, pattern);
}

}  // namespace brek::NATIVE_String_functions
