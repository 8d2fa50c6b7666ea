// The program's icon: the built-in resource decodes into every size the
// icon is drawn at, each a picture on a transparent background.

#include <gtest/gtest.h>

#include <algorithm>

#include "drawing/pixels.h"
#include "images/icon_codec.h"
#include "platform/window_icon.h"
#include "viewer/app_icon.h"

using namespace brek;

TEST(AppIcon, TheResourceHoldsFourSizesOfOnePicture) {
  std::vector<Pixels> all = Icon_codec::decode_all(App_icon::resource_data(), App_icon::resource_size());
  std::vector<int> sides;
  for (const Pixels& p : all) {
    ASSERT_EQ(p.width(), p.height());
    sides.push_back(p.width());
    const int s = p.width();
    // Transparent corners (the tile is rounded), an opaque middle.
    EXPECT_EQ(Pixels::alpha(p.at(0, 0)), 0) << s;
    EXPECT_EQ(Pixels::alpha(p.at(s - 1, s - 1)), 0) << s;
    EXPECT_EQ(Pixels::alpha(p.at(s / 2, s / 2)), 255) << s;
  }
  std::sort(sides.begin(), sides.end());
  EXPECT_EQ(sides, (std::vector<int>{16, 32, 48, 256}));

  ASSERT_TRUE(App_icon::load());
  EXPECT_EQ(brek_platform::window_icon_count(), 4);
  brek_platform::set_window_icon({});
  EXPECT_EQ(brek_platform::window_icon_count(), 0);
}
