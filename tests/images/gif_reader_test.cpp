#include <gtest/gtest.h>

#include "gif_test_support.h"
#include "baselib/global_var.h"
#include "baselib/memory_stream.h"
#include "images/gif.h"
#include "tests/support/temp_dir.h"

using brek::C_Gif;
using brek::disposal_method;
using brek::extension_type;
using brek::gif_code_from;
using namespace gif_test;

namespace {
const brek::Gif_palette kFour = make_palette({0xFF0000, 0x00FF00, 0x0000FF, 0x102030});
}

TEST(GifReader, ReadsTheLogicalScreenAndPalettes) {
  Gif_writer w;
  w.header(10, 6, kFour, 3).image(solid(1, 2, 3, 4, 1)).trailer();
  auto gif = C_Gif::load_from_bytes(w.bytes());
  EXPECT_EQ(gif->version, "GIF89a");
  EXPECT_EQ(gif->width(), 10);
  EXPECT_EQ(gif->height(), 6);
  EXPECT_EQ(gif->palette_bits, 2);
  EXPECT_EQ(gif->color_resolution, 8);
  EXPECT_EQ(gif->palette, kFour);
  EXPECT_EQ(gif->background_index, 3);
  EXPECT_EQ(gif->background_color, 0x302010);
  EXPECT_EQ(gif->introducer, ";");
  ASSERT_EQ(gif->frame_count(), 1);
  const auto& f = gif->frames[0];
  EXPECT_EQ(f.left, 1);
  EXPECT_EQ(f.top, 2);
  EXPECT_EQ(f.width, 3);
  EXPECT_EQ(f.height, 4);
  EXPECT_FALSE(f.has_local_palette);
  EXPECT_EQ(f.palette, kFour);  // a copy of the global palette
  EXPECT_EQ(f.transparent_index, -1);
  EXPECT_FALSE(f.truncated);

  // A background index beyond the palette becomes 0; GIF87a is read too.
  Gif_writer w2;
  w2.header(4, 4, grey_palette(16), 20, "GIF87a").image(solid(0, 0, 1, 1, 0)).trailer();
  auto g2 = C_Gif::load_from_bytes(w2.bytes());
  EXPECT_EQ(g2->version, "GIF87a");
  EXPECT_EQ(g2->background_index, 0);
  EXPECT_EQ(g2->background_color, 0);

  // No palette anywhere: empty frame palettes; a local one is the frame's own.
  Gif_writer w3;
  Frame_desc local = solid(0, 0, 2, 2, 1);
  local.local_palette = kFour;
  w3.header(4, 4, {}).image(solid(0, 0, 2, 2, 1)).image(local).trailer();
  auto g3 = C_Gif::load_from_bytes(w3.bytes());
  ASSERT_EQ(g3->frame_count(), 2);
  EXPECT_TRUE(g3->palette.empty());
  EXPECT_TRUE(g3->frames[0].palette.empty());
  EXPECT_TRUE(g3->frames[1].has_local_palette);
  EXPECT_EQ(g3->frames[1].palette, kFour);
}

TEST(GifReader, RefusesWhatIsNotAGif) {
  for (std::string bytes : {std::string(), std::string("GIF8"), std::string("GIF88a\x04\0\x04\0\0\0\0,", 14),
                            std::string("\x89PNG\r\n\x1a\n", 8)}) {
    auto gif = C_Gif::load_from_bytes(bytes);
    EXPECT_FALSE(gif.is_none());
    EXPECT_EQ(gif->frame_count(), 0);
    EXPECT_TRUE(gif->render_current_frame().empty());
  }
  // Header only, or cut inside the logical screen: no frames, no failure.
  auto cut = C_Gif::load_from_bytes(std::string("GIF89a\x04\0", 8));
  EXPECT_EQ(cut->frame_count(), 0);
  EXPECT_TRUE(C_Gif::load_from_file("/nonexistent/dir/a.gif").is_none());
}

