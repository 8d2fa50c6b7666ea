#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "drawing/bitmap.h"
#include "images/format_classes.h"
#include "images/jpeg_codec.h"
#include "images/jpeg_restarts.h"
#include "tests/images/image_test_util.h"
#include "tests/support/temp_dir.h"

using brek::E_Jpeg_error;
using brek::Pixels;
namespace Jpeg_codec = brek::Jpeg_codec;
using namespace brek_test;

namespace {

class JpegCodec : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!have_program("cjpeg") || !have_program("djpeg")) GTEST_SKIP() << "libjpeg-turbo-progs missing";
  }
  // Compresses a test picture with cjpeg and the given options.
  std::string make_jpeg(int w, int h, bool grey, const std::string& options) {
    std::string src = dir.file("src.pnm"), jpg = dir.file("out.jpg");
    write_file(src, to_pnm(test_picture(w, h, grey), grey));
    EXPECT_TRUE(run("cjpeg " + options + " -outfile " + jpg + " " + src));
    return read_file(jpg);
  }
  // The reference decode of djpeg at 1/factor with the integer DCT.
  Pixels reference(const std::string& jpeg, int factor) {
    std::string in = dir.file("ref.jpg"), out = dir.file("ref.pnm");
    write_file(in, jpeg);
    EXPECT_TRUE(run("djpeg -dct int -scale 1/" + std::to_string(factor) + " -outfile " + out + " " + in));
    Pixels p;
    EXPECT_TRUE(from_pnm(read_file(out), p));
    return p;
  }
  void expect_same_as_djpeg(const std::string& jpeg) {
    for (int factor : {1, 2, 4, 8}) {
      Pixels ours;
      auto bytes = bytes_of(jpeg);
      ASSERT_TRUE(Jpeg_codec::decode(bytes.data(), bytes.size(), factor, ours));
      EXPECT_TRUE(ours == reference(jpeg, factor)) << "factor " << factor;
    }
  }
  Temp_dir dir;
};

TEST_F(JpegCodec, ColourAgreesWithReferenceAtEveryScale) {
  expect_same_as_djpeg(make_jpeg(101, 51, false, "-quality 85"));
  expect_same_as_djpeg(make_jpeg(64, 48, false, "-quality 95 -sample 1x1"));
}

TEST_F(JpegCodec, GreyProgressiveAndRestartAgreeWithReference) {
  expect_same_as_djpeg(make_jpeg(77, 93, true, "-grayscale"));
  expect_same_as_djpeg(make_jpeg(130, 70, false, "-progressive"));
  expect_same_as_djpeg(make_jpeg(120, 90, false, "-restart 1"));
}

TEST_F(JpegCodec, ScaledSizeRoundsUp) {
  auto bytes = bytes_of(make_jpeg(101, 51, false, ""));
  Pixels p;
  ASSERT_TRUE(Jpeg_codec::decode(bytes.data(), bytes.size(), 2, p));
  EXPECT_EQ(p.width(), 51);
  EXPECT_EQ(p.height(), 26);
  ASSERT_TRUE(Jpeg_codec::decode(bytes.data(), bytes.size(), 8, p));
  EXPECT_EQ(p.width(), 13);
  EXPECT_EQ(p.height(), 7);
  // Any other factor is full size.
  ASSERT_TRUE(Jpeg_codec::decode(bytes.data(), bytes.size(), 3, p));
  EXPECT_EQ(p.width(), 101);
  EXPECT_EQ(Pixels::alpha(p.at(50, 25)), 255);
}

