#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include "baselib/file_stream.h"
#include "baselib/memory_stream.h"
#include "drawing/bitmap.h"
#include "drawing/brek_drawing.h"
#include "images/format_classes.h"
#include "images/image.h"
#include "images/jpeg_codec.h"
#include "tests/images/image_test_util.h"
#include "tests/support/temp_dir.h"

using namespace brek;
using brek_test::Temp_dir;

namespace {

Ref<C_Bitmap> bitmap_of(const Pixels& p) {
  Ref<C_Bitmap> b = C_Bitmap::create(p.width(), p.height(), 0);
  *b->pixels() = p;
  return b;
}

std::string jpeg_file(const Temp_dir& dir, const std::string& name, int w, int h) {
  std::vector<uint8_t> bytes;
  Jpeg_codec::encode(brek_test::test_picture(w, h), 90, bytes);
  brek_test::write_file(dir.file(name), std::string(bytes.begin(), bytes.end()));
  return dir.file(name);
}

TEST(FormatClasses, JpegReductionsGiveTheScaledSizes) {
  Temp_dir dir;
  std::string f = jpeg_file(dir, "a.jpg", 101, 51);
  struct Case {
    reduce_size_of_jpeg_while_load r;
    int64_t w, h;
  } cases[] = {{reduce_size_of_jpeg_while_load::FULL, 101, 51},
               {reduce_size_of_jpeg_while_load::HALF, 51, 26},
               {reduce_size_of_jpeg_while_load::QUAR, 26, 13},
               {reduce_size_of_jpeg_while_load::EIGH, 13, 7}};
  for (const Case& c : cases) {
    Ref<C_Bitmap> b = C_Jpeg::load_from_file(f, c.r);
    EXPECT_EQ(b->width, c.w);
    EXPECT_EQ(b->height, c.h);
    ASSERT_NE(b->pixels(), nullptr);
    EXPECT_EQ(b->pixels()->width(), c.w);
  }
  EXPECT_EQ(reduction_factor(static_cast<reduce_size_of_jpeg_while_load>(7)), 0);
  // A file that is no JPEG: the library's error reaches the caller.
  brek_test::write_file(dir.file("b.jpg"), "not a jpeg at all");
  EXPECT_THROW(C_Jpeg::load_from_file(dir.file("b.jpg"), reduce_size_of_jpeg_while_load::FULL), E_Jpeg_error);
  // A missing file is None and stays missing.
  EXPECT_TRUE(C_Jpeg::load_from_file(dir.file("gone.jpg"), reduce_size_of_jpeg_while_load::FULL).is_none());
  EXPECT_FALSE(std::filesystem::exists(dir.file("gone.jpg")));
}

TEST(FormatClasses, BmpRoundTripAndAlphaSideFile) {
  Temp_dir dir;
  Pixels src = brek_test::test_picture(7, 5);
  Ref<C_Bitmap> b = bitmap_of(src);
  ASSERT_TRUE(C_Bmp::save(b, dir.file("a.bmp")));
  Ref<C_Bitmap> back = C_Bmp::load_from_file(dir.file("a.bmp"));
  ASSERT_EQ(back->width, 7);
  ASSERT_EQ(back->height, 5);
  EXPECT_TRUE(*back->pixels() == src);
  EXPECT_FALSE(std::filesystem::exists(dir.file("a.bmp.alpha.bmp")));
  // With an alpha plane, the plane goes beside the picture.
  b->native->alpha = std::make_unique<Pixels>(7, 5, Pixels::bgra(0, 0, 128));
  ASSERT_TRUE(C_Bmp::save(b, dir.file("b.bmp")));
  Ref<C_Bitmap> alpha = C_Bmp::load_from_file(dir.file("b.bmp.alpha.bmp"));
  ASSERT_EQ(alpha->width, 7);
  EXPECT_EQ(Pixels::red(alpha->pixels()->at(3, 3)), 128);
  // Nothing to save gives false and no file.
  EXPECT_FALSE(C_Bmp::save(Ref<C_Bitmap>(), dir.file("c.bmp")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("c.bmp")));
  brek_test::write_file(dir.file("d.bmp"), "BM broken");
  EXPECT_TRUE(C_Bmp::load_from_file(dir.file("d.bmp")).is_none());
}

TEST(FormatClasses, JpegSavesIgnoreTheQualityArgument) {
  Temp_dir dir;
  Ref<C_Bitmap> b = bitmap_of(brek_test::test_picture(30, 20));
  ASSERT_TRUE(C_Jpeg::save(b, dir.file("q80.jpg"), 80));
  ASSERT_TRUE(C_Jpeg::save(b, dir.file("q5.jpeg"), 5));
  EXPECT_EQ(brek_test::read_file(dir.file("q80.jpg")), brek_test::read_file(dir.file("q5.jpeg")));
  Ref<C_Bitmap> back = C_Jpeg::load_from_file(dir.file("q5.jpeg"), reduce_size_of_jpeg_while_load::FULL);
  EXPECT_EQ(back->width, 30);
}

// A PCX header: 8-bit RLE, three planes, the picture at (xmin, ymin) to
// (xmax, ymax) inclusive.
std::string pcx_header(uint32_t xmin, uint32_t ymin, uint32_t xmax, uint32_t ymax) {
  std::string f;
  f.push_back(10);  // manufacturer
  f.push_back(5);   // version
  f.push_back(1);   // run-length encoding
  f.push_back(8);   // bits per pixel and plane
  brek_test::put16le(f, xmin);
  brek_test::put16le(f, ymin);
  brek_test::put16le(f, xmax);
  brek_test::put16le(f, ymax);
  brek_test::put16le(f, 72);  // horizontal dpi
  brek_test::put16le(f, 72);  // vertical dpi
  f.append(48, '\0');         // 16-colour palette
  f.push_back(0);             // reserved
  f.push_back(3);             // planes
  brek_test::put16le(f, xmax - xmin + 1);  // bytes per line and plane
  brek_test::put16le(f, 1);                // colour palette
  f.resize(128, '\0');                     // filler up to the image data
  return f;
}

// A PSD header of an 8-bit RGB picture (the height is stored first).
std::string psd_header(uint32_t width, uint32_t height) {
  std::string f = "8BPS";       // signature
  brek_test::put16be(f, 1);     // version
  f.append(6, '\0');            // reserved
  brek_test::put16be(f, 3);     // channels
  brek_test::put32be(f, height);
  brek_test::put32be(f, width);
  brek_test::put16be(f, 8);     // bits per channel
  brek_test::put16be(f, 3);     // colour mode: RGB
  brek_test::put32be(f, 0);     // colour mode data: none
  return f;
}

// A TGA header of an uncompressed 24-bit true-colour picture.
std::string tga_header(uint32_t width, uint32_t height) {
  std::string f;
  f.push_back(0);          // no image id
  f.push_back(0);          // no colour map
  f.push_back(2);          // uncompressed true colour
  f.append(5, '\0');       // colour map: first entry, length, entry size
  brek_test::put16le(f, 0);  // x origin
  brek_test::put16le(f, 0);  // y origin
  brek_test::put16le(f, width);
  brek_test::put16le(f, height);
  f.push_back(24);         // bits per pixel
  f.push_back(0x20);       // descriptor: top-left origin
  return f;
}

std::vector<std::string> names_in(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Files of types that have no decoder here, as the viewer meets them: the
// header tells the size a cell needs, the load fails once and is remembered,
// and nothing touches the file.
TEST(FormatClasses, TypesWithoutDecoderShowTheirHeaderSizeAndFailOnce) {
  Temp_dir dir;
  struct Case {
    const char* name;
    std::string bytes;
    int64_t width, height;                  // stated in the header
    int64_t display_width, display_height;  // fitted into 100 x 100
  } cases[] = {
      {"photo.png", brek_test::make_png(brek_test::test_picture(400, 200)), 400, 200, 100, 50},
      {"scan.pcx", pcx_header(10, 20, 209, 419), 200, 400, 50, 100},
      {"layers.psd", psd_header(300, 600), 300, 600, 50, 100},
      {"shot.tga", tga_header(640, 480), 640, 480, 100, 75},
      {"page.tif", brek_test::make_tiff(false, 500, 250, 1), 500, 250, 100, 50},
      {"fax.tiff", brek_test::make_tiff(true, 250, 500, 4), 250, 500, 50, 100},
  };
  for (const Case& c : cases) brek_test::write_file(dir.file(c.name), c.bytes);
  const std::vector<std::string> files = names_in(dir.path());

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Ref<C_Image> image = C_Image::create();
    image->file_name = dir.file(c.name);
    image->read_header_info(100, 100);
    EXPECT_EQ(image->width, c.width);
    EXPECT_EQ(image->height, c.height);
    EXPECT_EQ(image->display_width, c.display_width);
    EXPECT_EQ(image->display_height, c.display_height);
    EXPECT_FALSE(image->load_failed);
    // A cell's paint, then the single view.
    image->load(100, 100);
    EXPECT_TRUE(image->picture.is_none());
    EXPECT_TRUE(image->reduced.is_none());
    EXPECT_TRUE(image->load_failed);
    image->load(100, 100);
    image->load_whole();
    EXPECT_TRUE(image->picture.is_none());
    EXPECT_TRUE(image->reduced.is_none());
    EXPECT_TRUE(image->load_failed);
    EXPECT_EQ(brek_test::read_file(dir.file(c.name)), c.bytes);
  }

  // Types without a header reader fail the same way.
  std::string pcd(2048, '\0');
  pcd += "PCD_IPI";  // the Photo CD image pack mark
  pcd.resize(4096, '\0');
  std::string webp = "RIFF";
  brek_test::put32le(webp, 4 + 8 + 5);  // size of what follows
  webp += "WEBPVP8L";
  brek_test::put32le(webp, 5);  // chunk size
  webp.push_back(0x2F);         // lossless signature
  brek_test::put32le(webp, (2 - 1) | ((3 - 1) << 14));  // 2 x 3
  const std::pair<const char*, std::string> others[] = {
      {"disc.pcd", pcd},
      {"icon.xpm", "/* XPM */\nstatic char *icon[] = {\n\"2 1 1 1\",\n\"a c #FF0000\",\n\"aa\"\n};\n"},
      {"web.webp", webp},
  };
  for (const auto& [name, bytes] : others) {
    SCOPED_TRACE(name);
    brek_test::write_file(dir.file(name), bytes);
    Ref<C_Image> image = C_Image::create();
    image->file_name = dir.file(name);
    image->read_header_info(100, 100);
    image->load(100, 100);
    EXPECT_TRUE(image->picture.is_none());
    EXPECT_TRUE(image->load_failed);
    image->load_whole();
    EXPECT_TRUE(image->picture.is_none());
    EXPECT_EQ(brek_test::read_file(dir.file(name)), bytes);
  }
  std::vector<std::string> all = files;
  for (const auto& [name, bytes] : others) all.push_back(name);
  std::sort(all.begin(), all.end());
  EXPECT_EQ(names_in(dir.path()), all);  // nothing written beside them
}

TEST(FormatClasses, FailingEncodersLeaveFilesAlone) {
  Temp_dir dir;
  Ref<C_Bitmap> b = bitmap_of(brek_test::test_picture(4, 4));
  EXPECT_FALSE(C_Png::save(b, dir.file("new.png"), 0));
  EXPECT_FALSE(std::filesystem::exists(dir.file("new.png")));
  // A failing encoder never empties an existing file.
  brek_test::write_file(dir.file("a.webp"), "some bytes");
  EXPECT_FALSE(C_WebP::save_to_file(b, dir.file("a.webp"), 0, 80));
  EXPECT_EQ(brek_test::read_file(dir.file("a.webp")), "some bytes");
}

TEST(FormatClasses, GlueReadsStreamsWholeExceptForPcd) {
  Temp_dir dir;
  brek_test::write_file(dir.file("x.bin"), std::string(5000, 'x'));
  Ref<C_Bitmap> b = C_Bitmap::create(1, 1, 0);
  Ref<C_File_stream> s = C_File_stream::open_read(dir.file("x.bin"));
  EXPECT_FALSE(C_Brek_drawing::load_pcd(Ref<C_Stream>(s), b->native.get()));
  EXPECT_EQ(s->position_int64(), 0);
  EXPECT_FALSE(C_Brek_drawing::load_png(Ref<C_Stream>(s), b->native.get()));
  EXPECT_EQ(s->position_int64(), 5000);
  s->close();
  // Decoding from the stream's position on.
  std::vector<uint8_t> jpeg;
  Jpeg_codec::encode(brek_test::test_picture(9, 9), 90, jpeg);
  std::string junk_then_jpeg = "JUNK" + std::string(jpeg.begin(), jpeg.end());
  brek_test::write_file(dir.file("y.bin"), junk_then_jpeg);
  s = C_File_stream::open_read(dir.file("y.bin"));
  s->seek_int64(4);
  ASSERT_TRUE(C_Brek_drawing::load_jpeg(Ref<C_Stream>(s), b->native.get(), 0));
  EXPECT_EQ(b->width, 9);
  EXPECT_TRUE(C_Brek_drawing::can_load_ext("JPEG"));
  EXPECT_FALSE(C_Brek_drawing::can_save_ext("jpg"));
}

}  // namespace
