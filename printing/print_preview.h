#pragma once
// The print preview: every sheet of the poster side by side on a grey
// ground, each with its shadow and the cards that fall on it, as grey boxes
// or as the pictures themselves in the chosen drawing mode. It applies the
// poster layout (printing/poster_layout.h) to the size of the preview
// instead of the paper, reading options and cards from a Poster_source as
// the printed report does. Cut lines are not shown.

#include <cstdint>
#include <vector>

#include "baselib/geometry.h"
#include "drawing/colors.h"
#include "printing/report_print_pages.h"

namespace brek {

class C_Bitmap;
class C_Canvas;

namespace Print_preview {

// Between and around the sheets, points, unless that would leave the
// sheets of a large poster no room; the shadow lies half of it off.
inline constexpr double GAP = 10;
inline constexpr Color BACKGROUND = Colors::from_bits(0xFFC0C0C0u);
inline constexpr Color SHADOW = Colors::from_bits(0xFF404040u);
inline constexpr Color SHEET = COLOR_WHITE;
inline constexpr Color CARD_BOX = Colors::from_bits(0x7FC0C0C0u);

// Where the sheets of a poster go in a preview.
struct Sheets {
  point paper_cm;  // one sheet, turned for landscape
  int64_t columns = 1, rows = 1;
  double gap = GAP;  // between and around the sheets
  double scale = 0;  // preview points per centimetre of paper
  // Sheet (column, row), preview points.
  rect sheet(int64_t column, int64_t row) const;
};

// The sheets of the options' poster in a preview of `size` points: the
// room left by the gaps, cut to the poster's proportions. The gaps take
// at most a fifth of the preview, so every sheet of the largest poster
// shows.
Sheets sheets_of(const Poster_options& options, const point& size);

// Copies of the cards' pictures reduced to the preview's size. A card in
// the preview is never larger than the preview, so a copy that fits it
// serves every repaint, and the photographs are not scaled whole again
// each time an option moves.
struct Preview_copy {
  Weak<C_Bitmap> source;
  int64_t source_width = 0, source_height = 0;
  Ref<C_Bitmap> copy;
  bool used = false;
};
struct Preview_copies {
  std::vector<Preview_copy> entries;
};

// What to draw for `source` in a preview of at most max_width x
// max_height pixels: the source itself when it fits or has transparency,
// else its reduced copy, made on first need.
Ref<C_Bitmap> reduced(Preview_copies& copies, const Ref<C_Bitmap>& source, int64_t max_width, int64_t max_height);
// What to draw for `source` as a card of width x height pixels: its copy
// at exactly that size, so repaints draw it unscaled; `reduced` when the
// card is not smaller than the source or larger than the preview.
Ref<C_Bitmap> card_copy(Preview_copies& copies, const Ref<C_Bitmap>& source, int64_t width, int64_t height,
                        int64_t max_width, int64_t max_height);

// Paints the source's poster on a canvas (points) of `size`; as_images
// draws the cards' bitmaps of the drawing mode instead of boxes, from the
// reduced copies when `copies` is given (copies not drawn are let go).
void paint(const Ref<C_Canvas>& canvas, const point& size, Poster_source& source, bool as_images,
           Preview_copies* copies = nullptr);

}  // namespace Print_preview

}  // namespace brek
