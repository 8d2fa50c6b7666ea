#include "printing/print_dialog.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

#include "baselib/config.h"
#include "baselib/bounded_ask.h"
#include "baselib/file_path.h"
#include "baselib/localize_str.h"
#include "baselib/mathematics.h"
#include "baselib/string_functions.h"
#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "drawing/paint_turtle.h"
#include "drawing/paintbox.h"
#include "forms/button.h"
#include "forms/checkbox.h"
#include "forms/combo.h"
#include "forms/dialog_file.h"
#include "forms/edit.h"
#include "forms/form_bridge.h"
#include "forms/label.h"
#include "forms/settings_writes.h"
#include "images/image.h"
#include "platform/file_dialog.h"
#include "platform/printer.h"
#include "printing/edit_collage_print.h"
#include "printing/printer.h"
#include "runtime/runtime_services.h"
#include "runtime/strings.h"

namespace brek {

namespace L = Localize_str;
namespace T = lng::Print_dialog;

namespace Print_dialog_rules {

const char* const PAPERS =
    "A4  21 x 29.7\r\n"
    "A5  14.8 x 21\r\n"
    "A6  10.5 x 14.8\r\n"
    "A3  29.7 x 42\r\n"
    "A2  42 x 59.4\r\n"
    "A1  59.4 x 84.1\r\n"
    "A0  84.1 x 118.9\r\n"
    "B4  25.7 x 36.4\r\n"
    "B5  18.2 x 25.7\r\n"
    "C  43.17 x 55.87\r\n"
    "Letter  21.59 x 27.94\r\n"
    "Legal  21.59 x 35.56\r\n"
    "Postcard  9.99 x 14.79\r\n"
    "Double postcard  14.79 x 19.99\r\n"
    "Enverlope#10  10.48 x 24.13\r\n"
    "Envelope B5   17.6 x 25\r\n"
    "Envelope C2  16.2 x 22.9\r\n"
    "Envelope DL  11 x 22\r\n"
    "Envelope Monarch 9.84 x 19.05\r\n"
    "Executive  18.41 x 26.67";

const char* const DRAWING_MODES =
    "Colors\r\nGrayscale weighted\r\nGrayscale average\r\nGrayscale luminocity\r\nGrayscale with gamma-correction";

namespace {

// The weights sum to 1 only up to rounding: a neutral pixel must keep its
// value, so the sum is truncated after that rounding error is allowed for.
int truncated_grey(double y) { return std::clamp(int(y + 1e-9), 0, 255); }

// Red's, green's and blue's share of the grey in modes 1..4; mode 4 weighs
// the gamma-encoded channels.
constexpr double GREY_WEIGHTS[4][3] = {
    {0.299, 0.587, 0.114}, {0.333, 0.334, 0.333}, {0.2126, 0.7152, 0.0722}, {0.2126, 0.7152, 0.0722}};

}  // namespace

double srgb_encode(double x) { return x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1 / 2.4) - 0.055; }

int grey_of(int64_t mode, int r, int g, int b) {
  if (mode < 1 || mode > 4) return r;
  const double* k = GREY_WEIGHTS[mode - 1];
  if (mode == 4)
    return truncated_grey(255 * (k[0] * srgb_encode(r / 255.0) + k[1] * srgb_encode(g / 255.0) +
                                 k[2] * srgb_encode(b / 255.0)));
  return truncated_grey(k[0] * r + k[1] * g + k[2] * b);
}

int64_t slider_value(double x, const rect& box) {
  double v = Brek_runtime::real_div(x - box.x - box.h / 2, box.w - box.h) * 100;
  if (std::isnan(v)) v = 1;
  return int64_t(std::max(std::min(100.0, v), 1.0));
}

double knob_x(double fit, double w, double h) {
  if (!std::isfinite(fit)) fit = 0;
  return (w - h) * std::clamp(fit, 0.0, 100.0) / 100 + h / 2;
}

void align_cell(const point& p, const rect& box, int64_t& column, int64_t& row) {
  auto cell = [](double d, double size) -> int64_t {
    double c = Brek_runtime::real_div(3 * d, size);
    if (!(c >= 1)) return 0;  // NaN too
    return c < 2 ? 1 : 2;
  };
  column = cell(p.x - box.x, box.w);
  row = cell(p.y - box.y, box.h);
}

std::string step_count(const std::string& text, int64_t delta) {
  // Past the largest poster the text would say more than what prints.
  const int64_t v = std::clamp<int64_t>(Brek_runtime::str_to_int(text), -MAX_POSTER_SIDE - 1, MAX_POSTER_SIDE + 1);
  return count_printed(Brek_runtime::int_to_str(v + delta), MAX_POSTER_SIDE);
}

std::string count_printed(const std::string& text, int64_t most) {
  return Brek_runtime::int_to_str(std::clamp<int64_t>(Brek_runtime::str_to_int(text), 1, most));
}

std::string fit_printed(const std::string& text) {
  Poster_texts t;
  t.fit = text;
  // The layout's own hold on the fit: what the preview and the print use.
  const double printed = Poster_geometry(Poster_layout::options_of(t), rect{}, POINTS_PER_MM).options.fit;
  if (Poster_layout::typed_number(text) == printed) return text;
  return Brek_runtime::int_to_str(Brek_runtime::round_to_int64_checked(printed));
}

std::string job_title(const std::string& word, int64_t columns, int64_t rows, int64_t cards) {
  using Brek_runtime::int_to_str;
  return word + " " + int_to_str(columns) + " x " + int_to_str(rows) + " (" + int_to_str(cards) + ")";
}

std::string paper_not_read(const std::string& typed) {
  return "The paper \"" + typed +
         "\" cannot be read: write its width and height in centimetres after its name, as in \"Card 10 x 15\" "
         "(at most " + Brek_runtime::int_to_str(int64_t(MAX_PAPER_MM / 10)) + " each)";
}

int64_t printer_position(const std::string& names, const std::string& chosen) {
  const std::string want = NATIVE_String_functions::trim(chosen);
  DynAStr pieces = NATIVE_String_functions::split(names, "\r");
  for (int64_t i = 0; i < pieces.count(); ++i)
    if (NATIVE_String_functions::trim(pieces.get(i)) == want) return i;
  return -1;
}

}  // namespace Print_dialog_rules

