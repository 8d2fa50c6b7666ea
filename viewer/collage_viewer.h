#pragma once
// C_Collage_viewer: the program's main window. It shows one image (the
// single-image view) or the images of a directory tree (the directory
// views), everything drawn into one paint box that fills the window. Its
// commands, view orders and settings, the caption and the texts of an
// empty window are C_Additional_collage's.
//
// Single-image geometry is in device pixels of the paint box; the fixed
// lengths given in points are converted at the screen's resolution.
//
// The walk lists queued folders for up to LISTING_SLICE_MS (100 ms) a tick
// and merges each listing through hash sets, a new file going behind its
// directory's last entry, so no other directory is torn apart. Layout
// slices resume at laid_out_count, rebuilding only the last placed entry's
// row; arrange_lines places every line and repaints, as a collage slice
// does. A caption line's cell is 0 wide, so the lost-cell check goes by
// height. A list opened while the window is hidden, or a box whose width
// changed, is laid out anew (lay_out_anew). The image a file opens becomes
// shown_image, not an older object of that name.
//
// Pictures: far ones go in place (off screen after 50 paints, at once if
// never drawn there), those past picture_budget (512 MB) drawn longest ago
// first; pasted and cut pictures never go. Cells draw pictures as filed, so
// a turned one's copy serves as well.
//
// An idle view sleeps: a resting pointer skips the hover check
// (Hover_seen), ticks without a paint age pictures and give memory back
// (ticks_since_paint_), and a tree quiet for whole rounds is listed up to
// 8 times less often (quiet_scan_steps_, reset by any change or an
// opening); a change still shows within a few seconds. Of the key
// releases only Shift's and Ctrl's repaint. jump_scroll spans the scroll
// range over the pointer's rows, so the last row reaches the end.

#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "baselib/date_time.h"
#include "baselib/geometry.h"
#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "drawing/paintbox.h"
#include "forms/dialog_file.h"
#include "forms/form.h"
#include "forms/timer.h"
#include "images/image.h"
#include "images/jpeg_codec.h"
#include "runtime/dyn_array.h"
#include "viewer/additional_collage.h"
#include "viewer/dir_scan.h"
#include "viewer/fitted_decodes.h"
#include "viewer/rescan_dir.h"
#include "viewer/single_view.h"
#include "viewer/single_view_picture.h"

namespace brek {

// A round scroll mark of the directory view: its centre (points) and step.
struct St_scroll_mark__C_Collage_viewer {
  double x = 0;
  double y = 0;
  int64_t step = 0;
};

class C_Collage_viewer : public C_Form {
  BREK_CLASS(C_Collage_viewer)
 public:
  static constexpr const char* PLACEMENT_APPLICATION = "Collage_viewer";
  static constexpr const char* PLACEMENT_SECTION = "Main";
  static constexpr const char* LANGUAGE_APPLICATION = "Ostrel6";
  // The grey of the directory views' frames, headers and captions (colours
  // are sign-extended 32-bit values).
  static constexpr Color LIGHT_GREY = Colors::from_bits(0xFFC0C0C0);
  // The pointer rests this long before hovering picks a file, ms.
  static constexpr double HOVER_REST_MS = 200;
  static constexpr const char* OPEN_FILTER =
      "All images|*.bmp;*.cur;*.gif;*.ico;*.jpeg;*.jpg;*.png;*.psd;*.tga;*.tif;*.webp";