TEST_F(JpegCodec, TruncatedFileShowsItsTopPart) {
  std::string jpeg = make_jpeg(200, 200, false, "-quality 90");
  Pixels full;
  auto all = bytes_of(jpeg);
  ASSERT_TRUE(Jpeg_codec::decode(all.data(), all.size(), 1, full));
  auto half = bytes_of(jpeg.substr(0, jpeg.size() / 2));
  Pixels part;
  ASSERT_TRUE(Jpeg_codec::decode(half.data(), half.size(), 1, part));
  ASSERT_EQ(part.width(), 200);
  ASSERT_EQ(part.height(), 200);
  for (int x = 0; x < 200; x += 13) EXPECT_EQ(part.at(x, 10), full.at(x, 10));
  // The missing bottom is not the picture.
  int differing = 0;
  for (int x = 0; x < 200; ++x) differing += part.at(x, 195) != full.at(x, 195);
  EXPECT_GT(differing, 100);
}

TEST(JpegCodecErrors, LibraryErrorsCarryTheirNumber) {
  std::string not_jpeg = "GIF89a and then some bytes";
  auto b = bytes_of(not_jpeg);
  Pixels p(3, 3);
  brek::Load_failure why;
  try {
    Jpeg_codec::decode(b.data(), b.size(), 1, p, Jpeg_codec::SPLIT_PIXELS, &why);
    FAIL() << "no exception";
  } catch (const E_Jpeg_error& e) {
    EXPECT_STREQ(e.what(), "JPEG error #53");
  }
  EXPECT_TRUE(p.empty());
  // Told as the user reads it: the file is no JPEG, however short.
  EXPECT_EQ(why.text(), "malformed: not a JPEG file");
  for (const char* start : {"\xFF", "\x89PNG"}) {
    auto bytes = bytes_of(start);
    why = {};
    EXPECT_THROW(Jpeg_codec::decode(bytes.data(), bytes.size(), 1, p, Jpeg_codec::SPLIT_PIXELS, &why), E_Jpeg_error);
    EXPECT_EQ(why.text(), "malformed: not a JPEG file") << start;
  }
  // Only a start of image: the header read runs out of data.
  auto soi = bytes_of(std::string("\xFF\xD8", 2));
  EXPECT_THROW(Jpeg_codec::decode(soi.data(), soi.size(), 1, p), E_Jpeg_error);
  EXPECT_THROW(Jpeg_codec::decode(nullptr, 0, 1, p), E_Jpeg_error);
}

// Sets the frame size of a start-of-frame segment to width x height.
void patch_frame(std::vector<uint8_t>& jpeg, uint8_t sof, int width, int height) {
  for (size_t i = 0; i + 8 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == sof) {
      jpeg[i + 5] = uint8_t(height >> 8);
      jpeg[i + 6] = uint8_t(height);
      jpeg[i + 7] = uint8_t(width >> 8);
      jpeg[i + 8] = uint8_t(width);
      return;
    }
  ADD_FAILURE() << "no frame header";
}

// A frame header claiming a huge picture is refused before anything big is
// allocated: at full size by the pixel cap, progressive by the memory cap.
TEST_F(JpegCodec, HugeFramesAreRefused) {
  Pixels src = test_picture(16, 16);
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(Jpeg_codec::encode(src, 90, jpeg));
  patch_frame(jpeg, 0xC0, 40000, 40000);
  Pixels p;
  EXPECT_FALSE(Jpeg_codec::decode(jpeg.data(), jpeg.size(), 1, p));
  EXPECT_TRUE(p.empty());
  // At 1/8 the output fits; baseline decoding needs no whole-image buffer,
  // so this decodes (as grey) instead of running out of memory.
  EXPECT_TRUE(Jpeg_codec::decode(jpeg.data(), jpeg.size(), 8, p));
  EXPECT_EQ(p.width(), 5000);

  auto prog = bytes_of(make_jpeg(16, 16, false, "-progressive"));
  patch_frame(prog, 0xC2, 65000, 65000);
  EXPECT_THROW(Jpeg_codec::decode(prog.data(), prog.size(), 8, p), E_Jpeg_error);
  EXPECT_TRUE(p.empty());
  // Past the library's memory cap: too large as well, in the library's words.
  brek::Load_failure why;
  try {
    Jpeg_codec::decode(prog.data(), prog.size(), 8, p, Jpeg_codec::SPLIT_PIXELS, &why);
  } catch (const E_Jpeg_error& e) {
    EXPECT_EQ(e.failure().kind, brek::load_failure_kind::TOO_LARGE) << e.what();
  }
  EXPECT_EQ(why.kind, brek::load_failure_kind::TOO_LARGE) << why.text();
}

