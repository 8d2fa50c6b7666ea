// Printing twelve 12-megapixel photos through the print dialog to a PDF
// file in a grey drawing mode, against the same print in colour as the
// reference, in three cases: the cards of one A4 sheet; the cards one
// below the other on a poster of 1 x 12 A3 sheets, each card about a
// sheet's width; the cards of the sheet on a poster of 100 x 100 A4
// sheets, each card over hundreds of them. Each print runs in a process of
// its own (this program started again), so its peak memory is its own
// high-water mark; the rounds alternate grey and colour. Prints the
// medians and the ratios grey / colour of peak memory and time per case
// (aim at most 1.1 and 1.5 for the sheet, 1.15 and 1.3 for the posters: a
// sheet turns grey only the part of a card it shows, at the size it prints
// there, and lets it go once drawn).
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_pictures.h"
#include "drawing/bitmap.h"
#include "forms/combo.h"
#include "forms/edit.h"
#include "forms/screen.h"
#include "images/image.h"
#include "platform/application.h"
#include "platform/native_forms.h"
#include "platform/test_events.h"
#include "platform/window.h"
#include "printing/edit_collage_print.h"
#include "printing/print_dialog.h"

extern char** environ;

namespace {

constexpr int PHOTO_W = 4000, PHOTO_H = 3000, CARDS = 12, ROUNDS = 3;

// The cases: the cards three to a row or in one column, on a paper, as a
// poster of rows by columns.
struct Case {
  const char* name;
  bool one_column;
  const char* paper;
  const char* rows;
  const char* columns;
  const char* memory_aim;
  const char* time_aim;
};
constexpr Case CASES[] = {
    {"one A4 sheet", false, "A4  21 x 29.7", "1", "1", "1.1", "1.5"},
    {"poster of 1 x 12 A3 sheets", true, "A3  29.7 x 42", "12", "1", "1.15", "1.3"},
    {"poster of 100 x 100 A4 sheets", false, "A4  21 x 29.7", "100", "100", "1.15", "1.3"},
};

// One print in this process; its seconds, or a negative number when it
// failed.
double print_once(int64_t mode, const Case& layout, const std::string& pdf) {
  using namespace brek;
  brek_platform::set_native_forms(brek_platform::window_layer());
  Ref<C_Screen> screen = make<C_Screen>();
  Ref<C_Edit_collage_print> e = C_Edit_collage_print::create();
  e->build_controls();
  for (int i = 0; i < CARDS; ++i) {
    Ref<C_Bitmap> b = C_Bitmap::create(PHOTO_W, PHOTO_H, 24);
    brek_bench::fill_gradient_noise(*b->pixels(), uint32_t(i + 1));
    Ref<C_Image> im = C_Image::create();
    im->file_name = "<clipboard>";
    im->picture = b;
    im->width = PHOTO_W;
    im->height = PHOTO_H;
    e->add_image(im);
    e->cards.at(i)->rect = layout.one_column ? rect{0, double(i) * 130, 160, 120}
                                             : rect{double(i % 3) * 170, double(i / 3) * 130, 160, 120};
  }
  Ref<C_Print_dialog> d = C_Print_dialog::create();
  d->editor = Weak<C_Edit_collage_print>(e);
  d->build_controls();
  e->print_dialog = d;
  d->load_printers();
  d->printer_list->set_item_index(d->printer_list->line_count() - 1);
  d->drawing_mode->set_item_index(mode);
  d->paper->set_item_index(d->paper->index_of(layout.paper));
  d->rows->set_text(layout.rows);
  d->columns->set_text(layout.columns);
  brek_platform::test_events::answer_next_file_dialog(true, {pdf});
  const auto start = std::chrono::steady_clock::now();
  const bool printed = d->print();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  dispose_now(d);
  dispose_now(e);
  dispose_now(screen);
  return printed && std::filesystem::exists(pdf) ? seconds : -1;
}

struct Measure {
  double seconds = -1;
  double peak_mb = 0;
};

// This program again, printing in `mode`: its time and peak memory.
Measure run_child(const char* self, int64_t mode, size_t layout, const std::string& pdf) {
  Measure m;
  int out[2];
  if (::pipe(out) != 0) return m;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::string mode_arg = "--print=" + std::to_string(mode), pdf_arg = "--pdf=" + pdf;
  std::string layout_arg = "--case=" + std::to_string(layout);
  std::vector<char*> argv{const_cast<char*>(self), mode_arg.data(), pdf_arg.data(), layout_arg.data(), nullptr};
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, self, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (rc != 0) {
    ::close(out[0]);
    return m;
  }
  std::string said;
  char buf[256];
  for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) said.append(buf, size_t(n));
  ::close(out[0]);
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return m;
  m.seconds = std::atof(said.c_str());
  m.peak_mb = double(usage.ru_maxrss) / 1024;
  return m;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// The rounds of one case, alternating grey and colour; prints each print
// and the case's ratios. False when a print failed.
bool run_case(size_t layout, const std::string& pdf) {
  const Case& c = CASES[layout];
  std::vector<double> grey_s, grey_mb, colour_s, colour_mb;
  for (int r = 0; r < ROUNDS; ++r)
    for (int64_t mode : {int64_t(1), int64_t(0)}) {
      std::filesystem::remove(pdf);
      const Measure m = run_child("/proc/self/exe", mode, layout, pdf);
      if (m.seconds < 0) {
        std::fprintf(stderr, "the print of the %s in mode %lld failed\n", c.name, static_cast<long long>(mode));
        return false;
      }
      std::printf("%-30s %-7s %7.2f s %8.0f MB\n", c.name, mode ? "grey" : "colour", m.seconds, m.peak_mb);
      (mode ? grey_s : colour_s).push_back(m.seconds);
      (mode ? grey_mb : colour_mb).push_back(m.peak_mb);
    }
  std::printf("ratio grey / colour peak memory, %s = %.3f (%.0f MB / %.0f MB, aim <= %s)\n", c.name,
              median(grey_mb) / median(colour_mb), median(grey_mb), median(colour_mb), c.memory_aim);
  std::printf("ratio grey / colour time, %s = %.3f (%.2f s / %.2f s, aim <= %s)\n", c.name,
              median(grey_s) / median(colour_s), median(grey_s), median(colour_s), c.time_aim);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strncmp(argv[1], "--print=", 8) == 0 && std::strncmp(argv[2], "--pdf=", 6) == 0 &&
      std::strncmp(argv[3], "--case=", 7) == 0) {
    brek_platform::init_application(argc, argv);
    const size_t layout = std::min<size_t>(std::strtoul(argv[3] + 7, nullptr, 10), std::size(CASES) - 1);
    const double s = print_once(std::atoi(argv[1] + 8), CASES[layout], argv[2] + 6);
    brek_platform::shutdown_application();
    std::printf("%f\n", s);
    return s < 0 ? 1 : 0;
  }
  const std::string dir = brek_bench::temp_dir("print_grey_bench");
  const std::string pdf = dir + "/collage.pdf";
  // The prints keep their settings (the printer, the file dialog's) here,
  // not in the user's.
  for (const char* v : {"XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
    const std::string sub = dir + "/" + v;
    std::filesystem::create_directory(sub);
    std::filesystem::permissions(sub, std::filesystem::perms::owner_all);
    ::setenv(v, sub.c_str(), 1);
  }
  std::printf("reference: the same print in colour (medians of %d rounds)\n", ROUNDS);
  bool ok = true;
  for (size_t c = 0; c < std::size(CASES) && ok; ++c) ok = run_case(c, pdf);
  std::filesystem::remove_all(dir);
  return ok ? 0 : 1;
}
