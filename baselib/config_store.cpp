#include "baselib/config_store.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>

#include "baselib/config.h"
#include "baselib/file_path.h"
#include "baselib/settings_lock.h"
#include "baselib/system_functions.h"

namespace brek::Config_store {

namespace {

// ---- small text helpers ----------------------------------------------------

bool ieq(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && is_blank(s[a])) ++a;
  while (b > a && is_blank(s[b - 1])) --b;
  return s.substr(a, b - a);
}

bool is_control(unsigned char c) { return c < 0x20 || c == 0x7F; }

std::string quote(const std::string& s) {
  std::string out = "\"";
  for (char ch : s) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (is_control(c)) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", c);
          out += buf;
        } else {
          out += ch;  // UTF-8 stays as it is
        }
    }
  }
  return out + "\"";
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted text that starts at s[i] == '"'; i ends after the closing
// quote (or at the end of an unterminated one).
std::string unquote(const std::string& s, size_t& i) {
  std::string out;
  ++i;
  while (i < s.size()) {
    char c = s[i++];
    if (c == '"') return out;
    if (c != '\\' || i >= s.size()) {
      out += c;
      continue;
    }
    char e = s[i++];
    switch (e) {
      case '\\': out += '\\'; break;
      case '"': out += '"'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x': {
        int h = i < s.size() ? hex_digit(s[i]) : -1;
        int l = i + 1 < s.size() ? hex_digit(s[i + 1]) : -1;
        if (h >= 0 && l >= 0) {
          out += static_cast<char>(h * 16 + l);
          i += 2;
        } else {
          out += "\\x";
        }
        break;
      }
      default:  // not an escape: kept as written
        out += '\\';
        out += e;
    }
  }
  return out;
}

// A bare value that is a 32-bit integer, written signed or unsigned.
bool parse_integer(const std::string& t, int32_t& out) {
  size_t i = 0;
  bool neg = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) neg = t[i++] == '-';
  if (i >= t.size()) return false;
  int64_t v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    v = v * 10 + (t[i] - '0');
    if (v > 4294967296LL) return false;
  }
  if (neg) v = -v;
  if (v < INT32_MIN || v > 4294967295LL) return false;
  out = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
  return true;
}

bool bare_name_ok(const std::string& n) {
  if (n.empty() || is_blank(n.front()) || is_blank(n.back())) return false;
  if (n[0] == '#' || n[0] == ';' || n[0] == '[' || n[0] == '"') return false;
  for (char c : n)
    if (c == '=' || is_control(static_cast<unsigned char>(c))) return false;
  return true;
}

bool bare_section_ok(const std::string& n) {
  if (n.empty()) return true;
  if (is_blank(n.front()) || is_blank(n.back()) || n[0] == '"') return false;
  for (char c : n)
    if (c == ']' || is_control(static_cast<unsigned char>(c))) return false;
  return true;
}

std::string value_line(const std::string& name, const Value& v) {
  return (bare_name_ok(name) ? name : quote(name)) + " = " +
         (v.is_integer ? std::to_string(v.integer) : quote(v.text));
}

std::string section_line(const std::string& name) {
  return "[" + (bare_section_ok(name) ? name : quote(name)) + "]";
}

// ---- lines -----------------------------------------------------------------

enum class Kind { OTHER, SECTION, VALUE };

struct Line {
  Kind kind = Kind::OTHER;
  std::string name;
  Value value;
};

Line parse_line(const std::string& raw) {
  Line line;
  std::string t = trim(raw);
  if (t.empty() || t[0] == '#' || t[0] == ';') return line;
  if (t[0] == '[') {
    if (t.size() > 1 && t[1] == '"') {
      size_t i = 1;
      line.name = unquote(t, i);
      while (i < t.size() && is_blank(t[i])) ++i;
      if (i >= t.size() || t[i] != ']') return Line();
    } else {
      size_t close = t.rfind(']');
      if (close == std::string::npos) return line;
      line.name = trim(t.substr(1, close - 1));
    }
    line.kind = Kind::SECTION;
    return line;
  }
  size_t i = 0;
  if (t[0] == '"') {
    line.name = unquote(t, i);
    while (i < t.size() && is_blank(t[i])) ++i;
    if (i >= t.size() || t[i] != '=') return Line();
  } else {
    i = t.find('=');
    if (i == std::string::npos) return line;
    line.name = trim(t.substr(0, i));
    if (line.name.empty()) return Line();
  }
  std::string rest = trim(t.substr(i + 1));
  if (!rest.empty() && rest[0] == '"') {
    size_t k = 0;
    line.value.text = unquote(rest, k);
  } else {
    // A "#" after a blank starts a comment.
    for (size_t k = 1; k < rest.size(); ++k)
      if (rest[k] == '#' && is_blank(rest[k - 1])) {
        rest = trim(rest.substr(0, k));
        break;
      }
    if (parse_integer(rest, line.value.integer)) line.value.is_integer = true;
    else line.value.text = rest;
  }
  line.kind = Kind::VALUE;
  return line;
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string l = text.substr(start, end - start);
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(std::move(l));
    start = end + 1;
  }
  return lines;
}

