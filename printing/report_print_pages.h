#pragma once
// The report that prints the collage of the print editor as a poster: the
// cards scaled as one block and spread over rows by columns of sheets with
// margins, overlap bands and cut lines (printing/poster_layout.h). It reads
// its options, cards and their pictures from the window that set it up,
// through Poster_source, once, when it builds its pages: every page of a
// job shows that one state of the collage, whatever changes meanwhile.
//
// Cards never cover the margins (Poster_geometry::inside_margins, shared
// with the preview, which clips to them): a page draws only the part of a
// card inside them (draw_card), so it carries no more of a large picture
// than it shows; a grey mode turns only that part grey, at the size it
// prints (to_grayscale), so a card over many sheets is converted about
// once.

#include <cstdint>
#include <vector>

#include "baselib/geometry.h"
#include "printing/poster_layout.h"
#include "printing/report.h"

namespace brek {

class C_Bitmap;

// What a poster report reads from the window that prints (the print
// dialog implements it beside its form class). Cards are listed in drawing
// order: the first is drawn first, later ones over it.
class Poster_source {
 public:
  virtual ~Poster_source() = default;
  // The options as the window's controls say them now.
  virtual Poster_options poster_options() = 0;
  virtual int64_t poster_card_count() = 0;
  // Card i's rectangle on the editor's sheet (sheet units).
  virtual rect poster_card_rect(int64_t i) = 0;
  // What to draw for card i in the drawing mode, where it covers width x
  // height pixels of the target (0: not known): its picture, or the
  // animation's current frame, for mode 0, whatever the size; a converted
  // copy otherwise, which need not be larger than that (the preview's,
  // kept for its repaints). The None bitmap when there is nothing to show.
  // Printed pages take the pictures and turn only what a sheet shows grey.
  virtual Ref<C_Bitmap> poster_card_bitmap(int64_t i, int64_t drawing_mode, int64_t width, int64_t height) = 0;
};

class C_Report_print_pages : public C_Report {
  BREK_CLASS(C_Report_print_pages)
 public:
  // The window that prints; read through Poster_source when the pages are
  // built (nothing is drawn but white pages while it is None or does not
  // implement it).
  Weak<Brek_object> dialog;
  point paper_size;  // the sheet in points, turned for landscape
  double overlap_mm = 0;
  double overlap = 0;  // one band in canvas units, for the page being drawn
  int64_t columns = 1;
  int64_t rows = 1;
  int64_t page_column = 0;
  int64_t page_row = 0;

  static Ref<C_Report_print_pages> create();
  void destroy_hook() override;

  // Reads paper, layout, margins, overlap, the poster's rows and columns,
  // the cards and their pictures, and makes one page per sheet.
  void read_options();
  // Draws sheet p of the poster from what read_options read.
  void draw_page(int64_t page) override;

  // The printable rectangle of the sheet at `cell` (column, row) of a
  // poster of `grid` (columns, rows), with the report's margins.
  rect page_rect(const point& grid, const point& cell, double band, double unit, const rect& paper) const;
  // Draws the cards that meet `window` with the union box starting at
  // `origin` and `scale` canvas units per sheet unit, then the cut lines
  // of the printable part `printable` when a card was drawn.
  void draw_part(const rect& printable, const rect& window, const point& origin, double scale);

 protected:
  void build_pages() override { read_options(); }

 private:
  // What prints, as read_options read it: the options as the layout holds
  // them, the cards' rectangles and pictures (None where a card has
  // none), and their union box.
  Poster_options options_;
  std::vector<rect> cards_;
  std::vector<Ref<C_Bitmap>> pictures_;
  rect union_box_;
};

}  // namespace brek
