#include "images/jpeg_restarts.h"

#include <cstring>
#include <numeric>

namespace brek::Jpeg_restarts {

namespace {

constexpr uint8_t RST0 = 0xD0, RST7 = 0xD7;

// Frame headers: SOF0-3, 5-7, 9-11, 13-15 (C4, C8 and CC are other markers).
bool is_frame_header(uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

// Markers that stand alone, without a length: TEM and RST0-7 (the library
// passes over them between segments).
bool stands_alone(uint8_t m) { return m == 0x01 || (m >= RST0 && m <= RST7); }

// The offset of the frame header's 0xFF in the headers (the `size` bytes
// before the scan's data), read segment by segment after the start of
// image; 0 when there is none whole.
size_t frame_header(const uint8_t* data, size_t size) {
  size_t p = 2;
  while (size >= 4 && p + 4 <= size) {
    if (data[p] != 0xFF) return 0;
    if (data[p + 1] == 0xFF) {
      ++p;
      continue;
    }
    if (data[p + 1] == 0) return 0;  // no marker: the library skips such bytes
    if (stands_alone(data[p + 1])) {
      p += 2;
      continue;
    }
    const size_t length = size_t(data[p + 2]) << 8 | data[p + 3];
    if (is_frame_header(data[p + 1])) return length >= 5 && p + 7 <= size ? p : 0;
    p += 2 + length;
  }
  return 0;
}

}  // namespace

int64_t entry_row(const Scan& scan, int64_t row) {
  const int64_t ri = scan.restart_interval, per_row = scan.mcus_per_row;
  if (ri <= 0 || per_row <= 0 || row <= 0) return 0;
  // Marker k (from 1) comes before MCU k * ri; it starts a row when that
  // is a multiple of the row. It is numbered RST((k - 1) mod 8), so when k
  // is a multiple of 8 it is RST7 and the next one RST0.
  const int64_t step = std::lcm(per_row / std::gcd(ri, per_row), int64_t(8));
  const int64_t rows_per_step = step * ri / per_row;
  if (rows_per_step <= 0) return 0;
  return (row / rows_per_step) * rows_per_step;
}

size_t entry_offset(const uint8_t* data, size_t size, const Scan& scan, int64_t row) {
  if (row <= 0 || scan.mcus_per_row <= 0 || scan.restart_interval <= 0 || scan.start >= size) return 0;
  const int64_t wanted = row * scan.mcus_per_row / scan.restart_interval;
  size_t p = scan.start;
  for (int64_t seen = 0; seen < wanted;) {
    const void* ff = std::memchr(data + p, 0xFF, size - p);
    if (!ff) return 0;
    p = size_t(static_cast<const uint8_t*>(ff) - data) + 1;
    while (p < size && data[p] == 0xFF) ++p;  // fill bytes before a marker
    if (p >= size) return 0;
    const uint8_t m = data[p++];
    if (m == 0) continue;  // a stuffed 0xFF of the data
    if (m < RST0 || m > RST7 || m != RST0 + seen % 8) return 0;
    ++seen;
  }
  return p;
}

bool blocks_in_sequence(const uint8_t* data, size_t size, const Scan& scan) {
  if (scan.start > size) return false;
  const size_t p = frame_header(data, scan.start);
  return p != 0 && (data[p + 1] == 0xC0 || data[p + 1] == 0xC1 || data[p + 1] == 0xC9);
}

bool headers_with_height(const uint8_t* data, size_t size, const Scan& scan, int64_t height,
                         std::vector<uint8_t>& out) {
  if (height <= 0 || height > 65535 || scan.start > size) return false;
  const size_t p = frame_header(data, scan.start);
  if (p == 0) return false;
  out.assign(data, data + scan.start);
  out[p + 5] = uint8_t(height >> 8);
  out[p + 6] = uint8_t(height);
  return true;
}

}  // namespace brek::Jpeg_restarts