TEST(GifReader, GraphicControlSettings) {
  Gif_writer w;
  w.header(4, 4, grey_palette(16))
      .graphic_control(0, 5).image(solid(0, 0, 4, 4, 1))          // 50 ms
      .graphic_control(5, 0, 200).image(solid(0, 0, 4, 4, 2))     // disposal 5, index 200
      .graphic_control(2, 3).image(solid(0, 0, 4, 4, 3))
      .graphic_control(3, 1, 7).image(solid(0, 0, 4, 4, 3))      // transparent 7
      .trailer();
  auto gif = C_Gif::load_from_bytes(w.bytes());
  ASSERT_EQ(gif->frame_count(), 4);
  const auto& f = gif->frames;
  EXPECT_EQ(f[0].delay, 50);
  EXPECT_EQ(f[1].delay, 0);
  EXPECT_EQ(f[1].transparent_index, 200);
  EXPECT_FALSE(f[1].has_transparent);
  EXPECT_EQ(f[0].disposal, disposal_method::UNDEFINED);
  EXPECT_EQ(f[1].disposal, disposal_method::UNDEFINED);  // field 5 sets nothing
  EXPECT_TRUE(f[3].has_transparent);
  EXPECT_EQ(f[3].transparent_index, 7);
  EXPECT_EQ(f[3].transparent_color, 0x777777);
  EXPECT_EQ(f[2].disposal, disposal_method::RESTORE_BACK);
  EXPECT_EQ(f[3].disposal, disposal_method::RESTORE_PREV);
  gif->set_current_frame(2);
  EXPECT_EQ(gif->frame_delay(), 30);
}

TEST(GifReader, ExtensionsBetweenTheGraphicControlAndItsImage) {
  const std::string xmp = std::string("\x21\xFF\x0BXMP DataXMP\x02hi\x00", 18);
  const std::string text = std::string("\x21\x01\x0C", 3) + std::string(12, '\0') + std::string("\x02hi\x00", 4);
  const std::string unknown = std::string("\x21\x99\x03" "abc\x02" "de\x00", 10);
  // A graphic control block of 6 bytes: read by its size, the rest skipped.
  const std::string long_gce = std::string("\x21\xF9\x06\x09\x04\x00\x02\xAA\xBB\x00", 10);
  Gif_writer w;
  w.header(4, 4, grey_palette(4))
      .graphic_control(2, 7, 1).raw(xmp).image(solid(0, 0, 2, 2, 1))
      .graphic_control(2, 7, 1).raw(text).image(solid(0, 0, 2, 2, 1))
      .raw(unknown).graphic_control(2, 4).image(solid(0, 0, 2, 2, 1))
      .raw(long_gce).image(solid(0, 0, 2, 2, 1))
      .trailer();
  auto gif = C_Gif::load_from_bytes(w.bytes());
  ASSERT_EQ(gif->frame_count(), 4);
  const auto& f = gif->frames;
  // An application block does not take the graphic control from the image.
  EXPECT_EQ(f[0].delay, 70);
  EXPECT_TRUE(f[0].has_transparent);
  EXPECT_EQ(f[0].disposal, disposal_method::RESTORE_BACK);
  // A plain-text block does: the graphic control was its own.
  EXPECT_EQ(f[1].delay, 0);
  EXPECT_FALSE(f[1].has_transparent);
  EXPECT_TRUE(f[1].extensions.items.empty());
  // An unknown block is passed over with its sub-blocks and kept as such.
  ASSERT_EQ(f[2].extensions.items.size(), 2u);
  EXPECT_EQ(f[2].extensions.items[0].type, extension_type::UNKNOWN);
  EXPECT_EQ(f[2].delay, 40);
  EXPECT_EQ(f[3].delay, 40);
  EXPECT_TRUE(f[3].has_transparent);
  EXPECT_EQ(f[3].transparent_index, 2);
  EXPECT_EQ(gif->introducer, ";");
  EXPECT_FALSE(gif->damaged);
}

TEST(GifReader, LoopCounts) {
  struct Case {
    int count;
    int64_t want;
  };
  for (Case c : {Case{65535, 30000}, Case{0, 0}, Case{10, 10}}) {
    Gif_writer w;
    w.header(2, 2, grey_palette(2)).looping(c.count).graphic_control(1, 2).image(solid(0, 0, 2, 2, 1))
        .trailer();
    auto gif = C_Gif::load_from_bytes(w.bytes());
    EXPECT_TRUE(gif->looping);
    EXPECT_EQ(gif->loop_count, c.want);
    EXPECT_EQ(gif->frames[0].delay, 20);  // the usual order keeps the graphic control
  }
  Gif_writer plain;
  plain.header(2, 2, grey_palette(2)).image(solid(0, 0, 2, 2, 1)).trailer();
  EXPECT_FALSE(C_Gif::load_from_bytes(plain.bytes())->looping);
}

