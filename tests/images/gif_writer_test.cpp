#include "images/gif_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "baselib/memory_stream.h"
#include "gif_test_support.h"
#include "images/gif.h"
#include "images/image.h"
#include "images/image_file_io.h"
#include "tests/support/temp_dir.h"

using brek::C_Gif;
using brek::E_Gif_error;
using brek::Pixels;
using brek::Ref;
using brek::TGIFFrame;
using brek::TGIFImage;
using gif_test::first_difference;
using gif_test::giflib_decode;

namespace {

uint32_t rgb(int r, int g, int b) { return Pixels::bgra(uint8_t(b), uint8_t(g), uint8_t(r)); }
brek::Color color(int r, int g, int b) { return brek::Colors::make(r, g, b); }

std::string as_string(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

std::string write(const Pixels& p, int64_t bits = 24) {
  Ref<TGIFImage> gif = TGIFImage::create();
  gif->assign(p, bits);
  return as_string(gif->write_data());
}

// Blocks of a few colours, as in drawings and screenshots.
Pixels blocks(int w, int h, const std::vector<uint32_t>& colours, unsigned seed) {
  std::mt19937 rng(seed);
  Pixels p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.set(x, y, colours[((x / 3) * 7 + (y / 2) * 3 + rng() % 2) % colours.size()]);
  return p;
}


// The picture as the program's own reader composes it.
Pixels read_own(const std::string& bytes) {
  Ref<C_Gif> gif = C_Gif::load_from_bytes(bytes);
  return gif->render_current_frame();
}

}  // namespace

TEST(GifWriter, APictureOfManyColoursIsOneFrameWithAFullGlobalTable) {
  const std::string f = write(blocks(20, 10, {rgb(1, 2, 3), rgb(200, 100, 0)}, 1));
  ASSERT_GT(f.size(), 13u + 768u + 10u);
  EXPECT_EQ(f.substr(0, 6), "GIF87a");
  EXPECT_EQ(uint8_t(f[6]), 20);
  EXPECT_EQ(uint8_t(f[8]), 10);
  EXPECT_EQ(uint8_t(f[10]), 0xF7);  // global table of 256, colour resolution 8
  const size_t image = 13 + 768;   // no extension block before the image
  EXPECT_EQ(f[image], ',');
  EXPECT_EQ(uint8_t(f[image + 9]), 0);  // no local table, not interlaced
  EXPECT_EQ(uint8_t(f[image + 10]), 8);  // minimum code size
  EXPECT_EQ(f.back(), ';');
  // The unused entries are grey.
  EXPECT_EQ(f.substr(13 + 3 * 255, 3), std::string("\x80\x80\x80"));
}

TEST(GifWriter, FewColoursRoundTripExactlyAtEverySize) {
  const std::vector<uint32_t> colours = {rgb(255, 0, 0), rgb(0, 128, 0), rgb(1, 2, 3), rgb(255, 255, 255),
                                         rgb(17, 200, 99)};
  struct Size {
    int w, h;
  };
  for (Size s : {Size{1, 1}, Size{1, 7}, Size{7, 1}, Size{3, 5}, Size{37, 23}, Size{301, 117}}) {
    SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h));
    Pixels p = blocks(s.w, s.h, colours, unsigned(s.w));
    const std::string f = write(p);
    auto ref = giflib_decode(f);
    ASSERT_TRUE(ref.ok);
    ASSERT_EQ(ref.width, s.w);
    ASSERT_EQ(ref.height, s.h);
    EXPECT_EQ(first_difference(p, ref.composed[0]), "");
    EXPECT_EQ(read_own(f), p);
  }
}

TEST(GifWriter, ManyColoursComeBackWithinTheReductionsErrorAndReadersAgree) {
  const int w = 97, h = 61;
  Pixels p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.set(x, y, rgb(x * 255 / (w - 1), y * 255 / (h - 1), (x * y) % 256));
  const std::string f = write(p);
  auto ref = giflib_decode(f);
  ASSERT_TRUE(ref.ok);
  Pixels own = read_own(f);
  EXPECT_EQ(first_difference(own, ref.composed[0]), "");

  brek::Indexed_bitmap q = brek::RxGraph::reduce_to_8bit(p, brek::mapping_method::HISTOGRAM);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const brek::Rgb_entry e = q.palette[q.at(x, y)];
      ASSERT_EQ(own.at(x, y), rgb(e.red, e.green, e.blue)) << x << "," << y;
    }
}

