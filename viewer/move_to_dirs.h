#pragma once
// C_Move_to_dirs: the "Move to dir" tool window. Nine remembered target
// directories, each a panel with its number, its path and thumbnails of
// the first pictures in it. A digit key or a click moves the main window's
// current image into that target; Backspace takes the last move back.
// Closing the window only hides it, so targets and undo lists last for the
// whole run.
//
// A move never replaces a file: a name met in the target is settled by the
// name-clash dialog (move under the next free number, drop the source, or
// nothing), and an undo never replaces what has taken the old place
// meanwhile. The source is dropped (to the trash) only while the target's
// file is there and is another entry: else the source is the one copy
// left. A refused undo says why and offers the file manager; its entry
// stays until an undo works or the moved file is gone. While the window's
// own question is open, input that reaches it past that question moves,
// sets and undoes nothing. A target on a mount that does not answer is
// never waited for (baselib/bounded_ask.h): its panel and a move or undo
// there say so.

#include <cstdint>
#include <functional>
#include <string>

#include "baselib/geometry.h"
#include "drawing/canvas.h"
#include "drawing/paintbox.h"
#include "forms/dialog_file.h"
#include "forms/form.h"
#include "forms/timer.h"
#include "images/image.h"
#include "runtime/dyn_array.h"
#include "viewer/fitted_decodes.h"

namespace brek {

class C_Collage_viewer;
class C_Dialog_replace;

// One target directory.
struct St_dir__C_Move_to_dirs {
  std::string path;  // empty: not set
  brek::rect rect;  // the panel in the paint box (points), as painted last
  DynAObj<C_Image> images;
  // The directory was listed for its thumbnails since its path was set,
  // a file was moved into it or an undo took one out.
  bool listed = false;
  // Its last listing got no answer from its mount: the panel says so, and
  // it is listed once the mount answers.
  bool unanswered = false;
};

// The names a file moved under a clashing name may take.
namespace Move_names {

// dest split for numbering: the stem without trailing digits, the number
// they give, whether a ")" closes them, and the extension.
struct Numbered {
  std::string stem;
  std::string ext;
  int64_t number = 0;
  std::string digits;  // the number as written
  bool paren = false;
  // The digits name a number beyond the counted candidates; the
  // numbering then goes on from the digits as text.
  bool exhausted = false;
};
inline constexpr int64_t LAST_NUMBER = 2147483646;

Numbered split(const std::string& dest);
// The candidate numbered by `digits`: "photo7.jpg" -> "photo8.jpg" for
// "8", "photo(3).jpg" -> "photo(8).jpg"; the stem's text gives way where
// the name would pass what a file name holds, "" when even that is not
// enough.
std::string candidate(const Numbered& n, const std::string& digits);
// The first candidate after dest's own number that `taken` does not
// refuse; "" when there is none.
std::string free_name(const std::string& dest, const std::function<bool(const std::string&)>& taken);

}  // namespace Move_names

class C_Move_to_dirs : public C_Form {
  BREK_CLASS(C_Move_to_dirs)
 public:
  static constexpr int64_t TARGET_COUNT = 9;
  static constexpr int64_t MAX_THUMBNAILS = 10;
  static constexpr const char* TARGETS_APPLICATION = "Collage_viewer";
  static constexpr const char* TARGETS_SECTION = "Move_to_dirs";
  static constexpr const char* PLACEMENT_APPLICATION = "Collage viewer";
  static constexpr const char* PLACEMENT_SECTION = "Move to dir";
  // The question of a refused undo: this, the system's reason, then ". Explore ?".
  static constexpr const char* UNDO_FAILED = "Undo move operation failed";
  // Opaque red for the panel under the pointer. Colours are signed 32-bit
  // values held in 64 bits, red in the low byte: an opaque one is negative,
  // so the bits are sign-extended, not taken as a positive number.
  static constexpr Color HOVER_COLOR = Colors::from_bits(0xFF0000FF);

  // ---- fields ----
  Ref<C_Paintbox> panel_box;     // the paint box of the nine panels
  Ref<C_Dialog_dir> dir_dialog;  // the directory chooser of a target
  Weak<C_Collage_viewer> viewer;
  // Entries 1 to 9; entry 0 is never used.
  DynArray<St_dir__C_Move_to_dirs> targets;
  int64_t hover_target = 0;
  // Every thumbnail image made for any panel.
  DynAObj<C_Image> loaded_images;
  // Repaints every 200 ms while thumbnails are still to be listed or
  // loaded here (those of the worker come by its own timer).
  Ref<C_Timer> timer;
  Ref<C_Dialog_replace> replace_dialog;
  // Full paths before and after each move, oldest first.
  DynAStr undo_sources;
  DynAStr undo_targets;

  C_Move_to_dirs() = default;

  static Ref<C_Move_to_dirs> create();
  // Builds the window and reads the targets; runs once.
  void build_controls();
  void load_targets();
  void destroy_hook() override;

  // ---- the operations ----
  // Asks for target n's directory, starting at start_path when that is a
  // directory, else at the viewer's scanned directory.
  void set_target(const std::string& start_path, int64_t n);
  // Moves the viewer's current image into target n.
  void move_to_target(int64_t n);
  // The viewer forgets a file that is no longer where it was, and shows.
  void forget_source(const Ref<C_Image>& image);
  // Moves the last moved file back.
  void undo_move();
  // Fills target n's thumbnails from its directory.
  void list_target(int64_t n);
  // The panels of the directory holding that file list it again.
  void relist_directory_of(const std::string& file);
  // The target whose panel holds the point (paint-box points); 0 for none.
  int64_t target_at(const point& p);
  // The popup menu of a panel.
  std::string menu_text(int64_t n);
  // Writes the nine paths to the settings.
  void save_targets();
  const St_dir__C_Move_to_dirs& target(int64_t n) const;

  // ---- painting ----
  // Paints the panels onto a canvas of a box of this size (points).
  void paint_into(const Ref<C_Canvas>& canvas, double box_w, double box_h);
  void repaint();

  // ---- events ----
  bool on_close_query() override;
  void on_menu_item() override;
  void on_mouse_move() override;
  void on_mouse_down() override;
  void on_mouse_up() override;
  void on_paint() override;
  bool on_key_down() override;
  void on_timer() override;
  void on_moved() override;
  void on_resized() override;

 private:
  // The pointer of the event in the paint box, points.
  point pointer_in_box();
  // Panel n; `listed` tells whether this paint listed a directory already,
  // and is set when the panel lists one.
  void paint_panel(const Ref<C_Canvas>& canvas, int64_t n, double box_w, double ph, bool& listed);
  // The thumbnails of a panel from x on, squares of side h (points) at the
  // height y, up to `right`: x is left after the last; `pending` is set
  // while one is still to come.
  void paint_thumbnails(const Ref<C_Canvas>& canvas, St_dir__C_Move_to_dirs& t, double& x, double y, double h,
                        double right, bool& pending);
  // One thumbnail in the square `cell` (device pixels) from what the
  // image holds or the copy kept of it; false when neither is there yet.
  bool draw_thumbnail(const Ref<C_Canvas>& canvas, const Ref<C_Image>& image, const rect& cell);
  St_dir__C_Move_to_dirs* target_at_index(int64_t n);
  // Huge pictures of thumbnails, decoded on a worker to their squares,
  // stepped by "TIMER_DECODES".
  Fitted_decodes thumb_decodes_{quality_drawing_lines_shapes::MEDIUM, false};
};

}  // namespace brek
