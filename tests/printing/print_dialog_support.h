#pragma once
// The print dialog as the collage editor makes it, on a real window
// (offscreen at 96 pixels per inch, or the X server's in the xserver
// group), for the tests of the dialog, of the question it asks and of the
// jobs it prints: the remembered printer, prints to PDF files through the
// save dialog, runs of the dialog and its preview painted into a bitmap.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "baselib/config.h"
#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "forms/combo.h"
#include "images/format_classes.h"
#include "images/image.h"
#include "platform/test_events.h"
#include "printing/edit_collage_print.h"
#include "printing/print_dialog.h"
#include "printing/print_preview.h"
#include "tests/printing/editor_test_support.h"
#include "tests/support/temp_dir.h"

namespace print_test {

using namespace brek;
namespace te = brek_platform::test_events;
namespace R = Print_dialog_rules;

inline constexpr double k = POINTS_PER_MM;

inline void save_printer(const std::string& name) {
  C_Config::open_write(R::CONFIG_APPLICATION, area_where_configuration_is_stored::USER, R::CONFIG_SECTION)
      ->write_string(R::CONFIG_PRINTER_NAME, name);
}

inline std::string saved_printer() {
  return C_Config::open_read(R::CONFIG_APPLICATION, area_where_configuration_is_stored::USER, R::CONFIG_SECTION)
      ->read_string(R::CONFIG_PRINTER_NAME);
}

// The editor of the editor's tests, with its print dialog.
class PrintDialog : public editor_test::Editor {
 protected:
  void SetUp() override {
    Editor::SetUp();
    save_printer("");  // the tests of this process share the settings
  }
  void TearDown() override {
    if (!d.is_none()) dispose_now(d);
    Editor::TearDown();
  }
  // The dialog as the editor makes it, with its printers loaded as when it
  // runs.
  void make_dialog() {
    d = C_Print_dialog::create();
    d->editor = Weak<C_Edit_collage_print>(e);
    d->build_controls();
    e->print_dialog = d;
    d->load_printers();
  }
  // A card of one colour (0xAARRGGBB) at a rectangle of the sheet.
  void add_card(const rect& r, uint32_t colour) { add(r.x, r.y, r.w, r.h, colour); }
  // A card of a file handed to the editor and deleted before its picture
  // was read; the file's path.
  std::string add_unreadable_card(const std::string& name) {
    const std::string gone = dir.file(name);
    Ref<C_Bitmap> red = C_Bitmap::create(30, 30, 24);
    if (!C_Bmp::save(red, gone)) ADD_FAILURE() << gone;
    Ref<C_Image> image = C_Image::create();
    image->file_name = gone;
    e->add_image(image);
    std::filesystem::remove(gone);
    return gone;
  }
  void choose_printer(const std::string& name) { d->printer_list->set_item_index(d->printer_list->index_of(name)); }
  void choose_pdf() { d->printer_list->set_item_index(d->printer_list->line_count() - 1); }
  // Prints to `file` (`pdf` when none is given) through the save dialog;
  // true when printed.
  bool print_pdf(const std::string& file = "") {
    const std::string to = file.empty() ? pdf : file;
    choose_pdf();
    // The save dialog asks before it replaces an existing file.
    if (std::filesystem::exists(to)) te::answer_next_message(true);
    te::answer_next_file_dialog(true, {to});
    return d->print();
  }
  // A run of the dialog over the editor with the task posted into it; a
  // run that the task does not end is ended after a while.
  std::string run(std::function<void()> task) {
    te::post_task(std::move(task));
    Weak<C_Edit_collage_print> weak(e);
    te::post_task(
        [weak] {
          Ref<C_Edit_collage_print> ed = weak.lock();
          if (!ed->print_dialog.is_none()) ed->print_dialog->close_with("TIMEOUT");
        },
        20000);
    return C_Print_dialog::show_for(e);
  }
  // The preview of the dialog painted into a bitmap (pixels as units).
  Ref<C_Bitmap> preview_bitmap(int w, int h, bool as_images) {
    Ref<C_Bitmap> b = C_Bitmap::create(w, h, 32);
    Ref<C_Canvas> c = b->canvas();
    c->units = units_measure_graphics::PIXELS;
    Print_preview::paint(c, point{double(w), double(h)}, *d, as_images);
    return b;
  }

  Ref<C_Print_dialog> d;
  brek_test::Temp_dir dir;
  std::string pdf = dir.file("poster.pdf");
};

inline uint32_t px(const Ref<C_Bitmap>& b, int x, int y) { return b->pixels()->at(x, y) | 0xFF000000u; }

}  // namespace print_test