namespace R = Print_dialog_rules;

namespace {

constexpr const char* INCDEC_GLYPH = "20R30DFL40BR80BR40UN BR150 BRDF40BR80BR40";

}  // namespace

Ref<C_Print_dialog> C_Print_dialog::create() { return make<C_Print_dialog>(); }

std::string C_Print_dialog::show_for(const Ref<C_Edit_collage_print>& editor) {
  if (editor.is_none()) return {};
  Ref<C_Print_dialog> d = ref_cast<C_Print_dialog>(editor->print_dialog);
  if (d.is_none()) {
    d = create();
    d->editor = Weak<C_Edit_collage_print>(editor);
    d->build_controls();
    editor->print_dialog = d;
  }
  return d->show_modal(editor);
}

void C_Print_dialog::build_controls() {
  if (is_none()) return;
  Ref<C_Form> self(this);
  auto label = [&](const char* text) { C_Label::new_on_form(self, text); };
  auto spacer = [&](const char* name, double w, double h) {
    Ref<C_Paintbox> b = C_Paintbox::new_paintbox(self, name, "");
    if (w > 0) b->set_width(w);
    if (h > 0) b->set_height(h);
    return b;
  };
  auto stepper = [&](const char* name, const char* halves) {
    Ref<C_Paint_turtle> t = C_Paint_turtle::new_turtle(self, name, INCDEC_GLYPH);
    t->set_glyphs(halves);
    t->set_size_request(30, 18);
    return t;
  };

  begin_update();
  set_caption(L::text(T::PrintCollage));

  St_sizes_col__C_Form options_sizes;
  options_sizes.size = 160;
  options_sizes.extent = 90;
  new_column("COL_OPTIONS", layout_on_form::LEFT, options_sizes);
  label("Paper:");
  paintbox_1 = spacer("PAINTBOX_1", 0, 10);
  paper = C_Combo::create(self, "PAPER", R::PAPERS);
  label("Layout:");
  layout = C_Combo::create(self, "LAYOUT", "Portrait\r\nLandscape");
  label("Rows:");
  rows = C_Edit::create(self, "ROWS", "N");
  rows->set_text("1");
  b_incdec_rows = stepper("B_INCDEC_ROWS", "DECR_ROWS,INCR_ROWS");
  label("Columns:");
  columns = C_Edit::create(self, "COLUMNS", "N");
  columns->set_text("1");
  b_incdec_cols = stepper("B_INCDEC_COLS", "DECR_COLS,INCR_COLS");
  label("Fit:");
  fit = C_Edit::create(self, "FIT", "N");
  fit->set_text("100");
  fit_box = spacer("FIT_BOX", 0, 20);
  label("Align:");
  align_box = spacer("ALIGN_BOX", 0, 60);
  paintbox_3 = spacer("PAINTBOX_3", 0, 10);
  label("Overlaps:");
  overlaps = C_Edit::create(self, "OVERLAPS", "N");
  overlaps->set_text("10");
  cut_lines = C_Checkbox::new_on_form(self, "CUT_LINES", "Cut lines on overlap bands");
  cut_lines->set_checked(true);
  label("Margin top:");
  margin_top = C_Edit::create(self, "MARGIN_TOP", "N");
  margin_top->set_text("20");
  label("Mergin left:");
  margin_left = C_Edit::create(self, "MARGIN_LEFT", "N");
  margin_left->set_text("20");
  label("Margin right:");
  margin_right = C_Edit::create(self, "MARGIN_RIGHT", "N");
  margin_right->set_text("20");
  label("Margin bottom:");
  margin_bottom = C_Edit::create(self, "MARGIN_BOTTOM", "N");
  margin_bottom->set_text("20");
  label("Drawing:");
  paintbox_4 = spacer("PAINTBOX_4", 0, 10);
  drawing_mode = C_Combo::create(self, "DRAWING_MODE", R::DRAWING_MODES);
  as_images = C_Checkbox::new_on_form(self, "AS_IMAGES", L::text(T::As_images));
  b_reset = C_Button::new_on_form(self, "B_RESET", "Reset options to default");

  new_column("COL_2", layout_on_form::BOTTOM, St_sizes_col__C_Form());
  set_controls_layout("COL_2", controls_layout::CONTROLS_LEFT_LAST_RIGHT);
  label("Copies:");
  copies = C_Edit::create(self, "COPIES", "N");
  copies->set_text("1");
  paintbox_2 = spacer("PAINTBOX_2", 10, 0);
  label("Printer:");
  printer_list = C_Combo::create(self, "PRINTER", "");
  printer_list->set_width(190);
  b_print = C_Button::new_on_form(self, "B_PRINT", "Print");
  cancel = C_Button::new_on_form(self, "CANCEL", "Close [ESC]");
  cancel->set_cancel();
  // B_PRINT waits for a printer to be chosen.
  layout_lists[0].append(Ref<C_Control>(b_print));

  new_column("COL_1", layout_on_form::CENTER, St_sizes_col__C_Form());
  preview = C_Paintbox::new_paintbox(self, "PREVIEW", "");
  preview->set_stretch(true);

  pdf_file = C_Dialog_file::create_save(self, "PDF_FILE");
  pdf_file->filter = "PDF files|*.pdf";
  pdf_file->default_ext = "pdf";

  paper->set_item_index(0);
  layout->set_item_index(0);
  drawing_mode->set_item_index(0);
  end_update();
  // The options grow to their texts, the window with them.
  set_size(sizing_options::FIT_TO_DISPLAY, 430, 600 + widen_options_to_texts());
}

