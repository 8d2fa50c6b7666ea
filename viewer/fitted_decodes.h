#pragma once
// Huge pictures that a view shows small (a GIF or BMP of more than
// OFF_THREAD_PIXELS in a cell, a thumbnail of the "Move to dir" window, a
// half of the name-clash question): decoded on a worker thread, one at a
// time, straight to the size the view draws them, and kept as the image's
// copy in the view's Thumbnail_cache. The whole picture is never held,
// and the window keeps answering while the worker reads: a GIF is composed
// row by row from its index rows, a BMP's rows are decoded one at a time
// from the file (images/bmp_rows.cpp), both into a Picture_shrink. Cells a
// screen or more from the view are passed over (cell_in_reach).
//
// The view asks (want) while painting; a timer of the decodes' own steps
// the queue (step), started by every want and stopped once nothing is left
// to wait for, so pictures come whatever the view's paints do with its
// other timers. The view's tick of that timer repaints when a picture came.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "baselib/thread.h"
#include "drawing/pixels.h"
#include "forms/timer.h"
#include "images/image.h"
#include "images/picture_fit.h"
#include "viewer/thumbnail_cache.h"

namespace brek {

// One decode: plain data, so the object may end on either thread.
class C_Fitted_decode : public C_Thread {
  BREK_CLASS(C_Fitted_decode)
 public:
  std::string file_name;
  std::string extension;
  Picture_fit::Part part;
  int w = 0, h = 0;
  // Once finished: the picture reduced (empty when it did not decode or
  // the worker was stopped) and why a file at fault did not.
  Pixels picture;
  bool had_alpha = false;
  Load_failure why;

  void run() override;
  void destroy_hook() override;
};

class Fitted_decodes {
 public:
  // Pictures up to this many pixels are decoded where they are needed.
  static constexpr int64_t OFF_THREAD_PIXELS = int64_t(1) << 22;

  Fitted_decodes(quality_drawing_lines_shapes quality, bool over_black) : quality_(quality), over_black_(over_black) {}
  Fitted_decodes(const Fitted_decodes&) = delete;
  Fitted_decodes& operator=(const Fitted_decodes&) = delete;
  ~Fitted_decodes() { stop(); }

  // The view's timer (stopped) that steps the queue from now on; detach
  // stops everything and lets it go.
  void attach(const Ref<C_Timer>& timer) { timer_ = timer; }
  void detach();
  // Whether a tick comes from that timer.
  bool ticks_by(const Ref<C_Control>& sender) const { return !timer_.is_none() && sender.get() == timer_.get(); }

  // Whether a view drawing the image at w x h pixels leaves it to the
  // worker: a file this worker reads, of more than OFF_THREAD_PIXELS, not
  // held whole, and larger than w x h; not one whose decode here failed
  // without the file being at fault (the view decodes that itself). The
  // views draw a picture as filed, so one the single view turns is no
  // exception.
  bool takes(const Ref<C_Image>& image, int64_t w, int64_t h) const;
  // Asks for the image at w x h (`crop`: its central part with those
  // proportions, as a cell shows it), once.
  void want(const Ref<C_Image>& image, int64_t w, int64_t h, bool crop);
  // Asked for and not come yet.
  bool wanted(const Ref<C_Image>& image) const;
  // Whether the view still shows the image, or soon will.
  using Still_shown = std::function<bool(const Ref<C_Image>&)>;
  // Takes a finished decode into the cache and starts the next, passing
  // over those `still_shown` says the view left behind since they were
  // asked for; true when a picture came (or an image failed): the view
  // repaints. With nothing left to wait for, the timer stops.
  bool step(Thumbnail_cache& cache, const Still_shown& still_shown = {});
  // Something asked for has not come yet: the view keeps stepping.
  bool busy() const { return !job_.is_none() || !queue_.empty(); }
  // Forgets what was asked for (the timer stops); a running worker stops
  // at its next rows.
  void stop();

 private:
  struct Want {
    Weak<C_Image> image;
    int64_t w = 0, h = 0;
    bool crop = false;
  };
  void start_next(const Still_shown& still_shown);
  void take(Thumbnail_cache& cache);

  Ref<C_Timer> timer_;
  quality_drawing_lines_shapes quality_;
  bool over_black_;
  std::vector<Want> queue_;
  Want running_;
  Ref<C_Fitted_decode> job_;
  // Images the worker could not read though nothing showed the file at
  // fault: left to the view's own decode.
  std::vector<Weak<C_Image>> declined_;
};

}  // namespace brek
