#include <gtest/gtest.h>

#include "gif_test_support.h"
#include "images/gif.h"
#include "images/picture_fit.h"
#include "runtime/runtime_services.h"

using brek::C_Gif;
using brek::disposal_method;
using brek::Picture_shrink;
using brek::Pixels;
using brek::Ref;
using namespace gif_test;

namespace {

// Background (entry 0), red, green, blue.
const brek::Gif_palette kPal = make_palette({0x808000, 0xFF0000, 0x00FF00, 0x0000FF});
constexpr uint32_t BG = 0xFF808000, R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF;

Ref<C_Gif> load(const Gif_writer& w) { return C_Gif::load_from_bytes(w.bytes()); }

std::vector<uint32_t> row_of(const Pixels& p, int y = 0) {
  if (p.empty()) return {};
  return std::vector<uint32_t>(p.row(y), p.row(y) + p.width());
}

std::vector<uint32_t> show(Ref<C_Gif>& gif, int64_t frame, int y = 0) {
  gif->set_current_frame(frame);
  return row_of(gif->render_current_frame(), y);
}

// Three frames on a 6 x 1 screen: all red; green at 1..2; blue at 3.
Gif_writer three_frames(int d0, int d1, int d2 = 0) {
  Gif_writer w;
  w.header(6, 1, kPal)
      .graphic_control(d0, 1).image(solid(0, 0, 6, 1, 1))
      .graphic_control(d1, 1).image(solid(1, 0, 2, 1, 2))
      .graphic_control(d2, 1).image(solid(3, 0, 1, 1, 3))
      .trailer();
  return w;
}

using Row = std::vector<uint32_t>;

}  // namespace

TEST(GifRender, DisposalMethodsOverThreeFrames) {
  {  // leave in place
    auto gif = load(three_frames(1, 1));
    EXPECT_EQ(show(gif, 0), (Row{R, R, R, R, R, R}));
    EXPECT_EQ(show(gif, 1), (Row{R, G, G, R, R, R}));
    EXPECT_EQ(show(gif, 2), (Row{R, G, G, B, R, R}));
  }
  {  // restore the background: only the frame's own rectangle, after it was shown
    auto gif = load(three_frames(1, 2));
    EXPECT_EQ(show(gif, 1), (Row{R, G, G, R, R, R}));
    EXPECT_EQ(show(gif, 2), (Row{R, BG, BG, B, R, R}));
  }
  {  // restore the previous picture
    auto gif = load(three_frames(1, 3));
    EXPECT_EQ(show(gif, 1), (Row{R, G, G, R, R, R}));
    EXPECT_EQ(show(gif, 2), (Row{R, R, R, B, R, R}));
  }
  {  // an unstated disposal leaves the frame, whatever the frame before did
    auto gif = load(three_frames(2, 0));
    EXPECT_EQ(gif->frames[1].disposal, disposal_method::UNDEFINED);
    EXPECT_EQ(show(gif, 1), (Row{BG, G, G, BG, BG, BG}));
    EXPECT_EQ(show(gif, 2), (Row{BG, G, G, B, BG, BG}));
    auto after_previous = load(three_frames(3, 0));
    EXPECT_EQ(show(after_previous, 2), (Row{BG, G, G, B, BG, BG}));
    auto after_leave = load(three_frames(1, 0));
    EXPECT_EQ(after_leave->frames[1].disposal, disposal_method::LEAVE);
  }
  {  // restore-previous as the first frame: back to the background
    auto gif = load(three_frames(3, 1));
    EXPECT_EQ(show(gif, 1), (Row{BG, G, G, BG, BG, BG}));
  }
}

