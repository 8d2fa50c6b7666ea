// The whole picture of the image the single view shows: a file replaced
// while it is shown is read again whenever that happens, and only a change
// of what it holds counts; a command that needs the whole picture while a
// worker decodes it waits as long work does (the tick handlers run, the
// long-operation window comes after two seconds and its Cancel stops the
// command), and takes a file found changed as the new file's entry; a GIF
// or BMP too large to read on the window's thread comes from workers.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "baselib/thread.h"
#include "forms/long_operation.h"
#include "forms/timer_ticks.h"
#include "images/format_classes.h"
#include "images/image_file_io.h"
#include "images/image_header.h"
#include "platform/test_events.h"
#include "runtime/clock.h"
#include "runtime/exceptions.h"
#include "tests/support/child_failures.h"
#include "tests/support/entry_changes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/support/work_ticks.h"
#include "tests/viewer/viewer_input_support.h"

using namespace viewer_input;
namespace te = brek_platform::test_events;

namespace {

constexpr uint32_t TEAL = 0xFF008080u;

// Whether a pixel is mostly blue, as a JPEG of plain blue decodes.
bool bluish(uint32_t p) { return Pixels::blue(p) > 200 && Pixels::red(p) < 60 && Pixels::green(p) < 60; }

// A picture of one colour written as a JPEG or BMP by its name.
void write_plain(const std::string& path, int w, int h, uint32_t colour) {
  const Pixels p(w, h, colour);
  if (path.size() > 4 && path.compare(path.size() - 4, 4, ".bmp") == 0)
    ASSERT_TRUE(write_bmp(p, path));
  else
    ASSERT_TRUE(Image_file_io::save_jpeg(p, path));
}

// Another picture saved over the file as editors do: written beside it,
// then renamed over it.
void renamed_over(const std::string& path, int w, int h, uint32_t colour) {
  const std::string aside = path + ".new" + std::filesystem::path(path).extension().string();
  write_plain(aside, w, h, colour);
  std::filesystem::rename(aside, path);
}

// A picture shown alone in a 400 x 300 box, the window's timers on a test
// clock: at its own size while the pointer is inside, else fitted.
struct Shown {
  Brek_runtime::Test_clock clock;
  brek_test::Temp_dir dir;
  std::string path;
  Input_box b{400, 300};
  Ref<Test_viewer> v = b.v;
  Shown(const std::string& name, int w, int h, uint32_t colour, point pointer = {137, 91})
      : path(dir.file(name)) {
    write_plain(path, w, h, colour);
    v->pointer = pointer;
    v->open_file(path);
    b.paint();
  }
  Ref<C_Image> image() { return v->current_image(); }
  // One turn of the window's timers: 10 ms on the clock.
  void tick() {
    clock.advance(10);
    Timer_ticks::run_due(clock.ticks());
  }
  bool tick_until(const std::function<bool()>& done) {
    return brek_test::wait_until([&] {
      tick();
      return done();
    });
  }
  bool caption_says(const std::string& size) { return v->get_caption().find(size) != std::string::npos; }
};

}  // namespace

