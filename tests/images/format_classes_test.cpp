#include <gtest/gtest.h>

#include <filesystem>

#include "baselib/file_stream.h"
#include "baselib/memory_stream.h"
#include "drawing/bitmap.h"
#include "drawing/brek_drawing.h"
#include "images/format_classes.h"
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

TEST(FormatClasses, FormatsWithoutDecoderFailQuietly) {
  Temp_dir dir;
  std::string png = dir.file("a.png");
  brek_test::write_file(png, brek_test::make_png(brek_test::test_picture(4, 4)));
  EXPECT_TRUE(C_Png::load_from_file(png, reduce_size_of_jpeg_while_load::HALF).is_none());
  for (const char* name : {"a.pcx", "a.psd", "a.tga", "a.tif", "a.xpm", "a.webp", "a.pcd"})
    brek_test::write_file(dir.file(name), "some bytes");
  EXPECT_TRUE(C_Pcx::load_from_file(dir.file("a.pcx")).is_none());
  EXPECT_TRUE(C_Psd::load_from_file(dir.file("a.psd")).is_none());
  EXPECT_TRUE(C_Tga::load_from_file(dir.file("a.tga")).is_none());
  EXPECT_TRUE(C_Tiff::load_from_file(dir.file("a.tif")).is_none());
  EXPECT_TRUE(C_Xpm::load_from_file(dir.file("a.xpm")).is_none());
  EXPECT_TRUE(C_WebP::load_from_file(dir.file("a.webp")).is_none());
  EXPECT_TRUE(C_Pcd::load_from_file(dir.file("a.pcd")).is_none());
  Ref<C_Bitmap> b = bitmap_of(brek_test::test_picture(4, 4));
  EXPECT_FALSE(C_Png::save(b, dir.file("new.png"), 0));
  EXPECT_FALSE(std::filesystem::exists(dir.file("new.png")));
  // A failing encoder never empties an existing file.
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
