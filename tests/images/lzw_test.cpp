#include "images/lzw.h"

#include "baselib/memory_stream.h"
#include "runtime/runtime_services.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>
#include <random>

#include "gif_test_support.h"

using brek::C_Lzw;
using brek::DynAByte;
using gif_test::lzw_codes;
using gif_test::pack_codes;

namespace {

DynAByte decode(const std::string& blocks, int mcs, int64_t w, int64_t h, int bits = 8,
                bool interlaced = false) {
  return C_Lzw::decompress(reinterpret_cast<const uint8_t*>(blocks.data()),
                           static_cast<int64_t>(blocks.size()), 0, interlaced, mcs, bits, h, w);
}

// The 8-bit rows without their padding.
std::vector<uint8_t> unpad(const DynAByte& rows, int64_t w, int64_t h) {
  std::vector<uint8_t> v;
  int64_t stride = C_Lzw::row_stride(w, 8);
  for (int64_t y = 0; y < h; ++y)
    for (int64_t x = 0; x < w; ++x) v.push_back(rows.get(y * stride + x));
  return v;
}

std::vector<uint8_t> noise(size_t n, int colours, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  // Runs of equal values, as in real pictures, so strings grow long.
  uint8_t cur = 0;
  for (auto& b : v) {
    if (rng() % 4 == 0) cur = static_cast<uint8_t>(rng() % colours);
    b = cur;
  }
  return v;
}

}  // namespace

TEST(Lzw, RoundTripsEveryCodeSizeWithPaddedRows) {
  for (int mcs : {2, 3, 5, 8}) {
    const int64_t w = 37, h = 23;  // odd width: rows padded to 40 bytes
    auto pixels = noise(w * h, 1 << mcs, 100 + mcs);
    DynAByte rows = decode(pack_codes(lzw_codes(pixels, mcs), mcs), mcs, w, h);
    ASSERT_EQ(rows.count(), 40 * h) << "mcs " << mcs;
    EXPECT_EQ(unpad(rows, w, h), pixels) << "mcs " << mcs;
    for (int64_t y = 0; y < h; ++y)
      for (int64_t x = w; x < 40; ++x) ASSERT_EQ(rows.get(y * 40 + x), 0);
  }
}

TEST(Lzw, PacksFourAndOneBitRowsLowBitsFirst) {
  // 4 bits, width 5: nibbles low first, the last byte's high nibble stays 0.
  std::vector<uint8_t> px = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  DynAByte four = decode(pack_codes(lzw_codes(px, 4), 4), 4, 5, 2, 4);
  ASSERT_EQ(four.count(), 8);
  EXPECT_EQ(four.to_vector(), (std::vector<uint8_t>{0x21, 0x43, 0x05, 0, 0x76, 0x98, 0x0A, 0}));

  // 1 bit, width 10: column c is bit c % 8 of byte c / 8.
  std::vector<uint8_t> bits = {1, 0, 0, 0, 0, 0, 0, 1, 0, 1};
  DynAByte one = decode(pack_codes(lzw_codes(bits, 2), 2), 2, 10, 1, 1);
  EXPECT_EQ(one.to_vector(), (std::vector<uint8_t>{0x81, 0x02, 0, 0}));
}

TEST(Lzw, IndexesWiderThanTheDepthStayInTheirPixel) {
  // Indexes 20 and 3 next to each other at 4 bits; 2 and 3 at 1 bit.
  std::vector<uint8_t> px = {20, 3, 17, 31};
  DynAByte four = decode(pack_codes(lzw_codes(px, 5), 5), 5, 4, 1, 4);
  EXPECT_EQ(four.get(0), 0x34);
  EXPECT_EQ(four.get(1), 0xF1);
  DynAByte one = decode(pack_codes(lzw_codes({2, 3, 2, 1}, 2), 2), 2, 4, 1, 1);
  EXPECT_EQ(one.get(0), 0x0A);
}

TEST(Lzw, DeferredClearKeepsTwelveBitCodesUntilTheNextClear) {
  // The first part fills the table and goes on without a clear code; a
  // clear code then starts a second part at the smallest width again.
  auto part1 = noise(60000, 256, 7);
  auto part2 = noise(5000, 256, 8);
  auto codes = lzw_codes(part1, 8, {.initial_clear = true, .clear_when_full = false, .end_code = false});
  auto more = lzw_codes(part2, 8);
  codes.insert(codes.end(), more.begin(), more.end());
  std::vector<uint8_t> all = part1;
  all.insert(all.end(), part2.begin(), part2.end());
  const int64_t w = 500, h = 130;
  DynAByte rows = decode(pack_codes(codes, 8), 8, w, h);
  EXPECT_EQ(unpad(rows, w, h), all);
}

