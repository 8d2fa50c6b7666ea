#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "baselib/geometry.h"
#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "gif_test_support.h"
#include "images/gif.h"
#include "images/gif_writer.h"
#include "platform/clipboard.h"

using brek::E_Gif_error;
using brek::gif_version;
using brek::Pixels;
using brek::Ref;
using brek::TGIFFrame;
using brek::TGIFImage;
using gif_test::le16;
using gif_test::pack_codes;

namespace {

uint32_t rgb(int r, int g, int b) { return Pixels::bgra(uint8_t(b), uint8_t(g), uint8_t(r)); }
brek::Color color(int r, int g, int b) { return brek::Colors::make(r, g, b); }

std::string as_string(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

Ref<TGIFImage> read(const std::string& bytes) {
  Ref<TGIFImage> gif = TGIFImage::create();
  gif->read_data(reinterpret_cast<const uint8_t*>(bytes.data()), int64_t(bytes.size()));
  return gif;
}

// The message read_data raises for the bytes; "" when it reads them.
std::string error_of(const Ref<TGIFImage>& gif, const std::string& bytes) {
  try {
    gif->read_data(reinterpret_cast<const uint8_t*>(bytes.data()), int64_t(bytes.size()));
  } catch (const E_Gif_error& e) {
    return e.what();
  }
  return "";
}

// A 3 x 2 picture of four colours, with a transparent colour, a delay, a
// disposal method, a loop count and a comment.
const std::string HEADER = std::string("GIF89a") +  // signature and version
                           le16(3) + le16(2) +     // logical screen 3 x 2
                           std::string("\x81"      // global table of 2^(1+1) entries
                                       "\x01"      // background: entry 1
                                       "\x00",     // no aspect ratio
                                       3) +
                           std::string("\xFF\x00\x00"   // 0 red
                                       "\x00\xFF\x00"   // 1 green
                                       "\x00\x00\xFF"   // 2 blue
                                       "\xFF\xFF\xFF",  // 3 white
                                       12);
const std::string LOOP = std::string("\x21\xFF\x0B") + "NETSCAPE2.0" +  // application block
                         "\x03\x01" + le16(40000) + std::string(1, '\0');  // loop count past 30000
const std::string CONTROL = std::string("\x21\xF9\x04"  // graphic control, 4 bytes
                                        "\x09"          // disposal 2, transparent flag
                                        "\x05\x00"      // delay 5 hundredths
                                        "\x02"          // transparent entry 2 (blue)
                                        "\x00",         // terminator
                                        8);
const std::string COMMENT = std::string("\x21\xFE\x02hi\x00", 6);
// Image descriptor at (0, 0), 3 x 2, no local table, not interlaced, code
// size 2; pixels 0 1 2 / 3 0 1 as codes: clear, the six literals, end.
const std::string IMAGE = std::string(",") + le16(0) + le16(0) + le16(3) + le16(2) + std::string(1, '\0') +
                          "\x02" + pack_codes({4, 0, 1, 2, 3, 0, 1, 5}, 2);
const std::string TRAILER = ";";
const std::string HAND_MADE = HEADER + LOOP + CONTROL + COMMENT + IMAGE + TRAILER;

// A picture of a few colours in blocks and runs: long runs make the
// writer start its table again.
Pixels sample(int w, int h, int seed) {
  const uint32_t colours[] = {rgb(250, 10, 10), rgb(10, 250, 10), rgb(0, 0, 0), rgb(40, 60, 200)};
  Pixels p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.set(x, y, colours[(x / (3 + seed) + y / 2 * seed + (x * y) % 7 / 6) % 4]);
  return p;
}

}  // namespace

TEST(GifImageRead, AHandMadeFileGivesEveryFieldItHolds) {
  Ref<TGIFImage> gif = read(HAND_MADE);
  EXPECT_EQ(gif->version, gif_version::GIF89A);
  EXPECT_EQ(gif->screen_width, 3);
  EXPECT_EQ(gif->screen_height, 2);
  EXPECT_EQ(gif->data.palette_bits, 2);
  ASSERT_EQ(gif->data.color_table.size(), 4u);
  EXPECT_EQ(gif->background_color, color(0, 255, 0));
  EXPECT_TRUE(gif->looping);
  EXPECT_EQ(gif->loop_count, 30000);
  EXPECT_EQ(gif->data.comments, std::vector<std::string>{"hi"});
  EXPECT_FALSE(gif->IsCorrupted());

  ASSERT_EQ(gif->FrameCount(), 1);
  EXPECT_EQ(gif->current_frame, 0);
  EXPECT_EQ(gif->width(), 3);
  EXPECT_EQ(gif->height(), 2);
  Ref<TGIFFrame> f = gif->FrameAt(0);
  EXPECT_EQ(f->delay, 50);
  EXPECT_EQ(f->disposal, 2);
  EXPECT_EQ(f->transparent_color, color(0, 0, 255));
  EXPECT_FALSE(f->local_color_table);
  const uint32_t want[6] = {rgb(255, 0, 0), rgb(0, 255, 0), rgb(0, 0, 255),
                            rgb(255, 255, 255), rgb(255, 0, 0), rgb(0, 255, 0)};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(f->bitmap.at(i % 3, i / 3), want[i]) << i;

  // Letter case of the signature does not matter; the largest delay of two
  // control blocks counts.
  std::string upper = HAND_MADE;
  upper.replace(0, 6, "gif89A");
  const std::string longer = std::string("\x21\xF9\x04\x00\x0C\x00\x00\x00", 8);
  upper.insert(upper.find(CONTROL), longer);
  gif = read(upper);
  EXPECT_EQ(gif->version, gif_version::GIF89A);
  EXPECT_EQ(gif->FrameAt(0)->delay, 120);
  // Written again, the frame has one control block, with that delay.
  const std::string again = as_string(gif->write_data());
  EXPECT_EQ(again.find("\x21\xF9"), again.rfind("\x21\xF9"));
  EXPECT_EQ(read(again)->FrameAt(0)->delay, 120);

  // Application blocks other than the loop, and plain text, are written
  // again as they were read, their headers with them.
  const std::string XMP = std::string("\x21\xFF\x0B") + "XMP DataXMP" + "\x02<x" + std::string(1, '\0');
  const std::string TEXT = std::string("\x21\x01\x0C") + std::string(12, '\x07') + "\x01t" + std::string(1, '\0');
  std::string kept = HAND_MADE;
  kept.insert(kept.find(IMAGE), XMP + TEXT);
  const std::string written = as_string(read(kept)->write_data());
  EXPECT_NE(written.find(XMP), std::string::npos);
  EXPECT_NE(written.find(TEXT), std::string::npos);
}

TEST(GifImageRead, WhatTheClassWritesReadsBackAndWritesAgainByteForByte) {
  Ref<TGIFImage> gif = TGIFImage::create();
  Pixels first = sample(301, 117, 1), second = sample(40, 30, 2);
  Pixels mono(13, 9, rgb(0, 0, 0));
  for (int x = 0; x < 13; x += 2) mono.set(x, x % 9, rgb(255, 255, 255));
  gif->add_frame(first, 24);
  Ref<TGIFFrame> f2 = gif->add_frame(second, 24, color(10, 250, 10));
  f2->left = 5;
  f2->top = 7;
  f2->delay = 330;
  f2->disposal = 3;
  gif->add_frame(mono, 1);
  gif->looping = true;
  gif->loop_count = 4;
  gif->data.comments = {"one", "two"};
  const std::string bytes = as_string(gif->write_data());

  Ref<TGIFImage> back = read(bytes);
  ASSERT_EQ(back->FrameCount(), 3);
  EXPECT_FALSE(back->IsCorrupted());
  EXPECT_EQ(back->FrameAt(0)->bitmap, first);
  EXPECT_EQ(back->FrameAt(1)->bitmap, second);
  EXPECT_EQ(back->FrameAt(2)->bitmap, mono);
  EXPECT_EQ(back->FrameAt(1)->left, 5);
  EXPECT_EQ(back->FrameAt(1)->top, 7);
  EXPECT_EQ(back->FrameAt(1)->delay, 330);
  EXPECT_EQ(back->FrameAt(1)->disposal, 3);
  EXPECT_EQ(back->FrameAt(1)->transparent_color, color(10, 250, 10));
  EXPECT_FALSE(back->FrameAt(0)->transparent_color.has_value());
  EXPECT_TRUE(back->looping);
  EXPECT_EQ(back->loop_count, 4);
  EXPECT_EQ(back->data.comments, (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(as_string(back->write_data()), bytes);
}

TEST(GifImageRead, StreamsOtherEncodersWriteDecodeAsTheViewersReaderDecodesThem) {
  // Interlaced rows, a local table, and a table kept full without a clear
  // code, as some encoders leave it.
  std::vector<uint8_t> indexes(90 * 70);
  for (size_t i = 0; i < indexes.size(); ++i) indexes[i] = uint8_t((i * 7 + i / 90) % 13 == 0 ? 3 : i % 90 / 30);
  gif_test::Frame_desc frame;
  frame.width = 90;
  frame.height = 70;
  frame.indexes = indexes;
  frame.interlaced = true;
  frame.local_palette = gif_test::grey_palette(4);
  frame.lzw.initial_clear = false;
  frame.lzw.clear_when_full = false;
  const std::string bytes =
      gif_test::Gif_writer().header(90, 70, gif_test::grey_palette(16)).image(frame).trailer().bytes();
  Ref<TGIFImage> gif = read(bytes);
  ASSERT_EQ(gif->FrameCount(), 1);
  EXPECT_FALSE(gif->IsCorrupted());
  EXPECT_TRUE(gif->FrameAt(0)->local_color_table);
  Ref<brek::C_Gif> own = brek::C_Gif::load_from_bytes(bytes);
  EXPECT_EQ(gif->FrameAt(0)->bitmap, own->render_current_frame());
}

TEST(GifImageRead, EachMalformedFileRaisesItsMessageAndLeavesTheImageCleared) {
  Ref<TGIFImage> gif = read(HAND_MADE);
  const std::string image_head = IMAGE.substr(0, 10);
  struct Case {
    std::string bytes, message;
  };
  const Case cases[] = {
      {"GIF88a" + HAND_MADE.substr(6), "Unknown GIF version"},
      {"JIF89a" + HAND_MADE.substr(6), "Unknown GIF version"},
      {"GIF8", "Unknown GIF version"},
      {HEADER + std::string("\x21\x3A\x00", 3) + IMAGE + TRAILER, "Unrecognized extension block: 3a"},
      {HEADER + image_head + "\x01" + pack_codes({2, 0, 3}, 1) + TRAILER, "GIF code size not in range 2 to 9"},
      {HEADER + image_head + "\x0A" + pack_codes({1024, 0, 1025}, 10) + TRAILER,
       "GIF code size not in range 2 to 9"},
      // A code size the decoder cannot take.
      {HEADER + image_head + "\x09" + pack_codes({512, 0, 513}, 9) + TRAILER, "GIF encoded data is corrupt"},
      // After a clear code, a code that is no literal.
      {HEADER + image_head + "\x02" + pack_codes({4, 6, 5}, 2) + TRAILER, "GIF encoded data is corrupt"},
      // A code past the next free entry.
      {HEADER + image_head + "\x02" + pack_codes({4, 0, 7, 5}, 2) + TRAILER, "GIF encoded data is corrupt"},
      // An empty frame.
      {HEADER + "," + le16(0) + le16(0) + le16(0) + le16(2) + std::string(1, '\0') + "\x02" +
           pack_codes({4, 5}, 2) + TRAILER,
       "GIF encoded data is corrupt"},
      // A good first frame before a bad one: not half an image either.
      {HEADER + CONTROL + IMAGE + image_head + "\x02" + pack_codes({4, 0, 7, 5}, 2) + TRAILER,
       "GIF encoded data is corrupt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    ASSERT_EQ(read(HAND_MADE)->FrameCount(), 1);
    gif = read(HAND_MADE);
    EXPECT_EQ(error_of(gif, c.bytes), c.message);
    EXPECT_EQ(gif->FrameCount(), 0);
    EXPECT_EQ(gif->current_frame, -1);
    EXPECT_EQ(gif->version, gif_version::NOT_SET);
    EXPECT_TRUE(gif->data.comments.empty());
    EXPECT_TRUE(gif->data.color_table.empty());
    EXPECT_FALSE(gif->looping);
    EXPECT_FALSE(gif->background_color.has_value());
    EXPECT_EQ(gif->width(), 0);
  }
}

TEST(GifImageRead, DataEndingEarlyKeepsWhatCameBeforeAndIsMarkedCorrupted) {
  // Cut after the first frame: one frame, marked.
  const std::string two = HEADER + IMAGE + CONTROL + IMAGE + TRAILER;
  Ref<TGIFImage> gif = read(two.substr(0, HEADER.size() + IMAGE.size()));
  EXPECT_EQ(gif->FrameCount(), 1);
  EXPECT_TRUE(gif->IsCorrupted());
  EXPECT_FALSE(gif->FrameAt(0)->corrupted);

  // Cut inside the second frame's data: that frame is kept, marked.
  gif = read(two.substr(0, two.size() - 3));
  ASSERT_EQ(gif->FrameCount(), 2);
  EXPECT_TRUE(gif->FrameAt(1)->corrupted);
  EXPECT_EQ(gif->FrameAt(1)->delay, 50);

  // Codes that stop before the last pixel, in a properly ended file.
  gif = read(HEADER + IMAGE.substr(0, 11) + pack_codes({4, 0, 1, 5}, 2) + TRAILER);
  ASSERT_EQ(gif->FrameCount(), 1);
  EXPECT_TRUE(gif->IsCorrupted());
  EXPECT_EQ(gif->FrameAt(0)->bitmap.at(1, 0), rgb(0, 255, 0));
  Ref<TGIFImage> copy = TGIFImage::create();
  copy->assign(gif);
  EXPECT_TRUE(copy->IsCorrupted());

  EXPECT_FALSE(read(two)->IsCorrupted());
}

TEST(GifImageRead, DrawingStretchesTheFrameAndLeavesTransparentPixelsAlone) {
  Ref<TGIFImage> gif = read(HAND_MADE);
  auto drawn = [&](bool transparent) {
    Ref<brek::C_Bitmap> target = brek::C_Bitmap::create(30, 20, 24);
    target->pixels()->resize(30, 20, rgb(128, 128, 128));
    Ref<brek::C_Canvas> canvas = target->canvas();
    canvas->units = brek::units_measure_graphics::PIXELS;
    canvas->quality = brek::quality_drawing_lines_shapes::LOW;  // plain stretch: no blending
    gif->draw(canvas, brek::rect{0, 0, 30, 20}, transparent);
    return *target->pixels();
  };
  Pixels plain = drawn(false), masked = drawn(true);
  // Each source pixel covers 10 x 10; blue is the
  // transparent colour.
  EXPECT_EQ(plain.at(5, 5), rgb(255, 0, 0));
  EXPECT_EQ(plain.at(15, 15), rgb(255, 0, 0));
  EXPECT_EQ(plain.at(25, 5), rgb(0, 0, 255));
  EXPECT_EQ(plain.at(5, 15), rgb(255, 255, 255));
  EXPECT_EQ(masked.at(5, 5), rgb(255, 0, 0));
  EXPECT_EQ(masked.at(25, 5), rgb(128, 128, 128));
  EXPECT_EQ(masked.at(5, 15), rgb(255, 255, 255));
}

TEST(GifImageClipboard, TheImageTravelsAsGifBytesWhileTheFormatIsRegistered) {
  Ref<TGIFImage> gif = read(HAND_MADE);
  ASSERT_TRUE(TGIFImage::register_class());
  ASSERT_TRUE(gif->copy_to_clipboard());
  const std::vector<std::string> formats = brek_platform::clipboard_formats();
  EXPECT_NE(std::find(formats.begin(), formats.end(), "image/gif"), formats.end());
  EXPECT_EQ(brek_platform::clipboard_data("image/gif"), as_string(gif->write_data()));

  Ref<TGIFImage> pasted = TGIFImage::create();
  ASSERT_TRUE(pasted->paste_from_clipboard());
  ASSERT_EQ(pasted->FrameCount(), 1);
  EXPECT_EQ(pasted->FrameAt(0)->bitmap, gif->FrameAt(0)->bitmap);
  EXPECT_EQ(pasted->data.comments, std::vector<std::string>{"hi"});

  // A text on the clipboard is no GIF: the image stays.
  brek_platform::clipboard_set_text("GIF89a");
  EXPECT_FALSE(pasted->paste_from_clipboard());
  EXPECT_EQ(pasted->FrameCount(), 1);

  // Withdrawn at shut-down: the class neither puts nor takes GIF bytes.
  TGIFImage::unregister_class();
  EXPECT_FALSE(gif->copy_to_clipboard());
  EXPECT_EQ(brek_platform::clipboard_text(), "GIF89a");
  brek_platform::clipboard_set_text("");
  EXPECT_FALSE(pasted->paste_from_clipboard());
}

TEST(GifImageRead, FramesPastTheDecodedLimitEndTheReadingAsDataThatEndsEarly) {
  // Five frames of 100 x 100 (40,000 bytes each decoded) under a limit of
  // 100,000 bytes: two are read, the image is marked.
  Ref<TGIFImage> written = TGIFImage::create();
  for (int i = 0; i < 5; ++i) written->add_frame(sample(100, 100, i + 1), 24);
  const std::vector<uint8_t> bytes = written->write_data();
  const int64_t saved = TGIFImage::decoded_bytes_limit;
  TGIFImage::decoded_bytes_limit = 100000;
  Ref<TGIFImage> gif = TGIFImage::create();
  gif->read_data(bytes);
  TGIFImage::decoded_bytes_limit = saved;
  EXPECT_EQ(gif->FrameCount(), 2);
  EXPECT_TRUE(gif->IsCorrupted());
  // Under the usual limit every frame is there.
  gif->read_data(bytes);
  EXPECT_EQ(gif->FrameCount(), 5);
  EXPECT_FALSE(gif->IsCorrupted());
}

TEST(GifImageRead, ADamagedFrameIsWrittenWholeAndReadsBackByTheClassAndByGiflib) {
  const std::string cut_in_a_sub_block = std::string(
      "GIF89a"
      "\x64\x00\x64\x00"                              // logical screen 100 x 100
      "\xF0\x00\x00"                                  // global table of 2 entries
      "\x8F\xBC\x8F\x00\x00\x00"                      // its entries
      "\x21\xF9\x04\x05\x64\x00\x01\x00"              // graphic control: transparent entry 1
      "\x21\xFE\x0BNETSCAPE2%0\x03\x01\x00\x00\x00"  // a comment of two sub-blocks
      "\x2C\x00\x00\x00\x00\x64\x00\x64\xA6\x21"      // image 100 x 42596 at (0, 0)
      "\x02"                                          // code size 2
      "\x0B\xCE\xE7\x20\x0F\x0C\x54\x92\xD2\x0F",     // 11 bytes promised, 9 there
      67);
  const std::string cases[] = {
      cut_in_a_sub_block,
      // Every code there, the file ending before the data's terminator.
      HEADER + COMMENT + CONTROL + IMAGE.substr(0, IMAGE.size() - 1),
      // Codes that stop before the last pixel, in a properly ended file.
      HEADER + IMAGE.substr(0, 11) + pack_codes({4, 0, 1, 5}, 2) + TRAILER,
  };
  for (const std::string& bytes : cases) {
    SCOPED_TRACE(bytes.size());
    Ref<TGIFImage> gif = read(bytes);
    ASSERT_EQ(gif->FrameCount(), 1);
    EXPECT_TRUE(gif->IsCorrupted());
    const std::string written = as_string(gif->write_data());

    Ref<TGIFImage> back = TGIFImage::create();
    ASSERT_EQ(error_of(back, written), "");
    ASSERT_EQ(back->FrameCount(), 1);
    EXPECT_EQ(back->FrameAt(0)->bitmap, gif->FrameAt(0)->bitmap);
    EXPECT_EQ(back->FrameAt(0)->transparent_color, gif->FrameAt(0)->transparent_color);
    EXPECT_EQ(back->data.comments, gif->data.comments);
    EXPECT_EQ(as_string(back->write_data()), written);

    const gif_test::Reference ref = gif_test::giflib_decode(written);
    ASSERT_TRUE(ref.ok);
    ASSERT_EQ(ref.raw.size(), 1u);
    const Pixels& frame = gif->FrameAt(0)->bitmap;
    ASSERT_EQ(ref.raw[0].size(), size_t(frame.width()) * size_t(frame.height()));
    for (int y = 0, i = 0; y < frame.height(); ++y)
      for (int x = 0; x < frame.width(); ++x, ++i)
        ASSERT_EQ(ref.raw[0][size_t(i)] & 0xFFFFFFu, frame.at(x, y) & 0xFFFFFFu) << x << ", " << y;
  }
}