TEST(GifRender, TransparentPixels) {
  // Frame 0's transparent pixels show the opaque background; a transparent
  // frame over a frame left in place shows the earlier picture.
  Frame_desc f0 = solid(0, 0, 4, 1, 1);
  f0.indexes = {1, 3, 3, 1};
  Frame_desc f1 = solid(0, 0, 4, 1, 3);
  f1.indexes = {3, 2, 3, 3};
  Gif_writer w;
  w.header(4, 1, kPal).graphic_control(1, 1, 3).image(f0).graphic_control(1, 1, 3).image(f1).trailer();
  auto gif = load(w);
  EXPECT_EQ(show(gif, 0), (Row{R, BG, BG, R}));
  EXPECT_EQ(show(gif, 1), (Row{R, G, BG, R}));
  // The frame alone: alpha 0 where transparent.
  Pixels alone = gif->decode_frame(1);
  EXPECT_EQ(row_of(alone), (Row{0x000000FF, G, 0x000000FF, 0x000000FF}));

  // Frame 0 undefined, frame 1 transparent: frame 0 is left in place.
  Gif_writer u;
  u.header(4, 1, kPal).graphic_control(0, 1).image(solid(0, 0, 4, 1, 1))
      .graphic_control(0, 1, 3).image(f1).trailer();
  auto g2 = load(u);
  EXPECT_EQ(g2->frames[0].disposal, disposal_method::LEAVE);
  EXPECT_EQ(show(g2, 1), (Row{R, G, R, R}));
}

TEST(GifRender, RendersOnlyWhatChanged) {
  Gif_writer w;
  w.header(4, 4, kPal).image(solid(0, 0, 4, 4, 2)).trailer();
  auto gif = load(w);
  EXPECT_EQ(gif->frames_decoded(), 1);  // frame 0 is composed on reading
  const Pixels& a = gif->render_current_frame();
  const Pixels& b = gif->render_current_frame();
  EXPECT_EQ(&a, &b);
  EXPECT_EQ(gif->frames_decoded(), 1);
  EXPECT_EQ(a.at(3, 3), G);
  // Out-of-range frame choices change nothing.
  gif->set_current_frame(1);
  gif->set_current_frame(-1);
  EXPECT_EQ(gif->current_frame, 0);
}

TEST(GifRender, JumpsGiveWhatPlayingInOrderGives) {
  // Six frames with every disposal: each paints one pixel of a 6 x 2
  // screen and some cover the whole row.
  Gif_writer w;
  w.header(6, 2, kPal);
  int disposals[6] = {1, 3, 2, 0, 3, 1};
  for (int i = 0; i < 6; ++i) {
    Frame_desc s = (i % 3 == 0) ? solid(0, 0, 6, 2, static_cast<uint8_t>(1 + i % 3))
                                : solid(i, i % 2, 1, 1, static_cast<uint8_t>(1 + i % 3));
    if (i == 3) s.indexes[4] = 0;  // and one transparent pixel
    w.graphic_control(disposals[i], 1, i == 3 ? 0 : -1).image(s);
  }
  w.trailer();
  std::vector<Pixels> in_order;
  auto seq = load(w);
  for (int i = 0; i < 6; ++i) {
    seq->set_current_frame(i);
    in_order.push_back(seq->render_current_frame());
  }
  for (int from = 0; from < 6; ++from) {
    for (int to = 0; to < 6; ++to) {
      auto gif = load(w);
      show(gif, from);
      gif->set_current_frame(to);
      EXPECT_TRUE(gif->render_current_frame() == in_order[to]) << from << " -> " << to;
      EXPECT_EQ(gif->last_rendered, to);
    }
  }
}

