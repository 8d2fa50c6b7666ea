// Large pictures live in memory mapped on their own: they must behave as
// small ones do, start as asked, and give their memory back when freed.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <utility>

#include "drawing/pixel_memory.h"
#include "drawing/pixels.h"

using brek::Pixels;
namespace Pixel_memory = brek::Pixel_memory;

namespace {

// 2048 x 2048: 16 MiB, well above the mapped size.
constexpr int BIG = 2048;

long resident_kb() {
  std::ifstream f("/proc/self/statm");
  long size = 0, resident = 0;
  f >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

TEST(PixelMemory, HugePagesAreAskedForOnlyWhenTheKernelOffersThem) {
  EXPECT_TRUE(Pixel_memory::huge_pages_offered_by("always [madvise] never\n"));
  EXPECT_TRUE(Pixel_memory::huge_pages_offered_by("[always] madvise never\n"));
  EXPECT_FALSE(Pixel_memory::huge_pages_offered_by("always madvise [never]\n"));
  EXPECT_FALSE(Pixel_memory::huge_pages_offered_by(""));
  EXPECT_FALSE(Pixel_memory::huge_pages_offered_by(nullptr));
}

TEST(PixelMemory, LargeBlocksAreMappedOnHugePageBoundaries) {
  Pixel_memory::Block small = Pixel_memory::allocate(1000);
  EXPECT_FALSE(small.mapped);
  ASSERT_NE(small.words, nullptr);
  Pixel_memory::release(small);
  EXPECT_EQ(small.words, nullptr);

  Pixel_memory::Block big = Pixel_memory::allocate(size_t(BIG) * BIG);
  ASSERT_NE(big.words, nullptr);
  EXPECT_TRUE(big.mapped);
  EXPECT_TRUE(big.zeroed);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(big.words) % Pixel_memory::HUGE_PAGE, 0u);
  big.words[size_t(BIG) * BIG - 1] = 7;  // the last word is ours
  Pixel_memory::release(big);
  // A size no machine has is refused, not wrapped round.
  EXPECT_EQ(Pixel_memory::allocate(SIZE_MAX / 2).words, nullptr);
}

TEST(PixelMemory, LargePicturesFillCopyMoveAndCompareAsSmallOnes) {
  // Filled with zero from fresh memory, and again after being written.
  Pixels p(BIG, BIG, 0);
  EXPECT_EQ(p.at(0, 0), 0u);
  EXPECT_EQ(p.at(BIG - 1, BIG - 1), 0u);
  p.set(5, 5, 0xFF123456u);
  p.set(BIG - 1, BIG - 1, 0xFF654321u);
  ASSERT_TRUE(p.resize(BIG * 2, BIG / 2, 0));  // the same count of pixels
  for (int y : {0, 2, BIG / 2 - 1})
    for (int x : {0, 5, BIG * 2 - 1}) EXPECT_EQ(p.at(x, y), 0u) << x << "," << y;
  ASSERT_TRUE(p.resize(BIG, BIG));
  EXPECT_EQ(p.at(BIG - 1, BIG - 1), 0xFF000000u);
  // Fresh memory that a decoder wrote is not taken for zero any more.
  Pixels decoded;
  ASSERT_TRUE(decoded.resize_unfilled(BIG, BIG));
  decoded.set(9, 9, 0xFF0A0B0Cu);
  ASSERT_TRUE(decoded.resize(BIG / 2, BIG * 2, 0));
  EXPECT_EQ(decoded.at(9, 18), 0u);  // the same word as (9, 9) before

  p.set(3, 4, 0xFFABCDEFu);
  Pixels copy = p;
  EXPECT_TRUE(copy == p);
  EXPECT_NE(copy.words(), p.words());
  copy.set(3, 4, 0xFF000001u);
  EXPECT_FALSE(copy == p);
  EXPECT_EQ(p.at(3, 4), 0xFFABCDEFu);

  const uint32_t* words = p.words();
  Pixels moved = std::move(p);
  EXPECT_EQ(moved.words(), words);
  EXPECT_TRUE(p.empty());
  EXPECT_EQ(p.at(3, 4), 0u);
  moved = Pixels(3, 2, 0xFF010203u);
  EXPECT_EQ(moved.width(), 3);
  EXPECT_EQ(moved.at(2, 1), 0xFF010203u);

  // The same size again keeps its memory, without filling it.
  Pixels kept(BIG, BIG, 0xFF0000FFu);
  const uint32_t* before = kept.words();
  ASSERT_TRUE(kept.resize_unfilled(BIG, BIG));
  EXPECT_EQ(kept.words(), before);
  EXPECT_EQ(kept.at(100, 100), 0xFF0000FFu);
}

TEST(PixelMemory, AFreedLargePictureGoesBackToTheSystem) {
  const long start = resident_kb();
  {
    Pixels p(BIG * 2, BIG * 2);  // 64 MiB, every page written
    EXPECT_GT(resident_kb() - start, 60 * 1024);
  }
  EXPECT_LT(resident_kb() - start, 4 * 1024);
}
