// The viewer reads GIF files with the program's own reader, whatever the
// option "Gif_code" held before it started.
#include <gtest/gtest.h>

#include "images/gif.h"
#include "images/gif_writer.h"
#include "images/image.h"
#include "tests/support/temp_dir.h"
#include "tests/viewer/viewer_test_support.h"

using namespace brek;
using namespace viewer_test;

TEST(ViewerGif, TheViewerReadsGifsWithItsOwnReader) {
  brek_test::Temp_dir dir;
  // Two frames, 8 x 5: red, then blue, written by the program's writer.
  Ref<TGIFImage> out = TGIFImage::create();
  Pixels red, blue;
  ASSERT_TRUE(red.resize(8, 5, 0xFFFF0000u));
  ASSERT_TRUE(blue.resize(8, 5, 0xFF0000FFu));
  out->add_frame(red, 24);
  out->add_frame(blue, 24);
  const std::vector<uint8_t> bytes = out->write_data();
  ASSERT_TRUE(brek_test::write_file(dir.file("a.gif"), std::string(bytes.begin(), bytes.end())));

  for (gif_code_from before : {gif_code_from::GIF_BOTH, gif_code_from::GIF_NATIVE}) {
    C_Gif::set_gif_code(before);
    Ref<Test_viewer> v = new_viewer();
    EXPECT_EQ(C_Gif::gif_code(), gif_code_from::GIF_Brek);
    v->open_file(dir.file("a.gif"));
    Ref<C_Gif> gif = v->current_image()->animation;
    ASSERT_FALSE(gif.is_none());
    // The frames are the own reader's.
    EXPECT_EQ(gif->frames.size(), 2u);
    EXPECT_EQ(gif->render_current_frame().at(3, 2), 0xFFFF0000u);
    gif->set_current_frame(1);
    EXPECT_EQ(gif->render_current_frame().at(3, 2), 0xFF0000FFu);
  }
}