TEST(GifRender, FramesOutsideTheScreenAreClipped) {
  Frame_desc part = solid(2, 1, 5, 5, 3);
  part.indexes[0] = 0;  // transparent corner, inside the screen
  Gif_writer w;
  w.header(4, 3, kPal)
      .graphic_control(1, 1).image(solid(0, 0, 4, 3, 1))
      .graphic_control(2, 1, 0).image(part)
      .graphic_control(3, 1).image(solid(100, 100, 8, 8, 2))   // wholly outside
      .graphic_control(2, 1).image(solid(65530, 0, 6, 1, 2))
      .image(solid(0, 0, 1, 1, 2))
      .trailer();
  auto gif = load(w);
  EXPECT_EQ(show(gif, 1, 0), (Row{R, R, R, R}));
  EXPECT_EQ(show(gif, 1, 1), (Row{R, R, R, B}));
  EXPECT_EQ(show(gif, 1, 2), (Row{R, R, B, B}));
  EXPECT_EQ(show(gif, 2, 1), (Row{R, R, BG, BG}));
  EXPECT_EQ(show(gif, 4, 2), (Row{R, R, BG, BG}));
  EXPECT_EQ(show(gif, 4, 0), (Row{G, R, R, R}));
}

TEST(GifRender, IndexDepthsAndColours) {
  EXPECT_EQ(C_Gif::index_depth(0), 1);
  EXPECT_EQ(C_Gif::index_depth(2), 1);
  EXPECT_EQ(C_Gif::index_depth(3), 4);
  EXPECT_EQ(C_Gif::index_depth(16), 4);
  EXPECT_EQ(C_Gif::index_depth(17), 8);
  EXPECT_EQ(C_Gif::index_depth(256), 8);

  // A 2-colour, a 16-colour and a 256-colour frame over 9 columns, and
  // indexes beyond a 4-entry palette showing grey.
  for (int entries : {2, 16, 256}) {
    Frame_desc s = solid(0, 0, 9, 2, 0);
    for (int i = 0; i < 18; ++i) s.indexes[i] = static_cast<uint8_t>((i * 5) % entries);
    Gif_writer w;
    w.header(9, 2, grey_palette(entries)).image(s).trailer();
    auto gif = load(w);
    const Pixels& p = gif->render_current_frame();
    for (int i = 0; i < 18; ++i) {
      uint32_t v = grey_palette(entries)[s.indexes[i]].red;
      ASSERT_EQ(p.at(i % 9, i / 9), 0xFF000000u | v << 16 | v << 8 | v) << entries << " " << i;
    }
  }
  Frame_desc beyond = solid(0, 0, 3, 1, 1);
  beyond.indexes = {1, 6, 7};
  beyond.min_code_size = 3;
  Gif_writer w;
  w.header(3, 1, kPal).image(beyond).trailer();
  EXPECT_EQ(row_of(load(w)->render_current_frame()), (Row{R, 0xFF808080, 0xFF808080}));
}

TEST(GifRender, FramesThatDoNotDecodeAreSkipped) {
  // Minimum code size 12, a frame of width 0, then a good frame.
  std::string bad = std::string(",\0\0\0\0\x02\0\x01\0\0\x0C\x02\xFF\xFF\0", 15);
  std::string empty = std::string(",\0\0\0\0\0\0\x01\0\0\x02\x02\x44\x01\0", 15);
  Gif_writer w;
  w.header(2, 1, kPal).graphic_control(1, 1).image(solid(0, 0, 2, 1, 1)).raw(bad).raw(empty)
      .image(solid(1, 0, 1, 1, 3)).trailer();
  auto gif = load(w);
  ASSERT_EQ(gif->frame_count(), 4);
  EXPECT_EQ(show(gif, 1), (Row{R, R}));
  EXPECT_EQ(show(gif, 2), (Row{R, R}));
  EXPECT_EQ(show(gif, 3), (Row{R, B}));
  EXPECT_TRUE(gif->decode_frame(1).empty());
  int64_t decoded = gif->frames_decoded();
  show(gif, 2);
  show(gif, 1);
  EXPECT_EQ(gif->frames_decoded(), decoded);  // failures are remembered

  // Nothing decodes at all: no picture.
  Gif_writer none;
  none.header(2, 1, kPal).raw(bad).trailer();
  auto g2 = load(none);
  EXPECT_EQ(g2->frame_count(), 1);
  EXPECT_TRUE(g2->render_current_frame().empty());
}