TEST_F(JpegCodec, EncodesBaselineThatDecodesClose) {
  Pixels src = test_picture(40, 30);
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(Jpeg_codec::encode(src, 90, jpeg));
  ASSERT_GT(jpeg.size(), 100u);
  // Baseline: a SOF0 marker and no progressive SOF2.
  std::string s(jpeg.begin(), jpeg.end());
  EXPECT_NE(s.find("\xFF\xC0"), std::string::npos);
  EXPECT_EQ(s.find("\xFF\xC2"), std::string::npos);
  Pixels back;
  ASSERT_TRUE(Jpeg_codec::decode(jpeg.data(), jpeg.size(), 1, back));
  EXPECT_TRUE(back == reference(s, 1));
  long err = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      err += std::abs(int(Pixels::green(back.at(x, y))) - int(Pixels::green(src.at(x, y))));
  EXPECT_LT(err / (40 * 30), 6);
  Pixels empty;
  EXPECT_FALSE(Jpeg_codec::encode(empty, 90, jpeg));
}

// Adobe CMYK files store inverted inks; both CMYK and YCCK are converted.
TEST(JpegCodecCmyk, CmykAndYcckBecomeOpaqueRgb) {
  for (J_COLOR_SPACE space : {JCS_CMYK, JCS_YCCK}) {
    // Left half red (no cyan, full magenta and yellow), right half grey
    // (black ink at half), stored inverted as Adobe writers do.
    std::vector<uint8_t> row(16 * 4);
    for (int x = 0; x < 16; ++x) {
      uint8_t* p = &row[x * 4];
      if (x < 8) { p[0] = 255; p[1] = 0; p[2] = 0; p[3] = 255; }
      else { p[0] = 255; p[1] = 255; p[2] = 255; p[3] = 128; }
    }
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buf, &size);
    c.image_width = 16;
    c.image_height = 8;
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, space);
    jpeg_set_quality(&c, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    for (int y = 0; y < 8; ++y) {
      JSAMPROW r = row.data();
      jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Pixels p;
    bool ok = Jpeg_codec::decode(buf, size, 1, p);
    free(buf);
    ASSERT_TRUE(ok);
    uint32_t red = p.at(2, 4), grey = p.at(13, 4);
    EXPECT_NEAR(Pixels::red(red), 255, 3);
    EXPECT_NEAR(Pixels::green(red), 0, 3);
    EXPECT_NEAR(Pixels::blue(red), 0, 3);
    EXPECT_EQ(Pixels::alpha(red), 255);
    EXPECT_NEAR(Pixels::red(grey), 128, 3);
    EXPECT_NEAR(Pixels::blue(grey), 128, 3);
  }
}

}  // namespace

