#pragma once
#include <string>
#include <vector>

namespace brek_test {

// A temporary directory removed with its contents when the object goes.
class Temp_dir {
 public:
  Temp_dir();
  ~Temp_dir();
  Temp_dir(const Temp_dir&) = delete;
  Temp_dir& operator=(const Temp_dir&) = delete;
  // The directory's path, without a trailing "/".
  const std::string& path() const { return path_; }
  // path() + "/" + name.
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Removes a folder and all it holds, read-only parts included.
void remove_tree(const std::string& path);

// Sets an environment variable (nullptr: unsets it) for the life of the
// object, then puts back what was there.
class Env_guard {
 public:
  Env_guard(const char* name, const char* value);
  Env_guard(const char* name, const std::string& value) : Env_guard(name, value.c_str()) {}
  ~Env_guard();
  Env_guard(const Env_guard&) = delete;
  Env_guard& operator=(const Env_guard&) = delete;

 private:
  std::string name_;
  bool had_ = false;
  std::string old_;
};

// Makes a folder the working directory for the life of the object, then
// puts back the one before.
class Working_dir {
 public:
  explicit Working_dir(const std::string& path);
  ~Working_dir();
  Working_dir(const Working_dir&) = delete;
  Working_dir& operator=(const Working_dir&) = delete;

 private:
  std::string before_;
};

// The names in a folder, sorted; none when it is missing.
std::vector<std::string> entries_of(const std::string& dir);

// Writes bytes to a file (creating or replacing it); true on success.
bool write_file(const std::string& path, const std::string& bytes);
// Reads a whole file; empty when it cannot be read.
std::string read_file(const std::string& path);

}  // namespace brek_test