  // ---- fields ----
  std::string title = "BrekView";
  Ref<C_Additional_collage> collage;
  // The background timer (200 ms): listing, layout, hover, auto save.
  Ref<C_Timer> timer_1;
  Ref<C_Timer> timer_2;    // the smooth-scroll timer (16 ms)
  Ref<C_Timer> timer_gif;  // the animation timer: the next frame at its delay
  // The quality the cells' copies are kept at.
  static constexpr quality_drawing_lines_shapes CELL_QUALITY = quality_drawing_lines_shapes::MEDIUM;
  // Huge pictures of cells (and the single view's fitted copies of them),
  // decoded on a worker to the size they are drawn at; its timer
  // "TIMER_CELLS" steps it.
  Fitted_decodes cell_decodes{CELL_QUALITY, true};
  // What the entries' pictures may hold together, bytes, whatever the
  // files (those in view aside).
  static constexpr int64_t PICTURE_BUDGET = int64_t(512) << 20;
  int64_t picture_budget = PICTURE_BUDGET;
  Ref<C_Paintbox> pb;      // the paint box: everything the window shows
  Ref<C_Dialog_file> dialog_open;
  std::string language;
  Ref<C_Image> shown_image;
  std::string root_dir;
  std::string scan_dir;
  std::string current_file;
  DynAObj<C_Image> files;
  date_time last_scan_time;
  bool in_timer = false;
  date_time hover_step_time;
  bool scroll_pending = false;
  int64_t hover_step_ms = 0;
  Dir_scan::Known_dirs known_dirs;
  std::string last_listed_dir;
  DynAStr dir_queue;
  std::string last_scan_root;
  double thumb_scale = 1.0;
  Ref<C_Image> layout_image;
  double min_cell_px = 0;
  bool single_mode = false;
  Ref<C_Image> painted_image;
  double scale = 1.0;
  int64_t paint_clock = 0;
  bool partial_repaint = false;
  bool scanning = false;
  bool fit_mode = false;
  rect image_rect;
  // The size of the picture image_rect shows, its own pixels as turned.
  point image_pixels;
  double scroll_y = 0;
  double layout_bottom = 0;
  int64_t laid_out_count = 0;
  rect last_cell;
  std::string caption_dir;
  DynArray<St_scroll_mark__C_Collage_viewer> scroll_marks;
  bool placement_busy = true;
  bool exiting = false;
  bool escape_pending = false;
  double wheel_pending = 0;
  // The part of a wheel notch the single view has not taken yet.
  double wheel_rest = 0;
  bool slideshow = false;
  double slide_interval = 1000.0;
  date_time last_slide_time;
  double alpha = 0;
  // Pointer state.
  int64_t marks_shown = 0;
  int64_t hovered_mark = -1;
  point prev_pointer;
  date_time pointer_active_time;
  point last_pointer;
  point press_point;
  bool dragged = false;
  bool left_down = false;
  bool right_down = false;
  bool wheel_browsed = false;
  bool cells_complete = true;
  // The left button was released while the right one was held: the next
  // release ends the program.
  bool chord_exit = false;
  // The worker that lists a directory again when its listing came back
  // empty: the job, and the same object as its start gave it back.
  Ref<C_Rescan_dir> rescan_job;
  Ref<C_Rescan_dir> rescan_thread;

  C_Collage_viewer();

  // Whether the cell's picture (w x h device pixels) is left to the
  // worker of cell_decodes: then asked for.
  bool decode_cell_off_thread(const Ref<C_Image>& e, int64_t w, int64_t h);
  // Whether the directory view shows the entry's cell or a scroll of a
  // screen reaches it.
  bool cell_in_reach(const Ref<C_Image>& e);
  // Pictures were let go: the heap gives their memory back at a quiet tick.
  void note_released() { released_since_trim_ = true; }

  // ---- start-up ----
  // The program's main routine: screen, viewer, main loop.
  static void main();
  // Builds the window; runs once, after the form's own init.
  void create();
  void load_language();
  // Says why the language file just found was not read, if it was not.
  void tell_refused_language();
  void start_up();
  // The directory of the language files for a program directory: the
  // program's own when "English_EN.lng" is there, else its parent when the
  // file is there, else the program's own.
  static std::string language_directory(const std::string& program_dir);