namespace {
// A progressive 8 x 8 grey JPEG: its first DC scan, then `refinements` DC
// refinement scans, each with one byte of entropy data. Every scan passes
// over the whole picture, so the count and the size decide the time taken:
// 1000 such scans over 16000 x 16000 pixels (11 KB) took 11 seconds.
std::vector<uint8_t> many_scans(int refinements) {
  std::vector<uint8_t> f = {0xFF, 0xD8};
  auto segment = [&](uint8_t marker, std::vector<uint8_t> body) {
    f.insert(f.end(), {0xFF, marker, uint8_t((body.size() + 2) >> 8), uint8_t(body.size() + 2)});
    f.insert(f.end(), body.begin(), body.end());
  };
  std::vector<uint8_t> dqt(65, 1);
  dqt[0] = 0;  // table 0, 8-bit
  segment(0xDB, dqt);
  segment(0xC2, {8, 0, 8, 0, 8, 1, 1, 0x11, 0});  // 8 x 8, one component
  std::vector<uint8_t> dht = {0x00, 1};           // DC table 0: one code of length 1
  dht.insert(dht.end(), 15, 0);
  dht.push_back(0);
  segment(0xC4, dht);
  segment(0xDA, {1, 1, 0x00, 0, 0, 0x01});  // DC first scan, Al 1
  f.push_back(0);
  for (int i = 0; i < refinements; ++i) {
    segment(0xDA, {1, 1, 0x00, 0, 0, 0x10});  // DC refinement, Ah 1
    f.push_back(0);
  }
  f.insert(f.end(), {0xFF, 0xD9});
  return f;
}

// Pixels of `area` where a part decoded at `got` differs from the whole.
int differing(const Pixels& part, const Jpeg_codec::Part& got, const Pixels& whole, const Jpeg_codec::Part& area) {
  int n = 0;
  for (int64_t y = area.y; y < area.y + area.h; ++y)
    for (int64_t x = area.x; x < area.x + area.w; ++x)
      n += part.at(int(x - got.x), int(y - got.y)) != whole.at(int(x), int(y));
  return n;
}
}  // namespace

TEST(JpegCodecErrors, TooManyScansAreAFailedLoadNotAnError) {
  // Real encoders write a few dozen scans at most: 100 decode, 101 are
  // refused.
  Pixels p;
  auto most = many_scans(99);
  EXPECT_TRUE(Jpeg_codec::decode(most.data(), most.size(), 1, p));
  EXPECT_EQ(p.width(), 8);
  auto over = many_scans(100);
  EXPECT_FALSE(Jpeg_codec::decode(over.data(), over.size(), 1, p));
  EXPECT_TRUE(p.empty());
}

TEST_F(JpegCodec, ADecodeIntoAUsedPictureOfTheSameSizeLeavesNothingOfItBehind) {
  auto bytes = bytes_of(make_jpeg(120, 90, false, "-quality 90"));
  Pixels fresh;
  ASSERT_TRUE(Jpeg_codec::decode(bytes.data(), bytes.size(), 1, fresh));
  Pixels used(120, 90, 0x00FF00FFu);
  ASSERT_TRUE(Jpeg_codec::decode(bytes.data(), bytes.size(), 1, used));
  EXPECT_TRUE(used == fresh);
  // A truncated file: the rows the library made up are the same too.
  auto half = bytes_of(std::string(bytes.begin(), bytes.begin() + long(bytes.size() / 2)));
  Pixels cut_fresh, cut_used(120, 90, 0x00FF00FFu);
  ASSERT_TRUE(Jpeg_codec::decode(half.data(), half.size(), 1, cut_fresh));
  ASSERT_TRUE(Jpeg_codec::decode(half.data(), half.size(), 1, cut_used));
  EXPECT_TRUE(cut_used == cut_fresh);
}

TEST_F(JpegCodec, TwoThreadsDecodeTheSamePixelsAsOne) {
  // Restart markers after every MCU row or every few MCUs, in each chroma
  // layout and grey: tall enough that a marker starts a row near the middle.
  const std::vector<std::string> files = {
      make_jpeg(96, 600, false, "-restart 1"), make_jpeg(101, 1203, false, "-restart 3B"),
      make_jpeg(96, 600, false, "-restart 1 -sample 2x1"), make_jpeg(96, 600, false, "-restart 1 -sample 1x2"),
      make_jpeg(99, 300, false, "-restart 1 -sample 1x1"), make_jpeg(77, 500, true, "-restart 1 -grayscale")};
  for (size_t i = 0; i < files.size(); ++i) {
    auto whole = bytes_of(files[i]);
    ASSERT_GT(Jpeg_codec::second_decoder_row(whole.data(), whole.size(), 1, 1), 0) << "file " << i;
    // Whole, cut inside the second decoder's band, cut above its start.
    for (size_t keep : {whole.size(), whole.size() * 3 / 4, whole.size() / 3}) {
      std::vector<uint8_t> bytes(whole.begin(), whole.begin() + long(keep));
      for (int factor : {1, 2, 4, 8}) {
        Pixels one, two(3, 3, 0x00FF00FFu);
        ASSERT_TRUE(Jpeg_codec::decode(bytes.data(), bytes.size(), factor, one, INT64_MAX));
        ASSERT_TRUE(Jpeg_codec::decode(bytes.data(), bytes.size(), factor, two, 1));
        EXPECT_TRUE(one == two) << "file " << i << " bytes " << keep << " factor " << factor;
        if (keep == whole.size()) {
          EXPECT_TRUE(two == reference(files[i], factor)) << "file " << i << " factor " << factor;
        }
      }
    }
  }
}

