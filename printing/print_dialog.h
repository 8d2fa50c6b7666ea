#pragma once
// C_Print_dialog: where the user sets up the printing of the collage
// editor's cards: paper and layout, a poster of rows by columns of sheets,
// the fit and alignment of the cards, overlap bands with optional cut
// lines, margins, colour or grey drawing, copies and the printer. The
// preview (printing/print_preview.h) follows every change; "Print" builds a
// poster report (printing/report_print_pages.h) and prints it as one
// document.
//
// The options live only in the controls; the report and the preview read
// them through Poster_source while they lay out and draw. Only the name of
// the printer of the last print that worked is remembered ("Printer_name"
// under "Ostrel6", section "Print").
//
// "Print" shows every failure and a paused queue's notice, and asks again
// for a printer that is gone. It refuses margins that leave no room
// (has_room) and a paper it cannot read (readable_paper: PAPER is what its
// field shows, edit_text); cards whose pictures cannot be had print only if
// the user agrees. A cancelled PDF name prints nothing, a Cancel of the job
// tells nothing; PDFs are asked for in last_pdf_folder, else the documents
// folder (also when the mount of last_pdf_folder does not answer).

#include <cstdint>
#include <string>

#include "baselib/geometry.h"
#include "drawing/dialog_common.h"
#include "printing/print_preview.h"
#include "printing/report_print_pages.h"

namespace brek {

class C_Bitmap;
class C_Button;
class C_Checkbox;
class C_Combo;
class C_Dialog_file;
class C_Edit;
class C_Edit_collage_print;
class C_Paint_turtle;
class C_Paintbox;
class C_Printer;

// Declared with the dialog; none of its operations uses them.
struct hsv_standard {
  double h = 0, s = 0, v = 0;
};
struct hsl_hue_saturation_lightness {
  double h = 0, s = 0, l = 0;
};

namespace Print_dialog_rules {

// The papers offered, one line each: name, width "x" height in cm.
extern const char* const PAPERS;
extern const char* const DRAWING_MODES;
// Where the remembered printer lives.
inline constexpr const char* CONFIG_APPLICATION = "Ostrel6";
inline constexpr const char* CONFIG_SECTION = "Print";
inline constexpr const char* CONFIG_PRINTER_NAME = "Printer_name";

// Said instead of printing blank paper.
inline constexpr const char* NO_ROOM = "The margins leave no room on the paper";
// Said of a typed paper that gives no size to print on.
std::string paper_not_read(const std::string& typed);
// Asked before cards whose pictures cannot be read print as empty paper;
// their file names follow, one a line, each with the reason its load gave.
inline constexpr const char* UNREADABLE_CARDS =
    "These pictures cannot be read and would print as empty paper. Print anyway?";

// The sRGB transfer applied per channel by the gamma-corrected mode.
double srgb_encode(double x);
// The grey of a pixel in drawing mode 1..4 (0..255, truncated); other
// modes give the red channel back unchanged (no conversion).
int grey_of(int64_t mode, int red, int green, int blue);
// The value the fit slider gives for a pointer at x over a box (form
// points): 1..100.
int64_t slider_value(double x, const rect& box);
// Where the knob of the slider sits for a fit of `fit` percent in a box of
// w x h: its x from the box's left edge.
double knob_x(double fit, double w, double h);
// The alignment cell (0, 1 or 2 on each axis) a press at p selects in a
// box of 3 x 3 cells.
void align_cell(const point& p, const rect& box, int64_t& column, int64_t& row);
// A row or column count stepped by delta (the steppers' halves), held to
// 1 .. MAX_POSTER_SIDE.
std::string step_count(const std::string& text, int64_t delta);
// What a count field's text prints as: its whole number held to 1 .. most.
std::string count_printed(const std::string& text, int64_t most);
// What the fit field's text prints as: the text itself for a percentage of
// 1 .. 100 ("50,5" too), else the end of that range it passed (1 for no
// number).
std::string fit_printed(const std::string& text);
// "Collage 2 x 3 (5)": the title word, columns, rows and cards.
std::string job_title(const std::string& word, int64_t columns, int64_t rows, int64_t cards);
// The position of `chosen` among the CR LF separated printer names (both
// compared without surrounding blanks); -1 when it is not listed.
int64_t printer_position(const std::string& names, const std::string& chosen);

}  // namespace Print_dialog_rules

class C_Print_dialog : public C_Dialog_common, public Poster_source {
  BREK_CLASS(C_Print_dialog)
 public:
  // ---- controls ----
  Ref<C_Paintbox> paintbox_1, paintbox_2, paintbox_3, paintbox_4;  // spacers
  Ref<C_Combo> paper, layout;
  Ref<C_Edit> rows, columns, fit;
  Ref<C_Paint_turtle> b_incdec_rows, b_incdec_cols;
  Ref<C_Paintbox> fit_box, align_box;
  Ref<C_Edit> overlaps;
  Ref<C_Checkbox> cut_lines;
  Ref<C_Edit> margin_top, margin_left, margin_right, margin_bottom;
  Ref<C_Combo> drawing_mode;
  Ref<C_Checkbox> as_images;
  Ref<C_Button> b_reset;
  Ref<C_Edit> copies;
  Ref<C_Combo> printer_list;  // the control PRINTER
  Ref<C_Button> b_print, cancel;
  Ref<C_Paintbox> preview;
  // The PDF file to write, asked for when "Print to PDF file" prints.
  Ref<C_Dialog_file> pdf_file;