TEST(GifWriter, BitmapsOfOneAndFourBitsKeepTheirColoursAndSmallTables) {
  Pixels mono = blocks(13, 9, {rgb(0, 0, 0), rgb(255, 255, 255)}, 5);
  std::string f = write(mono, 1);
  EXPECT_EQ(uint8_t(f[10]), 0x80);   // 2 entries
  EXPECT_EQ(uint8_t(f[13 + 6 + 10]), 2);  // minimum code size after the 2-entry table
  EXPECT_EQ(read_own(f), mono);

  std::vector<uint32_t> sixteen;
  for (int i = 0; i < 16; ++i) sixteen.push_back(rgb(i * 16, 255 - i * 16, i * 3));
  Pixels vga = blocks(31, 17, sixteen, 6);
  f = write(vga, 4);
  EXPECT_EQ(uint8_t(f[10]), 0xB3);  // 16 entries
  EXPECT_EQ(uint8_t(f[13 + 48 + 10]), 4);
  auto ref = giflib_decode(f);
  ASSERT_TRUE(ref.ok);
  EXPECT_EQ(first_difference(vga, ref.composed[0]), "");

  // An 8-bit bitmap drawn on in more than 256 colours is reduced instead.
  Pixels many(300, 1);
  for (int x = 0; x < 300; ++x) many.set(x, 0, rgb(x % 256, x / 256, 0));
  f = write(many, 8);
  EXPECT_EQ(uint8_t(f[10]), 0xF7);
  EXPECT_EQ(read_own(f).width(), 300);
}

TEST(GifWriter, TransparentColourDelayAndDisposalGoIntoAGraphicControlBlock) {
  Pixels p = blocks(9, 5, {rgb(10, 20, 30), rgb(0, 255, 0), rgb(90, 80, 70)}, 2);
  Ref<TGIFImage> gif = TGIFImage::create();
  Ref<TGIFFrame> frame = gif->add_frame(p, 24, color(0, 255, 0));
  frame->delay = 250;
  frame->disposal = 2;
  const std::string f = as_string(gif->write_data());
  EXPECT_EQ(f.substr(0, 6), "GIF89a");
  const size_t ext = 13 + 768;
  ASSERT_EQ(f.substr(ext, 3), std::string("\x21\xF9\x04"));
  EXPECT_EQ(uint8_t(f[ext + 3]), (2 << 2) | 1);
  EXPECT_EQ(uint8_t(f[ext + 4]), 25);  // hundredths
  const int transparent = uint8_t(f[ext + 6]);
  EXPECT_EQ(frame->transparent_index(), transparent);

  auto ref = giflib_decode(f);
  ASSERT_TRUE(ref.ok);
  EXPECT_EQ(ref.delays[0], 25);
  EXPECT_EQ(ref.disposals[0], 2);
  Ref<C_Gif> own = C_Gif::load_from_bytes(f);
  ASSERT_EQ(own->frame_count(), 1);
  EXPECT_EQ(own->frames[0].delay, 250);
  Pixels alone = own->decode_frame(0);
  for (int y = 0; y < p.height(); ++y)
    for (int x = 0; x < p.width(); ++x) {
      const bool clear = p.at(x, y) == rgb(0, 255, 0);
      ASSERT_EQ(Pixels::alpha(alone.at(x, y)), clear ? 0 : 255);
      ASSERT_EQ(Pixels::alpha(ref.raw[0][size_t(y * p.width() + x)]), clear ? 0 : 255);
    }

  // A transparent colour the palette lacks marks nothing.
  Ref<TGIFImage> other = TGIFImage::create();
  other->add_frame(p, 24, color(1, 1, 1));
  const std::string g = as_string(other->write_data());
  EXPECT_EQ(uint8_t(g[13 + 768 + 3]) & 1, 0);
}

TEST(GifWriter, FramesLoopingAndComments) {
  Pixels a = blocks(8, 6, {rgb(255, 0, 0), rgb(0, 0, 255)}, 3);
  Pixels b = blocks(4, 9, {rgb(0, 255, 0), rgb(255, 255, 0)}, 4);
  Ref<TGIFImage> gif = TGIFImage::create();
  gif->add_frame(a, 24)->delay = 100;
  Ref<TGIFFrame> second = gif->add_frame(b, 24);
  second->left = 3;
  second->top = 1;
  second->delay = 40;
  gif->looping = true;
  gif->loop_count = 3;
  gif->data.comments = {std::string(300, 'c'), "", "short"};
  EXPECT_EQ(gif->FrameCount(), 2);
  const std::string f = as_string(gif->write_data());
  EXPECT_EQ(f.substr(0, 6), "GIF89a");
  EXPECT_NE(f.find(std::string("\x21\xFF\x0bNETSCAPE2.0\x03\x01\x03\x00\x00", 19)), std::string::npos);
  // The second frame keeps its own table; the screen holds both.
  EXPECT_TRUE(second->local_color_table);
  EXPECT_EQ(gif->screen_width, 8);
  EXPECT_EQ(gif->screen_height, 10);

  Ref<C_Gif> own = C_Gif::load_from_bytes(f);
  ASSERT_EQ(own->frame_count(), 2);
  EXPECT_TRUE(own->looping);
  EXPECT_EQ(own->loop_count, 3);
  EXPECT_EQ(own->frames[1].left, 3);
  EXPECT_EQ(own->frames[1].delay, 40);
  // One line per sub-block: the long one cut, the empty one skipped.
  ASSERT_EQ(own->comments.count(), 2);
  EXPECT_EQ(own->comments.get(0), std::string(255, 'c'));
  EXPECT_EQ(own->comments.get(1), "short");
  auto ref = giflib_decode(f);
  ASSERT_TRUE(ref.ok);
  own->set_current_frame(1);
  EXPECT_EQ(first_difference(own->render_current_frame(), ref.composed[1]), "");
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 4; ++x) ASSERT_EQ(ref.raw[1][size_t(y * 4 + x)], b.at(x, y));

  // One frame never loops.
  Ref<TGIFImage> single = TGIFImage::create();
  single->add_frame(a, 24);
  single->looping = true;
  EXPECT_EQ(as_string(single->write_data()).find("NETSCAPE"), std::string::npos);
}

