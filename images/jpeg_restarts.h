#pragma once
// Where a second decoder can take up the single scan of a baseline JPEG on
// its own. At a restart marker the entropy coding starts afresh (no DC
// prediction or bit state carries over), so a decoder handed the headers,
// with the frame's height cut to what lies below, and the bytes after a
// marker that starts an MCU row makes those rows as a whole decode does,
// without reading anything above them. Works on the bytes alone.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brek::Jpeg_restarts {

// The scan as the headers describe it.
struct Scan {
  size_t start = 0;              // offset of its first entropy-coded byte
  int64_t mcus_per_row = 0;
  int64_t mcu_rows = 0;
  int64_t restart_interval = 0;  // MCUs from marker to marker; 0: none
};

// The last MCU row at or above `row` (and below it none) that begins right
// after an RST7 marker (the k-th marker of a scan, from 1, is numbered
// RST((k - 1) mod 8)): the markers after it then count from RST0, as a
// decoder starting there expects them. 0 when there is none but the top.
int64_t entry_row(const Scan& scan, int64_t row);

// The offset of the first entropy-coded byte of MCU row `row` (an entry
// row), found by counting the markers from the scan's start; 0 when they
// are not all there, in sequence, before another marker or the end.
size_t entry_offset(const uint8_t* data, size_t size, const Scan& scan, int64_t row);

// Whether the frame is one of sequential 8 x 8 blocks (SOF0, SOF1, SOF9),
// the only kind a second decoder may take up: a lossless frame's unit is
// a sample, not a block. False when the scan starts past the file's
// `size` bytes.
bool blocks_in_sequence(const uint8_t* data, size_t size, const Scan& scan);

// The headers (the bytes before the scan's data) with the frame's height
// set to `height`; false when they hold no frame header or the scan starts
// past the file's `size` bytes.
bool headers_with_height(const uint8_t* data, size_t size, const Scan& scan, int64_t height,
                         std::vector<uint8_t>& out);

}  // namespace brek::Jpeg_restarts