double C_Print_dialog::widen_options_to_texts() {
  double grow = 0;
  auto need = [&](const Ref<C_Control>& c, const std::string& text) {
    grow = std::max(grow, c->width_for_text(text) - c->get_width());
  };
  for (const Ref<C_Combo>& c : {paper, layout, drawing_mode})
    for (int64_t i = 0; i < c->line_count(); ++i) need(c, c->get_line(i));
  // The counts beside their steppers, up to the largest poster.
  for (const Ref<C_Edit>& e : {rows, columns, fit}) need(e, Brek_runtime::int_to_str(MAX_POSTER_SIDE));
  for (const Ref<C_Control>& c : std::vector<Ref<C_Control>>{cut_lines, as_images, b_reset}) need(c, c->get_text());
  grow = std::ceil(grow);
  if (grow > 0) set_column_width("COL_OPTIONS", get_column_width("COL_OPTIONS") + grow);
  return grow;
}

void C_Print_dialog::destroy_hook() {
  if (!is_none()) {
    for (Ref<C_Paintbox>* b : {&paintbox_1, &paintbox_2, &paintbox_3, &paintbox_4, &fit_box, &align_box, &preview})
      b->reset();
    paper.reset();
    layout.reset();
    drawing_mode.reset();
    printer_list.reset();
    for (Ref<C_Edit>* e : {&rows, &columns, &fit, &overlaps, &margin_top, &margin_left, &margin_right,
                           &margin_bottom, &copies})
      e->reset();
    b_incdec_rows.reset();
    b_incdec_cols.reset();
    cut_lines.reset();
    as_images.reset();
    b_reset.reset();
    b_print.reset();
    cancel.reset();
    pdf_file.reset();
    editor.reset();
    printer.reset();
  }
  C_Dialog_common::destroy_hook();
}

