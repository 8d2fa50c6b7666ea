#pragma once
// The eight text encodings and the conversions between the program's
// strings and byte arrays.
//
// A string of the program holds UTF-8 bytes, and UTF-8 is the platform's
// code page here, so DEFAULT and ASCII move bytes unchanged in both
// directions. The Unicode conversions decode the string as UTF-8 (a byte
// that is not part of a valid sequence becomes U+FFFD) and decoders turn
// malformed input into U+FFFD as well. Characters beyond U+FFFF survive
// every conversion: UTF-16 carries them as surrogate pairs, UTF-32 as one
// unit.
//
// Decoders read a DynAByte and return the text; encoders empty the target
// DynAByte and fill it.

#include <cstdint>
#include <string>

#include "runtime/dyn_array.h"
#include "runtime/unicode.h"

namespace brek {

enum class encoding : int64_t { DEFAULT, ASCII, UTF8, UTF16, UTF16_BIG, UTF7, UTF32, UTF32_BIG };

namespace NATIVE_String_functions {

// ---- decoders (bytes to text) ----------------------------------------------
// One character per byte.
std::string bytes_to_ansi(const DynAByte& bytes);
std::string bytes_to_ascii(const DynAByte& bytes);
std::string utf8_to_text(const DynAByte& bytes);
std::string utf7_to_text(const DynAByte& bytes);
// Pairs of bytes; a last odd byte is ignored; fewer than 2 bytes give "".
std::string utf16le_to_text(const DynAByte& bytes);
std::string utf16be_to_text(const DynAByte& bytes);
// Groups of 4 bytes; trailing bytes beyond a multiple of 4 are ignored.
std::string utf32le_to_text(const DynAByte& bytes);
std::string utf32be_to_text(const DynAByte& bytes);

// ---- encoders (text to bytes; the target is emptied first) -----------------
void ansi_to_bytes(const std::string& s, DynAByte& bytes);
void ascii_to_bytes(const std::string& s, DynAByte& bytes);
void text_to_utf8(const std::string& s, DynAByte& bytes);
void text_to_utf7(const std::string& s, DynAByte& bytes);
void text_to_utf16le(const std::string& s, DynAByte& bytes);
void text_to_utf16be(const std::string& s, DynAByte& bytes);
void text_to_utf32le(const std::string& s, DynAByte& bytes);
void text_to_utf32be(const std::string& s, DynAByte& bytes);

// The decoder and the encoder of an encoding (DEFAULT and ASCII: the bytes
// as they are). An unknown value counts as DEFAULT.
std::string decode_text(const DynAByte& bytes, encoding e);
void encode_text(const std::string& s, encoding e, DynAByte& bytes);

}  // namespace NATIVE_String_functions


}  // namespace brek
