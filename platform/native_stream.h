#pragma once
// A byte stream of the program as the platform layer sees it: platform-side
// readers and writers (image files, for example) call these four
// operations and never see the program's stream classes. No Qt types here.

#include <cstdint>

namespace brek_platform {

class Native_stream {
 public:
  virtual ~Native_stream() = default;
  // The stream's length in bytes.
  virtual int64_t size() = 0;
  // Reads up to count bytes into buffer; the number read (0 at the end).
  virtual int64_t read(void* buffer, int64_t count) = 0;
  // Writes count bytes from buffer; the number written.
  virtual int64_t write(const void* buffer, int64_t count) = 0;
  // Moves by offset from origin 0 (beginning), 1 (current position) or 2
  // (end); returns the new position.
  virtual int64_t seek(int64_t offset, int origin) = 0;
};

}  // namespace brek_platform