TEST(GifRender, LargeScreensAndFramesAreCapped) {
  // Legal sizes whose pictures would pass the limit: no picture, no crash.
  Gif_writer w;
  w.header(65535, 65535, kPal).image(solid(0, 0, 2, 2, 1)).trailer();
  auto gif = load(w);
  EXPECT_EQ(gif->width(), 65535);
  EXPECT_EQ(gif->frame_count(), 1);
  EXPECT_TRUE(gif->render_current_frame().empty());

  std::string huge = std::string(",\0\0\0\0\xFF\xFF\xFF\xFF\0\x02\x02\x44\x01\0", 15);
  Gif_writer f;
  f.header(4, 4, kPal).image(solid(0, 0, 4, 4, 1)).raw(huge).trailer();
  auto g2 = load(f);
  g2->set_current_frame(1);
  EXPECT_EQ(g2->render_current_frame().at(0, 0), R);
  EXPECT_TRUE(g2->decode_frame(1).empty());
}

TEST(GifRender, TheFrameCacheStaysWithinItsBudget) {
  Gif_writer w;
  w.header(64, 64, grey_palette(256));
  for (int i = 0; i < 30; ++i) {
    Frame_desc s = solid(0, 0, 64, 64, 0);
    for (size_t k = 0; k < s.indexes.size(); ++k) s.indexes[k] = static_cast<uint8_t>((k * (i + 1)) >> 4);
    w.graphic_control(i % 2 ? 3 : 1, 2, 5).image(s);
  }
  w.trailer();
  auto unbounded = load(w);
  auto bounded = load(w);
  bounded->set_frame_cache_limit(5 * 64 * 64);
  for (int loop = 0; loop < 2; ++loop) {
    for (int i = 0; i < 30; ++i) {
      ASSERT_EQ(show(bounded, i, 7), show(unbounded, i, 7)) << i;
      ASSERT_LE(bounded->frame_cache_bytes(), 5 * 64 * 64);
    }
  }
  EXPECT_EQ(unbounded->frames_decoded(), 30);
  EXPECT_EQ(bounded->frames_decoded(), 60);
  EXPECT_EQ(unbounded->frame_cache_bytes(), 30 * 64 * 64);
}

TEST(GifRender, TheNoneGifIsSafe) {
  Ref<C_Gif> none;
  EXPECT_EQ(none->frame_count(), 0);
  none->set_current_frame(0);
  none->draw_frame(0);
  EXPECT_TRUE(none->render_current_frame().empty());
  EXPECT_TRUE(none->decode_frame(0).empty());
  EXPECT_EQ(none->frame_delay(), 0);
}

// A frame far outside a 12 x 10 screen that declares 17744 x 11826 pixels
// in 14 bytes (found by fuzzing). Composition passes over it instead of
// decoding 100 MB of rows that nobody sees.
TEST(GifRender, FramesOutsideTheScreenAreNotDecoded) {
  const uint8_t kOffScreen[] = {
      ',',                     // image descriptor
      0x00, 0x53,              // left 21248
      0x43, 0x41,              // top 16707
      0x50, 0x45,              // width 17744
      0x32, 0x2E,              // height 11826
      0x30,                    // no local palette, not interlaced
      0x03, 0x01, 0x00, 0x00,  // minimum code size 3, one data byte, terminator
  };
  Gif_writer w;
  w.header(12, 10, kPal).image(solid(0, 0, 12, 10, 1))
      .raw(std::string(reinterpret_cast<const char*>(kOffScreen), sizeof kOffScreen))
      .image(solid(2, 0, 3, 1, 2)).trailer();
  auto gif = load(w);
  ASSERT_EQ(gif->frame_count(), 3);
  EXPECT_EQ(show(gif, 1), Row(12, R));
  EXPECT_EQ(show(gif, 2), (Row{R, R, G, G, G, R, R, R, R, R, R, R}));
  EXPECT_EQ(gif->frames_decoded(), 2);
  EXPECT_LE(gif->frame_cache_bytes(), 2 * 12 * 10);
}

