#pragma once
// C_Edit_collage_print: the collage print editor. The viewer hands it
// images one at a time; each becomes a card, the image and a rectangle on
// an unbounded sheet. The user zooms the sheet, selects, moves, resizes,
// turns, flips, re-orders and aligns the cards with the buttons' menus,
// the keys and the mouse, and prints them through the print dialog.
//
// Sheet units are points at zoom 1; `zoom` maps them to points of the paint
// box: box point = sheet point x zoom - scroll position.
//
// The viewer owns the editor, which holds it weakly. Card images are the
// viewer's own objects; held_ keeps each card's loaded picture, so a card
// never needs its file again, and an image's last card deleted lets it go
// as the viewer's rule says (C_Collage_viewer::release_entry). A turn or
// flip gives a card a new image with a turned copy; the old image drops its
// pictures only if it can read them again from its file, so a pasted
// picture is never lost. Unturned cards are kept scaled to their size on
// the screen, the preview's grey copies at their drawn size.
//
// The files: edit_collage_print.cpp (window, cards, caption),
// _commands.cpp (menus and commands), _input.cpp (mouse, wheel, keys),
// _paint.cpp (the sheet).

#include <cstdint>
#include <string>

#include "baselib/geometry.h"
#include "drawing/form_common.h"
#include "forms/form.h"
#include "runtime/dyn_array.h"
#include "runtime/object.h"

namespace brek {

class C_Bitmap;
class C_Button;
class C_Canvas;
class C_Collage_viewer;
class C_Dialog;
class C_Gif;
class C_Image;
class C_Paintbox;
class C_Timer;

// A card: an image placed on the sheet. Copies share the weak references.
struct St_card__C_Edit_collage_print {
  // The editor's card_counter when the card was made; never reused, kept
  // when the card changes its place in the list.
  int64_t serial = 0;
  // The strong references live in the editor's `images` and `bitmaps`.
  Weak<C_Image> image;
  // The copy the print dialog renders for its grey drawing modes.
  Weak<C_Bitmap> bitmap;
  brek::rect rect;  // sheet units
  double angle = 0;  // degrees about the centre when painted
};

class C_Edit_collage_print : public C_Form_common {
  BREK_CLASS(C_Edit_collage_print)
 public:
  using card = St_card__C_Edit_collage_print;

  // A corner handle and the start of a drag, points of the screen.
  static constexpr double HANDLE_REACH = 3.0;
  static constexpr double DRAG_START = 3.0;
  static constexpr double HANDLE_SIZE = 6.0;
  // One zoom step, and the limits it stops at.
  static constexpr double ZOOM_STEP = 1.1;
  static constexpr double ZOOM_IN_LIMIT = 100.0;
  static constexpr double ZOOM_OUT_LIMIT = 0.01;
  // Wheel scrolling: a notch, the speed, its floor near the middle, and
  // the share of the box above its bottom strip.
  static constexpr double WHEEL_NOTCH = 120.0;
  static constexpr double SCROLL_SPEED = 15000.0;
  static constexpr double SCROLL_FLOOR = 0.001;
  static constexpr double BOTTOM_STRIP = 0.9;
  static constexpr int64_t PRESS_P_MS = 100;
  // Colours of the sheet.
  static constexpr int64_t SHEET_COLOUR = -1;                // white
  static constexpr int64_t FRAME_COLOUR = -16776961;         // 0xFF0000FF, red
  static constexpr int64_t HOVER_COLOUR = -256;              // cyan
  static constexpr int64_t DASH_COLOUR = -65536;             // blue

  C_Edit_collage_print();

  // ---- fields ----
  Ref<C_Paintbox> pbox;
  Ref<C_Button> b_selection, b_print, b_save, b_select, b_add_text, b_zoom;
  Ref<C_Timer> timer_press_p;
  Weak<C_Collage_viewer> viewer;
  int64_t card_counter = 0;
  // One entry for each card that shows the image.
  DynAObj<C_Image> images;
  // Filled and emptied by the print dialog.
  DynAObj<C_Bitmap> bitmaps;
  // Bottom first: the last card is painted on top.
  DynArray<card> cards;
  // Indexes into cards, without duplicates, in the order they were chosen.
  DynAInt selection;
  // The print dialog, made on the first press of "Print".
  Ref<C_Dialog> print_dialog;
  double zoom = 1.0;
  // The last press: form points, button (1 left, 2 right), whether it may
  // start a move.
  point press_point;
  int32_t press_button = 0;
  uint8_t press_on_card = 0;
  uint8_t moving = 0;
  // The selected cards' rectangles at the press, in selection order.
  DynArray<brek::rect> press_rects;
  // The last press without Shift: box point and sheet point.
  point last_point, drag_point;
  // The card whose corner was pressed (-1: none) and the corner:
  // 1 top-left, 2 top-right, 3 bottom-right, 4 bottom-left (the name
  // `handle` is Brek_object's).
  int64_t handle_card = -1;
  uint8_t resizing = 0;
  int64_t handle_corner = 0;

  static Ref<C_Edit_collage_print> create();

  // The viewer's EDIT command: the image becomes a card of the viewer's
  // editor (made on first use, see editor_of), and the window shows.
  static void edit_image(const Ref<C_Collage_viewer>& viewer, const Ref<C_Image>& image);
  // The editor made for the viewer earlier (one of the screen's forms), or
  // a new one: built, with the viewer as its viewer, and disposed with it.
  // None for the None viewer.
  static Ref<C_Edit_collage_print> editor_of(const Ref<C_Collage_viewer>& viewer);
  // Opens the viewer's door to the editor (viewer/print_editor_hook.h);
  // once at start-up.
  static void install();

