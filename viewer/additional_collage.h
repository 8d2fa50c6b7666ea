#pragma once
// C_Additional_collage: the companion of the main window. It keeps the view
// settings of the directory views and their storage, the caption text, the
// clipboard image, and paints the title block of an empty window. The main
// window holds it for the whole run; it holds the window only weakly.
//
// It is a sorter so that the file list can be ordered through it.
//
// The thumbnail-size drag is held to what the settings take back
// (THUMB_W_MAX x THUMB_H_MAX) and stored once, on release. Auto save
// empties the clipboard only after a save that worked; a failed one shows
// the picture as "<clipboard>", keeps the name meant (unsaved_name), says
// once why and turns auto save off. While the "Move to dir" window shows,
// its digit keys win over a "-" or "_" typed on a digit key. explore_dir
// starts the first file manager that starts; with none it says so once per
// request, over the window asking.

#include <cstdint>
#include <string>

#include "baselib/config.h"
#include "baselib/date_time.h"
#include "baselib/geometry.h"
#include "baselib/sorting.h"
#include "drawing/canvas.h"
#include "forms/dialog_file.h"
#include "images/image.h"
#include "runtime/object.h"
#include "viewer/clipboard_images.h"
#include "viewer/thumbnail_cache.h"

namespace brek {

class C_Collage_viewer;
class C_Move_to_dirs;

enum class mode_view { COLLAGE, THUMB, CAPTIONS };
enum class sort_by { BY_DIM, BY_NAME, BY_SIZE, BY_CREATE, BY_MODIFY };

class C_Additional_collage : public C_Sorting {
  BREK_CLASS(C_Additional_collage)
 public:
  // The empty window's hint blinks this often, seconds.
  static constexpr double BLINK_SECONDS = 3.0;
  // Where the settings live.
  static constexpr const char* SETTINGS_APPLICATION = "Collage_viewer";
  static constexpr const char* SETTINGS_SECTION = "Main";
  // Thumbnail sizes kept when read; others fall back to the defaults.
  static constexpr int64_t THUMB_W_MIN = 8, THUMB_W_MAX = 2047, THUMB_W_DEFAULT = 256;
  static constexpr int64_t THUMB_H_MIN = 8, THUMB_H_MAX = 1599, THUMB_H_DEFAULT = 192;

  Weak<C_Collage_viewer> viewer;
  // The "Move to dir" window, made on first use and kept for the run.
  Ref<C_Move_to_dirs> move_dialog;
  bool full_screen = false;
  bool single_always = false;
  bool auto_save = false;
  Ref<C_Image> image;
  brek::mode_view mode_view = brek::mode_view::COLLAGE;
  brek::sort_by sort_by = brek::sort_by::BY_DIM;
  bool descendant = false;
  std::string caption;
  int64_t thumb_w = THUMB_W_DEFAULT;
  int64_t thumb_h = THUMB_H_DEFAULT;
  bool pending_placement = true;
  // The pending placement goes to the monitor under the pointer only for
  // full screen taken from the settings at start-up; after a switch it
  // goes to the monitor the switch chose (empty: where the window is).
  bool place_under_pointer = true;
  rect switched_to;
  // The window's own rectangle when full screen began from a normal
  // window: leaving gives exactly that back (also across two monitors).
  rect windowed;
  bool windowed_kept = false;
  // Full screen began from a maximized window: leaving maximizes it again,
  // and the window manager keeps the size to give back after that.
  bool maximized_before = false;
  // The window manager's own key or menu began full screen: leaving it,
  // the manager gives back what it had.
  bool full_screen_by_manager = false;
  int64_t last_painted_index = -1;
  int64_t drag_thumb_w = 0;
  int64_t drag_thumb_h = 0;
  std::string cut_source;
  // The file auto save wrote last: the numbering goes on from it while a
  // pasted or cut picture is shown.
  std::string auto_save_name;
  // The name auto save could not write the shown picture under; empty
  // once another picture is shown.
  std::string unsaved_name;
  // The folder a picture was last saved to; empty until one was.
  std::string last_save_folder;
  // The digest of the picture auto save wrote last; 0 when none.
  uint64_t auto_saved_digest = 0;
  bool cutting = false;
  rect cut_rect;
  int64_t hint_index = 0;
  date_time hint_time;
  date_time blink_time;
  bool blink_on = false;
  // The save dialog, made on first use.
  Ref<C_Dialog_file> save_dialog;

  C_Additional_collage() = default;

  // The create operation, run once the viewer is set: the window title
  // from the newest version.
  void version_text();
  void destroy_hook() override;

