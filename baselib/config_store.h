#pragma once
// The typed key-value files behind C_Config.
//
// Where a key path is kept, under the configuration home ($XDG_CONFIG_HOME,
// else ~/.config):
//   HKEY_CURRENT_USER\Software\App\Sec\Sub  ->  App/App.conf, section [Sec\Sub]
//   HKEY_CURRENT_USER\Software\App          ->  App/App.conf, before any section
//   <ROOT>\First\Rest (anything else)       ->  registry/<ROOT>/First.conf, section [Rest]
// A key path that starts with no known root ("HKEY_CURRENT_USER\",
// "HKEY_LOCAL_MACHINE\", "HKEY_CURRENT_CONFIG\", "HKEY_CLASSES_ROOT\",
// "HKEY_PERFORMANCE_DATA\", "HKEY_USERS\") is kept nowhere.
//
// The file is text a person can read and edit, one value a line:
//   # comment
//   [Main]
//   Thumb_w = 160                   an integer: 32 bits, written signed
//   Language = "English"            a string, always in double quotes
//   Scale = "1.5"                   reals are strings, with "."
//   "odd = name" = "a \"b\" \\ c"   names and texts quoted where needed
// Inside quotes \\, \", \n, \r, \t and \xHH stand for a byte each. A bare
// value that is no integer is read as a string. After a value, a "#" that
// follows a blank starts a comment. Section and value names
// match without regard to ASCII letter case, as registry names do. Lines
// that are not understood are kept as they are and ignored.
//
// A write takes the store's lock (settings_lock.h), reads the file afresh,
// changes the one value and replaces the file through a temporary file that
// was flushed to the disk; comments and the order of lines stay. A store
// that exists but cannot be read is never replaced (it would lose every
// other value), and a write that changes nothing writes nothing.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brek::Config_store {

struct Location {
  std::string file;     // empty: the key path is kept nowhere
  std::string section;  // "" for the values before any section line
};

struct Value {
  bool is_integer = false;
  int32_t integer = 0;
  std::string text;
  bool operator==(const Value&) const = default;
};

// The configuration home, without "/" at the end.
std::string config_home();
// Where a key path is kept.
Location locate(const std::string& key_path);

// The value, or nothing when the file, the section or the name is missing.
// Never creates anything.
std::optional<Value> read_value(const Location& where, const std::string& name);

// Stores the value. Quietly does nothing when the key path is kept nowhere;
// raises E_Config_write_failed when the folder, the lock or the file could
// not be had or replaced (the old file then stays as it was).
void write_value(const Location& where, const std::string& name, const Value& value);

// The text of a store after one value was set in it (the parser and writer
// of the format, for the store and its tests). *changed tells whether
// anything differs.
std::string set_in_text(const std::string& text, const std::string& section, const std::string& name,
                        const Value& value, bool* changed = nullptr);
std::optional<Value> find_in_text(const std::string& text, const std::string& section, const std::string& name);

}  // namespace brek::Config_store