  // ---- opening ----
  void open_argument();
  void on_command_line() override { on_command(); }
  void on_command();
  bool accept_drop() override { return true; }
  void open_file(const std::string& path);
  // Names the image in the title: its file, size and bytes, and why it
  // did not load where it failed.
  void show_file(const Ref<C_Image>& image);
  // A file that left its place (to the trash, to a move target): off the
  // list, the layout redone from its entry and its line or row off the
  // scroll range, the next entry current (the new last when it was the
  // last, none when the list emptied) and named by the single view.
  void drop_file(const Ref<C_Image>& image);
  // The image's file to the trash: the one way the viewer deletes (Delete,
  // the name-clash question's "Delete source file"). The worker decoding
  // its whole picture stops first, not once a slow disk has taken the file
  // (the next paint asks again should it stay). False as
  // File_path::delete_files says, its last_error() telling why.
  bool trash_file(const Ref<C_Image>& image);
  void open_dir(const std::string& dir);
  // Forgets the listed files, the layout and the queue of directories to
  // walk: what opening a directory, saving a pasted picture and going back
  // to the empty window share.
  void forget_listing();
  Ref<C_Image> current_image();
  int64_t index_of_file(const std::string& path);
  // The background timer off and on.
  void stop_timer();
  void start_timer();
  // Lists one directory of the tree into the file list
  // (collage_viewer_scan.cpp).
  void scan_step(bool restart);
  // Picks the directory to list and lists it into list (full paths, the
  // subdirectories but trash folders moved into dir_queue).
  void scan_next_directory(DynAStr& list, const brek_platform::Trash_folders& trash);
  // Moves the entry just appended to files behind the other entries of its
  // directory.
  void group_new_file();
  // Whether an empty listing is repeated on a worker thread.
  static bool uses_scan_thread();
  // The directory views' title: the folder in view, the number of files,
  // and the mounts that hold the tree or lie in it and do not answer.
  std::string directory_caption();
  // One pass over the files of a listed directory: those its listing
  // (image files, full paths) no longer holds go, unless the listing
  // failed; one whose size or modification time changed gets a new entry,
  // so its header and picture are read again. True when any did.
  bool merge_listed(const std::string& listed_dir, const DynAStr& list, bool listing_failed);
  // The file at i is another now: a new entry in its place.
  void renew_entry(int64_t i);

  // ---- collage layout (collage_viewer_layout.cpp) ----
  // Lays the file list out from laid_out_count on, for about 500 ms.
  void relayout();
  // The thumbnail or caption lines placed anew and shown.
  void arrange_lines();
  // Lays out one row from entry start inside area; the first entry after it.
  int64_t build_collage(const rect& area, int64_t start);
  // The tick's layout work: a box of another width laid out anew, entries
  // that lost their cell placed again, or else the next listings when due.
  void layout_or_scan_step();
  bool same_directory(int64_t a, int64_t b);
  // Consecutive entries from max(0, start) whose directory is dir.
  int64_t count_in_directory(const std::string& dir, int64_t start);
  // An image's cell size before scaling: its display size, at least the
  // smallest cell side.
  double cell_width(const Ref<C_Image>& image);
  double cell_height(const Ref<C_Image>& image);
  // 40 points in device pixels.
  double min_cell_size();
  double double_min_cell() { return 2 * min_cell_size(); }
  // The size at which the layout reads headers: the box, at most 512.
  void header_target(double& tw, double& th);

  // ---- painting ----
  void on_paint() override;
  // Paints the window's contents onto a canvas of a box of this size
  // (points): the paint box's back buffer.
  void paint_into(const Ref<C_Canvas>& canvas, double box_w, double box_h);
  void paint_image();
  // The directory views (collage_viewer_directory.cpp).
  void paint_collage();
  // The top of the band cleared before a row is repainted in a partial
  // repaint (view coordinates).
  double row_band_top(int64_t i);
  // Releases the pictures of images off screen that were not drawn lately
  // (or never drawn here), in place; extra_age counts as paints more since
  // they were drawn.
  void release_far_pictures(double box_w_px, double box_h_px, int64_t extra_age = 0);
  // An entry's pictures and its cell's copies go, in place.
  void release_cell(const Ref<C_Image>& e);
  // Past picture_budget, the pictures of entries not drawn by the last
  // paint go, those drawn longest ago first.
  void keep_within_budget();
  // The single view's rule: only the image shown and its neighbours in the
  // list (the next step's and the last one's) keep their pictures.
  void release_pictures_away_from(const Ref<C_Image>& shown);
  // An entry whose pictures another window loaded (a print card) and no
  // longer needs lets them go, unless the single view shows it or they
  // cannot be read again from its file. Also on the None viewer (closed).
  void release_entry(const Ref<C_Image>& image);
  // Back in the directory view: what the single view read beyond what the
  // cells draw goes (full pictures where reduced ones serve, larger reduced
  // ones, anything of a cell without area); the cells load what they draw.
  void release_beyond_cells();
  // Gives the memory of released pictures back to the system. The timer
  // asks when no paint came since its last tick, so that the paints of a
  // scroll do not each pay for it.
  void give_back_released_memory();
  // The pointer relative to the paint box, device pixels.
  virtual point pointer_in_box();
  // The paint box's size in points: the size being painted during a
  // paint, else the box's own.
  double view_width() { return paint_canvas_.is_none() ? paint_box_width() : paint_w_; }
  double view_height() { return paint_canvas_.is_none() ? paint_box_height() : paint_h_; }
  // Changes a canvas's unit, its clip rectangle converted along.
  static void set_canvas_units(const Ref<C_Canvas>& canvas, units_measure_graphics units);
  // The screen cursor relative to the paint box, points.
  virtual point cursor_in_box();
  // The zoom within its bounds.
  void set_scale(double value) { if (!is_none()) scale = Single_view::clamp_scale(value); }
  // The whole paint box is to be repainted.
  void repaint();

