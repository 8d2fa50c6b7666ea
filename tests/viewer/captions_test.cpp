#include <gtest/gtest.h>

#include "viewer/captions.h"

namespace C = brek::Viewer_captions;

TEST(ViewerCaptions, SingleImageAndDirectoryFormats) {
  EXPECT_EQ(C::single_image("T", "/p/a b.jpg", 6000, 4000, 2048), "T - /p/a b.jpg 6000x4000 2 KBytes");
  // No file size known: the size part stays empty.
  EXPECT_EQ(C::single_image("T", "<clipboard>", 3, 2, 0), "T - <clipboard> 3x2 ");
  EXPECT_EQ(C::directory("T", "/home/u/pics", "files", 42), "T - /home/u/pics [files:42]");
}

TEST(ViewerCaptions, TheProgramsNameReplacesTheProductWord) {
  EXPECT_EQ(C::program_word("/usr/local/bin/collage"), "Collage");
  EXPECT_EQ(C::program_word("collage.exe"), "Collage");
  EXPECT_EQ(C::program_word("/x/élan"), "Élan");
  EXPECT_EQ(C::program_word(""), "");
  EXPECT_EQ(C::with_program_name("Ostrel v1.2 - Ostrel", "Collage"), "Collage v1.2 - Collage");
  EXPECT_EQ(C::with_program_name("no word here", "Collage"), "no word here");
}
