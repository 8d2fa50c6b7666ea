#pragma once
// Memory for pixels. A full-size photograph is tens of megabytes: taken
// from the heap in 4 KiB pages it costs more in page faults than decoding
// it does. Large blocks are therefore mapped straight from the kernel on
// 2 MiB boundaries with transparent huge pages asked for (where the kernel
// offers them), and unmapped when freed so the memory goes back to the
// system at once. Small blocks come from the heap. AddressSanitizer does
// not see into mapped blocks.

#include <cstddef>
#include <cstdint>

namespace brek::Pixel_memory {

// Blocks of at least this many bytes (a 4-megapixel picture) are mapped;
// smaller ones, such as the back buffers made at every repaint, are
// cheaper from the heap, which keeps them for reuse.
inline constexpr size_t MAPPED_BYTES = size_t(16) << 20;
// The huge page size asked for.
inline constexpr size_t HUGE_PAGE = size_t(2) << 20;

struct Block {
  uint32_t* words = nullptr;
  size_t count = 0;      // words
  bool mapped = false;   // unmapped on release, else freed to the heap
  bool zeroed = false;   // fresh from the kernel: every byte 0
};

// `count` words, not filled; an empty block when the memory cannot be had.
Block allocate(size_t count);
void release(Block& b);

// Whether the kernel hands out transparent huge pages to mappings that ask
// (/sys/kernel/mm/transparent_hugepage/enabled is "always" or "madvise").
bool huge_pages_offered();
// The answer for a content of that file (for tests of the reading).
bool huge_pages_offered_by(const char* enabled_file_text);

}  // namespace brek::Pixel_memory
