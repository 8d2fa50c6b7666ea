#pragma once
// File-system operations on plain path strings (UTF-8 bytes, "/" as the only
// separator: ":" and "\" are ordinary characters in Linux names).
//
// Nothing the user owns is lost here: a move never replaces an existing
// entry (platform/rename_noreplace.h), deleting goes to the trash and never
// falls back to a permanent delete, and every operation reports what the
// system calls returned. A move across file systems removes its source
// with remove_if_same: a version saved over the source meanwhile stays,
// and a source another program removed leaves the copy as the moved file.
// Failures are quiet (false, 0, empty); last_error() tells why.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/dyn_array.h"

namespace brek::File_path {

// ---- names -----------------------------------------------------------------

// The separator of this platform's paths.
inline constexpr char SEPARATOR = '/';

// The text up to and including the last "/"; empty when there is none.
std::string directory_of(const std::string& path);
// The text after the last "/"; the whole path when there is none.
std::string name_of(const std::string& path);
// The extension of the name part, from its last "." on (with the "."); empty
// when the name has none.
std::string extension_of(const std::string& path);
// The path without the extension of its name part, followed by ext.
std::string change_extension(const std::string& path, const std::string& ext);
// The path without trailing "/" (the root "/" stays as it is).
std::string without_trailing_separator(const std::string& path);

// ---- existence -------------------------------------------------------------

// A non-empty path naming an existing entry that is not a directory
// (symbolic links are followed).
bool file_exists(const std::string& path);
// The path names an existing directory (or a link to one).
bool directory_exists(const std::string& path);
// Both paths name the same file-system entry (device and inode; the last
// component's symbolic link is not followed).
bool same_entry(const std::string& a, const std::string& b);

// ---- listing and information -------------------------------------------

// Clears the list and fills it with the entries of the directory, "." and
// ".." skipped, hidden entries included, in the system's listing order. A
// subdirectory is listed as its name + "/"; a symbolic link, also one to a
// directory, as its bare name, so a walk that descends into names ending
// with "/" cannot loop. Nothing when the directory cannot be read.
void list_directory(const std::string& dir, DynAStr& list);
// The same, counting each entry read in *entries_read as it comes, for
// another thread to see that a long listing goes on.
void list_directory(const std::string& dir, DynAStr& list, std::atomic<int64_t>* entries_read);
void list_directory_2(DynAStr& list, const std::string& dir);

// Attribute bits of file_info, as the rest of the program knows them.
inline constexpr int64_t ATTR_READONLY = 0x1;    // no write permission at all
inline constexpr int64_t ATTR_HIDDEN = 0x2;      // the name begins with "."
inline constexpr int64_t ATTR_SYSTEM = 0x4;      // never set on this platform
inline constexpr int64_t ATTR_DIRECTORY = 0x10;
inline constexpr int64_t ATTR_NORMAL = 0x80;     // only when no other bit is set
inline constexpr int64_t ATTR_SYMLINK = 0x400;   // the path itself is a symbolic link

// A file's attributes, size and times. Times are local-time milliseconds on
// the day scale (days since 30 December 1899 times 86400000).
struct File_info {
  int64_t attributes = 0;
  double size = 0;
  double created = 0;   // birth time, or the modification time where the file system keeps none
  double modified = 0;
  double accessed = 0;
};

// The information of the entry the path names (links followed; a trailing
// "/" is removed first); all 0 when the path is empty or names nothing.
File_info file_info(const std::string& path);
// The same into an existing record; false when nothing was found.
bool file_info(const std::string& path, File_info& info);

// ---- changes ---------------------------------------------------------------

// Moves every listed file or directory to the trash (each path on its own:
// paths are never joined into one text). True only when every one of them
// was moved there; a path that cannot be trashed is left where it is.
bool delete_files(const std::vector<std::string>& paths);
bool delete_files(const DynAStr& paths);

// Moves or renames a file or directory. Never replaces an existing target:
// a target that is another entry refuses the move. A target that is the
// source itself under another spelling (a case-only rename on a file system
// that ignores case) is renamed through a temporary name. Across file
// systems a file (or a symbolic link) is copied into a temporary file beside
// the target, flushed to the disk, renamed to the target with its
// permissions and modification time, and only then removed from its old
// place; directories are not moved across file systems.
bool transfer_file(const std::string& source, const std::string& target);

// Deletes one file, symbolic link or empty directory for good; false when
// nothing was deleted.
bool delete_path(const std::string& path);

// Sets attributes from letters: "R" anywhere makes the entry read-only (all
// write permissions removed), its absence gives the owner write permission
// back; other letters have no counterpart here. A path ending with "/" must
// be a directory, any other a file. False when nothing was changed.
bool set_attributes(const std::string& path, const std::string& letters);

// ---- writing safely ------------------------------------------------------

// Writes all n bytes to the descriptor, going on after signals; false (with
// errno) when the system refuses.
bool write_all(int fd, const void* data, size_t n);
// Makes the entries of a directory (a rename into it) reach the disk.
void sync_directory(const std::string& dir);

// ---- texts -----------------------------------------------------------------

// A size as text: the number (cut, not rounded, after 0, 1 or 2 decimals)
// and one of " Bytes", " KBytes", " MBytes", " GBytes", " TBytes",
// " PBytes", " HBytes".
std::string size_text(double bytes);

// The errno of the last failing operation of this thread (0 after success)
// and its text.
int last_error();
std::string last_error_text();
// A failure's text with the system's reason for it ("Save operation failed:
// No space left on device"); the text alone when err is 0.
std::string with_reason(const std::string& text, int err);

}  // namespace brek::File_path
