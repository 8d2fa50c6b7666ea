#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdint>

#include "images/bmp_codec.h"
#include "images/image_header.h"
#include "images/jpeg_codec.h"
#include "tests/images/image_test_util.h"
#include "tests/support/temp_dir.h"

using brek::Pixels;
namespace H = brek::Image_header;
using namespace brek_test;

namespace {

class ImageHeader : public ::testing::Test {
 protected:
  // Writes the bytes as `name` and reads its header.
  H::Header_size size_of(const std::string& name, const std::string& bytes) {
    write_file(dir.file(name), bytes);
    std::string ext = name.substr(name.rfind('.'));
    H::File_header h = H::read_file(dir.file(name), ext, true, true);
    EXPECT_TRUE(h.found);
    EXPECT_EQ(h.version.size, double(bytes.size()));
    return h.size;
  }
  static std::string jpeg(int w, int h) {
    std::vector<uint8_t> out;
    brek::Jpeg_codec::encode(test_picture(w, h), 90, out);
    return std::string(out.begin(), out.end());
  }
  static std::string tiff(bool big, uint32_t width, uint32_t height, uint32_t compression) {
    return make_tiff(big, width, height, compression);
  }
  // A PCX whose picture spans x0..x1 and y0..y1, bounds included.
  static std::string pcx(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) {
    std::string s = {10, 5, 1, 8};
    for (uint32_t v : {x0, y0, x1, y1}) put16le(s, v);
    s.resize(128, '\0');
    return s;
  }
  // A PSD of three channels, its height first.
  static std::string psd(uint32_t height, uint32_t width) {
    std::string s = "8BPS";
    put16be(s, 1);
    s.append(6, '\0');
    put16be(s, 3);
    put32be(s, height);
    put32be(s, width);
    return s;
  }
  Temp_dir dir;
};

TEST_F(ImageHeader, EveryFormatGivesItsSize) {
  H::Header_size s = size_of("a.jpg", jpeg(64, 40));
  EXPECT_EQ(s.width, 64);
  EXPECT_EQ(s.height, 40);
  s = size_of("b.JPEG.jpeg", jpeg(33, 7));
  EXPECT_EQ(s.width, 33);

  std::string gif = "GIF89a";
  put16le(gif, 300);
  put16le(gif, 200);
  s = size_of("c.gif", gif);
  EXPECT_EQ(s.width, 300);
  EXPECT_EQ(s.height, 200);

  auto bmp = brek::Bmp_codec::encode24(test_picture(17, 9));
  s = size_of("d.bmp", std::string(bmp.begin(), bmp.end()));
  EXPECT_EQ(s.width, 17);
  EXPECT_EQ(s.height, 9);

  s = size_of("e.png", make_png(test_picture(21, 12)));
  EXPECT_EQ(s.width, 21);
  EXPECT_EQ(s.height, 12);

  // Icons: the largest width and height bytes, separately; 0 (256) is 0.
  std::string ico;
  put16le(ico, 0);
  put16le(ico, 1);
  put16le(ico, 3);
  for (auto [w, h] : {std::pair{16, 48}, {32, 20}, {0, 0}}) {
    ico.push_back(char(w));
    ico.push_back(char(h));
    ico.append(14, '\0');
  }
  s = size_of("f.ico", ico);
  EXPECT_EQ(s.width, 32);
  EXPECT_EQ(s.height, 48);
  s = size_of("f.cur", ico);
  EXPECT_EQ(s.width, 32);

  // PCX bounds are inclusive.
  s = size_of("g.pcx", pcx(10, 20, 109, 69));
  EXPECT_EQ(s.width, 100);
  EXPECT_EQ(s.height, 50);

  // PSD keeps the height first.
  s = size_of("h.psd", psd(300, 400));
  EXPECT_EQ(s.width, 400);
  EXPECT_EQ(s.height, 300);

  std::string tga(12, '\0');
  put16le(tga, 640);
  put16le(tga, 480);
  tga.append(2, '\0');
  s = size_of("i.tga", tga);
  EXPECT_EQ(s.width, 640);
  EXPECT_EQ(s.height, 480);
}

TEST_F(ImageHeader, TiffInBothByteOrders) {
  for (bool big : {false, true}) {
    H::Header_size s = size_of(big ? "m.tif" : "i.tiff", tiff(big, 1234, 567, 4));
    EXPECT_EQ(s.width, 1234) << big;
    EXPECT_EQ(s.height, 567) << big;
    EXPECT_TRUE(s.fax_compressed);
    s = size_of("n.tif", tiff(big, 99, 77, 1));
    EXPECT_EQ(s.width, 99);
    EXPECT_FALSE(s.fax_compressed);
  }
  // A wrong magic number gives nothing.
  std::string bad = tiff(false, 5, 5, 1);
  bad[2] = 43;
  EXPECT_EQ(size_of("o.tif", bad).width, 0);
}

TEST_F(ImageHeader, JpegFrameHeaderPlacesAndKinds) {
  // A 640 x 480 JPEG with a 2000-byte comment before its frame header.
  std::string j = jpeg(640, 480);
  std::string com = "\xFF\xFE";
  put16be(com, 2002);
  com.append(2000, 'x');
  std::string late = j.substr(0, 2) + com + j.substr(2);
  H::Header_size s = size_of("late.jpg", late);
  EXPECT_EQ(s.width, 640);
  EXPECT_EQ(s.height, 480);
  // Fill bytes (0xFF 0xFF) before a marker are skipped.
  std::string filled = j.substr(0, 2) + "\xFF" + j.substr(2);
  EXPECT_EQ(size_of("fill.jpg", filled).width, 640);
  // Only an extended sequential frame (0xC1): no size.
  std::string c1 = j;
  c1[c1.find("\xFF\xC0")+ 1] = char(0xC1);
  s = size_of("c1.jpg", c1);
  EXPECT_EQ(s.width, 0);
  EXPECT_EQ(s.height, 0);
  // A segment length below 2 ends the walk instead of looping.
  std::string loop = "\xFF\xD8\xFF\xE0";
  loop += std::string("\x00\x00", 2);
  EXPECT_EQ(size_of("loop.jpg", loop).width, 0);
}

TEST_F(ImageHeader, SignatureTestsAndOddValues) {
  // A BMP stored top-down has a negative height: its size is its magnitude.
  std::string bmp = "BM";
  bmp.append(12, '\0');
  put32le(bmp, 40);
  put32le(bmp, 50);
  put32le(bmp, uint32_t(-30));
  H::Header_size s = size_of("t.bmp", bmp);
  EXPECT_EQ(s.width, 50);
  EXPECT_EQ(s.height, 30);
  bmp[0] = 'X';
  EXPECT_EQ(size_of("u.bmp", bmp).width, 0);
  std::string png = make_png(test_picture(3, 3));
  png[12] = 'X';
  EXPECT_EQ(size_of("v.png", png).width, 0);
  std::string psd = "8BPS";
  put16be(psd, 2);  // version 2 (large documents) is not read
  psd.append(20, '\x01');
  EXPECT_EQ(size_of("w.psd", psd).width, 0);
  // Short files give nothing.
  EXPECT_EQ(size_of("x.gif", "GIF").width, 0);
  EXPECT_EQ(size_of("y.jpg", "").width, 0);
}

namespace {

// The first bytes of a BMP: the file header and an info header of
// `info_size` bytes whose width and height are the given words (16 bits
// each in the 12-byte OS/2 core header, else 32), padded to `info_size`.
std::string bmp_head(uint32_t info_size, uint32_t width, uint32_t height) {
  std::string s = "BM";
  put32le(s, 14 + info_size);
  put32le(s, 0);
  put32le(s, 14 + info_size);
  put32le(s, info_size);
  if (info_size == 12) {
    put16le(s, width);
    put16le(s, height);
  } else {
    put32le(s, width);
    put32le(s, height);
  }
  put16le(s, 1);   // planes
  put16le(s, 24);  // bits per pixel
  if (s.size() < 14 + info_size) s.resize(14 + info_size, '\0');
  return s;
}

}  // namespace

// A BMP's size as its kind of header gives it: the 16-bit words of an OS/2
// core header, the magnitude of a top-down picture's negative height; a
// size outside 1..999999 (a damaged header) or a header no reader takes
// gives none, as for every format.
TEST_F(ImageHeader, BmpSizesFollowTheirKindOfHeader) {
  const auto size = [&](const std::string& bytes) {
    const H::Header_size s = size_of("b.bmp", bytes);
    return std::to_string(s.width) + " x " + std::to_string(s.height);
  };
  EXPECT_EQ(size(bmp_head(12, 40, 30)), "40 x 30");
  EXPECT_EQ(size(bmp_head(12, 65535, 2)), "65535 x 2");
  EXPECT_EQ(size(bmp_head(40, 12000, uint32_t(-8000))), "12000 x 8000");
  EXPECT_EQ(size(bmp_head(124, 999999, uint32_t(-999999))), "999999 x 999999");
  EXPECT_EQ(size(bmp_head(108, 640, 480)), "640 x 480");
  EXPECT_EQ(size(bmp_head(40, 10, uint32_t(-1))), "10 x 1");
  for (const uint32_t height : {uint32_t(INT32_MIN), 0u, 1000000u, uint32_t(-1000000)})
    EXPECT_EQ(size(bmp_head(40, 10, height)), "0 x 0") << int32_t(height);
  for (const uint32_t width : {0u, 1000000u, uint32_t(-10)}) EXPECT_EQ(size(bmp_head(40, width, 10)), "0 x 0") << width;
  EXPECT_EQ(size(bmp_head(12, 0, 30)), "0 x 0");
  // Headers of other lengths are no BMP the program reads.
  for (const uint32_t info : {0u, 16u, 39u, 1025u}) EXPECT_EQ(size(bmp_head(info, 40, 30)), "0 x 0") << info;
}

// Values outside 1..999999 are no size for any format: both sides read 0.
TEST_F(ImageHeader, SizesOutOfRangeAreUnknownInEveryFormat) {
  // A PCX whose right edge lies left of its left one.
  H::Header_size s = size_of("g.pcx", pcx(100, 0, 10, 49));
  EXPECT_EQ(s.width, 0);
  EXPECT_EQ(s.height, 0);
  std::string png = make_png(test_picture(3, 3));
  png.replace(16, 4, std::string("\x00\x0F\x42\x40", 4));  // 1000000 wide
  s = size_of("w.png", png);
  EXPECT_EQ(s.width, 0);
  EXPECT_EQ(s.height, 0);
  s = size_of("h.psd", psd(0xFFFFFFFFu, 400));
  EXPECT_EQ(s.width, 0);
  EXPECT_EQ(s.height, 0);
  s = size_of("t.tif", tiff(false, 20, 3000000, 1));
  EXPECT_EQ(s.width, 0);
  EXPECT_EQ(s.height, 0);
}

TEST_F(ImageHeader, MissingFilesAreNotCreatedAndOtherFormatsGetOnlyInfo) {
  std::string gone = dir.file("gone.jpg");
  H::File_header h = H::read_file(gone, ".jpg", true, true);
  EXPECT_FALSE(h.found);
  EXPECT_EQ(h.version.size, 0);
  struct stat st;
  EXPECT_NE(stat(gone.c_str(), &st), 0);
  EXPECT_FALSE(H::read_file(dir.path(), ".jpg", true, true).found);  // a directory

  write_file(dir.file("p.webp"), "RIFF....WEBPVP8 ");
  h = H::read_file(dir.file("p.webp"), ".webp", true, true);
  EXPECT_TRUE(h.found);
  EXPECT_EQ(h.version.size, 16);
  EXPECT_GT(h.modified, 1000000000000LL);  // after 2001
  EXPECT_GE(h.created, 0);
  EXPECT_EQ(h.size.width, 0);
  // Info without a header read, and a header without info.
  h = H::read_file(dir.file("p.webp"), ".webp", false, false);
  EXPECT_EQ(h.version.size, 0);
}

TEST(ImageDisplaySize, ShrinksToTheTarget) {
  int64_t w = 0, h = 0;
  bool load = false;
  H::display_size(2000, 1000, 500, 500, w, h, load);
  EXPECT_EQ(w, 500);
  EXPECT_EQ(h, 250);
  H::display_size(2000, 1000, 1, 1, w, h, load);
  EXPECT_EQ(w, 2000);
  EXPECT_EQ(h, 1000);
  H::display_size(2000, 1000, 4000, 4000, w, h, load);
  EXPECT_EQ(w, 2000);
  EXPECT_FALSE(load);
  // Unknown sizes keep the display size, fall back to 100 x 100 and ask
  // for a load when a target was given.
  w = h = 0;
  H::display_size(50, -30, 300, 200, w, h, load);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 100);
  EXPECT_TRUE(load);
  load = false;
  w = 70, h = 60;
  H::display_size(1000000, 5, 300, 200, w, h, load);
  EXPECT_EQ(w, 70);
  EXPECT_TRUE(load);
  load = false;
  H::display_size(0, 0, 0, 0, w, h, load);
  EXPECT_FALSE(load);
  // A target that is not a number gives the fallback, not a wild cast.
  H::display_size(2000, 1000, std::nan(""), 10, w, h, load);
  EXPECT_EQ(w, 100);
  // Nor in the other direction, whatever the first target is: a huge width
  // beside an unknown height once scaled the picture by 1e297.
  for (double tw : {1e300, HUGE_VAL, 3000.0}) {
    H::display_size(2000, 1000, tw, std::nan(""), w, h, load);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 100);
  }
}

}  // namespace
