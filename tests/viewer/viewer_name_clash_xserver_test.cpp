// The name-clash question on a real X server, asked again and again from
// the "Move to dir" window by its digit key and answered by Escape: each
// question shows the two files it asks about, whatever the one before it
// showed or had not shown yet.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/test_events.h"
#include "tests/support/child_failures.h"
#include "tests/support/entry_changes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_on_screen.h"
#include "viewer/dialog_replace.h"
#include "viewer/move_to_dirs.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;
namespace fs = std::filesystem;

namespace {

constexpr int VK_ESCAPE = 27, VK_F6 = 117;

// Pictures of one colour (0xAARRGGBB) in `from`, the viewer showing one,
// and the move window open, its target 1 being `to`.
class Asking {
 public:
  Asking() {
    fs::create_directories(from);
    fs::create_directories(to);
    EXPECT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", "[Move_to_dirs]\n1 = \"" + to + "\"\n"));
  }
  static bool picture(const std::string& path, uint32_t colour) { return write_bmp(Pixels(60, 40, colour), path); }
  // The viewer started on `file` and F6 pressed; false when the windows
  // did not show.
  bool start(const std::string& file) {
    s = std::make_unique<Viewer_on_screen<Test_viewer>>();
    s->v->open_file(file);
    s->v->show();
    if (!te::wait_exposed(s->v->native) || !te::window_key_press(s->v->native, VK_F6)) return false;
    te::window_key_release(s->v->native, VK_F6);
    w = s->v->collage->move_dialog;
    return !w.is_none() && te::wait_exposed(w->native);
  }
  // Key 1 on the move window; `inside` runs in the question that follows,
  // which Escape then answers. Whether a question came.
  bool ask(const std::function<void(const Ref<C_Dialog_replace>&)>& inside) {
    bool asked = false;
    te::post_task([&] {
      const Ref<C_Dialog_replace> d = w->replace_dialog;
      if (d.is_none() || !te::wait_exposed(d->native)) return;
      asked = true;
      inside(d);
      te::window_key_press(d->native, VK_ESCAPE);
      te::window_key_release(d->native, VK_ESCAPE);
    });
    // Ended after a while all the same, unless a later question shows.
    const int run = ++*runs_;
    te::post_task(
        [w = w, run, runs = runs_] {
          if (run == *runs && !w->replace_dialog.is_none()) w->replace_dialog->close_with("TIMEOUT");
        },
        30000);
    EXPECT_TRUE(te::window_key_press(w->native, '1', {}, "1"));
    te::window_key_release(w->native, '1', {}, "1");
    te::settle();
    return asked;
  }
  // The middle of the question's left or right half as it painted it last
  // (opaque), 0 before it painted.
  static uint32_t half(const Ref<C_Dialog_replace>& d, bool right) {
    const Pixels* p = d->pbox->back_buffer->pixels();
    if (!p || p->width() < 4) return 0;
    return p->at(p->width() * (right ? 3 : 1) / 4, p->height() / 2) | 0xFF000000u;
  }
  // Waits until the question shows these colours in its halves.
  static bool shows(const Ref<C_Dialog_replace>& d, uint32_t left, uint32_t right) {
    return brek_test::wait_until([&] {
      te::settle();
      return half(d, false) == left && half(d, true) == right;
    });
  }

  brek_test::Temp_dir dir;
  const std::string from = dir.file("from"), to = dir.file("to");
  std::unique_ptr<Viewer_on_screen<Test_viewer>> s;
  Ref<C_Move_to_dirs> w;

 private:
  std::shared_ptr<int> runs_ = std::make_shared<int>(0);
};

const uint32_t BACKGROUND = Colors::to_pixel(C_Dialog_replace::BACKGROUND) | 0xFF000000u;

}  // namespace

// A question about one file, then one about another: the second shows the
// other two pictures, not the first question's.
TEST(ViewerNameClash, EachQuestionShowsTheTwoFilesItAsksAbout) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  Asking a;
  ASSERT_TRUE(Asking::picture(a.from + "/a.bmp", RED) && Asking::picture(a.to + "/a.bmp", GREEN));
  ASSERT_TRUE(Asking::picture(a.from + "/b.bmp", WHITE) && Asking::picture(a.to + "/b.bmp", BLUE));
  ASSERT_TRUE(a.start(a.from + "/a.bmp"));
  bool first = false, second = false;
  ASSERT_TRUE(a.ask([&](const Ref<C_Dialog_replace>& d) { first = Asking::shows(d, RED, GREEN); }));
  EXPECT_TRUE(first) << "the first question showed its pictures";
  a.s->v->open_file(a.from + "/b.bmp");
  uint32_t left = 0, right = 0;
  ASSERT_TRUE(a.ask([&](const Ref<C_Dialog_replace>& d) {
    second = Asking::shows(d, WHITE, BLUE);
    left = Asking::half(d, false);
    right = Asking::half(d, true);
  }));
  EXPECT_TRUE(second) << std::hex << "left " << left << ", right " << right;
  EXPECT_TRUE(fs::exists(a.from + "/a.bmp") && fs::exists(a.from + "/b.bmp"));
}

// The tester's way: the file met in the target is a huge top-down BMP
// (12000 x 8000), which a worker reads to the question's size, and the
// question is answered by Escape while the disk holds that read (before
// its picture came). Asked again, the question shows the picture once
// read. In a process of its own, whose reads stay held.
using ViewerNameClashDeathTest = brek_test::Stalled_reads_death_test;
TEST_F(ViewerNameClashDeathTest, AQuestionLeftBeforeItsHugePictureCameShowsItWhenAskedAgain) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  const auto asking = [] {
    Asking a;
    const std::string met = a.to + "/c.bmp";
    ASSERT_TRUE(Asking::picture(a.from + "/c.bmp", RED));
    ASSERT_TRUE(write_sparse_bmp(met, 12000, 8000, GREEN & 0xFFFFFFu, true));
    ASSERT_TRUE(a.start(a.from + "/c.bmp"));
    brek_test::Stalled_reads disk(met);
    ASSERT_TRUE(disk.holding());
    uint32_t right = 0;
    ASSERT_TRUE(a.ask([&](const Ref<C_Dialog_replace>& d) {
      // The window's thread read the header; a worker waits for the rows.
      EXPECT_TRUE(Asking::shows(d, RED, BACKGROUND));
      EXPECT_TRUE(brek_test::wait_until([&] {
        te::settle();
        return disk.waiting();
      })) << "no worker read the picture";
      right = Asking::half(d, true);
    }));
    EXPECT_EQ(right, BACKGROUND) << "the picture came before the disk let it";
    disk.release();
    bool shown = false;
    ASSERT_TRUE(a.ask([&](const Ref<C_Dialog_replace>& d) {
      shown = Asking::shows(d, RED, GREEN);
      right = Asking::half(d, true);
    }));
    EXPECT_TRUE(shown) << std::hex << "the right half " << right;
    EXPECT_TRUE(fs::exists(a.from + "/c.bmp"));
  };
  EXPECT_EXIT(brek_test::exit_with_failures(asking), testing::ExitedWithCode(0), "");
}