// Index of the value line, or -1.
long find_line(const std::vector<Line>& parsed, const std::string& section, const std::string& name) {
  std::string current;
  for (size_t i = 0; i < parsed.size(); ++i) {
    const Line& l = parsed[i];
    if (l.kind == Kind::SECTION) current = l.name;
    else if (l.kind == Kind::VALUE && ieq(current, section) && ieq(l.name, name)) return static_cast<long>(i);
  }
  return -1;
}

// ---- files -----------------------------------------------------------------

[[noreturn]] void raise_write_failed(const std::string& file, int err) {
  throw E_Config_write_failed("The settings file " + file + " could not be written: " + std::strerror(err));
}

// The whole file; false with errno when it cannot be read (ENOENT: missing).
bool read_whole(const std::string& file, std::string& out) {
  out.clear();
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[16384];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      out.append(buf, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    int e = errno;
    ::close(fd);
    errno = e;
    return n == 0;
  }
}

// Temporaries of the store that no record names (an earlier version's, one
// cut short by a crash of the machine) left behind. The lock does not rule
// out every writer (an earlier version under another runtime folder,
// another program using the same kind of name), so only a temporary nobody
// touched for an hour counts as left behind.
void remove_stale_temporaries(const std::string& file) {
  const std::string dir = File_path::directory_of(file), name = File_path::name_of(file);
  const time_t now = ::time(nullptr);
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
    const std::string n = e.path().filename().string();
    if (!Settings_lock::is_temporary_of(n, name)) continue;
    struct stat st;
    // Only regular files of our own.
    if (::lstat(e.path().c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        st.st_mtime <= now - 3600)
      ::unlink(e.path().c_str());
  }
}

// A name for the store's next temporary: its name behind a dot, then six
// letters or digits.
std::string temporary_name(const std::string& file) {
  static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char random[6] = {};
  if (::getrandom(random, sizeof random, 0) != ssize_t(sizeof random)) {
    const uint64_t t = uint64_t(::time(nullptr)) ^ (uint64_t(::getpid()) << 20) ^ uint64_t(std::rand());
    for (size_t i = 0; i < sizeof random; ++i) random[i] = static_cast<unsigned char>(t >> (i * 8));
  }
  std::string name = File_path::directory_of(file) + "." + File_path::name_of(file) + ".";
  for (unsigned char r : random) name += letters[r % 62];
  return name;
}

// Replaces the file with the text: a temporary file beside it, named in
// the lock's record before it exists, flushed to the disk, renamed over it.
void replace_file(const std::string& file, const std::string& text, mode_t mode, Settings_lock::Held& lock) {
  std::string tmp;
  int fd = -1;
  for (int tries = 0; tries < 100 && fd < 0; ++tries) {
    tmp = temporary_name(file);
    lock.record(tmp);
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    const int e = errno;
    lock.clear_record();
    raise_write_failed(file, e);
  }
  bool ok = ::fchmod(fd, mode) == 0 && File_path::write_all(fd, text.data(), text.size()) && ::fsync(fd) == 0;
  int e = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    e = errno;
  }
  if (ok && ::rename(tmp.c_str(), file.c_str()) != 0) {
    ok = false;
    e = errno;
  }
  if (!ok) ::unlink(tmp.c_str());
  lock.clear_record();
  if (!ok) raise_write_failed(file, e);
  File_path::sync_directory(File_path::directory_of(file));
}

// A file name made of one key name: "/" and "%" are escaped, and so is a
// name made only of dots.
std::string file_name_of(const std::string& key) {
  std::string out;
  for (char ch : key) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c == '/' || c == '%' || is_control(c)) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out += ch;
    }
  }
  if (out.find_first_not_of('.') == std::string::npos) {
    std::string dots;
    for (size_t i = 0; i < out.size(); ++i) dots += "%2E";
    out = dots;
  }
  return out;
}

}  // namespace

// ---- the format ------------------------------------------------------------

std::optional<Value> find_in_text(const std::string& text, const std::string& section, const std::string& name) {
  std::vector<Line> parsed;
  for (const std::string& l : split_lines(text)) parsed.push_back(parse_line(l));
  long i = find_line(parsed, section, name);
  if (i < 0) return std::nullopt;
  return parsed[static_cast<size_t>(i)].value;
}