  // ---- window events ----
  void on_resized() override { on_resize(); }
  void on_resize();
  // Drops every cell and lays the list out again from its first entry.
  void lay_out_anew();
  void on_moved() override;
  void on_shown() override;
  // The program ends: full screen is stored as the window shows it.
  bool on_close_query() override;
  void show() override;
  // Ticks of the background, smooth-scroll and animation timers
  // (collage_viewer_timer.cpp).
  void on_timer() override;
  // One step of smooth scrolling over a scroll mark; false when none was made.
  bool hover_scroll_step();
  // The scroll mark under the pointer (within 10 points), -1 when none.
  int64_t mark_at_pointer();
  void destroy_hook() override;

  // ---- pointer input (collage_viewer_pointer.cpp) ----
  void on_mouse_down() override;
  void on_mouse_move() override;
  // Zooms or scrolls by the wheel's amount; never consumes the turn.
  bool on_wheel() override;
  void zoom(double amount) { zoom_step(amount); }
  // One wheel or arrow step: -1 towards the user, 1 away from the user.
  void zoom_step(double amount);
  // Makes the file under the pointer current and repaints what changed;
  // whether a file is current.
  virtual bool hover_update();
  // Scrolls so that the pointer's height in the box is the same fraction
  // of the content.
  void jump_scroll();
  // Scrolls a directory view by a (folded) wheel amount, faster towards
  // the box's edges.
  virtual void apply_wheel_scroll(double amount);
  // Whether the nearest corner of a is nearer to p than that of b.
  static bool nearer_cell(const rect& a, const rect& b, const point& p);

  // ---- commands and menus (collage_viewer_commands.cpp) ----
  void on_menu_item() override;
  // Opacity steps of 0.1 between opaque (0) and invisible (1).
  void change_alpha(double step);
  // The menus shown by a right-button release.
  std::string language_menu_text();
  std::string image_menu_text();
  std::string directory_menu_text();

  // ---- keys, double click and releases (collage_viewer_keys.cpp) ----
  // The key-down handler: the key tables, then the character keys.
  bool on_key_down() override;
  // The tables of keys; true when the key was not taken.
  bool on_key_down(int64_t key);
  void on_key_char();
  void on_key_up() override;
  void on_double_click() override;
  void on_mouse_up() override;
  // The next entry of the list; only SPACE wraps from the last to the
  // first.
  void next_image(int64_t key);
  void prev_image();
  // From the single image back to the directory view; false when there is
  // no directory to go back to.
  bool back_to_directory_view();
  // Shows the current entry of the list in the single view.
  void open_current_entry();
  // The first entry of the next or the previous directory set.
  void next_directory_set();
  void prev_directory_set();
  // Lets the window's messages run for ms milliseconds.
  void pause(int64_t ms);
  // The picture as the single view shows it (turned, flipped, inverted).
  Ref<C_Bitmap> shown_picture();
  // Changes the orientation the image wants (`change`, if any) and, where
  // the single view shows it, makes its oriented copy now, as long work:
  // a picture at the size limit takes seconds, so after two the
  // long-operation window shows, whose Cancel ends the command with the
  // picture shown as it is stored (Stop_exception passes on). A picture
  // still to be read whole is read first, as commands read it, unless a
  // worker reads it for the view: it is turned when it came
  // (single_view_turns.cpp).
  void orient(const Ref<C_Image>& image, const std::function<void(C_Image&)>& change = {});
  // The whole picture (or animation) of an image, now, through
  // C_Image::load_whole (a worker's, waited for as long work waits outside
  // a paint). An image whose file proves to be another version than it
  // stood for is not decoded: an entry of the list is renewed (at once,
  // or at the next tick when painting) and the new entry is loaded, an
  // image of another window is read anew in place. The image that holds
  // the picture now. Also on the None viewer (closed).
  Ref<C_Image> load_whole(const Ref<C_Image>& image);

