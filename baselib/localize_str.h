#pragma once
// The language module: the table of interface texts (baselib/
// language_table.h gives every entry's position), language files over it,
// and the upkeep of those files.
//
// A language file is named language name + "_" + code + ".lng"
// ("English_EN.lng"): section lines "[{Class}]" and key lines
// "Key=Text"; any other line is kept but has no effect. Files are read
// in whatever encoding their mark says (UTF-8 when they have none; a file
// that is not valid UTF-8 is taken as Windows-1252) and written as UTF-8
// with a mark and CR LF line ends, always through a temporary file.
//
// A file larger than MAX_FILE_BYTES is never read: no table comes near
// that size, and reading it whole would hold it in memory. The read itself
// keeps to the cap, so a file that grows after its size was seen is
// refused as well. A file that cannot be read whole is left alone and
// reported (last_refused), never taken as empty and written over. A lone
// CR ends a line, as LF and CR LF do.
//
// The table is used on the main thread only.

#include <cstdint>
#include <string>
#include <vector>

#include "baselib/language_table.h"
#include "runtime/dyn_array.h"

namespace brek::Localize_str {

// The largest language file read (16 MiB).
inline constexpr int64_t MAX_FILE_BYTES = int64_t(16) << 20;

// ---- the table -------------------------------------------------------------

// The current text of entry i; "" out of range and for sections.
const std::string& text(int64_t i);
// The key of entry i (a section's key is its line "[{Class}]").
const std::string& key(int64_t i);
bool is_section(int64_t i);
// Every text back to the built-in English.
void reset_to_english();
// The table as the lines of a language file.
DynAStr table_as_lines();

// ---- languages -------------------------------------------------------------

// With write_default, first write_language_file("", "Default"). Then
// finds the file of code in the fallback (the user's) directory, else in
// the language directory, and applies its key lines that begin with prefix (an empty
// prefix takes all) over the current texts. False when no file was found
// or the file found was refused (last_refused() says why).
bool load_language(const std::string& code, const std::string& prefix, bool write_default);
// Switches to a language: the built-in English texts, then the file of
// code over them. False when no file was found (English stays).
bool load_language(const std::string& code);
// Applies the file name + "_" + code + ".lng" of the fallback directory
// (else of the language directory) over the current texts; false as
// load_language.
bool load_language_file(const std::string& code, const std::string& name);
// The file the last load_language or load_language_file found but did not
// read, and why, as a message ("<path>: ..."); "" when it read what it
// found or found nothing.
const std::string& last_refused();

// Once per run: writes the table as name + "_" + code + ".lng" into the
// language directory (the fallback directory when that fails and the
// language directory is not the program's), and when the table differs
// from what that file held, brings every other language file of the
// directory up to date.
void write_language_file(const std::string& code, const std::string& name);

// The languages present: name;code pairs joined by ";" ("Deutsch;DE;
// English;EN" without blanks), in file name order, from the fallback and
// the language directory; for a code found in both, the fallback
// directory's file stands.
std::string available_languages();

// The language directory (stored with a trailing "/"; an empty text goes
// back to the program's directory) and the per-user fallback directory.
void set_language_directory(const std::string& dir);
std::string directory();
std::string fallback_directory();
// Where languages are looked for: the fallback directory, then the
// language directory.
std::vector<std::string> searched_directories();

// ---- steps of the above, for their callers and tests -----------------------

// The lines of a file, each without leading and trailing CR and LF; empty
// when it cannot be read or is larger than MAX_FILE_BYTES.
DynAStr read_lines(const std::string& file_name);
// Writes lines as UTF-8 with a mark, each followed by CR LF; the old file
// is replaced only when everything was written.
bool write_lines(const std::string& file_name, const DynAStr& lines);
// The index of the section line (compared up to and including its first
// "]"), or -1.
int64_t find_section(const DynAStr& lines, const std::string& section_line);
// The first ".lng" file of dir (in name order) whose lower-case name
// without the extension ends with "_" + the lower-case code; "" if none.
std::string find_language_file(const std::string& dir, const std::string& code);
// Applies language-file lines over the current texts.
void apply_lines(const DynAStr& lines, const std::string& prefix);
// Whether the table lines differ from an earlier written table.
bool table_changed(const DynAStr& old_lines, const DynAStr& new_lines);
// Brings another language file's lines up to date with the table lines:
// unknown sections marked with " // did not used ? " + now_text, unknown
// keys of known sections removed, or (when none was removed) missing
// sections appended and missing keys inserted after their section line.
// True when the lines changed.
bool update_language_lines(DynAStr& lines, const DynAStr& table_lines, const std::string& now_text);
// Lets write_language_file run again in this process.
void allow_write_again();

}  // namespace brek::Localize_str