  // ---- the clipboard image ----
  Ref<C_Image> current_image() const { return image; }
  // Forgets the image and switches auto save off.
  void clear_current_image();
  void reset_image();
  // Whether a thumbnail drag was going on; ends it.
  bool end_thumb_drag();

  // ---- settings ----
  void load_settings();
  void save_settings();
  // The values of the settings store into the fields, with their ranges
  // and fallbacks.
  void read_settings(const C_Config& config);
  // The thumbnail scale of the views for a thumbnail height.
  static double thumb_scale_for(int64_t thumb_h);

  // ---- caption ----
  // The product word replaced by the program's name; shown unless the
  // window is full screen.
  void update_caption(const std::string& text);

  // ---- the empty window ----
  static std::string newest_version();
  // The lines of the empty window's block at this moment: the title block,
  // or one hint line while the hint blinks.
  DynAStr about_lines();
  // Paints the block centred on the canvas of a box of this size (points).
  void paint_about(const Ref<C_Canvas>& canvas, double box_w, double box_h);
  void paint_about();

  // ---- timer duties ----
  // Runs on every tick of the background timer; true when it did work that
  // ends the tick.
  bool timer_tasks();

  // ---- ordering and arranging the file list ----
  // Negative when entry i of the viewer's files goes before entry j, 0
  // when the order does not tell, positive when after.
  int64_t compare_items(int64_t i, int64_t j);
  int32_t compare(int64_t i, int64_t j) override;
  // Exchanges entries i and j of the viewer's files.
  void swap(int64_t i, int64_t j) override;
  // Sorts the directory set that begins at start.
  void sort_files(int64_t start);
  // Arranges the whole list for the view mode; true when the mode's cells
  // were set here (thumbnails, captions), false for the collage.
  bool layout_set();
  bool order_by_dimensions() const { return sort_by == brek::sort_by::BY_DIM; }

  // ---- thumbnail cells, captions and overlays ----
  // Draws a picture into a cell: stretched whole when the proportions
  // nearly agree (and for icons), else its largest central part with the
  // cell's proportions.
  void fit_thumbnail(const Ref<C_Canvas>& canvas, const rect& cell, const Ref<C_Bitmap>& picture);
  // The same for a picture of an image file, which never changes in place
  // (an animation's composed picture changes only with its `frame`):
  // stretched (or cropped) once to the cell and kept, so later paints of the cell (a
  // scroll paints it strip by strip) draw it unscaled. `over_black`: the
  // cell lies on the directory views' black, so a transparent picture is
  // kept as it shows there.
  // An `owner` (the image the picture belongs to) keeps the copy also once
  // the picture is gone (Thumbnail_cache::kept_for).
  void fit_kept_thumbnail(const Ref<C_Canvas>& canvas, const rect& cell, const Ref<C_Bitmap>& picture,
                          int64_t frame = 0, bool over_black = false, const Ref<Brek_object>& owner = {});
  // What the image shows now, its full picture or its animation's frame,
  // fitted into the cell so: a paint costs the cell, not the picture.
  // Nothing for a cell without area.
  void fit_kept_image(const Ref<C_Canvas>& canvas, const rect& cell, const Ref<C_Image>& image,
                      bool over_black = false);
  // The cell-size copies fit_kept_thumbnail keeps.
  Thumbnail_cache thumbnails;
  // After a cell was painted: its captions beside it (thumbnail and text
  // views) or the index of the last painted cell (collage). The bottom of
  // what it drew, the cell's own at least (the canvas's unit).
  double layout_collage(const Ref<C_Canvas>& canvas, const Ref<C_Image>& image, const rect& cell);
  // While the view scrolls smoothly: loads the next image below the last
  // painted cell that has no picture yet, one per paint.
  void read_ahead();
  // The layout's extent from the cells laid out so far, then a new layout.
  void refresh_layout();
  // Whether a point (device pixels of the box) lies in the row of an
  // image's cell; never in the collage.
  bool row_hit(const point& p, const Ref<C_Image>& image);
  // A right-button drag resizes the thumbnails (point in points).
  void resize_thumbnails(const point& p);
  // The full-screen caption and the cut rectangle over the window.
  void paint_overlays(const Ref<C_Canvas>& canvas, double box_w, double box_h);
  // A line from a to b in dashes alternating white and black.
  static void draw_dashed_line(const Ref<C_Canvas>& canvas, const point& a, const point& b);