// A second decoder takes over only where a restart marker starts an MCU
// row, its coding starting afresh there, so nothing above it is decoded
// twice; its first row is decoded only as the context of the next. Files
// without such markers, progressive ones and small ones are read by one.
TEST_F(JpegCodec, OnlyRestartMarkersAtRowStartsLetASecondDecoderTakeOver) {
  auto row_markers = bytes_of(make_jpeg(96, 600, false, "-restart 1"));
  // 38 MCU rows of 16 pixels; marker k starts row k and is numbered
  // RST((k - 1) mod 8), so RST7 starts rows 8, 16, 24 ...: the second
  // decoder enters at row 16, meets RST0 first, and gives rows from 17 on.
  EXPECT_EQ(Jpeg_codec::second_decoder_row(row_markers.data(), row_markers.size(), 1, 1), 17 * 16);
  EXPECT_EQ(Jpeg_codec::second_decoder_row(row_markers.data(), row_markers.size(), 8, 1), 17 * 2);
  EXPECT_EQ(Jpeg_codec::second_decoder_row(row_markers.data(), row_markers.size(), 1, 96 * 600 + 1), 0);
  // Six MCUs a row, a marker every three: every other marker starts a row.
  auto block_markers = bytes_of(make_jpeg(96, 600, false, "-restart 3B"));
  EXPECT_EQ(Jpeg_codec::second_decoder_row(block_markers.data(), block_markers.size(), 1, 1), 17 * 16);
  // Grey: 63 MCU rows of 8 pixels, entered at row 24.
  auto grey = bytes_of(make_jpeg(77, 500, true, "-restart 1 -grayscale"));
  EXPECT_EQ(Jpeg_codec::second_decoder_row(grey.data(), grey.size(), 1, 1), 25 * 8);

  for (const char* one_decoder : {"-quality 90", "-progressive -restart 1"}) {
    auto b = bytes_of(make_jpeg(96, 600, false, one_decoder));
    EXPECT_EQ(Jpeg_codec::second_decoder_row(b.data(), b.size(), 1, 1), 0) << one_decoder;
  }

  // A marker without a length (TEM) before the tables: passed over, as the
  // library does.
  std::vector<uint8_t> tem = row_markers;
  tem.insert(tem.begin() + 2, {0xFF, 0x01});
  EXPECT_EQ(Jpeg_codec::second_decoder_row(tem.data(), tem.size(), 1, 1), 17 * 16);
  Pixels tem_one, tem_two;
  ASSERT_TRUE(Jpeg_codec::decode(tem.data(), tem.size(), 1, tem_one, INT64_MAX));
  ASSERT_TRUE(Jpeg_codec::decode(tem.data(), tem.size(), 1, tem_two, 1));
  EXPECT_TRUE(tem_one == tem_two);

  // A marker out of sequence above the middle: one decoder, which
  // resynchronises as the library does.
  std::vector<uint8_t> broken = row_markers;
  int seen = 0;
  for (size_t i = 0; i + 1 < broken.size(); ++i)
    if (broken[i] == 0xFF && broken[i + 1] >= 0xD0 && broken[i + 1] <= 0xD7 && ++seen == 5) {
      broken[i + 1] = 0xD6;
      break;
    }
  ASSERT_EQ(seen, 5);
  EXPECT_EQ(Jpeg_codec::second_decoder_row(broken.data(), broken.size(), 1, 1), 0);
  Pixels one, two;
  ASSERT_TRUE(Jpeg_codec::decode(broken.data(), broken.size(), 1, one, INT64_MAX));
  ASSERT_TRUE(Jpeg_codec::decode(broken.data(), broken.size(), 1, two, 1));
  EXPECT_TRUE(one == two);
}