TEST(GifWriter, TheImageObjectAndItsFailures) {
  Ref<TGIFImage> gif = TGIFImage::create();
  EXPECT_EQ(gif->width(), 0);
  EXPECT_THROW(gif->write_data(), E_Gif_error);
  gif->add_frame(Pixels(), 24);
  try {
    gif->write_data();
    ADD_FAILURE() << "an empty frame was written";
  } catch (const E_Gif_error& e) {
    EXPECT_STREQ(e.what(), "No GIF Data to write");
  }

  gif->clear();
  Pixels p = blocks(6, 4, {rgb(9, 9, 9), rgb(250, 0, 0)}, 8);
  gif->add_frame(p, 24);
  EXPECT_EQ(gif->width(), 6);
  EXPECT_EQ(gif->height(), 4);
  EXPECT_THROW(gif->set_width(10), E_Gif_error);
  gif->SetFrameIndex(7);
  EXPECT_EQ(gif->current_frame, 0);
  gif->SetFrameIndex(-5);
  EXPECT_EQ(gif->current_frame, -1);
  EXPECT_TRUE(gif->FrameAt(3).is_none());

  // Written twice, encoded once: the same bytes.
  gif->background_color = color(250, 0, 0);
  const auto once = gif->write_data();
  EXPECT_EQ(gif->write_data(), once);
  const auto& table = gif->frames[0]->item.color_table;
  const auto red = std::find(table.begin(), table.end(), brek::Rgb_entry{250, 0, 0});
  ASSERT_NE(red, table.end());
  EXPECT_EQ(once[11], red - table.begin());  // the background entry

  // A copy writes the same file; a grey image writes the grey ramp.
  Ref<TGIFImage> copy = TGIFImage::create();
  copy->assign(gif);
  EXPECT_EQ(copy->write_data(), once);
  Ref<TGIFImage> grey = TGIFImage::create();
  grey->grayscale = true;
  grey->add_frame(p, 24);
  const std::string g = as_string(grey->write_data());
  EXPECT_EQ(g.substr(13 + 3 * 77, 3), std::string("MMM"));  // entry 77 is (77, 77, 77)
  const uint32_t c = p.at(0, 0);
  EXPECT_EQ(Pixels::red(read_own(g).at(0, 0)),
            (Pixels::red(c) * 77 + Pixels::green(c) * 150 + Pixels::blue(c) * 29) / 256);

  // A global table whose size is no power of two is refused.
  gif->data.color_table.resize(3);
  EXPECT_THROW(gif->write_data(), E_Gif_error);

  // Into a stream.
  Ref<TGIFImage> s = TGIFImage::create();
  s->assign(p, 24);
  Ref<brek::C_Memory_stream_contig> m = brek::C_Memory_stream_contig::create();
  EXPECT_TRUE(s->save_to_stream(Ref<brek::C_Stream>(m)));
  const auto bytes = s->write_data();
  ASSERT_EQ(m->used(), int64_t(bytes.size()));
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), m->data.data()));
}

TEST(GifWriter, AnOpenedPictureSavedAsGifReadsBackAsItWas) {
  brek_test::Temp_dir dir;
  for (int w : {1, 3, 40}) {
    Pixels p = blocks(w, w == 1 ? 1 : 7, {rgb(12, 34, 56), rgb(255, 255, 0), rgb(0, 0, 0)}, unsigned(w));
    const std::string bmp = dir.file("p" + std::to_string(w) + ".bmp");
    ASSERT_TRUE(brek::Image_file_io::save_bmp(p, bmp, false));
    Ref<brek::C_Image> image = brek::C_Image::create();
    image->file_name = bmp;
    bool nothing = true;
    const std::string gif = dir.file("p" + std::to_string(w) + ".GIF");
    ASSERT_TRUE(image->save_picture(gif, nothing));
    EXPECT_FALSE(nothing);
    EXPECT_EQ(C_Gif::load_from_file(gif)->render_current_frame(), p);
  }
}
