#pragma once
// C_Stream: the base of every byte stream (files, chunked and contiguous
// memory). Subclasses supply the byte source; the base writes, once, what
// works over it: single bytes, little-endian words, byte-order marks, text
// in the eight encodings, lines and copying. Sizes and positions are
// Long_int values.
//
// The byte primitives are read_buffer and write_buffer (raw memory, so the
// platform adapter and the chunked memory stream move bytes without extra
// copies); read_into and write are their DynAByte forms.
//
// Decoded text that was read but not yet returned as a line waits in
// pending_text. Bytes of a character cut off by the end of one read (a
// UTF-8 sequence, a UTF-16 surrogate pair, a partial code unit) wait
// undecoded for the next read, so buffer boundaries never corrupt text.

#include <cstdint>
#include <memory>
#include <string>

#include "baselib/long_int.h"
#include "baselib/text_encoding.h"
#include "platform/native_stream.h"
#include "runtime/dyn_array.h"
#include "runtime/object.h"

namespace brek {

enum class disposition_from { BEGINNING, CURRENT, ENDING };

class C_Stream : public Brek_object {
  BREK_CLASS(C_Stream)
 public:
  // Bytes decoded at a time; the same for every stream.
  static constexpr int64_t BUFFER_SIZE = 4096;

  // A base stream: no data source of its own.
  static Ref<C_Stream> create();

  bool closed = false;
  brek::encoding encoding = brek::encoding::DEFAULT;
  std::string pending_text;
  int64_t buffer_size = BUFFER_SIZE;

  // ---- operations subclasses override ---------------------------------------
  virtual Long_int size();
  virtual Long_int position();
  // Clears pending_text (and undecoded bytes); subclasses move the position.
  virtual void seek(const Long_int& to, disposition_from from);
  // At or past the end and no pending text.
  virtual bool eof();
  virtual void close();
  virtual bool is_closed();
  // Reads count bytes into bytes (made count long, then cut to what came);
  // true when all came. A view or a frozen array, which cannot be made
  // longer, reads nothing (read_into reads into a view).
  virtual bool read(DynAByte& bytes, int64_t count);
  // One byte, or 0 when none could be read.
  virtual int64_t read_byte();
  // Appends one byte; the number written (0 or 1).
  virtual int64_t write_byte(uint8_t b);
  // Copies up to count bytes from the source's position to this stream;
  // returns how many were written, so a short copy (a full disk, a source
  // that ran dry) is noticed.
  virtual Long_int copy(const Ref<C_Stream>& source, const Long_int& count);
  // A text line in the stream's encoding (as read_line).
  virtual std::string read_native_line();

  // The raw byte primitives: read up to n bytes / write n bytes at the
  // position; the number moved.
  virtual int64_t read_buffer(uint8_t* buffer, int64_t n);
  virtual int64_t write_buffer(const uint8_t* buffer, int64_t n);

  // ---- written once over the operations above -------------------------------
  // Reads as many bytes as the array (usually a view on a caller's buffer)
  // holds; the number read.
  int64_t read_into(DynAByte& view);
  // Writes the whole array; the number written.
  int64_t write(const DynAByte& bytes);

  void rewind();
  // Position at or past size, whatever text is pending.
  bool at_end();
  // Unsigned 16-bit little-endian.
  int64_t read_word();
  // 32-bit little-endian, sign-extended.
  int64_t read_dword();
  // Sets the encoding; pending text is dropped unless the new one is UTF8.
  brek::encoding set_encoding(brek::encoding e);
  // Reads a byte-order mark at the position (skipping it) or guesses from
  // the first four bytes (then the position is restored); the encoding.
  brek::encoding detect_encoding();
  // Reads up to n bytes and decodes them in the stream's encoding.
  std::string read_text(int64_t n);
  // The next line without its line end.
  std::string read_line();
  // Encodes and writes; true when every byte was written.
  bool write_text(const std::string& s);
  bool write_line(const std::string& s);
  Long_int copy_rest_from(const Ref<C_Stream>& source);
  // At position 0 only: the byte-order mark of the encoding.
  bool write_bom();

  // 64-bit conveniences over size, position and seek.
  int64_t size_int64() { return Long_int::to_int64(size()); }
  int64_t position_int64() { return Long_int::to_int64(position()); }
  void seek_int64(int64_t to, disposition_from from = disposition_from::BEGINNING) {
    seek(Long_int::from_int64(to), from);
  }

 protected:
  // Undecoded bytes of a character cut off by the end of the last read.
  std::string carry_;
  // The pending-text and carry state that seek and set_encoding drop.
  void drop_text_state();

 private:
  std::string read_line_utf8();
  std::string read_line_other();
};

// The platform's view of a C_Stream: reads, writes and seeks go to the
// stream, which it does not own (a disposed stream reads as empty).
class TNATIVE_Stream_on_C_Stream : public brek_platform::Native_stream {
 public:
  explicit TNATIVE_Stream_on_C_Stream(const Ref<C_Stream>& stream) : stream_(stream) {}
  static std::unique_ptr<TNATIVE_Stream_on_C_Stream> Create(const Ref<C_Stream>& stream) {
    return std::make_unique<TNATIVE_Stream_on_C_Stream>(stream);
  }
  int64_t size() override;
  int64_t read(void* buffer, int64_t count) override;
  int64_t write(const void* buffer, int64_t count) override;
  int64_t seek(int64_t offset, int origin) override;

 private:
  Weak<C_Stream> stream_;
};

}  // namespace brek