// A part of the picture decoded alone has the whole decode's pixels where
// it was asked for: at the picture's edges, inside and across MCUs, for
// each chroma layout, grey, progressive and restart files.
TEST_F(JpegCodec, APartHasTheWholeDecodesPixelsWhereAsked) {
  const std::vector<std::string> files = {
      make_jpeg(301, 257, false, "-quality 85"),  make_jpeg(301, 257, false, "-sample 2x1"),
      make_jpeg(301, 257, false, "-sample 1x2"),  make_jpeg(300, 256, false, "-sample 1x1"),
      make_jpeg(301, 257, true, "-grayscale"),    make_jpeg(301, 257, false, "-progressive"),
      make_jpeg(301, 257, false, "-restart 1")};
  const Jpeg_codec::Part wants[] = {{0, 0, 40, 30},     {37, 53, 101, 77}, {17, 1, 1, 1},
                                    {250, 200, 51, 57}, {-10, 240, 400, 50}, {0, 0, 301, 257}};
  for (size_t i = 0; i < files.size(); ++i) {
    const Pixels whole = reference(files[i], 1);
    auto bytes = bytes_of(files[i]);
    for (const Jpeg_codec::Part& want : wants) {
      Pixels part(3, 3, 0x00FF00FFu);
      Jpeg_codec::Part got, exact;
      ASSERT_TRUE(Jpeg_codec::decode_part(bytes.data(), bytes.size(), want, part, got, nullptr, &exact));
      const int64_t x0 = std::max<int64_t>(want.x, 0), y0 = std::max<int64_t>(want.y, 0);
      const int64_t x1 = std::min<int64_t>(want.x + want.w, whole.width());
      const int64_t y1 = std::min<int64_t>(want.y + want.h, whole.height());
      ASSERT_TRUE(got.x <= x0 && got.y <= y0 && got.x + got.w >= x1 && got.y + got.h >= y1);
      ASSERT_EQ(part.width(), got.w);
      ASSERT_EQ(part.height(), got.h);
      // Where the part says its pixels are the whole decode's: all that was
      // asked for, within the part.
      ASSERT_TRUE(exact.x <= x0 && exact.y <= y0 && exact.x + exact.w >= x1 && exact.y + exact.h >= y1);
      ASSERT_TRUE(exact.x >= got.x && exact.y >= got.y && exact.x + exact.w <= got.x + got.w &&
                  exact.y + exact.h <= got.y + got.h);
      EXPECT_EQ(differing(part, got, whole, exact), 0) << "file " << i << " part at " << want.x << "," << want.y;
    }
  }
  // Nothing of the picture asked for.
  auto bytes = bytes_of(files[0]);
  Pixels part(3, 3);
  Jpeg_codec::Part got;
  EXPECT_FALSE(Jpeg_codec::decode_part(bytes.data(), bytes.size(), {301, 0, 10, 10}, part, got));
  EXPECT_TRUE(part.empty());
}

