#pragma once
// A small report engine: a list of pages, each with its size, orientation
// and margins in points, and drawing commands (rectangles, lines, texts)
// tagged with the page they belong to. A report draws one page at a time on
// a canvas that the printer device points at the printer's page.
//
// Subclasses build their pages in build_pages (run by prepare) and may draw
// more in draw_page after the inherited drawing.

#include <cstdint>
#include <string>

#include "baselib/geometry.h"
#include "drawing/colors.h"
#include "runtime/dyn_array.h"
#include "runtime/object.h"

namespace brek {

class C_Bitmap;
class C_Canvas;

enum class page_size { A4, A3, A5, CUSTOM_SIZE };
enum class kind_command_to_print { RECT, LINE, TEXT, COUNT };

struct margins_for_cell {
  double left = 0, right = 0, top = 0, bottom = 0;
};

// Declared for a cell-based text layout; no drawing of this program reads
// them.
enum class align_horizontal { LEFT, CENTER, RIGHT };
enum class align_vertical { TOP, CENTER, BOTTOM };
enum class wrap_words_syllabels { NONE, WORDS, SYLLABLES };
enum class align_text { LEFT, CENTER, RIGHT, JUSTIFY };
enum class vertical_align { TOP, MIDDLE, BOTTOM };
enum class move_position_direction { RIGHT, DOWN };

// One cell of a band ("cell_of_band"): its outer and inner rectangle and
// its margins, all zero when created.
struct St_cell__C_Report {
  rect outer;
  rect inner;
  margins_for_cell margins;
};

// One page: its size in portrait terms, whether it is turned, its margins.
struct page_attributes {
  double width = 0;
  double height = 0;
  bool landscape = false;
  margins_for_cell margins;
};

// One drawing command. Style bits of texts: 1 bold, 2 italic, 4 underline,
// 8 strike-out.
struct command_info {
  int64_t page = 0;
  kind_command_to_print kind = kind_command_to_print::RECT;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  double line_width = 0;
  Color color = 0;
  bool no_fill = false;
  bool page_count_text = false;
  int64_t font_index = 0;
  double font_size = 0;  // 1.0 or less draws at 10
  int64_t style = 0;
  int64_t text_index = 0;
};

class C_Report : public Brek_object {
  BREK_CLASS(C_Report)
 public:
  // Sizes of the named paper items, points, portrait.
  static constexpr double A4_WIDTH = 597.6, A4_HEIGHT = 842.4;
  static constexpr double A3_WIDTH = 842.4, A3_HEIGHT = 1188.0;
  static constexpr double A5_WIDTH = 417.6, A5_HEIGHT = 597.6;
  static constexpr double DEFAULT_MARGIN = 28.34;

  std::string title;  // the print job's document title
  DynAStr font_names;  // fonts of the text commands
  // Kept for a cell-based layout: created empty (the reals at 1.0) and left
  // alone by reset; the drawing reads none of them.
  DynAStr strings_2;
  DynArray<St_cell__C_Report> cells;
  DynAStr strings_3;
  double real_1 = 1.0;
  double real_2 = 1.0;
  std::string default_borders = "LRTB";
  std::string default_font = "Arial";
  double default_font_size = 10.0;
  int64_t default_style = 0;
  Color default_color = COLOR_BLACK;
  Color default_background = COLOR_WHITE;
  margins_for_cell cell_margins;
  Ref<C_Canvas> canvas;
  Ref<C_Bitmap> bitmap;

  // The current page: size in portrait terms (page_width() and
  // page_height() give it turned), orientation and margins.
  double portrait_width = 0;
  double portrait_height = 0;
  bool landscape = false;
  margins_for_cell margins;

  DynArray<page_attributes> pages;
  int64_t current_page = 0;
  int64_t page_number = 0;
  point position;  // writing position on the current page
  DynArray<command_info> commands;
  DynAStr texts;  // the texts of the text commands
  double scale = 1.0;  // world scale of every page
  bool keep_transform = false;  // leave the canvas transform as it is
  bool no_turn = false;  // draw landscape pages unturned
  bool no_page_fill = false;  // leave the page as it is instead of white

  static Ref<C_Report> create();
  void init() override;
  void destroy_hook() override;

  // One A4 portrait page with margins of 28.34, no commands.
  void reset();
  // The current page's size from the item (CUSTOM_SIZE: `size`), its
  // orientation, both copied with the margins into its record. With
  // `check`, a writing position beyond the page starts a new page.
  void set_page(page_size item, const point& size, bool check, bool landscape);
  void set_page_layout(bool landscape);
  // The next page, a copy of the last page record.
  void new_page();

  int64_t page_count() const { return pages.count(); }
  bool page_landscape(int64_t page) const { return pages.get(page).landscape; }
  // The record of a page; all zero out of range.
  page_attributes page_record(int64_t page) const { return pages.get(page); }
  // The current page as it is drawn: exchanged for landscape.
  double page_width() const { return landscape ? portrait_height : portrait_width; }
  double page_height() const { return landscape ? portrait_width : portrait_height; }
  double margin_x() const { return landscape ? margins.top : margins.left; }
  double margin_y() const { return landscape ? margins.left : margins.top; }

  void set_canvas(const Ref<C_Canvas>& c);
  // Builds the pages.
  void prepare();
  // Draws one page on the canvas: transform, turn, white page, commands.
  virtual void draw_page(int64_t page);

 protected:
  // Builds the report's pages and commands; nothing in a plain report.
  virtual void build_pages() {}

 private:
  void draw_command(C_Canvas& c, const command_info& cmd);
};

}  // namespace brek
