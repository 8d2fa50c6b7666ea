#pragma once
// The everyday string functions: prefix and suffix tests, search from the
// end, replace, split, trim, repeat, case mapping and the wildcard matcher.
// Every function returns a new string and leaves its arguments alone;
// indexes are 0-based byte positions. The text encodings are in
// baselib/text_encoding.h.

#include <cstdint>
#include <string>

#include "baselib/text_encoding.h"
#include "runtime/dyn_array.h"

namespace brek::NATIVE_String_functions {

// True when p is empty or s begins with p.
bool starts_with(const std::string& s, const std::string& p);
// True when t is empty or s ends with t.
bool ends_with(const std::string& s, const std::string& t);
// s when it ends with t, else s + t.
std::string ensure_suffix(const std::string& s, const std::string& t);
// "/" on this platform.
std::string path_separator();
// "" for an empty path, else the path ending with the separator.
std::string with_trailing_separator(const std::string& s);
// s without t at its end / p at its start, when there; else s.
std::string remove_suffix(const std::string& s, const std::string& t);
std::string remove_prefix(const std::string& s, const std::string& p);
// Position of the last occurrence of t, -1 when none (or t is "").
int64_t last_index_of(const std::string& s, const std::string& t);
// The text after / before the first occurrence of t; "" when t does not
// occur.
std::string after_first(const std::string& s, const std::string& t);
std::string before_first(const std::string& s, const std::string& t);
std::string string_if(bool flag, const std::string& s);
// The one-character string of a code (UTF-8 for codes from 128 up; ""
// for values that are no character).
std::string char_to_str(int64_t code);
// The first byte's value, 0 for "".
int64_t first_char_code(const std::string& s);
std::string upper_case(const std::string& s);
std::string lower_case(const std::string& s);
// Without leading and/or trailing bytes of code 32 or less.
std::string trim(const std::string& s);
std::string trim_left(const std::string& s);
std::string trim_right(const std::string& s);
std::string trim_right_2(const std::string& s);
// How many times c occurs in s (non-overlapping; 0 for an empty c).
int64_t count_char(const std::string& s, const std::string& c);
// s with its first / last occurrence of old_text replaced; s when old_text
// does not occur or is empty.
std::string replace_first(const std::string& s, const std::string& old_text, const std::string& new_text);
std::string replace_last(const std::string& s, const std::string& old_text, const std::string& new_text);
// Every occurrence replaced in one pass from left to right; the new text
// is never searched again. An empty old_text changes nothing.
std::string replace(const std::string& s, const std::string& old_text, const std::string& new_text);
std::string replace_all(const std::string& s, const std::string& old_text, const std::string& new_text);
// s repeated n times; "" when n or s is empty. Raises OutOfMemoryException
// when the result would not fit in memory.
std::string repeat(const std::string& s, int64_t n);
// Empties the array and fills it with the pieces of s between separators:
// n separators give n + 1 pieces, empty ones included. An empty s gives no
// piece; an empty separator gives s as the only piece.
void split(DynAStr& array, const std::string& s, const std::string& separator);
DynAStr split(const std::string& s, const std::string& separator);
// Case-insensitive match of the whole text: "%" any run, "?" one character.
bool wildcard_match(const std::string& text, const std::string& pattern);

}  // namespace brek::NATIVE_String_functions