// A progressive file cut short is smoothed across blocks beyond the part's
// edge: the part still has the whole decode's pixels.
TEST_F(JpegCodec, APartOfACutProgressiveFileHasTheWholeDecodesPixels) {
  for (const char* options : {"-progressive -sample 2x2", "-progressive -sample 1x1", "-progressive -grayscale"}) {
    std::string file = make_jpeg(1001, 2003, std::string(options).find("gray") != std::string::npos, options);
    file.resize(file.size() * 35 / 100);
    auto bytes = bytes_of(file);
    Pixels whole;
    ASSERT_TRUE(Jpeg_codec::decode(bytes.data(), bytes.size(), 1, whole));
    for (const Jpeg_codec::Part& want : {Jpeg_codec::Part{400, 800, 200, 200}, Jpeg_codec::Part{97, 13, 300, 120}}) {
      Pixels part;
      Jpeg_codec::Part got;
      ASSERT_TRUE(Jpeg_codec::decode_part(bytes.data(), bytes.size(), want, part, got));
      EXPECT_EQ(differing(part, got, whole, want), 0) << options << ", part at " << want.x << "," << want.y;
    }
  }
}

// Damage after the picture's data (a second scan header, a table of the
// wrong length) costs nothing of the picture: the whole, the split and
// the part decodes all keep it.
TEST_F(JpegCodec, DamageAfterThePicturesDataKeepsThePicture) {
  const std::string clean = make_jpeg(400, 300, false, "-quality 90 -restart 1");
  const auto clean_bytes = bytes_of(clean);
  const std::string sos("\xFF\xDA\x00\x0C\x03\x01\x00\x02\x11\x03\x11\x00\x3F\x00", 14);
  const std::string dht("\xFF\xC4\x00\x05\x00\x01", 6);
  for (const std::string& junk : {sos, dht}) {
    std::string damaged = clean;
    damaged.insert(damaged.size() - 2, junk);  // before the end marker
    auto bytes = bytes_of(damaged);
    for (int factor : {1, 8})
      for (int64_t split : {int64_t(1) << 40, int64_t(1)}) {
        Pixels want, got;
        ASSERT_TRUE(Jpeg_codec::decode(clean_bytes.data(), clean_bytes.size(), factor, want, split));
        ASSERT_NO_THROW(Jpeg_codec::decode(bytes.data(), bytes.size(), factor, got, split))
            << "factor " << factor << ", split from " << split;
        EXPECT_TRUE(got == want) << "factor " << factor << ", split from " << split;
      }
    Pixels part;
    Jpeg_codec::Part at;
    EXPECT_TRUE(Jpeg_codec::decode_part(bytes.data(), bytes.size(), {10, 10, 50, 50}, part, at));
  }
}

// Only frames of sequential 8 x 8 blocks are taken up by a second decoder:
// a lossless frame (SOF3) counts samples, and its rows are not blocks.
TEST_F(JpegCodec, OnlyFramesOfBlocksInSequenceAreSplit) {
  std::string file = make_jpeg(2000, 2000, false, "-quality 90 -restart 1");
  const size_t sof = file.find("\xFF\xC0", 0, 2);
  ASSERT_NE(sof, std::string::npos);
  for (uint8_t marker : {0xC0, 0xC1, 0xC9, 0xC2, 0xC3, 0xCB}) {
    file[sof + 1] = char(marker);
    auto bytes = bytes_of(file);
    brek::Jpeg_restarts::Scan scan;
    scan.start = file.find("\xFF\xDA", 0, 2);
    const bool blocks = marker == 0xC0 || marker == 0xC1 || marker == 0xC9;
    EXPECT_EQ(brek::Jpeg_restarts::blocks_in_sequence(bytes.data(), bytes.size(), scan), blocks)
        << std::hex << int(marker);
    // A scan said to start past the file's end is none to follow.
    scan.start = bytes.size() + 1;
    EXPECT_FALSE(brek::Jpeg_restarts::blocks_in_sequence(bytes.data(), bytes.size(), scan));
  }
}

