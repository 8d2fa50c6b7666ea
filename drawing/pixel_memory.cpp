#include "drawing/pixel_memory.h"

#include "platform/painter.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace brek::Pixel_memory {

bool huge_pages_offered_by(const char* text) {
  // The active choice stands in brackets: "always [madvise] never".
  if (!text) return false;
  return std::strstr(text, "[always]") != nullptr || std::strstr(text, "[madvise]") != nullptr;
}

bool huge_pages_offered() {
  static const bool offered = [] {
    char buf[128] = {};
    FILE* f = std::fopen("/sys/kernel/mm/transparent_hugepage/enabled", "r");
    if (!f) return false;
    size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = '\0';
    return huge_pages_offered_by(buf);
  }();
  return offered;
}

namespace {

// A mapping of `bytes` (a multiple of HUGE_PAGE) starting on a HUGE_PAGE
// boundary, so that every part of it can be a huge page; nullptr on failure.
void* map_aligned(size_t bytes) {
  const size_t span = bytes + HUGE_PAGE;
  void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + HUGE_PAGE - 1) & ~uintptr_t(HUGE_PAGE - 1);
  const size_t head = aligned - start, tail = span - head - bytes;
  if (head) munmap(raw, head);
  if (tail) munmap(reinterpret_cast<void*>(aligned + bytes), tail);
  return reinterpret_cast<void*>(aligned);
}

size_t mapped_size(size_t count) {
  const size_t bytes = count * sizeof(uint32_t);
  return (bytes + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
}

}  // namespace

Block allocate(size_t count) {
  Block b;
  if (count == 0) return b;
  if (count > SIZE_MAX / sizeof(uint32_t) - HUGE_PAGE) return b;
  const size_t bytes = count * sizeof(uint32_t);
  if (bytes >= MAPPED_BYTES) {
    const size_t size = mapped_size(count);
    if (void* p = map_aligned(size)) {
      if (huge_pages_offered()) madvise(p, size, MADV_HUGEPAGE);
      b.words = static_cast<uint32_t*>(p);
      b.count = count;
      b.mapped = true;
      b.zeroed = true;
      return b;
    }
  }
  b.words = static_cast<uint32_t*>(std::malloc(bytes));
  if (b.words) b.count = count;
  return b;
}

void release(Block& b) {
  if (b.words) {
    // No painter may stay on memory that goes.
    brek_platform::release_painter(b.words, b.count * sizeof(uint32_t));
    if (b.mapped)
      munmap(b.words, mapped_size(b.count));
    else
      std::free(b.words);
  }
  b = Block{};
}

}  // namespace brek::Pixel_memory