  // ---- commands (additional_collage_commands.cpp) ----
  // Runs one command key of the menus; other keys do nothing.
  void do_command(const std::string& key);
  // The current image's picture onto the clipboard; failure is the
  // message shown when the clipboard does not take it.
  void copy_image(const std::string& failure);
  // The clipboard's image becomes the shown image "<clipboard>".
  void paste_image(const std::string& failure);
  // Asks for a name and saves the current image there; true when a
  // clipboard image was saved and its file became the current one.
  bool save_as(const std::string& nothing_to_save, const std::string& failure);
  // Where the save dialog starts: the folder of the file shown, or for a
  // picture without a file (empty name) the folder saved to last, else
  // that of the file it was cut from, else the user's pictures folder.
  std::string save_folder(const std::string& file) const;
  // Switches auto save off, or saves the clipboard image and switches it on.
  void auto_save_command();
  // The platform's file manager at the current image or the root directory.
  void explore();
  // Moves the current image's file to the trash.
  void delete_current(const std::string& failure);
  // A failed delete's message: failure and why, in words where the
  // system's text would say nothing to a user.
  static std::string delete_failure(const std::string& failure, int err);
  // The "Move to dir" window: made on first use, shown for the current
  // image.
  void show_move_window();
  // Whether the "Move to dir" window is shown; what its keys do.
  bool move_window_shown();
  void move_to_target(int64_t digit);
  void set_move_target(int64_t digit);
  void undo_move();
  // The collage print editor (in the printing layer, reached through
  // Print_editor_hook): the current image becomes one of its cards.
  void edit_image();
  void set_view_mode(brek::mode_view mode);
  // Orders the whole list by the order key ("SORT_BY_NAME" ...).
  void order_files(const std::string& key);
  // The caption arrangement over the whole list, each set sorted.
  void caption_pass();

  // ---- window services (additional_collage_window.cpp) ----
  void set_full_screen(bool on);
  // F11: full screen, or back from it, as the window shows now.
  void switch_full_screen();
  // The window manager's own key or menu may put the window in full screen
  // or take it out: the viewer follows the state the manager keeps (while
  // one keeps it) and stores it.
  void follow_full_screen();
  // Applies full screen again once the window shows it; at start-up on
  // the monitor under the mouse cursor.
  void place_full_screen();
  // Full screen on the monitor given (empty: where the window is), or back.
  void switch_full_screen(bool on, const rect& monitor);
  // Makes the save dialog with a filter of the savable image types.
  void save_as_dialog();
  // The file manager at a directory; the file, when given, selected where
  // the file manager can do that. False when none could be started: the
  // user is told so over `over` (the main window when None).
  bool explore_dir(const std::string& directory, const std::string& file, const Ref<C_Form>& over = Ref<C_Form>());
  static bool program_exists(const std::string& name);

  // ---- menus (additional_collage_commands.cpp) ----
  std::string file_menu_text();
  std::string view_menu_text();

  // ---- keys ----
  // F2, F6, DELETE, F7, F11; true only when F2 saved a clipboard image.
  bool on_function_key(int64_t key);
  // Ctrl+S, Ctrl+C, Ctrl+V and the keys of the "Move to dir" window;
  // never takes a key.
  bool key_char_first();

  // ---- clipboard images (additional_collage_clipboard.cpp) ----
  // Saves a bitmap that arrived on the clipboard under the next free
  // number; true when one was saved. A picture it saved already is passed
  // over; one that cannot be saved stays on the clipboard.
  bool auto_save_step();
  // Ends auto save after a save that failed and says so, with the
  // system's reason when there is one (an error number); false.
  bool auto_save_failed(const std::string& name, int error);
  // Repaints the empty window when its hint is due to blink.
  void blink_tick();
  // Every pointer move: starts and follows a Ctrl + left-button cut.
  void track_cut();
  // Every button release: finishes a cut; true when one was going on.
  bool paste_or_cut();
  // The part of a picture of w x h pixels, as the single view shows it,
  // that the cut rectangle covers, in its pixels.
  Clipboard_images::Cut cut_of(double w, double h);
  // The size of what the cut rectangle will cut, as the overlay shows it:
  // the picture's pixels, not the window's.
  std::string cut_size_text();
  // The current file (not its pixels) onto the clipboard as a file list;
  // true when one was put there.
  bool copy_file_to_clipboard();
  // Shows a bitmap as the image of a pseudo or new file name.
  void show_bitmap(const Ref<C_Bitmap>& bitmap, const std::string& name);

  // ---- file names ----
  static bool is_image_file_name(const std::string& name);
  static std::string file_extension(const std::string& name);
};

}  // namespace brek