// A decode no longer wanted stops at once on every thread that decodes
// (one alone, or two from a restart marker, progressive or not), gives
// nothing and says nothing against the file; one always wanted decodes
// as without the question.
TEST_F(JpegCodec, ADecodeNoLongerWantedStopsOnEveryThread) {
  for (const char* options : {"-quality 90 -restart 1", "-quality 90", "-progressive"}) {
    auto bytes = bytes_of(make_jpeg(256, 1024, false, options));
    for (int64_t split : {int64_t(1) << 40, int64_t(1)}) {
      SCOPED_TRACE(std::string(options) + (split == 1 ? ", split" : ""));
      Pixels whole, asked;
      ASSERT_TRUE(Jpeg_codec::decode(bytes.data(), bytes.size(), 1, whole, split));
      std::atomic<int> questions{0};
      ASSERT_TRUE(Jpeg_codec::decode(bytes.data(), bytes.size(), 1, asked, split, nullptr, [&] {
        ++questions;
        return true;
      }));
      EXPECT_TRUE(asked == whole);
      const int all = questions.load();
      ASSERT_GT(all, 20);

      // Unwanted after a tenth of the questions: each decoder asks once
      // more at most.
      std::atomic<int> asked_after{0};
      questions = 0;
      brek::Load_failure why;
      Pixels stopped;
      EXPECT_FALSE(Jpeg_codec::decode(bytes.data(), bytes.size(), 1, stopped, split, &why, [&] {
        if (++questions <= all / 10) return true;
        ++asked_after;
        return false;
      }));
      EXPECT_TRUE(stopped.empty());
      EXPECT_FALSE(why.failed()) << why.text();
      EXPECT_LE(asked_after.load(), 2);
    }
  }
}

// A file that ends inside its scan header leaves the library reading the
// end of image it makes up, outside the file: no offset into the file is
// taken from there. Loaded as the viewer does, fitted at each reduction
// and in part at 1:1, such a file gives one decoder's picture or fails
// as the library says.
TEST(JpegCodecErrors, AFileEndingInItsScanHeaderIsReadByOneDecoderOrFails) {
  using brek::reduce_size_of_jpeg_while_load;
  Temp_dir dir;
  const std::vector<std::string> files = jpegs_with_scan_header_cut();
  int pictures = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE("file " + std::to_string(i));
    const std::string name = dir.file("cut" + std::to_string(i) + ".jpg");
    write_file(name, files[i]);
    auto bytes = bytes_of(files[i]);
    for (auto reduce : {reduce_size_of_jpeg_while_load::FULL, reduce_size_of_jpeg_while_load::EIGH}) {
      brek::Load_failure why;
      try {
        brek::Ref<brek::C_Bitmap> b = brek::C_Jpeg::load_from_file(name, reduce, &why);
        ASSERT_FALSE(b.is_none()) << why.text();
        EXPECT_EQ(b->width, 2048 / std::max<int64_t>(1, brek::reduction_factor(reduce)));
        ++pictures;
        // Whoever decodes it, one decoder's pixels.
        Pixels one, split;
        ASSERT_TRUE(Jpeg_codec::decode(bytes.data(), bytes.size(), 8, one, INT64_MAX));
        ASSERT_TRUE(Jpeg_codec::decode(bytes.data(), bytes.size(), 8, split, 1));
        EXPECT_TRUE(one == split);
      } catch (const E_Jpeg_error& e) {
        EXPECT_TRUE(why.failed()) << e.what();
      }
    }
    brek::Load_failure why;
    Jpeg_codec::Part got;
    try {
      brek::Ref<brek::C_Bitmap> part = brek::C_Jpeg::load_part_from_file(name, {1000, 1000, 200, 100}, got, &why);
      ASSERT_FALSE(part.is_none()) << why.text();
      EXPECT_GE(part->width, 200);
    } catch (const E_Jpeg_error& e) {
      EXPECT_TRUE(why.failed()) << e.what();
    }
    EXPECT_EQ(Jpeg_codec::second_decoder_row(bytes.data(), bytes.size(), 1, 1), 0);
  }
  // Those with their tables and selectors decode, at each size.
  EXPECT_EQ(pictures, 6);
}