Ref<C_Edit_collage_print> C_Print_dialog::live_editor() const { return editor.lock(); }

// ---- printers ---------------------------------------------------------------

void C_Print_dialog::load_printers() {
  if (is_none()) return;
  if (printer.is_none()) printer = C_Printer::create();
  printer_list->set_items(L::text(T::default_printer) + "\r\n" + printer->printer_names());
  Ref<C_Config> config = C_Config::open_read(R::CONFIG_APPLICATION, area_where_configuration_is_stored::USER,
                                             R::CONFIG_SECTION);
  const std::string saved = config->read_string(R::CONFIG_PRINTER_NAME);
  int64_t index = 0;
  if (!saved.empty()) index = std::max<int64_t>(printer_list->index_of(saved), 0);
  printer_list->set_item_index(index);
}

void C_Print_dialog::save_printer_name() {
  if (is_none()) return;
  // Not remembering the printer is no reason to refuse the print: told
  // once, as every settings write is.
  Settings_writes::run(Ref<C_Form>(this), [&] {
    Ref<C_Config> config = C_Config::open_write(R::CONFIG_APPLICATION, area_where_configuration_is_stored::USER,
                                                R::CONFIG_SECTION);
    config->write_string(R::CONFIG_PRINTER_NAME, printer_list->get_text());
  });
}

// ---- the print job -------------------------------------------------------------

