// A GIF's first frame read row by row for a picture made small, as the
// views' worker reads huge ones: what it comes to, checked against giflib,
// and what it holds, checked by the process's memory against the
// picture's size.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "gif_test_support.h"
#include "images/gif.h"
#include "images/lzw.h"
#include "images/picture_fit.h"
#include "tests/support/process_memory.h"

using brek::C_Gif;
using brek::Picture_shrink;
using brek::Pixels;
using brek::Ref;
using namespace gif_test;

namespace {

Ref<C_Gif> read_uncomposed(const std::string& bytes) {
  return C_Gif::read_from_bytes(reinterpret_cast<const uint8_t*>(bytes.data()), int64_t(bytes.size()), false);
}

// giflib's first frame composed on the screen.
Pixels giflib_first_frame(const std::string& bytes) {
  const Reference ref = giflib_decode(bytes);
  Pixels p;
  if (!ref.ok || ref.composed.empty() || !p.resize(int(ref.width), int(ref.height))) return Pixels();
  std::copy(ref.composed[0].begin(), ref.composed[0].end(), p.words());
  return p;
}

// The first frame read row by row into w x h (all of the screen, or its
// centre with those proportions).
Pixels read_by_rows(const std::string& bytes, int w, int h, bool crop) {
  Ref<C_Gif> gif = read_uncomposed(bytes);
  const brek::Picture_fit::Part part = brek::Picture_fit::part(gif->width(), gif->height(), w, h, crop);
  Picture_shrink into(part.x0, part.y0, part.x1, part.y1, w, h);
  if (!gif->compose_first_frame(into)) return Pixels();
  return into.take();
}

// A frame of w x h with indexes scattered from pixel to pixel (its data
// several sub-blocks long).
Frame_desc varied(int64_t left, int64_t top, int64_t w, int64_t h, bool interlaced) {
  Frame_desc f = solid(left, top, w, h, 0);
  for (size_t i = 0; i < f.indexes.size(); ++i) f.indexes[i] = uint8_t((uint32_t(i) * 2654435761u >> 13) % 5);
  f.interlaced = interlaced;
  return f;
}

const brek::Gif_palette kPal = make_palette({0x808000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x202020});

}  // namespace

// Interlaced or not, covering the screen, partly off it, taller than it,
// with a transparent colour: the first frame read row by row is giflib's
// first frame averaged down, and copied as it is at the screen's size.
TEST(GifRows, TheFirstFrameReadRowByRowIsTheComposedFrameAveragedDown) {
  struct Case {
    const char* what;
    Frame_desc frame;
    int transparent;
  };
  for (bool interlaced : {false, true}) {
    const Case cases[] = {{"the whole screen", varied(0, 0, 37, 29, interlaced), -1},
                          {"partly off the screen", varied(20, 9, 30, 31, interlaced), -1},
                          {"taller than the screen", varied(3, 0, 17, 45, interlaced), -1},
                          {"with a transparent colour", varied(5, 4, 21, 19, interlaced), 2}};
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (interlaced ? ", interlaced" : ""));
      Gif_writer w;
      w.header(37, 29, kPal, 5).graphic_control(1, 10, c.transparent).image(c.frame).trailer();
      const Pixels whole = giflib_first_frame(w.bytes());
      ASSERT_FALSE(whole.empty());
      for (const auto& [tw, th, crop] : {std::tuple{37, 29, false}, std::tuple{9, 7, false}, std::tuple{5, 5, true}}) {
        SCOPED_TRACE(std::to_string(tw) + " x " + std::to_string(th));
        const brek::Picture_fit::Part part = brek::Picture_fit::part(37, 29, tw, th, crop);
        const Pixels want = brek::Picture_fit::shrink(whole, part, tw, th);
        ASSERT_FALSE(want.empty());
        EXPECT_TRUE(read_by_rows(w.bytes(), tw, th, crop) == want);
      }
    }
  }
}

// A frame whose data ends early: the rows it never reaches show palette
// entry 0, as a composition of the whole frame leaves them.
TEST(GifRows, AFrameCutShortShowsItsMissingRowsAsAWholeCompositionDoes) {
  for (bool interlaced : {false, true}) {
    SCOPED_TRACE(interlaced ? "interlaced" : "in order");
    Frame_desc f = varied(0, 0, 64, 60, interlaced);
    f.lzw.end_code = false;
    Gif_writer full;
    full.header(64, 60, kPal, 5).image(f).trailer();
    // The data cut after its first sub-block (of several), then ended.
    const std::string& b = full.bytes();
    const size_t data_at = b.find(',') + 11;
    ASSERT_GT(b.size(), data_at + 2 * 256);
    std::string cut = b.substr(0, data_at + 256) + std::string("\0;", 2);
    Ref<C_Gif> whole = C_Gif::read_from_bytes(reinterpret_cast<const uint8_t*>(cut.data()), int64_t(cut.size()));
    const Pixels composed = whole->render_current_frame();
    ASSERT_FALSE(composed.empty());
    EXPECT_TRUE(read_by_rows(cut, 64, 60, false) == composed);
    EXPECT_TRUE(read_by_rows(cut, 16, 15, false) == brek::Picture_fit::shrink(composed, {0, 0, 64, 60}, 16, 15));
  }
}

// A first frame at the size limit (16384 x 16383: a gibibyte in 32 bits,
// a quarter of one as 8-bit indexes), of 4 or 256 colours, interlaced or
// not, read to a cell's size: what the reading holds at its peak is a few
// megabytes, not the frame's indexes. (Under the sanitizers, whose memory
// tells nothing, a smaller frame is read.)
TEST(GifRows, AFirstFrameAtTheSizeLimitIsReadToACellInAFewMegabytes) {
  constexpr int W = brek_test::RESIDENT_SIZE_COUNTS ? 16384 : 2048, H = W - 1;
  constexpr int64_t PICTURE = int64_t(W) * H * 4;
  for (int colours : {4, 256}) {
    for (bool interlaced : {false, true}) {
      SCOPED_TRACE(std::to_string(colours) + " colours" + (interlaced ? ", interlaced" : ""));
      Gif_writer w;
      w.header(W, H, grey_palette(colours)).one_index_image(0, 0, W, H, 1, interlaced).trailer();
      Ref<C_Gif> gif = read_uncomposed(w.bytes());
      Picture_shrink into(0, 0, W, H, 256, 256);
      bool read = false;
      const int64_t grown = brek_test::peak_growth([&] { read = gif->compose_first_frame(into); });
      ASSERT_TRUE(read);
      const Pixels cell = into.take();
      const uint8_t grey = uint8_t(255 / (colours - 1));
      EXPECT_EQ(cell.at(128, 128), Pixels::bgra(grey, grey, grey));
      std::printf("%d colours%s: %lld MB at the peak\n", colours, interlaced ? ", interlaced" : "",
                  (long long)(grown / brek_test::MB));
      // An interlaced frame's wanted rows are kept a band at a time.
      if (brek_test::RESIDENT_SIZE_COUNTS) {
        EXPECT_LT(grown, interlaced ? PICTURE / 32 : PICTURE / 128) << grown / brek_test::MB << " MB";
      }
    }
  }
}