 protected:
  // The paint box: its back buffer's canvas, size (points) and place on
  // the form.
  virtual Ref<C_Canvas> paint_box_canvas();
  virtual double paint_box_width();
  virtual double paint_box_height();
  virtual rect paint_box_frame();

 private:
  // ---- the window's parts (collage_viewer_window.cpp) ----
  // The timers, the paint box and the open dialog of the window.
  void create_controls();
  void destroy_controls();
  void set_open_filter(const std::string& filter);
  // Moves the back buffer's picture by dy pixels and repaints the band it
  // uncovered, grown by extra pixels.
  void shift_view(int64_t extra, int64_t dy);
  // The animation timer on with an interval (ms), or off.
  void set_gif_timer(bool on, int64_t interval);
  // The animation timer on at the frame's delay (at least 20 ms) when the
  // image is an animation of more than one frame.
  void animate(const Ref<C_Image>& image);
  // The animation whose frames are stepped from now on (None: none): the
  // workers composing another one's frames stop.
  void play_only(const Ref<C_Gif>& gif);
  // Shows the window and runs the main loop until the program ends.
  void run();
  // The placement under "Collage_viewer" / "Main"; placement_busy while it
  // is restored, so the moves and resizes it makes are not stored again.
  void restore_placement();
  void store_placement();
  // The bitmap shown for an image: the picture, or the current frame of an
  // animation; then turned, flipped and inverted as the image wants. Kept
  // until something it depends on changes. `ticking`: made as long work
  // (oriented_now).
  Ref<C_Bitmap> oriented_bitmap(const Ref<C_Image>& image, bool ticking = false);
  // oriented_bitmap as long work of a command, outside a paint: the
  // windows' messages that its ticks let run paint nothing meanwhile
  // (orienting_).
  Ref<C_Bitmap> oriented_now(const Ref<C_Image>& image);
  // The reduced picture of a JPEG shown fitted at most half its size,
  // decoded at the smallest scale that covers the placement; None when
  // the full picture is needed (zoom, turn, other formats). Sets the
  // input's picture size to the file's own (single_view_reduced.cpp).
  Ref<C_Bitmap> reduced_for_fit(const Ref<C_Image>& image, Single_view::Input& in);
  // Whether the image is a JPEG of known size with nothing decoded yet,
  // to be shown unzoomed and as filed (no turn, flip or inversion): its
  // first paint may decode less than the whole picture.
  bool unloaded_jpeg_as_filed(const Ref<C_Image>& image) const;
  // The part in the window of a large JPEG shown at its own size
  // (Single_view_picture::part_in_view); None also when the full picture
  // is needed for a zoom, a turn or another format. Sets the input's
  // picture size to the file's own (single_view_part.cpp).
  Ref<C_Bitmap> part_in_view(const Ref<C_Image>& image, Single_view::Input& in, point& at);
  // The picture of a GIF or BMP too large for the window's thread (one
  // cell_decodes takes) shown without reading it here: fitted, its copy at
  // the fitted size from the cells' worker; otherwise its whole picture
  // from a worker of its own, its fitted copy (if one is kept) shown fitted
  // meanwhile. None when the image is no such picture, while what it
  // shows is coming (`coming`), or when no worker could start on its whole
  // picture: the paint then reads it here, once
  // (Single_view_picture::decodes_here). Sets the input's picture size to
  // the file's own (single_view_huge.cpp).
  Ref<C_Bitmap> off_thread_picture(const Ref<C_Image>& image, Single_view::Input& in, bool& coming);
  // The image had w x h pixels before something read it: where the single
  // view shows it, the title names the size it has now.
  void retitle_if_resized(const Ref<C_Image>& image, int64_t w, int64_t h);
  // The tick of the decode timer: the image shown gets its whole picture
  // (and is repainted), or a new entry when its file changed.
  void whole_picture_tick();
  // The tick of the animation timer: the next frame shown at its delay,
  // or looked for again soon while a worker composes it.
  void animation_tick();
  // The full picture of an image the single view opens, read at once but
  // for a JPEG, whose first paint may need only a reduced decode, and a
  // picture read off the window's thread.
  void load_for_showing(const Ref<C_Image>& image);
  // The file of the image the single view shows was replaced or written:
  // it is read again (its entry renewed).
  void renew_if_changed();
  void save_placement_if_framed();
  void paint_single(const Ref<C_Canvas>& canvas, double box_w_px, double box_h_px);