  // ---- the window and its cards ----
  // The sheet, the buttons, the timer, the size and the caption.
  void build_controls();
  // A new card for the image, placed beside the others, selected alone.
  void add_image(const Ref<C_Image>& image);
  // The caption with the number of cards in brackets.
  void update_caption();
  // Card i, or a card with an empty rectangle and the None image.
  card card_at(int64_t i) const { return cards.get(i); }
  // The size a new card of the image gets, sheet units.
  static point card_size_of(const Ref<C_Image>& image);

  void destroy_hook() override;
  // Closing only hides the window: the cards wait for the next image.
  bool on_close_query() override;

  // ---- commands (edit_collage_print_commands.cpp) ----
  // Runs a command key of the menus; other keys do nothing.
  void run_command(const std::string& key);
  void zoom_in();
  void zoom_out();
  void zoom_reset();
  void select_all();
  void invert_selection();
  void reset_selection();
  void go_next();
  void go_prev();
  void delete_selected();
  // Clockwise by 90 or 270 degrees; the rectangle keeps its corner.
  void turn_selected(int64_t degrees);
  void flip_selected(bool left_right);
  void z_top();
  void z_up();
  void z_down();
  void z_bottom();
  void align_left();
  void align_right();
  void align_top();
  void align_bottom();
  void not_implemented();
  // The print dialog over the editor, made on first use and kept.
  void open_print_dialog();
  // The menus of the three buttons.
  static std::string zoom_menu();
  static std::string select_menu();
  static std::string selection_menu();

  void on_click() override;
  void on_menu_item() override;
  bool control_query() override;

  // ---- input (edit_collage_print_input.cpp) ----
  void on_mouse_down() override;
  void on_mouse_move() override;
  void on_mouse_up() override;
  void on_double_click() override;
  bool on_wheel() override;
  bool on_key_down() override;
  // Letting Shift go takes the rubber band away.
  void on_key_up() override;
  void on_timer() override;
  // The key the editor's table means, with its Shift state (shift comes in
  // as held and goes out as the table reads it): a typed character first,
  // else the key's code, the punctuation keys whose code the key record
  // gives up coming back from their text.
  static int64_t key_code_of(const St_key_info__C_Form& key, bool& shift);

  // ---- coordinates ----
  // Whether a form point lies on the paint box's drawing surface.
  bool in_box(const point& form_point);
  point box_point(const point& form_point);
  point sheet_point(const point& form_point);
  // A sheet point in box points.
  point box_of_sheet(const point& sheet);

  // ---- painting (edit_collage_print_paint.cpp) ----
  void on_paint() override;
  // Paints the whole sheet on the canvas of the paint box.
  void paint_sheet(const Ref<C_Canvas>& canvas);
  // One corner handle at a corner given in box points, filled while the
  // pointer is over it.
  void draw_selection_frame(const Ref<C_Canvas>& canvas, const point& corner);
  // A horizontal or vertical line of blue and pen-coloured dashes between
  // two box points.
  void draw_dashed_line(const Ref<C_Canvas>& canvas, const point& a, const point& b);
  // The picture to show for a card's image (the animation's frame), loaded
  // on first use; None when there is nothing.
  Ref<C_Bitmap> card_picture(const Ref<C_Image>& image);

 protected:
  // Repaints the sheet; the buttons follow the cards and the selection.
  void repaint_sheet();
  bool shift_held() const { return key_info.shift != 0; }
  bool ctrl_held() const { return key_info.ctrl != 0; }

 private:
  // Whether i is a valid card index.
  bool has_card(int64_t i) const { return i >= 0 && i < cards.count(); }
  // A card's image entry goes from `images`: one entry for the card.
  void release_image_entry(const Ref<C_Image>& image);
  // The picture of an image that no card shows any more goes.
  void let_go_of_picture(const Ref<C_Image>& image);
  // Drops the card's rendered copy, so the print dialog makes it again.
  void drop_rendered(int64_t i);
  // The new image of a card turned or flipped.
  void transform_card(int64_t i, int64_t degrees, bool flip_lr, bool flip_tb);
  // The selection becomes the cards whose serials are listed, ascending.
  void select_serials(const DynAInt& serials);
  DynAInt selected_serials() const;
  // The sides of the unselected cards, for the alignments.
  DynAReal unselected_sides(bool horizontal) const;

  // The enabled states the buttons were last given (-1: never).
  int8_t had_cards_ = -1;
  int8_t had_selection_ = -1;
  // A Ctrl press on a card that was selected already: a release without a
  // drag takes it out of the selection.
  int64_t ctrl_press_card_ = -1;
  // The bitmap of an animation's current frame, per image.
  struct Frame_cache {
    Weak<C_Image> image;
    int64_t frame = -1;
    Ref<C_Bitmap> bitmap;
  };
  std::vector<Frame_cache> frames_;
  // What each card's image showed when loaded. The viewer lets go of the
  // pictures of entries it no longer shows (the same objects as the
  // cards'), and the file may be gone or another picture by then.
  struct Held_picture {
    Weak<C_Image> image;
    Ref<C_Bitmap> picture;
    Ref<C_Gif> animation;
  };
  std::vector<Held_picture> held_;
  // Pictures already scaled to their cards' size on the screen, for the
  // cards of the last paint that showed: a drag repaints without scaling.
  struct Scaled_cache {
    Weak<C_Bitmap> source;
    int64_t width = 0, height = 0;
    Ref<C_Bitmap> scaled;
  };
  std::vector<Scaled_cache> scaled_;
  // Draws a card that is not turned from a kept scaled copy, when it shows
  // and is not too large to keep; false when the caller is to stretch it.
  bool draw_scaled(const Ref<C_Canvas>& canvas, const Ref<C_Bitmap>& picture, const rect& card,
                   std::vector<Scaled_cache>& kept);
};

}  // namespace brek
