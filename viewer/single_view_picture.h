#pragma once
// What the single view holds and waits for beside its image's own pictures
// when a picture is shown before it is read whole: for a large JPEG shown
// at its own size, the part in the window, decoded alone for the first
// paint and for every view beyond it until the whole picture came (the
// whole file is read; the rows above the part are decoded but not made
// into pixels, and decoding stops below it); and the whole picture, which
// the image's worker (C_Image::start_whole_decode) decodes once the first
// paint is on the screen, taken on a tick of the main thread. A GIF or BMP
// too large for the window's thread asks for its whole picture here too.
//
// A JPEG shown unturned at scale 1 and fitted at half its size or less is
// painted from a reduced decode (single_view_reduced.cpp); shown at its own
// size with at most half of it in view, from the part. Till the whole
// picture came, a view beyond the part decodes its part again, grown by a
// quarter of the view each way, as the first paint did.

#include <cstdint>

#include "drawing/bitmap.h"
#include "forms/timer.h"
#include "images/image.h"
#include "images/jpeg_codec.h"
#include "viewer/single_view.h"

namespace brek {

class Single_view_picture {
 public:
  // Where the whole picture of image() stands.
  enum class whole_state {
    NOT_ASKED,     // a view beyond the part decodes it in the paint
    ASKED,         // the worker starts at the next tick of the timer
    DECODING,      // the image's worker decodes it
    FILE_CHANGED,  // the file is another than the image stood for
  };
  // What a tick of the timer came to: FAILED when the file did not decode
  // (the image keeps why, and is not asked for again); NO_WORKER when no
  // worker could start (no thread to be had): the paint that needs the
  // picture decodes it (decodes_here).
  enum class tick_result { NOTHING, TAKEN, FILE_CHANGED, FAILED, NO_WORKER };

  // The timer whose ticks start and watch the worker; stopped until asked.
  void attach(const Ref<C_Timer>& timer) { timer_ = timer; }
  bool ticks_by(const Ref<C_Control>& sender) const { return !timer_.is_none() && sender.get() == timer_.get(); }
  // Stops a worker and lets go of everything, the timer too.
  void detach();

  whole_state state() const { return state_; }
  // Whether the bitmap is the part held.
  bool holds(const Ref<C_Bitmap>& b) const { return !part_.is_none() && b.get() == part_.get(); }

  // The part in the window of an image shown at its own size, placed by
  // `in` (the picture's size its file's): held from an earlier paint, or
  // decoded now for an image new here (or let go of since), which asks for
  // the whole picture, and for a view the part held does not show while
  // the whole picture is coming. `at` is where the part is drawn in the
  // box. None when the whole picture is needed now (a window showing most
  // of the picture, a view off the part with no whole picture coming, a
  // part that did not decode).
  Ref<C_Bitmap> part_in_view(const Ref<C_Image>& image, const Single_view::Input& in, point& at);
  // A view that no longer shows the part (fitted, zoomed, turned).
  void drop_part();
  // The whole picture of an image that is not read where it is shown is
  // wanted: its worker starts at the next tick.
  void ask_whole(const Ref<C_Image>& image);
  // Another image is shown: what was held or asked for the last one goes.
  void keep_only(const Ref<C_Image>& shown);
  // Stops a worker and forgets the part and what was asked.
  void drop();
  // Whether the whole picture of the image is on its way.
  bool whole_coming(const Ref<C_Image>& image) const;
  // Whether no worker could start on the image's whole picture while it
  // is shown: it is decoded where it is needed (load_whole), once, and no
  // worker is asked for again.
  bool decodes_here(const Ref<C_Image>& image) const { return !image.is_none() && here_.get() == image.get(); }
  // The timer's tick, with the image the single view shows (None in the
  // directory views): starts the worker, or hands its picture to the image
  // once it finished (TAKEN); FILE_CHANGED when the file is another than
  // the image shown stood for. A picture no longer wanted (another image or
  // the directory view shown, a picture loaded meanwhile) stops the worker.
  tick_result tick(const Ref<C_Image>& shown);
  // The image's file was found to be another than it stood for: its entry
  // is renewed at the next tick.
  void file_changed_found(const Ref<C_Image>& image);

 private:
  void ask_whole();
  void stop_worker();
  // The part of the picture around `want` decoded alone; false, nothing
  // changed, when it did not decode.
  bool decode_part(const Ref<C_Image>& image, const Jpeg_codec::Part& want, Ref<C_Bitmap>& part);

  Weak<C_Image> image_;
  Ref<C_Bitmap> part_;
  // Where the part lies in the picture, and the part of it whose pixels
  // are the whole picture's.
  Jpeg_codec::Part place_, exact_;
  whole_state state_ = whole_state::NOT_ASKED;
  // The image no worker could start on, till another is shown.
  Weak<C_Image> here_;
  Ref<C_Timer> timer_;
};

}  // namespace brek