// Rows below the screen are not kept for composition, interlaced or not;
// the frame alone still has all of them.
TEST(GifRender, RowsBelowTheScreenAreDecodedOnlyForTheFrameAlone) {
  Frame_desc tall = solid(0, 4, 12, 3000, 2);
  for (size_t k = 0; k < tall.indexes.size(); ++k) tall.indexes[k] = uint8_t(1 + k / 12 % 3);
  Frame_desc laced = tall;
  laced.interlaced = true;
  for (const Frame_desc& desc : {tall, laced}) {
    Gif_writer w;
    w.header(12, 10, kPal).image(desc).trailer();
    auto gif = load(w);
    const Pixels& shown = gif->render_current_frame();
    ASSERT_EQ(shown.height(), 10);
    EXPECT_EQ(row_of(shown, 3), Row(12, BG));
    EXPECT_EQ(row_of(shown, 4), Row(12, R));
    EXPECT_EQ(row_of(shown, 9), Row(12, B));
    EXPECT_LE(gif->frame_cache_bytes(), 8 * 6);  // 6 visible rows of 4-bit indexes
    Pixels alone = gif->decode_frame(0);
    ASSERT_EQ(alone.height(), 3000);
    EXPECT_EQ(row_of(alone, 2998), Row(12, G));
    EXPECT_EQ(row_of(alone, 2999), Row(12, B));
    // Composition goes on with the whole frame now held.
    gif->set_current_frame(0);
    EXPECT_EQ(row_of(gif->render_current_frame(), 5), Row(12, G));
  }
}

// What a GIF holds: one composed picture (32 bits) and the frames as index
// rows (8 bits for 256 colours, 4 for 16); a still keeps no rows at all,
// and the bitmap it is shown from is that one picture.
TEST(GifRender, HoldsOneComposedPictureAndIndexRows) {
  Frame_desc big = solid(0, 0, 300, 200, 0);
  for (size_t k = 0; k < big.indexes.size(); ++k) big.indexes[k] = static_cast<uint8_t>(k % 251);
  Gif_writer still;
  still.header(300, 200, grey_palette(256)).image(big).trailer();
  auto gif = load(still);
  ASSERT_EQ(gif->render_current_frame().at(5, 0), 0xFF050505u);
  EXPECT_EQ(gif->picture_bytes_held(), 300 * 200 * 4);
  EXPECT_EQ(gif->frame_cache_bytes(), 0);
  Ref<brek::C_Bitmap> shown = gif->composed_bitmap();
  ASSERT_FALSE(shown.is_none());
  EXPECT_EQ(shown->pixels()->words(), gif->render_current_frame().words());
  EXPECT_FALSE(shown->has_alpha());

  // Four frames of 16 colours, one restoring the previous picture.
  Gif_writer anim;
  anim.header(40, 30, grey_palette(16));
  for (int i = 0; i < 4; ++i) {
    Frame_desc s = solid(i * 2, i, 20, 10, static_cast<uint8_t>(i + 1));
    anim.graphic_control(i == 2 ? 3 : 1, 1).image(s);
  }
  anim.trailer();
  auto a = load(anim);
  for (int i = 0; i < 4; ++i) {
    show(a, i);
    // The part under the restoring frame is kept while it shows.
    EXPECT_EQ(a->picture_bytes_held(), 40 * 30 * 4 + (i == 2 ? 20 * 10 * 4 : 0)) << i;
  }
  EXPECT_EQ(a->frame_cache_bytes(), 4 * 12 * 10);  // rows of 10 pixels at 4 bits, padded to 12 bytes
}