TEST(Lzw, ClearCodesAtTheStartAndInARow) {
  std::vector<uint8_t> px = {1, 1, 2, 2, 1, 1, 2, 2, 3, 0, 3, 0};
  // Without a clear code the first code defines no entry, as after one.
  auto plain = lzw_codes(px, 2, {.initial_clear = false});
  EXPECT_EQ(unpad(decode(pack_codes(plain, 2), 2, 12, 1), 12, 1), px);
  // Consecutive clear codes reset again and store nothing.
  auto doubled = lzw_codes(px, 2);
  doubled.insert(doubled.begin(), 4);
  doubled.insert(doubled.begin(), 4);
  EXPECT_EQ(unpad(decode(pack_codes(doubled, 2), 2, 12, 1), 12, 1), px);
  // A clear code followed by the end code leaves the picture untouched.
  DynAByte empty = decode(pack_codes({4, 5, 1, 1}, 2), 2, 4, 1);
  EXPECT_EQ(empty.to_vector(), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(Lzw, EndsAtTheEndOfItsData) {
  std::vector<uint8_t> px(400);
  std::iota(px.begin(), px.end(), 0);
  for (auto& p : px) p %= 7;
  auto codes = lzw_codes(px, 3, {.end_code = false});
  std::string full = pack_codes(codes, 3);
  // No end code: every pixel still arrives.
  EXPECT_EQ(unpad(decode(full, 3, 20, 20), 20, 20), px);

  // Data cut in the middle of a sub-block whose length claims more: what
  // arrived is decoded, the rest stays 0, nothing past the data is read.
  std::string cut = full.substr(0, full.size() / 2);
  auto heap = std::make_unique<uint8_t[]>(cut.size());
  std::memcpy(heap.get(), cut.data(), cut.size());
  DynAByte part = C_Lzw::decompress(heap.get(), static_cast<int64_t>(cut.size()), 0, false, 3, 8, 20, 20);
  auto got = unpad(part, 20, 20);
  size_t same = 0;
  while (same < got.size() && got[same] == px[same]) ++same;
  EXPECT_GT(same, 50u);
  EXPECT_LT(same, px.size());
  for (size_t i = same + 8; i < got.size(); ++i) ASSERT_EQ(got[i], 0) << i;

  // The zero-length sub-block ends the data; what follows is not image data.
  std::string stop = pack_codes({8, 1, 2}, 3, 255, true) + pack_codes({3, 3, 3}, 3, 255, true);
  EXPECT_EQ(unpad(decode(stop, 3, 5, 1), 5, 1), (std::vector<uint8_t>{1, 2, 0, 0, 0}));
}

TEST(Lzw, CodeChainsUpToTheTableLimitAndCorruptCycles) {
  // One colour: strings grow by one pixel per code until entry 4095, the
  // longest chain a valid table holds, and then repeat at 12 bits.
  const int64_t w = 3000, h = 3000;
  std::vector<uint8_t> px(static_cast<size_t>(w * h), 3);
  auto codes = lzw_codes(px, 2, {.initial_clear = true, .clear_when_full = false});
  EXPECT_NE(std::find(codes.begin(), codes.end(), 4095), codes.end());
  DynAByte rows = decode(pack_codes(codes, 2), 2, w, h);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), 3), w * h);

  // Entry 7 made its own prefix: reading it walks a cycle, and decoding
  // stops there instead of running on; later codes are not decoded.
  //   clear, 1 | 7 (not yet defined: "1 1") | 2 (defines 7 = 7 + 2) | 7 | 3 3
  DynAByte cyc = decode(pack_codes({4, 1, 7, 2, 7, 3, 3, 5}, 2), 2, 10, 1);
  EXPECT_EQ(unpad(cyc, 10, 1), (std::vector<uint8_t>{1, 1, 1, 2, 0, 0, 0, 0, 0, 0}));
}