std::string set_in_text(const std::string& text, const std::string& section, const std::string& name,
                        const Value& value, bool* changed) {
  std::vector<std::string> lines = split_lines(text);
  std::vector<Line> parsed;
  for (const std::string& l : lines) parsed.push_back(parse_line(l));
  if (changed) *changed = true;

  long at = find_line(parsed, section, name);
  if (at >= 0) {
    Line& l = parsed[static_cast<size_t>(at)];
    if (l.value == value) {
      if (changed) *changed = false;
      return text;
    }
    lines[static_cast<size_t>(at)] = value_line(l.name, value);  // the name keeps its spelling
  } else {
    // The section's block: from its line (or the start, for the values
    // before any section) to the next section line.
    long header = -1;
    bool found = section.empty();
    if (!found) {
      for (size_t i = 0; i < parsed.size(); ++i)
        if (parsed[i].kind == Kind::SECTION && ieq(parsed[i].name, section)) {
          header = static_cast<long>(i);
          found = true;
          break;
        }
    }
    if (found) {
      size_t end = static_cast<size_t>(header + 1);
      long last_value = -1;
      while (end < parsed.size() && parsed[end].kind != Kind::SECTION) {
        if (parsed[end].kind == Kind::VALUE) last_value = static_cast<long>(end);
        ++end;
      }
      size_t pos;
      if (last_value >= 0) pos = static_cast<size_t>(last_value + 1);
      else if (header >= 0) pos = static_cast<size_t>(header + 1);
      else pos = end;  // before the first section line, after the comments
      lines.insert(lines.begin() + static_cast<long>(pos), value_line(name, value));
    } else {
      if (!lines.empty() && !trim(lines.back()).empty()) lines.emplace_back();
      lines.push_back(section_line(section));
      lines.push_back(value_line(name, value));
    }
  }
  std::string out;
  for (const std::string& l : lines) {
    out += l;
    out += '\n';
  }
  return out;
}

// ---- locations -------------------------------------------------------------

std::string config_home() {
  std::string base = NATIVE_process::environment_variable("XDG_CONFIG_HOME");
  if (base.empty() || base[0] != '/') base = System_functions::home_directory() + "/.config";
  return File_path::without_trailing_separator(base);
}

Location locate(const std::string& key_path) {
  static const char* const roots[] = {"HKEY_CURRENT_USER\\", "HKEY_LOCAL_MACHINE\\", "HKEY_CURRENT_CONFIG\\",
                                      "HKEY_CLASSES_ROOT\\", "HKEY_PERFORMANCE_DATA\\", "HKEY_USERS\\"};
  Location loc;
  std::string root;
  for (const char* r : roots) {
    if (key_path.compare(0, std::strlen(r), r) == 0) {
      root = std::string(r, std::strlen(r) - 1);
      break;
    }
  }
  if (root.empty()) return loc;
  std::vector<std::string> parts;
  size_t start = root.size() + 1;
  while (start <= key_path.size()) {
    size_t end = key_path.find('\\', start);
    if (end == std::string::npos) end = key_path.size();
    if (end > start) parts.push_back(key_path.substr(start, end - start));
    start = end + 1;
  }
  if (parts.empty()) return loc;  // values on a root key itself are not kept

  size_t first_in_section;
  if (root == "HKEY_CURRENT_USER" && parts.size() >= 2 && ieq(parts[0], "Software")) {
    std::string app = file_name_of(parts[1]);
    loc.file = config_home() + "/" + app + "/" + app + ".conf";
    first_in_section = 2;
  } else {
    loc.file = config_home() + "/registry/" + root + "/" + file_name_of(parts[0]) + ".conf";
    first_in_section = 1;
  }
  for (size_t i = first_in_section; i < parts.size(); ++i) {
    if (i > first_in_section) loc.section += '\\';
    loc.section += parts[i];
  }
  return loc;
}

// ---- reading and writing -----------------------------------------------

std::optional<Value> read_value(const Location& where, const std::string& name) {
  if (where.file.empty()) return std::nullopt;
  Settings_lock::clean_after_killed_writer(where.file);
  std::string text;
  if (!read_whole(where.file, text)) return std::nullopt;
  return find_in_text(text, where.section, name);
}

void write_value(const Location& where, const std::string& name, const Value& value) {
  if (where.file.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(File_path::directory_of(where.file), ec);
  // The folder's own failure (a read-only disk) says more than the missing
  // file that would follow from it; a file in the folder's place is named
  // by the lock below ("Not a directory").
  if (ec && ec.value() != EEXIST) raise_write_failed(where.file, ec.value());
  Settings_lock::Held lock(where.file);
  // Without the lock another writer could lose this value or its own.
  if (!lock.held()) raise_write_failed(where.file, lock.error());

  // A store that is a symbolic link (kept with the user's other dot files)
  // stays one: the file it points to is replaced.
  std::string target = where.file;
  struct stat st;
  if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(target.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  std::string text;
  bool existed = read_whole(target, text);
  // A store that exists but cannot be read is never replaced by one value.
  if (!existed && errno != ENOENT) raise_write_failed(target, errno);
  mode_t mode = 0600;
  if (existed && ::stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;
  if (!existed)
    text = "# Settings, one value a line: integers bare (32 bits), texts in double\n"
           "# quotes (reals are texts with \".\").\n";

  remove_stale_temporaries(target);
  bool changed = false;
  std::string updated = set_in_text(text, where.section, name, value, &changed);
  if (!changed && existed) return;
  replace_file(target, updated, mode, lock);
}

}  // namespace brek::Config_store