// Another picture of another size renamed over the file while the worker
// reads it (the disk stalls on it till then), once the whole picture came,
// or over a small picture read at once: the window reads the new file,
// names its size and shows it. The first in a process of its own, whose
// reads stay held.
using ViewerShownPictureDeathTest = brek_test::Stalled_reads_death_test;
TEST_F(ViewerShownPictureDeathTest, AFileRenamedOverWhileShownIsReadAgainWheneverThatHappens) {
  enum class moment { WHILE_DECODED, ONCE_DECODED, SMALL_PICTURE };
  for (moment m : {moment::WHILE_DECODED, moment::ONCE_DECODED, moment::SMALL_PICTURE}) {
    SCOPED_TRACE(int(m));
    const auto renamed = [&] {
      const bool small = m == moment::SMALL_PICTURE;
      Shown s(small ? "p.bmp" : "p.jpg", small ? 80 : 1600, small ? 60 : 1200, TEAL);
      const Ref<C_Image> old = s.image();
      std::optional<brek_test::Stalled_reads> disk;
      if (m == moment::WHILE_DECODED) {
        disk.emplace(s.path);
        ASSERT_TRUE(disk->holding());
        s.tick();  // the worker starts
        ASSERT_TRUE(brek_test::wait_until([&] { return disk->waiting(); })) << "the worker read nothing";
      }
      if (m == moment::ONCE_DECODED) {
        ASSERT_TRUE(s.tick_until([&] { return !old->picture.is_none(); }));
      }
      if (small) {
        ASSERT_FALSE(old->picture.is_none());
      }
      renamed_over(s.path, small ? 120 : 1200, small ? 90 : 900, BLUE);
      if (disk) disk->release();
      EXPECT_TRUE(s.tick_until([&] { return s.caption_says(small ? "120x90" : "1200x900"); })) << s.v->get_caption();
      s.v->pointer = {-100, -100};  // fitted: every pixel of the box shows it
      EXPECT_TRUE(s.tick_until([&] {
        s.b.paint();
        return bluish(s.b.at(200, 150));
      }));
      EXPECT_TRUE(s.tick_until([] { return Thread_registry::global().live_count() == 0; }));
    };
    if (m == moment::WHILE_DECODED)
      EXPECT_EXIT(brek_test::exit_with_failures(renamed), testing::ExitedWithCode(0), "");
    else
      renamed();
  }
}

// A chmod moves only the file's status-change time: the single view does
// not take it for a new picture (nor does the listing: see the directory
// views' tests).
TEST(ViewerShownPicture, AChangeOfModesAloneReadsNoPictureAgain) {
  Shown s("p.bmp", 80, 60, TEAL);
  const Ref<C_Image> shown = s.image();
  ASSERT_FALSE(shown->picture.is_none());
  change_modes(s.path);
  ticks(s.v, 4);
  EXPECT_EQ(s.image().get(), shown.get()) << "the single view renewed it";
  EXPECT_FALSE(shown->picture.is_none());
}

// Copy or Save As while the worker decodes the whole picture waits as long
// work does: the long-operation window comes after two seconds of its
// ticks, and its Cancel ends the command before the picture came, copying
// or saving nothing; the window goes on, and a later Copy copies the whole
// picture. The worker is busy for as long as that takes: the disk stalls
// on the file until the Cancel. Each in a process of its own, whose reads
// stay held.
TEST_F(ViewerShownPictureDeathTest, ACommandWhileTheWorkerDecodesWaitsAsLongWorkDoes) {
  constexpr int PW = 8000, PH = 6000;
  for (const char* command : {"COPY", "SAVAS"}) {
    SCOPED_TRACE(command);
    const auto waiting = [&] {
      Shown s("huge.jpg", PW, PH, TEAL);
      const Ref<C_Image> im = s.image();
      ASSERT_FALSE(s.v->fit_mode);
      brek_test::Stalled_reads disk(s.path);
      ASSERT_TRUE(disk.holding());
      s.tick();  // the worker starts, and waits for the disk
      ASSERT_TRUE(brek_test::wait_until([&] { return disk.waiting(); })) << "the worker read nothing";
      ASSERT_TRUE(im->picture.is_none()) << "decoded before the command came";
      const bool copy = std::string(command) == "COPY";
      const std::string saved = s.dir.file("saved.bmp");
      if (!copy) te::answer_next_file_dialog(true, {saved});
      bool cancelled = false, whole_by_then = false;
      {
        brek_test::Work_ticks work(s.clock);
        work.each = [&] {
          const Ref<C_Long_operation> window = ref_cast<C_Long_operation>(s.b.screen->long_operation);
          if (cancelled || window.is_none() || !window->is_visible()) return;
          cancelled = true;
          whole_by_then = !im->picture.is_none();
          window->cancel_button_->perform_click();
        };
        // The Stop leaves the event, as the window system's loop drops it.
        EXPECT_THROW(s.b.menu(command), Stop_exception);
      }
      disk.release();
      EXPECT_TRUE(cancelled) << "the command waited without the long-operation window";
      EXPECT_FALSE(whole_by_then);
      const auto made_width = [&] {
        return copy ? C_Bmp::paste_clipboard()->width : Image_header::read_file(saved, ".bmp", true, false).size.width;
      };
      EXPECT_NE(made_width(), PW);
      ASSERT_TRUE(s.tick_until([&] { return !im->picture.is_none(); }));
      // Answered again, should the first command have shown its dialog.
      if (!copy) te::answer_next_file_dialog(true, {saved});
      s.b.menu(command);
      EXPECT_EQ(made_width(), PW);
      EXPECT_TRUE(s.b.messages.empty()) << s.b.last_message();
    };
    EXPECT_EXIT(brek_test::exit_with_failures(waiting), testing::ExitedWithCode(0), "");
  }
}