TEST(Lzw, InterlacedRowsFillEveryRowOnce) {
  for (int64_t h = 1; h <= 9; ++h) {
    // Row k of the file holds the value k + 1.
    const int64_t w = 3;
    std::vector<uint8_t> px;
    for (int64_t k = 0; k < h; ++k) px.insert(px.end(), w, static_cast<uint8_t>(k + 1));
    DynAByte rows = decode(pack_codes(lzw_codes(px, 4), 4), 4, w, h, 8, true);
    std::vector<int64_t> order(h, -1);  // file row -> picture row
    for (int64_t y = 0; y < h; ++y) {
      int v = rows.get(y * 4);
      ASSERT_GE(v, 1) << "height " << h << " row " << y << " not written";
      ASSERT_EQ(order[v - 1], -1) << "height " << h << " written twice";
      order[v - 1] = y;
    }
    std::vector<int64_t> want;
    for (int64_t y = 0; y < h; y += 8) want.push_back(y);
    for (int64_t y = 4; y < h; y += 8) want.push_back(y);
    for (int64_t y = 2; y < h; y += 4) want.push_back(y);
    for (int64_t y = 1; y < h; y += 2) want.push_back(y);
    EXPECT_EQ(order, want) << "height " << h;
  }
}

TEST(Lzw, RefusesArgumentsOutsideTheFormat) {
  std::string data = pack_codes(lzw_codes({1, 2, 3}, 2), 2);
  EXPECT_TRUE(decode(data, 1, 3, 1).empty());
  EXPECT_TRUE(decode(data, 9, 3, 1).empty());
  EXPECT_TRUE(decode(data, 10, 3, 1).empty());
  EXPECT_TRUE(decode(data, 2, 0, 1).empty());
  EXPECT_TRUE(decode(data, 2, 3, 0).empty());
  EXPECT_TRUE(decode(data, 2, 70000, 1).empty());
  EXPECT_TRUE(decode(data, 2, 3, 1, 2).empty());
  // No data at all: a picture of zeros.
  EXPECT_EQ(C_Lzw::decompress(nullptr, 0, 0, false, 2, 8, 1, 3).to_vector(),
            (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(Lzw, DecodesFromAMemoryStream) {
  // The stream stands at the first sub-block, after the code-size byte.
  std::string bytes = "\x03" + pack_codes(lzw_codes({1, 2, 3, 4, 5}, 3), 3);
  auto in = brek::C_Memory_stream_contig::create();
  in->write_buffer(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int64_t>(bytes.size()));
  in->set_pos(1);
  auto out = C_Lzw::decompress(in, false, 3, 8, 1, 5);
  ASSERT_FALSE(out.is_none());
  EXPECT_EQ(out->size_int64(), 8);
  EXPECT_EQ(out->position_int64(), 0);
  EXPECT_EQ(out->data.to_vector(), (std::vector<uint8_t>{1, 2, 3, 4, 5, 0, 0, 0}));
  EXPECT_TRUE(C_Lzw::decompress(in, false, 1, 8, 1, 5).is_none());
}

// Rows past `kept_rows` are decoded (interlacing needs the whole height)
// but not stored: the kept rows equal the first rows of a whole decode.
TEST(Lzw, KeptRowsAreTheFirstRowsOfTheWholePicture) {
  const int w = 7, h = 29;
  std::vector<uint8_t> idx(size_t(w) * h);
  for (size_t i = 0; i < idx.size(); ++i) idx[i] = uint8_t((i * 7 + i / 11) % 16);
  std::string blocks = gif_test::pack_codes(gif_test::lzw_codes(idx, 4), 4);
  auto data = reinterpret_cast<const uint8_t*>(blocks.data());
  for (bool interlaced : {false, true}) {
    for (int64_t bits : {1, 4, 8}) {
      DynAByte whole = C_Lzw::decompress(data, int64_t(blocks.size()), 0, interlaced, 4, bits, h, w);
      int64_t stride = C_Lzw::row_stride(w, bits);
      ASSERT_EQ(whole.count(), stride * h);
      for (int64_t kept : {1, 3, 9, 28}) {
        DynAByte part = C_Lzw::decompress(data, int64_t(blocks.size()), 0, interlaced, 4, bits, h, w, kept);
        ASSERT_EQ(part.count(), stride * kept) << interlaced << " " << bits << " " << kept;
        EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin())) << interlaced << " " << bits << " " << kept;
      }
    }
  }
}

// 8-bit rows kept whole are decoded by copying runs; every other case
// walks the table. Both give the same rows for damaged streams too: codes
// not yet defined, codes other than literals after a clear code, cycles,
// data cut short.
TEST(Lzw, CopiedRunsAndWalkedStringsAgreeOnDamagedStreams) {
  std::mt19937 rng(21);
  const int64_t w = 13, h = 11;
  for (int round = 0; round < 300; ++round) {
    const int mcs = 2 + static_cast<int>(rng() % 7);
    auto codes = lzw_codes(noise(w * h, 1 << mcs, rng()), mcs, {.end_code = round % 2 == 0});
    // Some codes replaced by any code the width allows.
    for (int e = static_cast<int>(rng() % 4); e > 0; --e)
      codes[rng() % codes.size()] = static_cast<int>(rng() % (1u << (mcs + 1 + rng() % 3)));
    std::string blocks = pack_codes(codes, mcs);
    if (round % 5 == 0) blocks.resize(rng() % blocks.size());
    auto data = reinterpret_cast<const uint8_t*>(blocks.data());
    for (bool interlaced : {false, true}) {
      DynAByte runs = C_Lzw::decompress(data, int64_t(blocks.size()), 0, interlaced, mcs, 8, h, w);
      DynAByte walked = C_Lzw::decompress(data, int64_t(blocks.size()), 0, interlaced, mcs, 8, h, w, h - 1);
      ASSERT_EQ(runs.count(), C_Lzw::row_stride(w, 8) * h);
      ASSERT_TRUE(std::equal(walked.begin(), walked.end(), runs.begin())) << round << " " << interlaced;
    }
  }
}

// Each finished row is a loop tick, whichever way the rows are decoded,
// so that a long decoding can be stopped.
TEST(Lzw, EveryRowIsALoopTick) {
  const int64_t w = 50, h = 400;
  std::string blocks = pack_codes(lzw_codes(noise(w * h, 16, 3), 4), 4);
  auto data = reinterpret_cast<const uint8_t*>(blocks.data());
  for (int64_t bits : {8, 4}) {
    brek::Brek_runtime::set_tick_counter(0);
    C_Lzw::decompress(data, int64_t(blocks.size()), 0, false, 4, bits, h, w);
    EXPECT_GE(brek::Brek_runtime::tick_counter(), uint32_t(h)) << bits;
  }
}

// Rows handed on one at a time as they are decoded are the rows of a
// whole decode, in the data's order (interlaced ones pass by pass), for
// damaged and cut streams too (the rows the data never reaches come last,
// of zeros); a stop asked after a row ends the decoding there.
TEST(Lzw, RowsHandedOnAsDecodedAreTheRowsOfAWholeDecode) {
  std::mt19937 rng(5);
  const int64_t w = 13, h = 11, stride = C_Lzw::row_stride(w, 8);
  for (int round = 0; round < 200; ++round) {
    const int mcs = 2 + static_cast<int>(rng() % 7);
    auto codes = lzw_codes(noise(w * h, 1 << mcs, rng()), mcs, {.end_code = round % 2 == 0});
    for (int e = static_cast<int>(rng() % 3); e > 0; --e)
      codes[rng() % codes.size()] = static_cast<int>(rng() % (1u << (mcs + 1 + rng() % 3)));
    std::string blocks = pack_codes(codes, mcs);
    if (round % 4 == 0) blocks.resize(rng() % blocks.size());
    auto data = reinterpret_cast<const uint8_t*>(blocks.data());
    for (bool interlaced : {false, true}) {
      DynAByte whole = C_Lzw::decompress(data, int64_t(blocks.size()), 0, interlaced, mcs, 8, h, w);
      std::vector<int64_t> order;
      std::vector<uint8_t> rows(size_t(stride * h), 0xEE);
      ASSERT_TRUE(C_Lzw::decode_rows(data, int64_t(blocks.size()), 0, interlaced, mcs, h, w,
                                     [&](int64_t y, const uint8_t* indexes) {
                                       order.push_back(y);
                                       std::copy(indexes, indexes + w, rows.begin() + y * stride);
                                       std::fill_n(rows.begin() + y * stride + w, stride - w, 0);
                                     }))
          << round;
      std::vector<int64_t> want;  // the data's order of the rows
      for (int64_t y = 0; y < h; y += interlaced ? 8 : 1) want.push_back(y);
      if (interlaced) {
        for (int64_t y = 4; y < h; y += 8) want.push_back(y);
        for (int64_t y = 2; y < h; y += 4) want.push_back(y);
        for (int64_t y = 1; y < h; y += 2) want.push_back(y);
      }
      ASSERT_EQ(order, want) << round;
      ASSERT_TRUE(std::equal(rows.begin(), rows.end(), whole.begin())) << round << " " << interlaced;
    }
  }
  std::string blocks = pack_codes(lzw_codes(noise(w * h, 16, 8), 4), 4);
  int64_t handed = 0;
  EXPECT_FALSE(C_Lzw::decode_rows(
      reinterpret_cast<const uint8_t*>(blocks.data()), int64_t(blocks.size()), 0, false, 4, h, w,
      [&](int64_t, const uint8_t*) { ++handed; }, [&] { return handed < 3; }));
  EXPECT_EQ(handed, 3);
}