bool C_Print_dialog::print() {
  if (is_none()) return false;
  Ref<C_Print_dialog> self(this);

  Ref<C_Report_print_pages> report = C_Report_print_pages::create();
  struct Release {
    Ref<C_Report_print_pages>& r;
    ~Release() { dispose_now(r); }
  } release{report};
  report->dialog = Weak<Brek_object>(Ref<Brek_object>(self));
  // The title names the poster that prints (counts held as the layout
  // holds them).
  Poster_geometry g(poster_options(), rect{}, POINTS_PER_MM);
  report->title = R::job_title(L::text(T::Collage_title), g.columns, g.rows, poster_card_count());
  // The counts show the sheets that print (an empty count prints one).
  for (const auto& [count, value] : {std::pair{rows, g.rows}, std::pair{columns, g.columns}})
    if (count->get_text() != Brek_runtime::int_to_str(value)) count->set_text(Brek_runtime::int_to_str(value));
  // What prints is the paper the field shows, or nothing.
  if (!Poster_layout::readable_paper(g.options.paper_mm)) {
    message(R::paper_not_read(paper->edit_text()));
    return false;
  }
  if (!g.has_room()) {
    message(R::NO_ROOM);
    return false;
  }
  // A card without its picture would leave empty paper behind a job that
  // reports success: the user decides first.
  const std::string unreadable = unreadable_cards();
  if (!unreadable.empty() && !ask(std::string(R::UNREADABLE_CARDS) + "\n" + unreadable)) return false;

  printer = C_Printer::create();
  const int64_t chosen = printer_list->item_index();
  if (chosen <= 0) {
    printer->select_printer(-1);
  } else {
    const int64_t j = R::printer_position(printer->printer_names(), printer_list->get_text());
    if (j < 0) {
      message(L::text(T::please_reselect));
      load_printers();
      return false;
    }
    printer->select_printer(j);
  }
  const bool to_pdf = printer->printer_name() == brek_platform::PRINT_TO_PDF;
  if (to_pdf) {
    pdf_file->file_name = report->title + ".pdf";
    // Asked for where the user put the last one, never in whatever folder
    // the program was started from.
    // A folder whose mount does not answer counts as none.
    pdf_file->initial_dir = Bounded_ask::existing_folder_or({last_pdf_folder}, brek_platform::documents_folder());
    if (!pdf_file->execute()) return false;
    printer->set_output_file(pdf_file->file_name);
  }

  const std::string copies_printed = R::count_printed(copies->get_text(), C_Printer::MAX_COPIES);
  if (copies->get_text() != copies_printed) copies->set_text(copies_printed);
  const int64_t n = Brek_runtime::str_to_int(copies_printed);
  bool printed = false, failed = false;
  std::string why;
  {
    // The dialog takes no input while its job runs: a key or click would
    // close it or start another job half way (the long-operation window
    // takes the input once it shows).
    struct Held {
      int64_t form;
      ~Held() { C_Brek_form::set_form_enabled(form, true); }
    } held{native};
    C_Brek_form::set_form_enabled(native, false);
    try {
      report->prepare();
      printer->print_report(report, n);
      printed = true;
    } catch (const Stop_exception&) {
      // Cancelled in the long-operation window: nothing printed, as the
      // user asked; nothing to tell.
    } catch (const std::exception& e) {
      failed = true;
      why = e.what();
    }
  }
  // The job's own failures are the user's to read, not the log's.
  if (failed) message(why);
  if (!printed) return false;
  if (to_pdf) last_pdf_folder = File_path::directory_of(printer->written_file());
  // Only a printer that printed is worth choosing again.
  save_printer_name();
  const std::string notice = printer->notice();
  if (!notice.empty()) message(notice);
  return true;
}

// ---- options ----------------------------------------------------------------

void C_Print_dialog::reset_options() {
  if (is_none()) return;
  paper->set_item_index(0);
  layout->set_item_index(0);
  rows->set_text("1");
  columns->set_text("1");
  fit->set_text("100");
  align_column = 0;
  align_row = 0;
  overlaps->set_text("10");
  cut_lines->set_checked(true);
  for (const Ref<C_Edit>& m : {margin_top, margin_left, margin_right, margin_bottom}) m->set_text("10");
  align_box->invalidate_all();
  fit_box->invalidate_all();
  repaint_preview();
}

