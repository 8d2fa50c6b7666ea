#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>

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
  std::string pcx = {10, 5, 1, 8};
  put16le(pcx, 10);
  put16le(pcx, 20);
  put16le(pcx, 109);
  put16le(pcx, 69);
  pcx.resize(128, '\0');
  s = size_of("g.pcx", pcx);
  EXPECT_EQ(s.width, 100);
  EXPECT_EQ(s.height, 50);

  // PSD keeps the height first.
  std::string psd = "8BPS";
  put16be(psd, 1);
  psd.append(6, '\0');
  put16be(psd, 3);
  put32be(psd, 300);
  put32be(psd, 400);
  s = size_of("h.psd", psd);
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
  // A BMP stored top-down has a negative height.
  std::string bmp = "BM";
  bmp.append(16, '\0');
  put32le(bmp, 50);
  put32le(bmp, uint32_t(-30));
  H::Header_size s = size_of("t.bmp", bmp);
  EXPECT_EQ(s.width, 50);
  EXPECT_EQ(s.height, -30);
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