// A still of 256 colours covering the screen is drawn without rows of its
// own; what it shows is the frame decoded alone on the background, also
// when interlaced, transparent, or cut short.
TEST(GifRender, AStillShowsItsFrameOnTheBackground) {
  Frame_desc s = solid(0, 0, 37, 23, 0);
  for (size_t k = 0; k < s.indexes.size(); ++k) s.indexes[k] = static_cast<uint8_t>((k * 13 + k / 37) % 256);
  for (int variant = 0; variant < 8; ++variant) {
    Frame_desc v = s;
    v.interlaced = variant & 1;
    Gif_writer w;
    w.header(37, 23, grey_palette(256), 3);
    if (variant & 2) w.graphic_control(0, 0, 26);
    std::string bytes = w.image(v).trailer().bytes();
    if (variant & 4) bytes.resize(bytes.size() - 200);  // cut inside the image data
    auto gif = C_Gif::load_from_bytes(bytes);
    ASSERT_EQ(gif->frame_count(), 1);
    const Pixels& shown = gif->render_current_frame();
    EXPECT_EQ(gif->frame_cache_bytes(), 0);
    Pixels alone = gif->decode_frame(0);
    ASSERT_EQ(shown.width(), 37);
    ASSERT_EQ(alone.width(), 37);
    int transparent = 0;
    for (int y = 0; y < 23; ++y)
      for (int x = 0; x < 37; ++x) {
        uint32_t want = alone.at(x, y);
        if ((want >> 24) == 0) want = 0xFF030303u, ++transparent;  // background: entry 3
        ASSERT_EQ(shown.at(x, y), want) << variant << " at " << x << "," << y;
      }
    EXPECT_EQ(transparent > 0, (variant & 2) != 0) << variant;
  }
}

// The first frame composed row by row into a picture made small, as a
// cell's worker reads a huge GIF: the screen composed whole and averaged
// down. A first frame wholly off the screen leaves the background; one
// partly off it with a transparent colour shows the background through.
TEST(GifRender, TheFirstFrameComposedRowByRowIsTheScreenAveragedDown) {
  Frame_desc partly = solid(3, 2, 4, 3, 1);
  for (size_t i = 0; i < partly.indexes.size(); ++i) partly.indexes[i] = uint8_t(i % 3 + 1);
  Gif_writer off_screen, transparent;
  off_screen.header(6, 4, kPal).image(solid(9, 1, 2, 2, 1)).trailer();
  transparent.header(6, 4, kPal).graphic_control(0, 0, 2).image(partly).trailer();
  for (const Gif_writer* w : {&off_screen, &transparent}) {
    const std::string& bytes = w->bytes();
    Ref<C_Gif> whole = C_Gif::read_from_bytes(reinterpret_cast<const uint8_t*>(bytes.data()), int64_t(bytes.size()));
    Ref<C_Gif> rows =
        C_Gif::read_from_bytes(reinterpret_cast<const uint8_t*>(bytes.data()), int64_t(bytes.size()), false);
    Picture_shrink into(0, 0, 6, 4, 3, 2);
    ASSERT_TRUE(rows->compose_first_frame(into));
    const Pixels got = into.take();
    const Pixels want = brek::Picture_fit::shrink(whole->render_current_frame(), {0, 0, 6, 4}, 3, 2);
    ASSERT_FALSE(want.empty());
    EXPECT_TRUE(got == want);
  }
  // Off the screen: the background alone.
  Ref<C_Gif> rows = C_Gif::read_from_bytes(reinterpret_cast<const uint8_t*>(off_screen.bytes().data()),
                                           int64_t(off_screen.bytes().size()), false);
  Picture_shrink into(0, 0, 6, 4, 2, 2);
  ASSERT_TRUE(rows->compose_first_frame(into));
  const Pixels got = into.take();
  EXPECT_EQ(row_of(got, 0), (Row{BG, BG}));
  EXPECT_EQ(row_of(got, 1), (Row{BG, BG}));
}