  // The canvas and size (points) of the paint in progress.
  Ref<C_Canvas> paint_canvas_;
  double paint_w_ = 0, paint_h_ = 0;

  // The animation whose frames the timer steps.
  Weak<C_Gif> playing_;
  // The animation frame that the oriented and stretched copies show.
  Weak<C_Gif> frame_source_;
  int64_t frame_index_ = -1;
  // The picture as oriented for showing.
  Weak<C_Bitmap> oriented_source_;
  int64_t oriented_turns_ = 0;
  bool oriented_flip_x_ = false, oriented_flip_y_ = false, oriented_inverse_ = false;
  Ref<C_Bitmap> oriented_;
  // An oriented copy is being made for a command (oriented_now).
  bool orienting_ = false;
  // The last stretched picture.
  Weak<C_Bitmap> stretched_source_;
  Ref<C_Bitmap> stretched_;
  // The part of a large JPEG and the whole picture behind it.
  Single_view_picture picture_;
  // The last single-view paint showed nothing of its picture yet: it is
  // coming from a worker (the slideshow waits for it).
  bool single_coming_ = false;

  // What the scan steps of one tick share: how many entries each
  // directory holds in the file list (kept up to date by the steps), the
  // trash folders, and whether a step left its listing to the worker.
  struct Scan_batch {
    explicit Scan_batch(const DynAObj<C_Image>& files);
    Dir_scan::Entries_per_dir entries;
    brek_platform::Trash_folders trash;
    bool waiting = false;
  };
  // One scan step within a batch, without the layout and the caption;
  // true when the file list changed.
  bool scan_into(bool restart, Scan_batch& batch);
  // The files of a directory's listing (image files, full paths) that the
  // list does not hold yet join it, behind their directory's others; the
  // directory held `held` entries. True when any did.
  bool add_listed_files(const std::string& listed_dir, const DynAStr& list, int64_t held);
  // The directory view's caption after a listing: the directory and the
  // number of files.
  void show_scan_caption();
  // The tick's listing: folders in the walk's order, one at a time, as
  // long as some are queued and the tick's time lasts; then the layout.
  void list_for_a_while();
  // Directories left out because their mount did not answer are queued
  // again once it answers.
  void list_answering_again();

  // The last listing of scan_next_directory: read, or failed while the
  // directory is still there (its files are then kept).
  bool listing_failed_ = false;
  // The last listing got no answer from the directory's mount.
  bool listing_unanswered_ = false;
  // The directories of the walk whose mount did not answer, until it does
  // (Bounded_ask): the title names their mounts.
  std::set<std::string> unanswered_dirs_;
  // The last scan step added or removed files (or still waits for its
  // worker); steps in a row that changed nothing slow the listing down.
  bool scan_changed_ = false;
  int64_t quiet_scan_steps_ = 0;
  // The box width (device pixels) the layout's first row was built for.
  double laid_out_width_ = 0;

  // What the tick's last hover update saw; while the pointer rests and
  // nothing was painted, laid out or scrolled since, it is not run again.
  struct Hover_seen {
    point pointer;
    double scroll_y = -1;
    int64_t paint_clock = -1, files = -1, laid_out = -1;
    bool operator==(const Hover_seen&) const = default;
  };
  Hover_seen hover_seen_;
  // Pictures were released since memory was last given back.
  bool released_since_trim_ = false;
  // The image the single view showed last; none since a directory paint.
  Weak<C_Image> single_shown_;
  // The single view's file did not answer at the last tick's check.
  bool single_silent_ = false;
  // Ticks of the background timer since the last directory paint: an idle view ages
  // its pictures by them, as its paints would.
  int64_t ticks_since_paint_ = 0;
};

}  // namespace brek
