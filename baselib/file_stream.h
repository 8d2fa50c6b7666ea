#pragma once
// C_File_stream: a C_Stream over a file. The object holds a file handle, the
// index of its open file in the opening thread's table of open files
// (entry 0 is never used; a new file takes the first free entry).
//
// Files are buffered (64 KiB over pread/pwrite): byte-by-byte reading costs
// no system call per byte, and small writes are gathered. Linux has no
// sharing modes, so the modes' rules hold among the program's own streams,
// kept per file by device and inode (READ denies writers, WRITE is
// exclusive, the ANYWAY modes deny nothing). Reading never creates a file:
// opening a missing file for reading fails, which leaves a stream with
// file_handle 0 (reads give nothing, eof is true, writes write nothing).
//
// A stream reaches its own file whichever thread calls it; closing it from
// another thread closes that file, never another thread's file that has the
// same handle number.
//
// A replacing stream (open_replacing, open_new) closed without commit()
// removes its temporary file: the target stays as it was.

#include <cstdint>
#include <memory>
#include <string>

#include "baselib/stream.h"

namespace brek {

enum class mode_file_stream { READ, WRITE, READ_WRITE, READ_ANYWAY, READ_WRITE_ANYWAY };

namespace detail {
struct Open_file;
struct File_table;
}  // namespace detail

class C_File_stream : public C_Stream {
  BREK_CLASS(C_File_stream)
 public:
  // Index of the open file in the opening thread's table; 0 = no file.
  // (Named apart from Brek_object::handle, the reference handle.)
  int64_t file_handle = 0;
  std::string name;
  mode_file_stream mode = mode_file_stream::READ;
  bool created_for_writing = false;
  // The system's error number of the last failure to open, write or
  // commit; 0 while none failed. An open that finds a directory gives
  // EISDIR, another entry that is no regular file EINVAL, one the sharing
  // rules refuse EBUSY.
  int error = 0;

  // Opens a file in a mode; a stream with file_handle 0 when it cannot be.
  static Ref<C_File_stream> open(const std::string& name, mode_file_stream mode);
  static Ref<C_File_stream> open_read(const std::string& name);
  static Ref<C_File_stream> open_read_anyway(const std::string& name);
  // READ_WRITE when read_too is set (the file is kept), else WRITE (the
  // file is created or emptied).
  static Ref<C_File_stream> open_write(const std::string& name, bool read_too);

  // Writes a new content for `name` safely: the stream writes a temporary
  // file beside it, and commit() puts it in place only after every write,
  // the flush and the sync succeeded. Until then the old file is untouched.
  static Ref<C_File_stream> open_replacing(const std::string& name);
  // The same for a name that must be new: refused (EEXIST) when the name is
  // taken, and commit() fails with EEXIST, leaving the other file alone,
  // when another program took it meanwhile.
  static Ref<C_File_stream> open_new(const std::string& name);
  // Flushes, syncs and closes the temporary file and renames it over the
  // target; false (and the temporary file removed) on any failure.
  bool commit();

  // Writes gathered bytes to the file; false when a write failed (then
  // every later write writes nothing).
  bool flush();
  // Whether any write to the file failed.
  bool write_failed() const;

  Long_int size() override;
  Long_int position() override;
  void seek(const Long_int& to, disposition_from from) override;
  bool eof() override;
  void close() override;
  bool is_closed() override;
  bool read(DynAByte& bytes, int64_t count) override;
  int64_t read_byte() override;
  int64_t read_buffer(uint8_t* buffer, int64_t n) override;
  int64_t write_buffer(const uint8_t* buffer, int64_t n) override;
  void destroy_hook() override;

  // The number of entries of this thread's table of open files (entry 0
  // included), and whether entry i holds a file.
  static int64_t table_length();
  static bool table_entry_used(int64_t i);

 private:
  std::shared_ptr<detail::File_table> table_;
  detail::Open_file* file_ = nullptr;  // owned by table_, valid while open
  std::string replace_target_;         // open_replacing: the file to replace
  std::string temp_name_;              // open_replacing: the file written
  bool keep_existing_ = false;         // open_new: never replace the target
};

}  // namespace brek