Poster_options C_Print_dialog::poster_options() {
  Poster_texts t;
  if (is_none()) return Poster_layout::options_of(t);
  // A typed paper is read as the listed ones are.
  t.paper = paper->edit_text();
  t.layout = layout->item_index();
  t.rows = rows->get_text();
  t.columns = columns->get_text();
  t.fit = fit->get_text();
  t.overlaps = overlaps->get_text();
  t.margin_left = margin_left->get_text();
  t.margin_right = margin_right->get_text();
  t.margin_top = margin_top->get_text();
  t.margin_bottom = margin_bottom->get_text();
  t.cut_lines = cut_lines->get_checked();
  t.drawing_mode = std::clamp<int64_t>(drawing_mode->item_index(), 0, 4);
  t.align_column = align_column;
  t.align_row = align_row;
  return Poster_layout::options_of(t);
}

// ---- cards ------------------------------------------------------------------

int64_t C_Print_dialog::poster_card_count() {
  Ref<C_Edit_collage_print> ed = live_editor();
  return ed.is_none() ? 0 : ed->cards.count();
}

rect C_Print_dialog::poster_card_rect(int64_t i) { return live_editor()->cards.get(i).rect; }

Ref<C_Bitmap> C_Print_dialog::poster_card_bitmap(int64_t i, int64_t mode, int64_t width, int64_t height) {
  Ref<C_Edit_collage_print> ed = live_editor();
  if (ed.is_none() || i < 0 || i >= ed->cards.count()) return Ref<C_Bitmap>();
  Ref<C_Bitmap> picture = ed->card_picture(ed->cards.get(i).image.lock());
  if (mode < 1 || mode > 4) return picture;
  if (picture.is_none()) return Ref<C_Bitmap>();
  // The grey copy has the size the card is drawn at, never more than the
  // picture's: a grey twin of every whole photograph would double what a
  // preview holds.
  const int64_t w = width > 0 ? std::min(width, picture->width) : picture->width;
  const int64_t h = height > 0 ? std::min(height, picture->height) : picture->height;
  // Converted bitmaps of another mode are never shown for this one.
  if (mode != rendered_mode_) {
    reset_rendered();
    rendered_mode_ = mode;
  }
  St_card__C_Edit_collage_print* card = ed->cards.at(i);
  Ref<C_Bitmap> rendered = card->bitmap.lock();
  if (!rendered.is_none() && rendered->width == w && rendered->height == h) return rendered;
  if (!rendered.is_none()) Brek_runtime::dyn_obj_remove_all(ed->bitmaps, rendered);
  rendered = to_grayscale(picture, mode, w, h);
  ed->bitmaps.append(rendered);
  card->bitmap = Weak<C_Bitmap>(rendered);
  return rendered;
}

std::string C_Print_dialog::unreadable_cards() {
  Ref<C_Edit_collage_print> ed = live_editor();
  std::string names;
  if (ed.is_none()) return names;
  for (int64_t i = 0; i < ed->cards.count(); ++i) {
    const Ref<C_Image> image = ed->cards.get(i).image.lock();
    if (!ed->card_picture(image).is_none()) continue;
    names += "\n" + (image.is_none() ? std::string("?") : image->file_name);
    // Why, where the load said it: "photo.jpg (truncated)".
    const std::string why = image->load_failure();
    if (!why.empty()) names += " (" + why + ")";
  }
  return names;
}

void C_Print_dialog::reset_rendered() {
  Ref<C_Edit_collage_print> ed = live_editor();
  if (ed.is_none()) return;
  for (int64_t i = 0; i < ed->cards.count(); ++i) ed->cards.at(i)->bitmap.reset();
  ed->bitmaps.clear();
}