namespace {

// Counts this thread's loop ticks while it lives: the LZW decoder ticks
// once a row.
class Row_ticks final : public brek::Brek_handler {
 public:
  Row_ticks() {
    brek::Brek_runtime::register_tick_handler(this);
    brek::Brek_runtime::set_tick_counter(65535);
  }
  ~Row_ticks() override { brek::Brek_runtime::unregister_tick_handler(this); }
  void run() override {
    brek::Brek_runtime::set_tick_counter(65535);
    ++count;
  }
  int64_t count = 0;
};

}  // namespace

// A worker told to stop while the first frame's rows are decoded hears it
// within the LZW decode, not once every row is decoded.
TEST(GifRender, AStopIsHeardWhileTheFirstFramesRowsAreDecoded) {
  constexpr int W = 256, H = 2048;
  Gif_writer w;
  w.header(W, H, kPal).image(solid(0, 0, W, H, 1)).trailer();
  Ref<C_Gif> gif =
      C_Gif::read_from_bytes(reinterpret_cast<const uint8_t*>(w.bytes().data()), int64_t(w.bytes().size()), false);
  Picture_shrink into(0, 0, W, H, 16, 128);
  Row_ticks rows;
  int64_t rows_when_asked = -1;
  EXPECT_FALSE(gif->compose_first_frame(into, [&] {
    if (rows_when_asked < 0) rows_when_asked = rows.count;
    return false;
  }));
  EXPECT_GE(rows_when_asked, 0);
  EXPECT_LT(rows_when_asked, H / 8) << "rows decoded before the stop was asked for";
}

// A first frame composed by a worker and taken over shows the following
// frames as composing it here does, whatever frame 0's disposal.
TEST(GifRender, AnAdoptedFirstFrameGoesOnAsOneComposedHere) {
  for (int disposal : {1, 2, 3}) {
    SCOPED_TRACE(disposal);
    const Gif_writer w = three_frames(disposal, 3);
    Ref<C_Gif> here = load(w), elsewhere = load(w);
    Ref<C_Gif> adopting = C_Gif::read_from_bytes(reinterpret_cast<const uint8_t*>(w.bytes().data()),
                                                 int64_t(w.bytes().size()), false);
    Pixels first = elsewhere->render_current_frame();
    EXPECT_FALSE(adopting->adopt_first_frame(Pixels(5, 1)));
    ASSERT_TRUE(adopting->adopt_first_frame(std::move(first)));
    for (int64_t n : {0, 1, 2}) EXPECT_EQ(show(adopting, n), show(here, n)) << n;
    EXPECT_EQ(adopting->frames_decoded(), 2);
  }
}

// A first frame found by a worker to show nothing (it does not decode) and
// taken over shows nothing, and the animation goes on as one composed here
// does, round and round, never decoding that frame again.
TEST(GifRender, AnAdoptedEmptyFirstFrameGoesOnAsOneComposedHere) {
  Frame_desc broken = solid(0, 0, 6, 1, 1);
  broken.min_code_size = 12;
  Gif_writer w;
  w.header(6, 1, kPal)
      .graphic_control(1, 1).image(broken)
      .graphic_control(2, 1).image(solid(1, 0, 2, 1, 2))
      .graphic_control(1, 1).image(solid(3, 0, 1, 1, 3))
      .trailer();
  Ref<C_Gif> here = load(w);
  Ref<C_Gif> adopting =
      C_Gif::read_from_bytes(reinterpret_cast<const uint8_t*>(w.bytes().data()), int64_t(w.bytes().size()), false);
  ASSERT_TRUE(adopting->adopt_empty_first_frame());
  EXPECT_EQ(adopting->current_frame, 0);
  EXPECT_TRUE(adopting->render_current_frame().empty());
  for (int64_t n : {0, 1, 2, 0, 1, 2}) EXPECT_EQ(show(adopting, n), show(here, n)) << n;
  EXPECT_EQ(show(adopting, 2), (Row{BG, BG, BG, B, BG, BG}));
  EXPECT_EQ(adopting->frames_decoded(), 2);
  EXPECT_FALSE(C_Gif::load_from_bytes(std::string("GIF89a"))->adopt_empty_first_frame());
}
