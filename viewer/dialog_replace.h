#pragma once
// C_Dialog_replace: asked when a file being moved meets a file of the same
// name in the target directory. Both pictures are shown side by side with
// their pixel sizes; the run ends with the name of the button pressed:
// "RENAME" (move under a free name), "DELETE_SOURCE" (drop the file being
// moved, since the target holds one already) or "CANCEL"; closing the
// window gives "". The dialog itself touches no file.

#include <string>

#include "baselib/geometry.h"
#include "drawing/canvas.h"
#include "drawing/dialog_common.h"
#include "drawing/paintbox.h"
#include "forms/button.h"
#include "images/image.h"
#include "forms/timer.h"
#include "viewer/fitted_decodes.h"
#include "viewer/thumbnail_cache.h"

namespace brek {

class C_Collage_viewer;

class C_Dialog_replace : public C_Dialog_common {
  BREK_CLASS(C_Dialog_replace)
 public:
  static constexpr const char* RENAME = "RENAME";
  static constexpr const char* DELETE_SOURCE = "DELETE_SOURCE";
  static constexpr const char* CANCEL = "CANCEL";
  // Opaque dark grey (colours are sign-extended 32-bit values).
  static constexpr Color BACKGROUND = Colors::from_bits(0xFF404040);

  Ref<C_Paintbox> pbox;          // the paint box of both pictures
  Ref<C_Button> rename_button;   // "RENAME"
  // "CANCEL" is the form's own cancel_button.
  Ref<C_Button> delete_button;   // "DELETE_SOURCE"
  Ref<C_Image> source_image;     // the image being moved, given by the caller
  // The window that shows the image being moved: its whole picture may be
  // on its way there.
  Weak<C_Collage_viewer> viewer;
  Ref<C_Image> target_image;     // the file met; read on the first paint
  std::string source_name;
  std::string target_name;

  C_Dialog_replace() = default;

  static Ref<C_Dialog_replace> create();
  // The controls, the size and the caption; runs once.
  void build();
  void destroy_hook() override;

  // Asks about the files now named: both halves are painted anew, never
  // left as an earlier question painted them (or before its pictures came).
  std::string show_modal(const Ref<C_Form>& owner) override;
  // A button: the run ends with its name.
  void on_click() override;
  void on_paint() override;
  // Takes a picture read on the worker and repaints.
  void on_timer() override;
  // Lets go of both pictures and what was read of them: the question is
  // answered.
  void forget_pictures();

  // Paints both halves onto a canvas of a box of this size (points).
  void paint_into(const Ref<C_Canvas>& canvas, double box_w, double box_h);

  // Where a picture of w x h points goes in a half of half_w x half_h
  // starting at left: its own size when it fits, else shrunk keeping its
  // proportions (never enlarged), centred, then 2 points in on every side.
  static rect picture_place(double w, double h, double left, double half_w, double half_h);

 private:
  // One half: the picture fitted into it and its size caption.
  void paint_half(const Ref<C_Canvas>& canvas, const Ref<C_Image>& image, double left, double half_w,
                  double half_h);
  // The picture into its place (canvas units), from what the image holds,
  // a copy kept of it, or read now or on the worker; false while it has
  // not come.
  bool draw_picture(const Ref<C_Canvas>& canvas, const Ref<C_Image>& image, const rect& place);
  // The image shown for the file being moved: the caller's while it holds
  // its whole picture, else one of the dialog's own, so that the caller's
  // (a cell's) is not loaded whole.
  Ref<C_Image> shown_source();
  // Both pictures at the size they are shown.
  Thumbnail_cache pictures_;
  // Huge pictures read on a worker to the size shown, stepped by
  // "TIMER_PICTURES".
  Fitted_decodes decodes_{quality_drawing_lines_shapes::HIGH, false};
  Ref<C_Image> own_source_;
};

}  // namespace brek