// The file was renamed over before the worker read it: the worker finds
// it changed, and the Copy that waits for it copies the new file as its
// own entry, never decoding it into the old file's.
TEST(ViewerShownPicture, ACopyOfAFileFoundChangedTakesTheNewFilesEntry) {
  Shown s("p.jpg", 1600, 1200, TEAL);
  const Ref<C_Image> old = s.image();
  renamed_over(s.path, 1200, 900, BLUE);
  s.tick();  // the worker starts, and finds another file
  s.b.menu("COPY");
  EXPECT_TRUE(old->picture.is_none()) << "the new file was decoded into the old file's entry";
  EXPECT_EQ(old->width, 1600);
  EXPECT_EQ(C_Bmp::paste_clipboard()->width, 1200);
  EXPECT_EQ(s.image()->width, 1200);
  EXPECT_TRUE(s.caption_says("1200x900")) << s.v->get_caption();
  EXPECT_TRUE(s.tick_until([] { return Thread_registry::global().live_count() == 0; }));
}

// A GIF or BMP too large to read on the window's thread, shown alone:
// fitted, its copy at the fitted size comes from the cells' worker; at its
// own size, its whole picture from a worker of its own. Neither is read by
// the opening or the paint, and the window shows the picture once it came.
TEST(ViewerShownPicture, AHugeGifOrBmpShownAloneComesFromWorkers) {
  constexpr int W = 2100, H = 2100;
  for (const char* name : {"big.gif", "big.bmp"}) {
    for (bool own_size : {false, true}) {
      SCOPED_TRACE(std::string(name) + (own_size ? " at its own size" : " fitted"));
      brek_test::Temp_dir dir;
      const std::string path = dir.file(name);
      if (std::string(name) == "big.gif")
        ASSERT_TRUE(brek_test::write_file(path, one_colour_gif(W, H)));
      else
        write_plain(path, W, H, RED);
      Brek_runtime::Test_clock clock;
      Input_box b(400, 300);
      const Ref<Test_viewer> v = b.v;
      v->pointer = own_size ? point{137, 91} : point{-100, -100};
      v->open_file(path);
      b.paint();
      const Ref<C_Image> im = v->current_image();
      EXPECT_TRUE(im->picture.is_none() && im->animation.is_none()) << "read on the window's thread";
      EXPECT_EQ(im->width, W);
      EXPECT_TRUE(brek_test::wait_until([&] {
        clock.advance(10);
        Timer_ticks::run_due(clock.ticks());
        b.paint();
        return b.at(200, 150) == RED;
      }));
      EXPECT_EQ(!im->picture.is_none() || !im->animation.is_none(), own_size);
      EXPECT_TRUE(brek_test::wait_until([&] {
        clock.advance(10);
        Timer_ticks::run_due(clock.ticks());
        return Thread_registry::global().live_count() == 0;
      }));
    }
  }
}
