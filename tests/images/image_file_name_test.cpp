#include <gtest/gtest.h>

#include "images/image_file_name.h"
#include "images/native_image_files.h"

namespace N = brek::Image_file_name;
namespace D = brek::Brek_drawing;

TEST(ImageFileName, ImageNamesSeeThroughOnePartialDownloadSuffix) {
  EXPECT_TRUE(N::is_image_file_name("photo.JPG"));
  EXPECT_TRUE(N::is_image_file_name("/a/b/photo.jpeg"));
  EXPECT_TRUE(N::is_image_file_name("photo.jpg.crdownload"));
  EXPECT_TRUE(N::is_image_file_name("dir/x.GIF.Part"));
  EXPECT_TRUE(N::is_image_file_name("i.ico.!ut"));
  EXPECT_FALSE(N::is_image_file_name("photo.crdownload"));  // one dot only
  EXPECT_FALSE(N::is_image_file_name("photo.jpg.tmp"));
  EXPECT_FALSE(N::is_image_file_name("x.jpg.part.crdownload"));
  EXPECT_FALSE(N::is_image_file_name("photo.png"));  // not natively loadable
  EXPECT_FALSE(N::is_image_file_name("photo"));
  EXPECT_FALSE(N::is_image_file_name("a.jpg/readme"));  // a directory's dot
  EXPECT_FALSE(N::is_image_file_name("a.b/photo.part"));  // dots of the name only
}

TEST(ImageFileName, ExtensionsAreLowerCaseWithTheirDot) {
  EXPECT_EQ(N::file_extension("a.GIF.part"), ".gif");
  EXPECT_EQ(N::file_extension("a.part"), "");
  EXPECT_EQ(N::file_extension("b.Png"), ".png");
  EXPECT_EQ(N::file_extension("x.jpg.part.crdownload"), ".part");
  EXPECT_EQ(N::file_extension("photo.JPEG.BT!"), ".jpeg");
  EXPECT_EQ(N::file_extension("noext"), "");
  EXPECT_EQ(N::file_extension("dir.d/noext"), "");
  EXPECT_EQ(N::file_extension("trailing."), ".");
}

TEST(ImageFileName, NativeExtensionLists) {
  for (const char* e : {"BMP", "JPG", "JPEG", "ICO", "CUR", "GIF"}) EXPECT_TRUE(D::can_load_ext(e)) << e;
  for (const char* e : {"bmp", ".BMP", "PNG", "ANI", ""}) EXPECT_FALSE(D::can_load_ext(e)) << e;
  for (const char* e : {"BMP", "JPG", "JPEG", "GIF"}) EXPECT_TRUE(D::can_save_ext(e)) << e;
  for (const char* e : {"bmp", "ICO", "CUR", "PNG"}) EXPECT_FALSE(D::can_save_ext(e)) << e;
}
