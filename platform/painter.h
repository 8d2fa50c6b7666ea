#pragma once
// The native drawing layer: shapes, text and pictures drawn in device pixels
// onto a target, with a pen, a brush, a font, a world transform and a clip
// rectangle. Every coordinate here is already a whole device pixel: the
// units, the off-by-one rules and the transform arithmetic live in drawing/.
// No Qt types; platform/qt/painter.cpp implements it.
//
// A halftone stretch box-filters only the source pixels behind the visible
// part, so fitting a large photograph costs what the window shows. On
// pixels in memory the main thread's painter stays open from call to call
// (starting one costs more than most calls draw); frames, outlines, small
// fills and opaque same-size pictures go straight to memory, writing
// exactly the pixels the painter would.
//
// Shape rules are those of the classic desktop drawing interface: a filled
// box (l, t, r, b) covers columns l..r-1 and rows t..b-1, a line leaves out
// its end pixel, arcs run counter-clockwise on the screen from the start
// radial to the end radial, shapes are not antialiased.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace brek_platform {

// Pixels in memory: 32 bits per pixel, bytes B, G, R, A, rows top-down
// `stride` bytes apart. `opaque` pictures carry no alpha: their fourth byte
// is read as 255 and written as 255.
struct Raster {
  uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;
  bool opaque = false;
  bool empty() const { return bits == nullptr || width <= 0 || height <= 0; }
};

// Where drawing goes: pixels in memory, or a device page the platform keeps
// (a printer page, an offscreen page), named by a non-zero handle.
struct Target {
  Raster raster;
  int64_t device = 0;
  bool empty() const { return device == 0 && raster.empty(); }
};

// A world transform: x' = x * m11 + y * m21 + dx, y' = x * m12 + y * m22 + dy.
struct Xform {
  double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
  bool is_identity() const { return m11 == 1 && m12 == 0 && m21 == 0 && m22 == 1 && dx == 0 && dy == 0; }
};

// Brush styles, numbered as the canvas numbers them.
enum class brush_kind { SOLID = 0, CLEAR, HORIZONTAL, VERTICAL, FDIAGONAL, BDIAGONAL, CROSS, DIAGONAL_CROSS };

// The state that every drawing call applies first. Colours are 0x00BBGGRR
// (red in the low byte); only the low 24 bits count.
struct Draw_state {
  uint32_t pen_color = 0;
  int pen_width = 1;  // whole pixels; 0 or 1 draw one pixel wide
  bool pen_clear = false;
  uint32_t brush_color = 0xFFFFFF;
  brush_kind brush = brush_kind::SOLID;
  Xform xform;
  // Clip rectangle in device pixels (not transformed), right and bottom
  // exclusive; none when `clip` is false.
  bool clip = false;
  int clip_left = 0, clip_top = 0, clip_right = 0, clip_bottom = 0;
};

// A font as the drawing calls want it: family name, em height in device
// pixels, style bits bold 1, italic 2, underline 4, strike-out 8.
struct Font_desc {
  std::string name;
  int pixel_size = 13;
  int style = 0;
};

struct Extent {
  int width = 0;
  int height = 0;
};

// How a picture is stretched: nearest pixels, or halftone (a box-filtered
// downscale, smooth upscale).
enum class stretch_mode { PLAIN = 0, HALFTONE };

// ---- painters kept open ---------------------------------------------------------

// Drawing on pixels in memory keeps its painter open from one call to the
// next while the target stays the same; each call starts from a fresh
// state. The painter must end before the pixels go away or are read by
// the window system: release_painter ends it when it draws on any of the
// `bytes` bytes from `bits`, release_painters ends it in any case.
void release_painter(const void* bits, size_t bytes);
void release_painters();

// ---- resolution -------------------------------------------------------------

// The screen's pixels per inch, as the window layer reports it
// (platform/native_forms.h), rounded; 96 when it reports nothing usable.
int screen_dpi();
// The horizontal and vertical resolution of a target: the screen's for
// pixels in memory, the device's own for a device page.
int target_dpi_x(const Target& t);
int target_dpi_y(const Target& t);

// ---- scheme colours ---------------------------------------------------------------

// The current value of a scheme colour, numbered as the drawing layer's
// system_color items (0 ACTIVE_CAPTION .. 24 HIGHLIGHT_TEXT), as 0x00BBGGRR.
uint32_t system_color(int item);

// ---- shapes -------------------------------------------------------------------

// Fills the box with the brush (nothing with a clear brush).
void fill_rect(const Target& t, const Draw_state& s, int left, int top, int right, int bottom);
// A box outlined with the pen and filled with the brush.
void rectangle(const Target& t, const Draw_state& s, int left, int top, int right, int bottom);
// From (x1, y1) to (x2, y2) with the pen, without the end pixel.
void line(const Target& t, const Draw_state& s, int x1, int y1, int x2, int y2);
// The ellipse inscribed in the box, outlined and filled.
void ellipse(const Target& t, const Draw_state& s, int left, int top, int right, int bottom);
// The part of the box's ellipse from the start radial (xs, ys) counter-
// clockwise to the end radial (xe, ye); a pie closes it through the centre
// and fills it. Equal radials give the whole ellipse.
void arc(const Target& t, const Draw_state& s, int left, int top, int right, int bottom, int xs, int ys, int xe,
         int ye, bool pie);
// `count` points (x, y pairs): a filled polygon when closed, else a
// polyline; one point sets a single pixel.
void polygon(const Target& t, const Draw_state& s, const int* xy, int count, bool closed);

// ---- text ----------------------------------------------------------------------

// The text (UTF-8) with its top-left corner at (x, y) in `color`, the
// background showing through.
void text_out(const Target& t, const Draw_state& s, const Font_desc& font, int x, int y, const std::string& text,
              uint32_t color);
// Width and height of the text in device pixels of the target.
Extent text_extent(const Target& t, const Font_desc& font, const std::string& text);

// Native fonts kept for their owners: created from a description, freed
// once; the handle is never 0.
int64_t font_create(const Font_desc& font);
void font_free(int64_t handle);
// Number of fonts alive (leak checks).
int64_t font_count();

// ---- pictures ------------------------------------------------------------------

// Draws the source picture into the box (left, top, right, bottom); the
// source's alpha decides what covers the target unless it is opaque.
// `unscaled` draws at (left, top) at the source's own size.
void draw_picture(const Target& t, const Draw_state& s, const Raster& source, int left, int top, int right,
                  int bottom, bool unscaled, stretch_mode mode);
// Copies the source box onto the target box byte for byte (alpha
// included), stretching with nearest pixels when the sizes differ. The
// source may be the target itself.
void copy_pixels(const Target& t, const Draw_state& s, int left, int top, int right, int bottom,
                 const Raster& source, int sleft, int stop, int sright, int sbottom);

// ---- offscreen pages -----------------------------------------------------------

// A device page in memory with its own resolution, white: what a printer
// page is to the drawing code, for previews and tests. Handle 0 on failure.
int64_t page_create(int width, int height, int dpi_x, int dpi_y);
// The page's pixels (valid until page_free).
Raster page_raster(int64_t page);
void page_free(int64_t page);

// ---- the image clipboard -------------------------------------------------------

// Puts a copy of the picture on the clipboard; false when it cannot be reached.
bool clipboard_set_image(const Raster& picture);
// Whether the clipboard holds an image.
bool clipboard_has_image();
// Reads the clipboard's image: `make` receives its size and returns where
// to write it (bytes B, G, R, A). False when there is no image or `make`
// gave no room.
bool clipboard_get_image(const std::function<Raster(int width, int height)>& make);

}  // namespace brek_platform
