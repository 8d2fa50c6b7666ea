// The program's icon on real windows: the window system reads it from the
// window's _NET_WM_ICON property, here read by a client of its own.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "forms/form.h"
#include "forms/form_bridge.h"
#include "forms/screen.h"
#include "images/icon_codec.h"
#include "platform/test_events.h"
#include "platform/window.h"
#include "platform/window_icon.h"
#include "tests/support/x11_client.h"
#include "viewer/app_icon.h"

using namespace brek;
namespace te = brek_platform::test_events;

namespace {

// The pictures of a _NET_WM_ICON value by side: width, height, then the
// pixels as 0xAARRGGBB, one after the other.
std::map<int, std::vector<uint32_t>> icons_of(const std::vector<uint32_t>& v) {
  std::map<int, std::vector<uint32_t>> icons;
  size_t i = 0;
  while (i + 2 <= v.size()) {
    const size_t w = v[i], h = v[i + 1];
    if (w == 0 || h == 0 || w * h > v.size() - i - 2) break;
    icons[int(w)].assign(v.begin() + long(i + 2), v.begin() + long(i + 2 + w * h));
    EXPECT_EQ(w, h);
    i += 2 + w * h;
  }
  return icons;
}

std::vector<int> sides_of(const std::map<int, std::vector<uint32_t>>& icons) {
  std::vector<int> s;
  for (const auto& [side, pixels] : icons) s.push_back(side);
  return s;
}

}  // namespace

TEST(AppIconOnXServer, EveryWindowShowsEverySizeOfTheIcon) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "no X server";
  x11_test::Client x;
  ASSERT_TRUE(x.ok());
  auto* previous = brek_platform::set_native_forms(brek_platform::window_layer());
  {
    auto screen = make<C_Screen>();
    // One window open before the icon is loaded, one opened after it.
    auto before = make<C_Form>();
    before->set_caption("Before");
    before->set_bounds({40, 40, 200, 120});
    before->show();
    ASSERT_TRUE(te::wait_exposed(before->native));
    const auto early = static_cast<uint32_t>(C_Brek_form::window_handle(before->native));
    EXPECT_TRUE(x.cardinals(early, "_NET_WM_ICON").empty());

    ASSERT_TRUE(App_icon::load());
    te::settle();
    auto after = make<C_Form>();
    after->set_caption("After");
    after->set_bounds({300, 40, 200, 120});
    after->show();
    ASSERT_TRUE(te::wait_exposed(after->native));
    te::settle();

    std::vector<Pixels> ours = Icon_codec::decode_all(App_icon::resource_data(), App_icon::resource_size());
    for (const Ref<C_Form>& f : {before, after}) {
      const auto win = static_cast<uint32_t>(C_Brek_form::window_handle(f->native));
      auto icons = icons_of(x.cardinals(win, "_NET_WM_ICON"));
      EXPECT_EQ(sides_of(icons), (std::vector<int>{16, 32, 48, 256})) << f->get_caption();
      // The pictures are ours, pixel for pixel (fully opaque ones; the
      // platform may round the colour of half-transparent edges).
      for (const Pixels& p : ours) {
        const std::vector<uint32_t>& shown = icons[p.width()];
        ASSERT_EQ(shown.size(), size_t(p.width()) * size_t(p.height()));
        const int mid = p.width() / 2;
        EXPECT_EQ(shown[size_t(mid) * size_t(p.width()) + size_t(mid)], p.at(mid, mid));
        EXPECT_EQ(shown[0] >> 24, 0u);
      }
    }
    brek_platform::set_window_icon({});
    before->close_window();
    after->close_window();
    te::settle();
  }
  brek_platform::set_native_forms(previous);
}