  // ---- fields ----
  // The editor whose cards are printed.
  Weak<C_Edit_collage_print> editor;
  int32_t align_column = 0;  // 0 left, 1 centre, 2 right
  int32_t align_row = 0;     // 0 top, 1 centre, 2 bottom
  // Length of one device pixel in points, taken by each preview paint.
  double preview_unit = 0;
  uint8_t dragging_fit = 0;
  // The slider is writing FIT: the option controls' change events wait.
  uint8_t setting_fit = 0;
  Ref<C_Printer> printer;
  // Where the last PDF file was printed to; the next is asked for there.
  std::string last_pdf_folder;

  C_Print_dialog() = default;
  static Ref<C_Print_dialog> create();

  // The editor's "Print": the dialog over the editor, made on first use
  // (kept in the editor's print_dialog) and run modally. Gives the run's
  // result ("" when there is no editor).
  static std::string show_for(const Ref<C_Edit_collage_print>& editor);

  // The controls, the size and the caption.
  void build_controls();
  // Widens the options column so that its controls show their texts whole
  // (every paper, layout and drawing mode, the largest poster side);
  // the points it grew by.
  double widen_options_to_texts();
  void destroy_hook() override;

  // PRINTER lists "Default printer" and the platform's printers; the
  // remembered printer is selected again when it is still listed.
  void load_printers();
  // Remembers PRINTER's text.
  void save_printer_name();
  // The job of "Print": a poster report of the cards on the chosen
  // printer. False when nothing was printed (the printer is gone, the PDF
  // file was not chosen, the job failed: the user is told).
  bool print();
  // The options back to their defaults (drawing mode, preview, copies and
  // printer keep theirs).
  void reset_options();
  // Every card's converted bitmap is dropped, to be made again.
  void reset_rendered();
  // The file names of the cards whose pictures cannot be had, one a line
  // after a line end each, with why in brackets where the load said it;
  // "" when every card has its picture.
  std::string unreadable_cards();

  // The greyscale copy of a bitmap for drawing mode 1..4: a 24-bit bitmap
  // of width x height (0: the part's own), the source's `part` (pixels;
  // empty: the whole) stretched onto it; the None bitmap for None or an
  // empty one.
  static Ref<C_Bitmap> to_grayscale(const Ref<C_Bitmap>& source, int64_t mode, int64_t width = 0,
                                    int64_t height = 0, const rect& part = rect{});

  // ---- Poster_source ----
  Poster_options poster_options() override;
  int64_t poster_card_count() override;
  rect poster_card_rect(int64_t i) override;
  Ref<C_Bitmap> poster_card_bitmap(int64_t i, int64_t mode, int64_t width, int64_t height) override;

  // ---- events ----
  // The printers are listed anew before every run (the dialog's "on
  // shown": it is only ever shown modally).
  std::string show_modal(const Ref<C_Form>& owner) override;
  void on_click() override;
  void on_mouse_move() override;
  void on_mouse_down() override;
  void on_mouse_up() override;
  void on_paint() override;
  bool on_key_down() override { return false; }
  // A count field or the fit left shows what prints.
  void on_exit() override;
  void on_change() override;
  void on_select() override;
  bool control_query() override;

  // ---- painting (print_preview.cpp) ----
  void paint_preview();
  void paint_fit_box();
  void paint_align_box();
  void repaint_preview();

 private:
  // The slider: FIT from the pointer.
  void slide_fit(const point& at);
  Ref<C_Edit_collage_print> live_editor() const;
  // The drawing mode the cards' converted bitmaps were made in.
  int64_t rendered_mode_ = 0;
  // The pictures as the preview draws them.
  Print_preview::Preview_copies preview_copies_;
};

}  // namespace brek
