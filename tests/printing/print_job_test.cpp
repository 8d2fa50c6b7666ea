// What a print job tells the print system and the user, with the real
// parts a job meets: a file system that fills up (a small tmpfs), a print
// server of the test's own with a PDF queue, and the PDFs read back.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "forms/edit.h"
#include "images/image.h"
#include "tests/printing/cups_server.h"
#include "tests/printing/print_dialog_support.h"
#include "tests/printing/print_test_support.h"
#include "tests/printing/small_disk.h"

using namespace brek;
using print_test::Cups_server;
using print_test::Small_disk;

namespace {

// A picture no compression makes small: every pixel of its own.
Ref<C_Image> noise(int w, int h) {
  Ref<C_Bitmap> b = C_Bitmap::create(w, h, 24);
  Pixels* p = b->pixels();
  uint32_t state = 12345;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      state = state * 1664525u + 1013904223u;
      p->set(x, y, 0xFF000000u | state >> 8);
    }
  Ref<C_Image> im = C_Image::create();
  im->file_name = "<clipboard>";
  im->picture = b;
  im->width = w;
  im->height = h;
  return im;
}

class PrintJob : public print_test::PrintDialog {
 protected:
  // One card of noise, 600 x 600 pixels, filling the sheet's width.
  void add_noise_card() {
    e->add_image(noise(600, 600));
    set_rect(e->cards.count() - 1, rect{0, 0, 400, 400});
  }
  bool said(const std::string& part) const {
    for (const std::string& m : screen->messages)
      if (m.find(part) != std::string::npos) return true;
    return false;
  }
  std::string messages() const {
    std::string all;
    for (const std::string& m : screen->messages) all += m + "\n";
    return all;
  }
};

}  // namespace

// ---- a print that fails half way ----

TEST_F(PrintJob, APdfThatDoesNotFitOnTheDiskIsAFailureAndLeavesNothingBehind) {
  Small_disk disk(64);
  if (!disk.failure().empty()) GTEST_SKIP() << disk.failure();
  add_noise_card();
  make_dialog();
  // An earlier file of that name stays as it was.
  const std::string target = disk.file("poster.pdf");
  ASSERT_TRUE(brek_test::write_file(target, "mine"));
  EXPECT_FALSE(print_pdf(target));
  ASSERT_EQ(screen->messages.size(), 1u);
  EXPECT_TRUE(said(target)) << target << "\n" << messages();
  EXPECT_TRUE(said("No space left on device")) << messages();
  EXPECT_EQ(brek_test::read_file(target), "mine");
  EXPECT_EQ(disk.entries(), (std::vector<std::string>{"poster.pdf"}));

  // A poster of 12 sheets on a larger disk, to a new file: no file at all.
  Small_disk larger(200);
  ASSERT_TRUE(larger.failure().empty()) << larger.failure();
  d->columns->set_text("3");
  d->rows->set_text("4");
  EXPECT_FALSE(print_pdf(larger.file("poster.pdf")));
  EXPECT_EQ(screen->messages.size(), 2u);
  EXPECT_TRUE(said("No space left on device")) << messages();
  EXPECT_TRUE(larger.entries().empty());
}

TEST_F(PrintJob, AQueueGetsNoJobFromAPdfThatCouldNotBeWrittenWhole) {
  Cups_server cups;
  if (!cups.failure().empty()) GTEST_SKIP() << cups.failure();
  Small_disk disk(64);
  if (!disk.failure().empty()) GTEST_SKIP() << disk.failure();
  brek_test::Env_guard tmp("TMPDIR", disk.path());
  add_noise_card();
  make_dialog();
  d->printer_list->set_item_index(d->printer_list->index_of(cups.queue()));
  EXPECT_FALSE(d->print());
  ASSERT_EQ(screen->messages.size(), 1u);
  EXPECT_TRUE(said(cups.queue())) << messages();
  EXPECT_TRUE(said("No space left on device")) << messages();
  // No job was made, none finished; the temporary PDF is gone.
  EXPECT_EQ(cups.run("lpstat", {"-W", "all", "-o", cups.queue()}), "");
  EXPECT_TRUE(disk.entries().empty());
}