TEST(GifReader, Comments) {
  Gif_writer w;
  w.header(2, 2, grey_palette(2))
      .comment({"first"})
      .image(solid(0, 0, 2, 2, 1))
      .comment({"a", "b"})
      .comment({"c"})
      .trailer();
  auto gif = C_Gif::load_from_bytes(w.bytes());
  ASSERT_EQ(gif->frame_count(), 1);
  // A comment before an image stays with that image.
  ASSERT_EQ(gif->frames[0].extensions.items.size(), 1u);
  EXPECT_EQ(gif->frames[0].extensions.items[0].texts, std::vector<std::string>{"first"});
  EXPECT_EQ(gif->comments.to_vector(), (std::vector<std::string>{"a", "b", "", "", "c"}));
}

TEST(GifReader, DamagedAndTruncatedFiles) {
  // Stray bytes where a block belongs: skipped up to the next image.
  Gif_writer w;
  w.header(2, 2, grey_palette(2)).raw("\x55\x66").image(solid(0, 0, 2, 2, 1))
      .raw(std::string("\x77\x00", 2)).image(solid(0, 0, 1, 1, 0)).trailer();
  auto gif = C_Gif::load_from_bytes(w.bytes());
  EXPECT_TRUE(gif->damaged);
  EXPECT_EQ(gif->frame_count(), 2);

  // A file that ends inside the second frame's data keeps the first and
  // marks the second truncated; one that ends inside its descriptor drops it.
  Gif_writer t;
  Frame_desc big = solid(0, 0, 40, 40, 0);
  for (size_t i = 0; i < big.indexes.size(); ++i) big.indexes[i] = static_cast<uint8_t>(i * 7 % 4);
  t.header(40, 40, grey_palette(4)).image(big);
  size_t first_end = t.bytes().size();
  t.image(big).trailer();
  std::string bytes = t.bytes();
  auto cut = C_Gif::load_from_bytes(bytes.substr(0, bytes.size() - 30));
  ASSERT_EQ(cut->frame_count(), 2);
  EXPECT_FALSE(cut->frames[0].truncated);
  EXPECT_TRUE(cut->frames[1].truncated);
  EXPECT_EQ(cut->introducer, "");
  cut->set_current_frame(1);
  EXPECT_FALSE(cut->render_current_frame().empty());
  EXPECT_EQ(C_Gif::load_from_bytes(bytes.substr(0, first_end + 5))->frame_count(), 1);
  // No trailer: the data simply ends.
  EXPECT_EQ(C_Gif::load_from_bytes(bytes.substr(0, bytes.size() - 1))->frame_count(), 2);
}

TEST(GifReader, TheReaderOption) {
  Gif_writer w;
  w.header(2, 2, grey_palette(2)).image(solid(0, 0, 2, 2, 1)).trailer();
  brek_test::Temp_dir dir;
  ASSERT_TRUE(brek_test::write_file(dir.file("a.gif"), w.bytes()));

  brek::C_Global_var::set("Gif_code", 7);
  EXPECT_EQ(C_Gif::gif_code(), gif_code_from::GIF_BOTH);
  EXPECT_EQ(C_Gif::load_from_file(dir.file("a.gif"))->frame_count(), 1);
  // From a stream: the rest of it from its position.
  auto stream = brek::C_Memory_stream_contig::create();
  stream->write_buffer(reinterpret_cast<const uint8_t*>("xyz"), 3);
  stream->write_buffer(reinterpret_cast<const uint8_t*>(w.bytes().data()), static_cast<int64_t>(w.bytes().size()));
  stream->set_pos(3);
  EXPECT_EQ(C_Gif::load_from_stream(stream)->frame_count(), 1);
  // The native class reads it: the frame is its, not the own reader's.
  C_Gif::set_gif_code(gif_code_from::GIF_NATIVE);
  EXPECT_EQ(C_Gif::load_from_bytes(w.bytes())->frame_count(), 1);
  EXPECT_TRUE(C_Gif::load_from_bytes(w.bytes())->frames.empty());
  C_Gif::set_gif_code(gif_code_from::GIF_Brek);
  EXPECT_EQ(C_Gif::load_from_bytes(w.bytes())->frame_count(), 1);
  C_Gif::set_gif_code(gif_code_from::GIF_BOTH);
}
