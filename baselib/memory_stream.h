#pragma once
// Streams that keep their bytes in memory.
//
// C_Memory_stream_contig holds every byte in one array (`data`, whose
// length is the capacity); it is what whole files are loaded into.
// C_Memory_stream holds a list of contiguous chunks whose capacities grow by
// half from 4096 bytes up to 1 MiB, so appending never moves what was
// written before. Each chunk's start offset is kept, so a seek finds its
// chunk by binary search.
//
// Positions and sizes are 64-bit; neither stream grows past
// MEMORY_STREAM_LIMIT (writes beyond it write nothing), and an allocation
// that fails is a short write, not a crash.

#include <cstdint>
#include <string>
#include <vector>

#include "baselib/stream.h"

namespace brek {

inline constexpr int64_t MEMORY_STREAM_LIMIT = int64_t(1) << 40;

class C_Memory_stream_contig : public C_Stream {
  BREK_CLASS(C_Memory_stream_contig)
 public:
  // The storage; its length is the capacity, bytes past size are unused.
  DynAByte data;

  static Ref<C_Memory_stream_contig> create();
  // The whole file, positioned at 0; an empty stream when it cannot be read.
  static Ref<C_Memory_stream_contig> load_from_file(const std::string& name);

  // Makes the storage at least n bytes long (new bytes 0); false when that
  // is beyond the limit or memory ran out.
  bool ensure_size(int64_t n);
  int64_t capacity() const { return data.count(); }
  // Cuts size (and the storage beyond it) to n when n is not above size.
  void truncate(int64_t n);
  // Makes size and storage exactly n bytes (new bytes 0); the position
  // stays within.
  bool set_size(int64_t n);

  Long_int size() override;
  Long_int position() override;
  void seek(const Long_int& to, disposition_from from) override;
  void close() override;
  bool is_closed() override;
  int64_t read_byte() override;
  int64_t write_byte(uint8_t b) override;
  Long_int copy(const Ref<C_Stream>& source, const Long_int& count) override;
  std::string read_native_line() override;
  int64_t read_buffer(uint8_t* buffer, int64_t n) override;
  int64_t write_buffer(const uint8_t* buffer, int64_t n) override;
  void destroy_hook() override;

  // Direct access for the chunked stream.
  int64_t pos() const { return pos_; }
  int64_t used() const { return size_; }
  void set_pos(int64_t p) { pos_ = p < 0 ? 0 : p > size_ ? size_ : p; }

 private:
  int64_t pos_ = 0;
  int64_t size_ = 0;
};

class C_Memory_stream : public C_Stream {
  BREK_CLASS(C_Memory_stream)
 public:
  static constexpr int64_t FIRST_CHUNK = 4096;
  static constexpr int64_t MAX_CHUNK = 1048576;

  // The chunks, owned; every chunk but the last is full.
  DynAObj<C_Memory_stream_contig> chunks = DynAObj<C_Memory_stream_contig>::disposing();
  // The chunk that holds the position.
  int64_t current = 0;
  // The capacity of the next new chunk.
  int64_t chunk_size = FIRST_CHUNK;
  // Whether chunk_size grows.
  bool growing = true;

  static Ref<C_Memory_stream> create();

  Long_int size() override;
  Long_int position() override;
  void seek(const Long_int& to, disposition_from from) override;
  void close() override;
  int64_t read_byte() override;
  int64_t write_byte(uint8_t b) override;
  Long_int copy(const Ref<C_Stream>& source, const Long_int& count) override;
  int64_t read_buffer(uint8_t* buffer, int64_t n) override;
  int64_t write_buffer(const uint8_t* buffer, int64_t n) override;
  void destroy_hook() override;

 private:
  int64_t size64() const;
  int64_t position64() const;
  // Puts the position on the chunk after the current one, at its start;
  // false at the last chunk.
  bool next_chunk();
  // Appends a chunk by the growth rule and makes it current; false when
  // memory or the limit does not allow it.
  bool append_chunk();
  C_Memory_stream_contig* chunk_with_room();
  // Start offsets of the chunks (every chunk before the last is full).
  std::vector<int64_t> bases_;
};

}  // namespace brek
