#include "baselib/localize_str.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <vector>

#include "baselib/date_time.h"
#include "baselib/file_path.h"
#include "baselib/file_stream.h"
#include "baselib/memory_stream.h"
#include "baselib/string_functions.h"
#include "baselib/system_functions.h"
#include "runtime/runtime_services.h"
#include "runtime/unicode.h"

namespace brek::Localize_str {

namespace SF = NATIVE_String_functions;

namespace {

struct State {
  std::vector<std::string> keys;
  std::vector<std::string> texts;
  std::vector<bool> sections;
  std::string directory;  // empty: the program's directory
  bool done = false;      // the table was written in this run
  std::string refused;    // what the last load left unread, and why
  State() {
    for (const auto& e : lng::built_in_table) {
      keys.emplace_back(e.key);
      texts.emplace_back(e.text);
      // Sections are the fixed entries whose key is a section line; a
      // translation that empties a text never turns a key into a section.
      sections.push_back(e.key[0] == '[');
    }
  }
};

State& state() {
  static State s;
  return s;
}

const std::string& empty_text() {
  static const std::string e;
  return e;
}

bool in_range(int64_t i) { return i >= 0 && i < lng::ENTRY_COUNT; }

// The text of a line up to and including its first "]" (all of it without one).
std::string through_bracket(const std::string& line) {
  size_t b = line.find(']');
  return b == std::string::npos ? line : line.substr(0, b + 1);
}

bool is_section_line(const std::string& line) { return !line.empty() && line[0] == '['; }

// "Key=" of a key line; "" for a line without "=".
std::string key_part(const std::string& line) {
  size_t eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(0, eq + 1);
}

// Code points 0x80-0x9F of Windows-1252; the rest of the upper half is
// Latin-1.
constexpr char32_t CP1252_HIGH[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string windows1252_to_utf8(const uint8_t* p, int64_t n) {
  std::string out;
  out.reserve(static_cast<size_t>(n) + static_cast<size_t>(n) / 8);
  for (int64_t i = 0; i < n; ++i) {
    uint8_t b = p[i];
    if (b < 0x80)
      out += static_cast<char>(b);
    else
      Unicode::append_utf8(out, b < 0xA0 ? CP1252_HIGH[b - 0x80] : char32_t(b));
  }
  return out;
}

bool valid_utf8(const uint8_t* p, int64_t n) {
  std::string s(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
  for (size_t i = 0; i < s.size();) {
    size_t len = 0;
    if (Unicode::decode_one(s, i, len) < 0) return false;
    i += std::max<size_t>(len, 1);
  }
  return true;
}

std::string lower(const std::string& s) { return SF::lower_case(s); }

// The ".lng" files of a directory in name order.
std::vector<std::string> language_files(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(dir.empty() ? "." : dir, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::error_code ec2;
    if (!it->is_regular_file(ec2)) continue;
    std::string name = it->path().filename().string();
    if (name.size() > 4 && lower(name.substr(name.size() - 4)) == ".lng") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string program_directory() { return System_functions::program_directory(); }

// The file's bytes, never more than MAX_FILE_BYTES however large it was
// when looked at before: false (nothing read) when it holds more, and its
// size, as far as it was seen, goes to `size`.
bool read_capped(const std::string& file_name, Ref<C_Memory_stream_contig>& bytes, int64_t& size) {
  bytes = C_Memory_stream_contig::create();
  auto f = C_File_stream::open_read_anyway(file_name);
  size = f->size_int64();
  bool within = size <= MAX_FILE_BYTES;
  uint8_t buffer[65536];
  int64_t total = 0;
  for (int64_t n; within && (n = f->read_buffer(buffer, sizeof buffer)) > 0;) {
    total += n;
    within = total <= MAX_FILE_BYTES;
    if (within) bytes->write_buffer(buffer, n);
  }
  f->close();
  size = std::max(size, total);
  if (!within) bytes = C_Memory_stream_contig::create();
  bytes->rewind();
  return within;
}

// The lines of a file (Localize_str::read_lines); false when it is larger
// than any language file, whose size then goes to `size`.
bool lines_of(const std::string& file_name, DynAStr& lines, int64_t& size) {
  Ref<C_Memory_stream_contig> m;
  if (!read_capped(file_name, m, size)) return false;
  if (m->size_int64() == 0) return true;
  encoding e = m->detect_encoding();
  if (e == encoding::ASCII || e == encoding::DEFAULT) {
    // No mark: UTF-8, unless the bytes cannot be UTF-8; then they are the
    // Windows code page the file was most likely written in.
    int64_t start = m->position_int64();
    const uint8_t* p = m->data.data() + start;
    int64_t n = m->size_int64() - start;
    if (!valid_utf8(p, n)) {
      std::string converted = windows1252_to_utf8(p, n);
      auto c = C_Memory_stream_contig::create();
      c->write_buffer(reinterpret_cast<const uint8_t*>(converted.data()), static_cast<int64_t>(converted.size()));
      c->rewind();
      m = c;
      m->encoding = e;  // no second guess over the converted bytes
    }
    if (e == encoding::ASCII) m->set_encoding(encoding::UTF8);
  }
  for (int guard = 0; !m->eof() && guard < 10000000; ++guard) {
    std::string line = m->read_native_line();
    size_t a = line.find_first_not_of("\r\n");
    if (a == std::string::npos) {
      line.clear();
    } else {
      size_t b = line.find_last_not_of("\r\n");
      line = line.substr(a, b - a + 1);
    }
    // A lone CR (old Mac files) ends a line as well.
    for (size_t cr; (cr = line.find('\r')) != std::string::npos; line.erase(0, cr + 1)) lines.append(line.substr(0, cr));
    lines.append(line);
  }
  return true;
}

// Applies the file over the current texts, unless it is too large: then
// none of it is read, and last_refused() says why.
bool apply_file(const std::string& file_name, const std::string& prefix) {
  int64_t size = 0;
  DynAStr lines;
  if (!lines_of(file_name, lines, size)) {
    state().refused = file_name + ": Language file not read, it is too large (" + File_path::size_text(double(size)) +
                      ", at most " + File_path::size_text(double(MAX_FILE_BYTES)) + ")";
    return false;
  }
  apply_lines(lines, prefix);
  return true;
}

// Whether every byte of the file can be read. A translation that cannot be
// read would otherwise look empty and be rewritten as English.
bool readable_whole(const std::string& file_name) {
  auto f = C_File_stream::open_read_anyway(file_name);
  if (f->file_handle == 0) return false;
  const int64_t size = f->size_int64();
  uint8_t buffer[4096];
  int64_t total = 0;
  // One that grows meanwhile is read no further than the cap.
  for (int64_t n; size <= MAX_FILE_BYTES && total <= MAX_FILE_BYTES && (n = f->read_buffer(buffer, sizeof buffer)) > 0;)
    total += n;
  f->close();
  return total == size && total <= MAX_FILE_BYTES;
}

// The lines of one section of a list (the non-empty ones, after the
// section line up to the next section line).
std::set<std::string> section_lines(const DynAStr& lines, int64_t section) {
  std::set<std::string> out;
  if (section < 0) return out;
  for (int64_t i = section + 1; i < lines.count(); ++i) {
    const std::string l = lines.get(i);
    if (is_section_line(l)) break;
    if (!l.empty()) out.insert(l);
  }
  return out;
}

}  // namespace

// ---- the table -------------------------------------------------------------

const std::string& text(int64_t i) { return in_range(i) ? state().texts[static_cast<size_t>(i)] : empty_text(); }
const std::string& key(int64_t i) { return in_range(i) ? state().keys[static_cast<size_t>(i)] : empty_text(); }
bool is_section(int64_t i) { return in_range(i) && state().sections[static_cast<size_t>(i)]; }

void reset_to_english() {
  State& s = state();
  for (int i = 0; i < lng::ENTRY_COUNT; ++i) s.texts[static_cast<size_t>(i)] = lng::built_in_table[i].text;
}

DynAStr table_as_lines() {
  State& s = state();
  DynAStr lines;
  for (size_t i = 0; i < s.keys.size(); ++i) {
    if (s.sections[i])
      lines.append(is_section_line(s.keys[i]) ? s.keys[i] : "[" + s.keys[i] + "]");
    else
      lines.append(s.keys[i] + "=" + s.texts[i]);
  }
  return lines;
}

// ---- directories -----------------------------------------------------------

void set_language_directory(const std::string& dir) { state().directory = SF::with_trailing_separator(dir); }

std::string directory() {
  const std::string& d = state().directory;
  return d.empty() ? program_directory() : d;
}

std::string fallback_directory() { return System_functions::user_data_directory(); }

std::vector<std::string> searched_directories() {
  // The user's folder first: a user who cannot write the program's folder
  // adds a language, or replaces one, in their own.
  std::vector<std::string> dirs{fallback_directory()};
  if (directory() != dirs[0]) dirs.push_back(directory());
  return dirs;
}

// ---- files -----------------------------------------------------------------

DynAStr read_lines(const std::string& file_name) {
  DynAStr lines;
  int64_t size = 0;
  if (!lines_of(file_name, lines, size)) lines.clear();
  return lines;
}

bool write_lines(const std::string& file_name, const DynAStr& lines) {
  auto f = C_File_stream::open_replacing(file_name);
  if (f->file_handle == 0) return false;
  f->set_encoding(encoding::UTF8);
  bool ok = f->write_bom();
  for (const std::string& l : lines) ok = ok && f->write_text(l + "\r\n");
  if (!ok) {
    f->close();  // the old file stays
    return false;
  }
  return f->commit();
}

int64_t find_section(const DynAStr& lines, const std::string& section_line) {
  std::string wanted = through_bracket(section_line);
  for (int64_t i = 0; i < lines.count(); ++i) {
    const std::string l = lines.get(i);
    if (is_section_line(l) && through_bracket(l) == wanted) return i;
  }
  return -1;
}

std::string find_language_file(const std::string& dir, const std::string& code) {
  std::string suffix = "_" + lower(code);
  for (const std::string& name : language_files(dir)) {
    std::string stem = lower(name.substr(0, name.size() - 4));
    if (SF::ends_with(stem, suffix)) return dir + name;
  }
  return {};
}

// ---- applying a language ---------------------------------------------------

void apply_lines(const DynAStr& lines, const std::string& prefix) {
  State& s = state();
  // Key lines before the first section line belong to the first section.
  int64_t section = 0;
  for (const std::string& line : lines) {
    if (is_section_line(line)) {
      section = -1;
      std::string wanted = through_bracket(line);
      for (int64_t i = 0; i < lng::ENTRY_COUNT; ++i)
        if (s.sections[static_cast<size_t>(i)] && through_bracket(s.keys[static_cast<size_t>(i)]) == wanted) {
          section = i;
          break;
        }
      continue;
    }
    if (section < 0 || !SF::starts_with(line, prefix)) continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string k = line.substr(0, eq);
    for (int64_t i = section + 1; i < lng::ENTRY_COUNT && !s.sections[static_cast<size_t>(i)]; ++i) {
      if (s.keys[static_cast<size_t>(i)] == k) {
        s.texts[static_cast<size_t>(i)] = line.substr(eq + 1);
        break;
      }
    }
  }
}

bool load_language(const std::string& code, const std::string& prefix, bool write_default) {
  if (write_default) write_language_file("", "Default");
  state().refused.clear();
  std::string file;
  for (const std::string& dir : searched_directories())
    if (file.empty()) file = find_language_file(dir, code);
  return !file.empty() && apply_file(file, prefix);
}

bool load_language(const std::string& code) {
  reset_to_english();
  return load_language(code, "", false);
}

bool load_language_file(const std::string& code, const std::string& name) {
  state().refused.clear();
  std::string file_name = name + "_" + code + ".lng";
  for (const std::string& dir : searched_directories()) {
    std::string path = dir + file_name;
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) return apply_file(path, "");
  }
  return false;
}

const std::string& last_refused() { return state().refused; }

std::string available_languages() {
  // One entry per code: the file found first (the user's) stands for it.
  std::vector<std::string> stems;
  std::set<std::string> codes;
  for (const std::string& dir : searched_directories())
    for (const std::string& f : language_files(dir)) {
      std::string stem = f.substr(0, f.size() - 4);
      size_t us = stem.rfind('_');
      if (us == std::string::npos) continue;  // not named language_code
      if (codes.insert(lower(stem.substr(us + 1))).second) stems.push_back(stem);
    }
  std::sort(stems.begin(), stems.end());
  std::string out;
  for (const std::string& stem : stems) {
    size_t us = stem.rfind('_');
    if (!out.empty()) out += ";";
    out += stem.substr(0, us) + ";" + stem.substr(us + 1);
  }
  return out;
}

// ---- writing the table and keeping other files in step ---------------------

bool table_changed(const DynAStr& old_lines, const DynAStr& new_lines) {
  if (old_lines.count() != new_lines.count()) return true;
  DynAStr a, b;
  for (const std::string& l : old_lines) a.append(SF::trim_right(l));
  for (const std::string& l : new_lines) b.append(SF::trim_right(l));
  for (const DynAStr* list : {&a, &b}) {
    for (int64_t i = 0; i < list->count(); ++i) {
      std::string l = list->get(i);
      if (!is_section_line(l)) continue;
      if (section_lines(a, find_section(a, l)) != section_lines(b, find_section(b, l))) return true;
    }
  }
  return false;
}

bool update_language_lines(DynAStr& lines, const DynAStr& table_lines, const std::string& now_text) {
  bool removed = false, marked = false, added = false;
  // a. Unknown sections are marked and left alone; keys the table no
  // longer has are taken out of the sections it knows.
  int64_t table_section = -1;
  bool known = false;
  for (int64_t i = 0; i < lines.count(); ++i) {
    std::string l = lines.get(i);
    if (is_section_line(l)) {
      table_section = find_section(table_lines, l);
      known = table_section >= 0;
      if (!known) {
        lines.set(i, through_bracket(l) + " // did not used ? " + now_text);
        marked = true;
      }
      continue;
    }
    if (!known) continue;
    std::string k = key_part(l);
    if (k.empty()) continue;
    bool found = false;
    for (int64_t t = table_section + 1; t < table_lines.count(); ++t) {
      std::string tl = table_lines.get(t);
      if (is_section_line(tl)) break;
      if (key_part(tl) == k) {
        found = true;
        break;
      }
    }
    if (!found) {
      lines.remove(i, 1);
      --i;
      removed = true;
    }
  }
  // b. Only when nothing was taken out: what the table has and the file
  // lacks is added.
  if (!removed) {
    bool skipping = false;  // the keys of a section appended whole
    std::string current_section;
    for (int64_t t = 0; t < table_lines.count(); ++t) {
      std::string tl = table_lines.get(t);
      if (is_section_line(tl)) {
        current_section = tl;
        skipping = false;
        if (find_section(lines, tl) < 0) {
          lines.append(tl);
          for (int64_t k = t + 1; k < table_lines.count() && !is_section_line(table_lines.get(k)); ++k)
            lines.append(table_lines.get(k));
          skipping = true;
          added = true;
        }
        continue;
      }
      if (skipping || current_section.empty()) continue;
      int64_t fs = find_section(lines, current_section);
      if (fs < 0) continue;
      std::string k = key_part(tl);
      bool present = false;
      for (int64_t i = fs + 1; i < lines.count(); ++i) {
        std::string l = lines.get(i);
        if (is_section_line(l)) break;
        if (!k.empty() && key_part(l) == k) {
          present = true;
          break;
        }
      }
      if (!present) {
        lines.insert(fs + 1, tl);
        added = true;
      }
    }
  }
  return removed || marked || added;
}

void write_language_file(const std::string& code, const std::string& name) {
  State& s = state();
  if (s.done) return;
  s.done = true;
  std::string file_name = name + "_" + code + ".lng";
  DynAStr fresh = table_as_lines();
  std::string dir = directory();
  std::string path = dir + file_name;
  DynAStr old = read_lines(path);
  if (!write_lines(path, fresh)) {
    if (dir == program_directory()) {
      // Goes on below: the other files of the program's directory are
      // still brought up to date where they can be.
    } else {
      dir = fallback_directory();
      std::error_code ec;
      std::filesystem::create_directories(dir, ec);
      path = dir + file_name;
      old = read_lines(path);
      if (!write_lines(path, fresh)) return;
    }
  }
  if (!table_changed(old, fresh)) return;
  std::string now_text = Date_time::to_text(Date_time::now());
  std::string written = lower(path);
  for (const std::string& f : language_files(dir)) {
    std::string other = dir + f;
    if (lower(other) == written) continue;
    if (!readable_whole(other)) {
      Brek_runtime::console_write_line("Language file not updated, it cannot be read: " + other);
      continue;
    }
    DynAStr lines = read_lines(other);
    if (update_language_lines(lines, fresh, now_text)) write_lines(other, lines);
  }
}

void allow_write_again() { state().done = false; }

}  // namespace brek::Localize_str
