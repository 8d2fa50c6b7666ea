// The main window's captions and the name the program gives itself.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"
#include "tests/viewer/viewer_test_support.h"
#include "viewer/captions.h"

using namespace viewer_test;
namespace C = brek::Viewer_captions;

TEST(ViewerCaptions, SingleImageAndDirectoryFormats) {
  EXPECT_EQ(C::single_image("T", "/p/a b.jpg", 6000, 4000, 2048), "T - /p/a b.jpg 6000x4000 2 KBytes");
  // No file size known: the size part stays empty.
  EXPECT_EQ(C::single_image("T", "<clipboard>", 3, 2, 0), "T - <clipboard> 3x2 ");
  EXPECT_EQ(C::directory("T", "/home/u/pics", "files", 42), "T - /home/u/pics [files:42]");
}

TEST(ViewerCaptions, TheProgramsNameComesFromItsFile) {
  EXPECT_EQ(C::program_word("/usr/local/bin/collage"), "Collage");
  EXPECT_EQ(C::program_word("collage.exe"), "Collage");
  EXPECT_EQ(C::program_word("/x/\xC3\xA9lan"), "\xC3\x89lan");
  EXPECT_EQ(C::program_word(""), "");
}

// The program's name goes into its own words only: the title, the caption
// of an empty window and the title block name it alike, and a path that
// holds the product word is shown as it is.
TEST(ViewerCaptions, TheProgramNamesItselfAndLeavesPathsAlone) {
  brek_test::Temp_dir dir;
  const std::string trip = dir.file("Ostrel_trip");
  std::filesystem::create_directory(trip);
  ASSERT_TRUE(write_bmp(quadrants(8, 6), trip + "/a.bmp"));
  Ref<Test_viewer> v = new_viewer();
  EXPECT_EQ(v->title, "Viewer_tests v1.2 Solvarre");
  v->collage->blink_time = Date_time::now();
  EXPECT_EQ(v->collage->about_lines().get(0), "Viewer_tests v1.2 Solvarre");
  v->collage->update_caption(C::empty_window(v->title));
  EXPECT_EQ(v->collage->caption, "Viewer_tests v1.2 Solvarre - drop an image or a directory here");

  v->open_file(trip + "/a.bmp");
  EXPECT_EQ(v->collage->caption, "Viewer_tests v1.2 Solvarre - " + trip + "/a.bmp 8x6 198 Bytes");
  v->open_dir(trip);
  EXPECT_NE(v->collage->caption.find(trip), std::string::npos) << v->collage->caption;
}