Ref<C_Bitmap> C_Print_dialog::to_grayscale(const Ref<C_Bitmap>& source, int64_t mode, int64_t width,
                                            int64_t height, const rect& part) {
  if (source.is_none() || source->width <= 0 || source->height <= 0) return Ref<C_Bitmap>();
  const rect from = part.w > 0 && part.h > 0 ? part : rect{0, 0, double(source->width), double(source->height)};
  const int64_t w = width > 0 ? width : int64_t(from.w), h = height > 0 ? height : int64_t(from.h);
  Ref<C_Bitmap> out = C_Bitmap::create(w, h, 24);
  {
    Ref<C_Canvas> c = out->canvas();
    c->units = units_measure_graphics::PIXELS;
    // Transparent parts of a picture stay paper white, as in colour.
    c->brush_color = COLOR_WHITE;
    c->clear();
    // The source is drawn so far up and left that the part fills the copy:
    // only the pixels behind it are read.
    const double sx = double(w) / from.w, sy = double(h) / from.h;
    if (sx == 1 && sy == 1)
      source->draw_at(c, point{-from.x, -from.y});
    else
      source->stretch_draw(c, rect{-from.x * sx, -from.y * sy, source->width * sx, source->height * sy});
  }
  // The pixels are turned grey where they lie: rows lent in another layout
  // would hold the picture twice.
  Pixels* px = out->pixels();
  if (!px || px->width() != w || px->height() != h) return Ref<C_Bitmap>();
  if (mode < 1 || mode > 4) return out;
  // Each channel's share of the grey, made once: the same products in the
  // same order as grey_of, so the sums are the same to the last bit.
  const double* k = R::GREY_WEIGHTS[mode - 1];
  double wr[256], wg[256], wb[256];
  for (int v = 0; v < 256; ++v) {
    const double e = mode == 4 ? R::srgb_encode(v / 255.0) : v;
    wr[v] = k[0] * e, wg[v] = k[1] * e, wb[v] = k[2] * e;
  }
  const double outer = mode == 4 ? 255 : 1;
  for (int y = 0; y < px->height(); ++y) {
    uint32_t* row = px->row(y);
    for (int x = 0; x < px->width(); ++x) {
      const uint32_t p = row[x];
      const double sum = wr[Pixels::red(p)] + wg[Pixels::green(p)] + wb[Pixels::blue(p)];
      const uint8_t g = uint8_t(R::truncated_grey(outer * sum));
      row[x] = Pixels::bgra(g, g, g);
    }
    Brek_runtime::loop_tick();
  }
  return out;
}

// ---- events -----------------------------------------------------------------

std::string C_Print_dialog::show_modal(const Ref<C_Form>& owner) {
  if (is_none()) return {};
  // Each run lists the printers as they are now.
  if (!in_modal_loop()) {
    printer = C_Printer::create();
    load_printers();
    repaint_preview();
  }
  return C_Dialog_common::show_modal(owner);
}

void C_Print_dialog::on_click() {
  if (is_none()) return;
  const std::string name = event_control_name();
  if (name == "B_RESET") {
    reset_options();
  } else if (name == "B_PRINT") {
    print();
  } else {
    C_Dialog_common::on_click();
  }
}

void C_Print_dialog::on_mouse_down() {
  if (is_none()) return;
  C_Dialog_common::on_mouse_down();
  const Ref<C_Control> c = current_control();
  const point at = mouse_position();
  // The steppers act on the press: a glyph button gives no click.
  if (c.get() == b_incdec_rows.get() || c.get() == b_incdec_cols.get()) {
    const std::string& key = ref_cast<C_Paint_turtle>(c)->pressed_glyph;
    if (key == "DECR_ROWS") rows->set_text(R::step_count(rows->get_text(), -1));
    if (key == "INCR_ROWS") rows->set_text(R::step_count(rows->get_text(), 1));
    if (key == "DECR_COLS") columns->set_text(R::step_count(columns->get_text(), -1));
    if (key == "INCR_COLS") columns->set_text(R::step_count(columns->get_text(), 1));
    repaint_preview();
    return;
  }
  const rect align = align_box->get_bounds();
  if (C_Geometry::point_in_rect(align, at)) {
    int64_t col = 0, row = 0;
    R::align_cell(at, align, col, row);
    align_column = int32_t(col);
    align_row = int32_t(row);
    repaint_preview();
    align_box->invalidate_all();
    return;
  }
  if (C_Geometry::point_in_rect(fit_box->get_bounds(), at)) {
    dragging_fit = 1;
    slide_fit(at);
  }
}

void C_Print_dialog::on_mouse_move() {
  if (is_none()) return;
  C_Dialog_common::on_mouse_move();
  if (dragging_fit) slide_fit(mouse_position());
}

void C_Print_dialog::on_mouse_up() {
  if (is_none()) return;
  C_Dialog_common::on_mouse_up();
  dragging_fit = 0;
}

void C_Print_dialog::slide_fit(const point& at) {
  const std::string v = Brek_runtime::int_to_str(R::slider_value(at.x, fit_box->get_bounds()));
  if (v == fit->get_text()) return;
  const uint8_t was = setting_fit;
  setting_fit = 1;
  struct Back {
    uint8_t& flag;
    uint8_t was;
    ~Back() { flag = was; }
  } back{setting_fit, was};
  fit->set_text(v);
  repaint_preview();
  fit_box->invalidate_all();
}

void C_Print_dialog::on_paint() {
  if (is_none()) return;
  const std::string name = event_control_name();
  if (name == "PREVIEW") {
    paint_preview();
  } else if (name == "FIT_BOX") {
    paint_fit_box();
  } else if (name == "ALIGN_BOX") {
    paint_align_box();
  } else {
    C_Dialog_common::on_paint();
  }
}

void C_Print_dialog::on_exit() {
  if (is_none()) return;
  C_Dialog_common::on_exit();
  const std::string name = event_control_name();
  for (const auto& [count, most] : {std::pair{rows, MAX_POSTER_SIDE}, std::pair{columns, MAX_POSTER_SIDE},
                                    std::pair{copies, C_Printer::MAX_COPIES}}) {
    if (count.is_none() || name != count->name) continue;
    const std::string printed = R::count_printed(count->get_text(), most);
    if (count->get_text() != printed) count->set_text(printed);
  }
  if (name == fit->name) {
    const std::string printed = R::fit_printed(fit->get_text());
    if (fit->get_text() != printed) fit->set_text(printed);
  }
}

void C_Print_dialog::on_change() {
  if (is_none()) return;
  C_Dialog_common::on_change();
  const std::string name = event_control_name();
  if (name == "AS_IMAGES") {
    repaint_preview();
    return;
  }
  static const char* const options[] = {"PAPER",       "ROWS",         "COLUMNS",      "FIT",
                                        "OVERLAPS",    "CUT_LINES",    "MARGIN_TOP",   "MARGIN_LEFT",
                                        "MARGIN_RIGHT", "MARGIN_BOTTOM"};
  // A count typed past the largest poster shows the largest, which prints.
  for (const Ref<C_Edit>& count : {rows, columns})
    if (name == count->name && Brek_runtime::str_to_int(count->get_text()) > MAX_POSTER_SIDE)
      count->set_text(Brek_runtime::int_to_str(MAX_POSTER_SIDE));
  for (const char* o : options)
    if (name == o) {
      if (!setting_fit) repaint_preview();
      if (name == "FIT") fit_box->invalidate_all();
      return;
    }
}

void C_Print_dialog::on_select() {
  if (is_none()) return;
  C_Dialog_common::on_select();
  const std::string name = event_control_name();
  if (name == "DRAWING_MODE") {
    repaint_preview();
    reset_rendered();
  } else if (name == "PAPER" || name == "LAYOUT") {
    repaint_preview();
  }
}

bool C_Print_dialog::control_query() {
  if (is_none()) return false;
  const Ref<C_Control> c = current_control();
  if (c.get() == b_print.get()) return printer_list->item_index() < 0;
  return C_Dialog_common::control_query();
}

}  // namespace brek
